// The stand-in's I/O registry: entries with a class, a name and their own
// properties, linked into planes. An entry may have several parents in a
// plane, and a plane may have cycles; nothing here forbids either.
#ifndef PORTPROBE_STANDIN_REGISTRY_H
#define PORTPROBE_STANDIN_REGISTRY_H

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/standin/value.h"

namespace standin {

using EntryId = std::uint32_t; // 0 is no entry
using PlaneId = std::uint32_t;

// A list of entries that iterators share with the registry: an iterator
// holds the list as it was when it was made, without a copy; the registry
// copies a list only to change it while an iterator holds it.
using EntryList = std::vector<EntryId>;
using SharedEntryList = std::shared_ptr<const EntryList>;

struct Entry {
    std::string className;
    std::string name;
    std::unordered_map<std::u16string, ValuePtr> properties;
    std::vector<std::shared_ptr<EntryList>> children; // indexed by PlaneId; may be null
    // Its locations, each in the plane where it was given one.
    std::vector<std::pair<PlaneId, std::string>> locations;
    // Unique in the registry: given by a snapshot, or made by the registry.
    std::uint64_t registryId = 0;
    bool registryIdGiven = false;
    // A bit for each property key, chosen by a cheap hash of the key: most
    // lookups ask for a property that the entry does not have, and a clear
    // bit answers those without a search.
    std::uint64_t keyBits = 0;
};

class Registry {
public:
    Registry();

    EntryId addEntry(std::string className, std::string name);
    // The root of every plane (class "IORegistryEntry", name "Root"), made
    // when first asked for; its children in a plane are the plane's
    // top-level entries.
    EntryId root();
    // Gives the entry this registry ID. An ID the registry made for another
    // entry is taken from it (that entry gets a new one); an ID given to
    // another entry is not, and then false is returned.
    bool setRegistryId(EntryId entry, std::uint64_t registryId);
    // Sets the entry's location in the plane (the plane made if new).
    void setLocation(EntryId entry, std::string_view plane, std::string location);
    // The entry's location in the plane, or null when it has none there.
    const std::string *location(EntryId entry, PlaneId plane) const;
    void setProperty(EntryId entry, std::u16string key, ValuePtr value);
    void addChild(EntryId parent, EntryId child, std::string_view plane);

    bool contains(EntryId entry) const { return entry != 0 && entry <= entries_.size(); }
    const Entry &entry(EntryId id) const { return entries_[id - 1]; }
    std::size_t size() const { return entries_.size(); }

    // Every entry of exactly this class, in the order the entries were added.
    const std::vector<EntryId> &entriesOfClass(std::string_view className) const;
    const std::vector<EntryId> &children(EntryId entry, PlaneId plane) const;
    // The same lists, for an iterator to hold.
    SharedEntryList sharedEntriesOfClass(std::string_view className) const;
    SharedEntryList sharedChildren(EntryId entry, PlaneId plane) const;
    const ValuePtr *property(EntryId entry, const std::u16string &key) const;

    // Planes come into being when a child is first linked in them; the
    // service and power planes always exist.
    bool findPlane(std::string_view name, PlaneId &plane) const;

private:
    PlaneId planeNamed(std::string_view name);
    Entry &mutableEntry(EntryId id);
    static void append(std::shared_ptr<EntryList> &list, EntryId entry);

    std::vector<Entry> entries_;
    std::unordered_map<std::string, std::shared_ptr<EntryList>> byClass_;
    std::vector<std::string> planes_;
    EntryId root_ = 0;
    std::unordered_map<std::uint64_t, EntryId> byRegistryId_;
    std::uint64_t nextMadeId_ = madeIdBase;
    // Where the IDs the registry makes start: far above the IDs a machine
    // hands out (0x100000000 and a few thousand up), so that the two meet
    // only in a made-up snapshot, where setRegistryId sorts them out.
    static constexpr std::uint64_t madeIdBase = 0x7000000000000000ULL;
    std::uint64_t makeRegistryId();
};

} // namespace standin

#endif
