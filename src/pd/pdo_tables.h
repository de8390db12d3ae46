// The layouts of power data objects and request data objects.
#ifndef PORTPROBE_PD_PDO_TABLES_H
#define PORTPROBE_PD_PDO_TABLES_H

#include "pd/field_table.h"

namespace pd {

extern const Layout fixedSourcePdo;
extern const Layout fixedSinkPdo;
extern const Layout batterySourcePdo;
extern const Layout batterySinkPdo;
extern const Layout variableSourcePdo;
extern const Layout variableSinkPdo;
extern const Layout ppsSourcePdo;
extern const Layout ppsSinkPdo;
extern const Layout eprAvsSourcePdo;
extern const Layout eprAvsSinkPdo;
extern const Layout sprAvsSourcePdo;
extern const Layout sprAvsSinkPdo;
extern const Layout reservedPdo;

// Requests by the type of the PDO they refer to: fixed and variable supplies
// share one layout, EPR and SPR AVS another.
extern const Layout fixedRequest;
extern const Layout batteryRequest;
extern const Layout ppsRequest;
extern const Layout avsRequest;

} // namespace pd

#endif
