// The layouts of a Discover Identity answer's VDOs.
#ifndef PORTPROBE_PD_IDENTITY_TABLES_H
#define PORTPROBE_PD_IDENTITY_TABLES_H

#include "pd/field_table.h"

namespace pd {

// The ID header: product types of a partner (UFP and DFP) or of a cable plug.
extern const Layout partnerIdHeader;
extern const Layout cablePlugIdHeader;
extern const Layout certStatVdo;
extern const Layout productVdo;

extern const Layout passiveCableVdo;
extern const Layout activeCableVdo1;
extern const Layout activeCableVdo2;
extern const Layout vpdVdo;
extern const Layout ufpVdo;
extern const Layout dfpVdo;

} // namespace pd

#endif
