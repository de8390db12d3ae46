#include "explain/analysis/port_grouping.h"

#include <string>

namespace explain {

namespace {

bool startsPort(const WalkedEntry &entry) { return entryName(entry).rfind("Port-", 0) == 0; }

struct OpenPort {
    unsigned depth;
    std::size_t index; // into the controller's ports
};

} // namespace

const std::string &entryName(const WalkedEntry &entry)
{
    static const std::string none;
    return entry.path.empty() ? none : entry.path.back();
}

std::vector<ControllerGroup> groupWalk(const RegistryWalk &walk)
{
    std::vector<ControllerGroup> controllers;
    std::vector<OpenPort> open;
    for (std::size_t i = 0; i < walk.entries.size(); ++i) {
        const WalkedEntry &entry = walk.entries[i];
        if (entry.depth == 0 || controllers.empty()) {
            controllers.push_back(ControllerGroup{i, {i}, {}});
            open.clear();
            continue;
        }
        ControllerGroup &controller = controllers.back();
        while (!open.empty() && open.back().depth >= entry.depth) {
            open.pop_back();
        }
        if (startsPort(entry)) {
            open.push_back({entry.depth, controller.ports.size()});
            controller.ports.push_back(PortGroup{i, {i}});
        } else if (!open.empty()) {
            controller.ports[open.back().index].entries.push_back(i);
        } else {
            controller.entries.push_back(i);
        }
    }
    return controllers;
}

} // namespace explain
