// The registry walk: one entry, its annotations and probed properties, then
// its subtree in one plane, depth first, down to a fixed depth.
#ifndef PORTPROBE_REPORT_TREE_WALK_H
#define PORTPROBE_REPORT_TREE_WALK_H

#include <cstdint>

#include "platform/registry_api.h"
#include "report/property_keys.h"

// Deepest level below a section's service that is printed (the service is 0).
const uint32_t maxWalkDepth = 8;

// The most platform references a report holds at once, whatever the size of
// the registry: an entry and its child iterator for each printed level, the
// section's iterator, and either a probe's key string and value or the child
// fetched below the deepest level. Tests and fuzzers hold the walk to it.
const uint32_t mostReferencesHeld = 2 * (maxWalkDepth + 1) + 2;

// Prints entry and its subtree in plane. The entry is borrowed: the caller
// releases it after the walk.
void walkTree(io_registry_entry_t entry, uint32_t depth, const char *plane);

// Writes the two-space indentation unit count times.
void printIndent(uint32_t count);

#endif
