#include "platform/standin/snapshot/capture_plane.h"

#include <cstring>
#include <vector>

namespace snapshot {
namespace {

const char *const classKey = "IOObjectClass";
const char *const nameKey = "IORegistryEntryName";
const char *const childrenKey = "IORegistryEntryChildren";
const char *const powerLinkClass = "IOPowerConnection";
const char *const portKey = "PortTypeDescription";
const char *const controllerClass = "AppleHPMARMSPMI";

bool isEntry(plist_t node)
{
    return node != nullptr && plist_get_node_type(node) == PLIST_DICT &&
           plist_dict_get_item(node, classKey) != nullptr;
}

// Whether the string node holds exactly text.
bool holds(plist_t node, const char *text)
{
    if (node == nullptr || plist_get_node_type(node) != PLIST_STRING) {
        return false;
    }
    uint64_t length = 0;
    const char *value = plist_get_string_ptr(node, &length);
    return value != nullptr && length == std::strlen(text) && std::memcmp(value, text, length) == 0;
}

// The entries directly below entry in the capture's plane.
std::vector<plist_t> childrenOf(plist_t entry)
{
    std::vector<plist_t> children;
    plist_t array = plist_dict_get_item(entry, childrenKey);
    if (array == nullptr || plist_get_node_type(array) != PLIST_ARRAY) {
        return children;
    }
    uint32_t size = plist_array_get_size(array);
    for (uint32_t i = 0; i < size; ++i) {
        plist_t child = plist_array_get_item(array, i);
        if (isEntry(child)) {
            children.push_back(child);
        }
    }
    return children;
}

std::vector<plist_t> topEntries(plist_t topLevel)
{
    std::vector<plist_t> entries;
    if (isEntry(topLevel)) {
        entries.push_back(topLevel);
    } else if (topLevel != nullptr && plist_get_node_type(topLevel) == PLIST_ARRAY) {
        uint32_t size = plist_array_get_size(topLevel);
        for (uint32_t i = 0; i < size; ++i) {
            plist_t item = plist_array_get_item(topLevel, i);
            if (isEntry(item)) {
                entries.push_back(item);
            }
        }
    }
    return entries;
}

// What the entries of a capture hold, as far as its plane goes.
struct Holdings {
    bool powerLink = false;  // an IOPowerConnection entry
    bool controller = false; // a port controller
    bool links = false;      // an entry with a child
};

// Every entry once, without recursion: the capture's nesting is not checked
// yet.
Holdings holdingsOf(const std::vector<plist_t> &tops)
{
    Holdings found;
    std::vector<plist_t> pending(tops.rbegin(), tops.rend());
    while (!pending.empty()) {
        plist_t entry = pending.back();
        pending.pop_back();
        plist_t className = plist_dict_get_item(entry, classKey);
        found.powerLink = found.powerLink || holds(className, powerLinkClass);
        found.controller = found.controller || holds(className, controllerClass);
        std::vector<plist_t> children = childrenOf(entry);
        found.links = found.links || !children.empty();
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    return found;
}

bool rootOfPorts(const std::vector<plist_t> &tops)
{
    for (plist_t top : tops) {
        if (!holds(plist_dict_get_item(top, classKey), "IORegistryEntry") ||
            !holds(plist_dict_get_item(top, nameKey), "Root")) {
            continue;
        }
        std::vector<plist_t> children = childrenOf(top);
        if (children.empty()) {
            return false;
        }
        for (plist_t child : children) {
            if (plist_dict_get_item(child, portKey) == nullptr) {
                return false;
            }
        }
        return true;
    }
    return false;
}

} // namespace

RecognisedPlane recognisePlane(plist_t topLevel)
{
    const std::vector<plist_t> tops = topEntries(topLevel);
    const Holdings holdings = holdingsOf(tops);
    RecognisedPlane recognised;
    recognised.linked = holdings.links;
    if (holdings.powerLink) {
        recognised.plane = "IOPower";
        recognised.evidence = "it holds IOPowerConnection entries";
    } else if (rootOfPorts(tops)) {
        if (!holdings.controller) {
            recognised.plane = "IOPort";
            recognised.evidence = "its root's children are ports";
        }
    } else if (holdings.controller) {
        recognised.plane = "IOService";
        recognised.evidence = "it holds a port controller and no IOPowerConnection entry";
    }
    return recognised;
}

} // namespace snapshot
