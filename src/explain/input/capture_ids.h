// Registry IDs that a capture holds but that are no entry's own. Built on the
// stand-in, an entry that a snapshot gave no "IORegistryEntryID" (a cut or
// pasted capture) still answers IORegistryEntryGetRegistryEntryID, with a
// number the stand-in made; the snapshot loader says which numbers those
// are, and they are forgotten here so that no output shows them as the Mac's.
#ifndef PORTPROBE_EXPLAIN_CAPTURE_IDS_H
#define PORTPROBE_EXPLAIN_CAPTURE_IDS_H

#include <cstdint>
#include <unordered_set>

#include "explain/input/port_capture.h"

namespace explain {

// Clears the registry ID of every captured entry (ports, entries found
// without their port, power managers, and everything below them) whose ID
// is one of made.
void forgetMadeRegistryIds(PortCapture &capture, const std::unordered_set<std::uint64_t> &made);

} // namespace explain

#endif
