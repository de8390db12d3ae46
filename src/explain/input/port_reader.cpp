#include "explain/input/port_reader.h"

namespace explain {

// Placeholder until the reader of the IOPort plane and the power manager
// lands: a registry without either.
PortCapture readPortCapture(mach_port_t mainPort)
{
    (void)mainPort;
    return {};
}

} // namespace explain
