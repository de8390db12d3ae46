// The DisplayPort Alt Mode objects: Status, Configure and Capabilities VDOs.
#ifndef PORTPROBE_PD_DISPLAYPORT_H
#define PORTPROBE_PD_DISPLAYPORT_H

#include "pd/field_table.h"

namespace pd {

extern const Layout displayPortStatusVdo;
extern const Layout displayPortConfigureVdo;
extern const Layout displayPortCapabilitiesVdo;

} // namespace pd

#endif
