#include "explain/input/capture_ids.h"

#include <vector>

namespace explain {

void forgetMadeRegistryIds(PortCapture &capture, const std::unordered_set<std::uint64_t> &made)
{
    if (made.empty()) {
        return;
    }
    // Without recursion: a subtree is as deep as the reader let it be.
    std::vector<CapturedEntry *> pending;
    for (std::vector<CapturedEntry> *list :
         {&capture.ports, &capture.loose, &capture.powerManagers}) {
        for (CapturedEntry &entry : *list) {
            pending.push_back(&entry);
        }
    }
    while (!pending.empty()) {
        CapturedEntry *entry = pending.back();
        pending.pop_back();
        if (entry->registryId && made.count(*entry->registryId) != 0) {
            entry->registryId.reset();
        }
        for (CapturedEntry &child : entry->children) {
            pending.push_back(&child);
        }
    }
}

} // namespace explain
