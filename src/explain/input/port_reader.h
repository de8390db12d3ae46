// Reads the ports, the entries found without their port, and the power
// manager out of the I/O registry into a PortCapture.
#ifndef PORTPROBE_EXPLAIN_PORT_READER_H
#define PORTPROBE_EXPLAIN_PORT_READER_H

#include "explain/input/port_capture.h"
#include "platform/registry_api.h"

namespace explain {

// What cannot be read is left out rather than guessed, and every reference
// the reading makes is released before it returns, whatever it returns.
PortCapture readPortCapture(mach_port_t mainPort);

} // namespace explain

#endif
