// Reads the ports, the entries found without their port, and the power
// manager out of the I/O registry into a PortCapture.
#ifndef PORTPROBE_EXPLAIN_PORT_READER_H
#define PORTPROBE_EXPLAIN_PORT_READER_H

#include "explain/input/port_capture.h"
#include "platform/registry_api.h"

namespace explain {

// What cannot be read is left out rather than guessed, and every reference
// the reading makes is released before it returns, whatever it returns.
//
// Bounds, so that no registry can make the reading endless: a subtree is
// read 32 levels deep at most; an entry on its own path (a cycle) is left
// out, one met again in the same subtree is listed without its children,
// and one whose ID cannot be read is listed without its children; the
// IOService plane's search visits each entry once. Values nest 16 levels at
// most (deeper containers are known by their size alone), and a string of
// more than 21,845 UTF-16 units reads as unconvertible.
PortCapture readPortCapture(mach_port_t mainPort);

} // namespace explain

#endif
