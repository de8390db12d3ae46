// The explanation of a walk: entries grouped into controllers and ports,
// each port's facts gathered once, then every property explained in walk
// order. Linear in the walk.
#include <utility>

#include "explain/analysis/explanation.h"
#include "explain/analysis/port_grouping.h"
#include "explain/analysis/property_explainer.h"
#include "explain/analysis/utf8_text.h"

namespace explain {

namespace {

// spent, when given, is the walk itself: its entries' paths are taken.
std::vector<PropertyExplanation> explainGroup(const RegistryWalk &walk, RegistryWalk *spent,
                                              const std::vector<std::size_t> &entries,
                                              const GroupFacts &facts, const VendorNames &vendors,
                                              PropertyViews views)
{
    std::vector<PropertyExplanation> properties;
    for (std::size_t index : entries) {
        if (spent != nullptr) {
            explainEntry(std::move(spent->entries[index]), facts, vendors, properties, views);
        } else {
            explainEntry(walk.entries[index], facts, vendors, properties, views);
        }
    }
    return properties;
}

// Every note of the port's properties, each led by its entry and key.
std::vector<std::string> portNotes(const std::vector<PropertyExplanation> &properties,
                                   std::size_t rootPathSize)
{
    std::vector<std::string> notes;
    for (const PropertyExplanation &property : properties) {
        if (property.notes.empty()) {
            continue;
        }
        const std::string where =
            nameBelow(property.entry, rootPathSize) + " " + property.key + ": ";
        for (const std::string &note : property.notes) {
            notes.push_back(where + note);
        }
    }
    return notes;
}

// Releases what the entries hold once their group is explained.
void release(RegistryWalk *spent, const std::vector<std::size_t> &entries)
{
    if (spent == nullptr) {
        return;
    }
    for (std::size_t index : entries) {
        std::vector<std::pair<std::string, PropertyValue>>().swap(spent->entries[index].properties);
    }
}

// Adds the walk's controllers and notes to explanation. spent, when given,
// is the walk itself, whose entries' properties are released group by
// group: the explanation then grows as the walk shrinks.
void explainGroups(const RegistryWalk &walk, const VendorNames &anyNames, RegistryWalk *spent,
                   Explanation &explanation)
{
    const VendorNames vendorNames = withValidNames(anyNames);
    for (const std::string &note : walk.notes) {
        explanation.notes.push_back(validUtf8(note));
    }
    for (const ControllerGroup &group : groupWalk(walk)) {
        const WalkedEntry &controllerEntry = walk.entries[group.controller];
        ControllerExplanation controller;
        controller.entry = validPath(controllerEntry);
        controller.className = validUtf8(controllerEntry.className);
        controller.properties =
            explainGroup(walk, spent, group.entries, gatherFacts(walk, group.entries), vendorNames,
                         explanation.views);
        for (const PortGroup &portGroup : group.ports) {
            const WalkedEntry &portEntry = walk.entries[portGroup.port];
            PortExplanation port;
            port.entry = validPath(portEntry);
            port.className = validUtf8(portEntry.className);
            const GroupFacts facts = gatherFacts(walk, portGroup.entries);
            port.properties =
                explainGroup(walk, spent, portGroup.entries, facts, vendorNames, explanation.views);
            port.notes = portNotes(port.properties, facts.rootPathSize);
            controller.ports.push_back(std::move(port));
            release(spent, portGroup.entries);
        }
        release(spent, group.entries);
        explanation.controllers.push_back(std::move(controller));
    }
}

} // namespace

VendorNames withValidNames(const VendorNames &names)
{
    if (!names) {
        return names;
    }
    return [names](std::uint16_t vendor) -> std::optional<std::string> {
        std::optional<std::string> name = names(vendor);
        if (name) {
            name = validUtf8(std::move(*name));
        }
        return name;
    };
}

Explanation explainWalk(const RegistryWalk &walk, const VendorNames &vendorNames)
{
    Explanation explanation;
    explainGroups(walk, vendorNames, nullptr, explanation);
    return explanation;
}

Explanation explainWalk(RegistryWalk &&walk, const VendorNames &vendorNames)
{
    Explanation explanation;
    explainWalkPart(std::move(walk), vendorNames, explanation);
    return explanation;
}

void explainWalkPart(RegistryWalk &&part, const VendorNames &vendorNames, Explanation &explanation)
{
    explainGroups(part, vendorNames, &part, explanation);
    part = RegistryWalk();
}

} // namespace explain
