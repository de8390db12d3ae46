// Reads the walk that portprobe-explain explains out of the I/O registry:
// the same entries as the first section of portprobe's report, each with the
// probed properties it carries, converted into the walk model.
#ifndef PORTPROBE_EXPLAIN_REGISTRY_READER_H
#define PORTPROBE_EXPLAIN_REGISTRY_READER_H

#include <functional>

#include "explain/input/walk_model.h"
#include "platform/registry_api.h"

namespace explain {

// Every "AppleHPMARMSPMI" service and its subtree in the "IOService" plane,
// depths 0 to 8, depth first; an entry reached along several paths appears
// under each. What cannot be read is left out rather than guessed: no
// services when the lookup fails, no children when an entry's child
// iterator cannot be had, no property when its key or lookup fails, and
// empty text for a class or name that cannot be read. Every reference the
// reading makes is released before it returns, whatever it returns.
RegistryWalk readRegistryWalk(mach_port_t mainPort);

// The same walk handed to sink one controller's subtree at a time, as each
// is read, so that the whole walk need never be held at once.
using WalkPartSink = std::function<void(RegistryWalk &&part)>;
void readRegistryWalk(mach_port_t mainPort, const WalkPartSink &sink);

} // namespace explain

#endif
