// Each probed property of an entry explained by its key: decoded when it is
// a kind the tool decodes and has the shape of one, else shown as a value.
#ifndef PORTPROBE_EXPLAIN_PROPERTY_EXPLAINER_H
#define PORTPROBE_EXPLAIN_PROPERTY_EXPLAINER_H

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "explain/analysis/explanation.h"
#include "explain/analysis/object_list.h"
#include "explain/input/walk_model.h"

namespace explain {

// What the properties of a port (or of a controller outside its ports) need
// from the rest of it, gathered once in walk order.
struct GroupFacts {
    // The first "SourceCapabilities" of the group that is a list of objects,
    // and its entry's name below the group.
    std::optional<ObjectList> sourceCapabilities;
    std::string sourceWhere;
    bool displayPortSvid = false; // some "SVIDs" of the group holds 0xFF01
    std::size_t rootPathSize = 0; // the path length of the group's own entry
};

GroupFacts gatherFacts(const RegistryWalk &walk, const std::vector<std::size_t> &entries);

// The names of an entry's path below the group's own entry joined by "/"
// ("CC/SOP'"), or its own name when it is the group's entry.
std::string nameBelow(const std::vector<std::string> &path, std::size_t rootPathSize);

// The entry's names from its controller down, each made valid UTF-8.
std::vector<std::string> validPath(const WalkedEntry &entry);

// Appends the explanations of the entry's properties ("Metadata" with
// "VDOs" inside gives two), each with the views asked for.
void explainEntry(const WalkedEntry &entry, const GroupFacts &facts, const VendorNames &vendors,
                  std::vector<PropertyExplanation> &explained, PropertyViews views = {});
// The same for an entry of a spent walk: its path is taken, not copied.
void explainEntry(WalkedEntry &&entry, const GroupFacts &facts, const VendorNames &vendors,
                  std::vector<PropertyExplanation> &explained, PropertyViews views = {});

} // namespace explain

#endif
