#include "platform/standin/registry.h"

#include <stdexcept>

namespace standin {
namespace {
const std::vector<EntryId> noEntries;
}

Registry::Registry() : planes_{"IOService", "IOPower"} {}

EntryId Registry::addEntry(std::string className, std::string name)
{
    if (entries_.size() >= UINT32_MAX - 1) {
        throw std::length_error("registry is full");
    }
    entries_.push_back(Entry{className, std::move(name), {}, {}});
    auto id = static_cast<EntryId>(entries_.size());
    byClass_[std::move(className)].push_back(id);
    return id;
}

Entry &Registry::mutableEntry(EntryId id)
{
    if (!contains(id)) {
        throw std::out_of_range("no registry entry " + std::to_string(id));
    }
    return entries_[id - 1];
}

void Registry::setProperty(EntryId entry, std::u16string key, ValuePtr value)
{
    if (!value) {
        throw std::invalid_argument("a property needs a value");
    }
    mutableEntry(entry).properties[std::move(key)] = std::move(value);
}

void Registry::addChild(EntryId parent, EntryId child, std::string_view plane)
{
    mutableEntry(child);
    Entry &parentEntry = mutableEntry(parent);
    PlaneId id = planeNamed(plane);
    if (parentEntry.children.size() <= id) {
        parentEntry.children.resize(id + 1);
    }
    parentEntry.children[id].push_back(child);
}

PlaneId Registry::planeNamed(std::string_view name)
{
    PlaneId id = 0;
    if (findPlane(name, id)) {
        return id;
    }
    planes_.emplace_back(name);
    return static_cast<PlaneId>(planes_.size() - 1);
}

bool Registry::findPlane(std::string_view name, PlaneId &plane) const
{
    for (std::size_t i = 0; i < planes_.size(); ++i) {
        if (planes_[i] == name) {
            plane = static_cast<PlaneId>(i);
            return true;
        }
    }
    return false;
}

const std::vector<EntryId> &Registry::entriesOfClass(std::string_view className) const
{
    auto found = byClass_.find(std::string(className));
    return found == byClass_.end() ? noEntries : found->second;
}

const std::vector<EntryId> &Registry::children(EntryId entry, PlaneId plane) const
{
    const Entry &parent = entries_[entry - 1];
    return plane < parent.children.size() ? parent.children[plane] : noEntries;
}

const ValuePtr *Registry::property(EntryId entry, const std::u16string &key) const
{
    const auto &properties = entries_[entry - 1].properties;
    auto found = properties.find(key);
    return found == properties.end() ? nullptr : &found->second;
}

} // namespace standin
