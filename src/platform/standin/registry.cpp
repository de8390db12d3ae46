#include "platform/standin/registry.h"

#include <stdexcept>

namespace standin {
namespace {
const std::vector<EntryId> noEntries;
const SharedEntryList noSharedEntries = std::make_shared<const EntryList>();

// The key's bit in Entry::keyBits, from its length and three of its units.
std::uint64_t keyBit(const std::u16string &key)
{
    std::uint64_t hash = key.size();
    if (!key.empty()) {
        hash = (hash * 0x100000001b3ULL) ^ key.front();
        hash = (hash * 0x100000001b3ULL) ^ key[key.size() / 2];
        hash = (hash * 0x100000001b3ULL) ^ key.back();
    }
    return std::uint64_t{1} << ((hash * 0x9e3779b97f4a7c15ULL) >> 58);
}
} // namespace

void Registry::append(std::shared_ptr<EntryList> &list, EntryId entry)
{
    if (!list) {
        list = std::make_shared<EntryList>();
    } else if (list.use_count() > 1) {
        list = std::make_shared<EntryList>(*list); // an iterator keeps the old one
    }
    list->push_back(entry);
}

Registry::Registry() : planes_{"IOService", "IOPower"} {}

EntryId Registry::addEntry(std::string className, std::string name)
{
    if (entries_.size() >= UINT32_MAX - 1) {
        throw std::length_error("registry is full");
    }
    std::uint64_t registryId = makeRegistryId();
    entries_.push_back(Entry{className, std::move(name), {}, {}, {}, 0, false, 0});
    auto id = static_cast<EntryId>(entries_.size());
    entries_.back().registryId = registryId;
    byRegistryId_.emplace(registryId, id);
    append(byClass_[std::move(className)], id);
    return id;
}

std::uint64_t Registry::makeRegistryId()
{
    while (byRegistryId_.count(nextMadeId_) != 0) {
        ++nextMadeId_;
    }
    return nextMadeId_++;
}

EntryId Registry::root()
{
    if (root_ == 0) {
        root_ = addEntry("IORegistryEntry", "Root");
    }
    return root_;
}

bool Registry::setRegistryId(EntryId entry, std::uint64_t registryId)
{
    Entry &changed = mutableEntry(entry);
    auto found = byRegistryId_.find(registryId);
    if (found != byRegistryId_.end() && found->second != entry) {
        Entry &holder = entries_[found->second - 1];
        if (holder.registryIdGiven) {
            return false;
        }
        EntryId holderId = found->second;
        holder.registryId = makeRegistryId();
        byRegistryId_.erase(found);
        byRegistryId_.emplace(holder.registryId, holderId);
    }
    byRegistryId_.erase(changed.registryId);
    changed.registryId = registryId;
    changed.registryIdGiven = true;
    byRegistryId_[registryId] = entry;
    return true;
}

void Registry::setLocation(EntryId entry, std::string_view plane, std::string location)
{
    Entry &located = mutableEntry(entry);
    PlaneId id = planeNamed(plane);
    for (auto &known : located.locations) {
        if (known.first == id) {
            known.second = std::move(location);
            return;
        }
    }
    located.locations.emplace_back(id, std::move(location));
}

const std::string *Registry::location(EntryId entry, PlaneId plane) const
{
    for (const auto &known : entries_[entry - 1].locations) {
        if (known.first == plane) {
            return &known.second;
        }
    }
    return nullptr;
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
    Entry &found = mutableEntry(entry);
    found.keyBits |= keyBit(key);
    found.properties[std::move(key)] = std::move(value);
}

void Registry::addChild(EntryId parent, EntryId child, std::string_view plane)
{
    mutableEntry(child);
    Entry &parentEntry = mutableEntry(parent);
    PlaneId id = planeNamed(plane);
    if (parentEntry.children.size() <= id) {
        parentEntry.children.resize(id + 1);
    }
    append(parentEntry.children[id], child);
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
    return found == byClass_.end() ? noEntries : *found->second;
}

const std::vector<EntryId> &Registry::children(EntryId entry, PlaneId plane) const
{
    const Entry &parent = entries_[entry - 1];
    return plane < parent.children.size() && parent.children[plane] ? *parent.children[plane]
                                                                    : noEntries;
}

SharedEntryList Registry::sharedEntriesOfClass(std::string_view className) const
{
    auto found = byClass_.find(std::string(className));
    return found == byClass_.end() ? noSharedEntries : found->second;
}

SharedEntryList Registry::sharedChildren(EntryId entry, PlaneId plane) const
{
    const Entry &parent = entries_[entry - 1];
    return plane < parent.children.size() && parent.children[plane] ? parent.children[plane]
                                                                    : noSharedEntries;
}

const ValuePtr *Registry::property(EntryId entry, const std::u16string &key) const
{
    const Entry &holder = entries_[entry - 1];
    if ((holder.keyBits & keyBit(key)) == 0) {
        return nullptr;
    }
    const auto &properties = holder.properties;
    auto found = properties.find(key);
    return found == properties.end() ? nullptr : &found->second;
}

} // namespace standin
