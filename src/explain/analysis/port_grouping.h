// Which controller and which port each entry of a walk belongs to.
#ifndef PORTPROBE_EXPLAIN_PORT_GROUPING_H
#define PORTPROBE_EXPLAIN_PORT_GROUPING_H

#include <cstddef>
#include <vector>

#include "explain/input/walk_model.h"

namespace explain {

// Indices into the walk's entries.
struct PortGroup {
    std::size_t port = 0;             // the "Port-" entry
    std::vector<std::size_t> entries; // it and every entry below it, in walk order
};

struct ControllerGroup {
    std::size_t controller = 0;       // the depth-0 entry
    std::vector<std::size_t> entries; // it and the entries outside every port
    std::vector<PortGroup> ports;     // in the order the walk reaches them
};

// Depth-0 entries start a controller; an entry whose name begins with
// "Port-" starts a port, and every entry below it belongs to that port
// unless it is below a port of its own. An entry before the first depth-0
// one starts a controller all the same. One pass over the walk.
std::vector<ControllerGroup> groupWalk(const RegistryWalk &walk);

// The entry's own name: the last of its path ("" when it has none).
const std::string &entryName(const WalkedEntry &entry);

} // namespace explain

#endif
