#include "explain/input/port_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "explain/input/owned_references.h"
#include "explain/input/scalar_values.h"
#include "explain/input/unknown_entries.h"

namespace explain {
namespace {

const char *const portPlane = "IOPort";
const char *const servicePlane = "IOService";
const char *const powerManagerClass = "AppleSmartBattery";
const char *const platformClass = "IOPlatformExpertDevice";

// Deeper than any port's subtree goes (about eight levels); it stops a
// registry whose links run in circles or chains without end.
const unsigned deepestEntry = 32;
// Deeper than any property nests (the power manager's go three levels);
// containers below it are known by their size alone.
const unsigned deepestValue = 16;
// A string of more UTF-16 units than a third of this (whose UTF-8 could be
// longer than 64 KiB; no registry string comes near it) is read as one that
// cannot be converted rather than held whole.
const CFIndex longestString = 65536;

PropertyValue readValue(CFTypeRef value, unsigned depth);

PropertyValue readString(CFStringRef string)
{
    PropertyValue result;
    result.kind = PropertyValue::Kind::unconvertibleString;
    // At most three UTF-8 bytes for each UTF-16 unit, and the terminator.
    CFIndex units = CFStringGetLength(string);
    if (units < 0 || units > longestString / 3) {
        return result;
    }
    std::vector<char> text(static_cast<std::size_t>(units) * 3 + 1, '\0');
    if (CFStringGetCString(string, text.data(), static_cast<CFIndex>(text.size()),
                           kCFStringEncodingUTF8)) {
        result.kind = PropertyValue::Kind::string;
        result.text = text.data(); // up to a zero character, as the report prints it
    }
    return result;
}

// A dictionary's members, in the order the dictionary gives them; keys that
// are not strings (a registry has none) are left out. Keys and values are
// the dictionary's (the Get rule), read while it lives, never released.
std::vector<DictionaryMember> readMembers(CFDictionaryRef dictionary, CFIndex count, unsigned depth)
{
    std::vector<DictionaryMember> members;
    if (count <= 0) {
        return members;
    }
    std::vector<const void *> keys(static_cast<std::size_t>(count), nullptr);
    std::vector<const void *> values(static_cast<std::size_t>(count), nullptr);
    CFDictionaryGetKeysAndValues(dictionary, keys.data(), values.data());
    members.reserve(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (keys[i] == nullptr || values[i] == nullptr ||
            CFGetTypeID(keys[i]) != CFStringGetTypeID()) {
            continue;
        }
        PropertyValue key = readString(static_cast<CFStringRef>(keys[i]));
        if (key.kind != PropertyValue::Kind::string) {
            continue;
        }
        members.push_back(DictionaryMember{std::move(key.text), readValue(values[i], depth)});
    }
    return members;
}

PropertyValue readDictionary(CFDictionaryRef dictionary, unsigned depth)
{
    PropertyValue result;
    result.kind = PropertyValue::Kind::dictionary;
    result.count = CFDictionaryGetCount(dictionary);
    if (depth >= deepestValue) {
        result.contentsKnown = false;
        return result;
    }
    result.members = readMembers(dictionary, result.count, depth + 1);
    return result;
}

PropertyValue readArray(CFArrayRef array, unsigned depth)
{
    PropertyValue result;
    result.kind = PropertyValue::Kind::array;
    result.count = CFArrayGetCount(array);
    if (depth >= deepestValue) {
        result.contentsKnown = false;
        return result;
    }
    for (CFIndex i = 0; i < result.count; ++i) {
        const void *item = CFArrayGetValueAtIndex(array, i); // the Get rule
        if (item != nullptr) {
            result.items.push_back(readValue(item, depth + 1));
        }
    }
    return result;
}

// A set reads as an array of its members, marked as in no order.
PropertyValue readSet(CFSetRef set, unsigned depth)
{
    PropertyValue result;
    result.kind = PropertyValue::Kind::array;
    result.unordered = true;
    result.count = CFSetGetCount(set);
    if (depth >= deepestValue) {
        result.contentsKnown = false;
        return result;
    }
    if (result.count > 0) {
        std::vector<const void *> members(static_cast<std::size_t>(result.count), nullptr);
        CFSetGetValues(set, members.data()); // the Get rule
        for (const void *member : members) {
            if (member != nullptr) {
                result.items.push_back(readValue(member, depth + 1));
            }
        }
    }
    return result;
}

PropertyValue readValue(CFTypeRef value, unsigned depth)
{
    CFTypeID type = CFGetTypeID(value);
    if (type == CFDataGetTypeID()) {
        return readData(static_cast<CFDataRef>(value));
    }
    if (type == CFNumberGetTypeID()) {
        return readNumber(static_cast<CFNumberRef>(value));
    }
    if (type == CFStringGetTypeID()) {
        return readString(static_cast<CFStringRef>(value));
    }
    if (type == CFBooleanGetTypeID()) {
        PropertyValue result;
        result.kind = PropertyValue::Kind::boolean;
        result.boolean = CFBooleanGetValue(static_cast<CFBooleanRef>(value)) != 0;
        return result;
    }
    if (type == CFDictionaryGetTypeID()) {
        return readDictionary(static_cast<CFDictionaryRef>(value), depth);
    }
    if (type == CFArrayGetTypeID()) {
        return readArray(static_cast<CFArrayRef>(value), depth);
    }
    if (type == CFSetGetTypeID()) {
        return readSet(static_cast<CFSetRef>(value), depth);
    }
    PropertyValue result;
    result.kind = PropertyValue::Kind::other;
    result.typeId = type;
    return result;
}

// A name read into a zero-filled buffer: a failed read leaves it empty.
std::string nameText(const io_name_t buffer)
{
    return std::string(buffer, strnlen(buffer, sizeof(io_name_t)));
}

std::optional<std::uint64_t> registryIdOf(io_registry_entry_t entry)
{
    std::uint64_t id = 0;
    if (IORegistryEntryGetRegistryEntryID(entry, &id) != KERN_SUCCESS) {
        return std::nullopt;
    }
    return id;
}

// Whether the entry's class reads as empty: an entry of unknown class, which
// only a capture that lost it holds (a failed read is not taken for one).
bool hasUnknownClass(io_registry_entry_t entry)
{
    io_name_t text;
    std::memset(text, 0, sizeof text);
    return IOObjectGetClass(entry, text) == KERN_SUCCESS && text[0] == '\0';
}

// Whether the entry carries the property, asked without copying the rest.
bool carries(io_registry_entry_t entry, CFStringRef key)
{
    OwnedValue value(IORegistryEntryCreateCFProperty(entry, key, kCFAllocatorDefault, 0));
    return value != nullptr;
}

bool hasMember(const CapturedEntry &entry, const char *key)
{
    for (const DictionaryMember &member : entry.properties) {
        if (member.key == key) {
            return true;
        }
    }
    return false;
}

using IdSet = std::unordered_set<std::uint64_t>;

class PortReader {
public:
    explicit PortReader(mach_port_t mainPort) : mainPort_(mainPort) {}

    PortCapture read()
    {
        OwnedObject root(IORegistryGetRootEntry(mainPort_));
        if (root.get() != IO_OBJECT_NULL) {
            readMember(root.get(), CFSTR("OS Build Version"), "OS Build Version");
            readMember(root.get(), CFSTR("IOKitBuildVersion"), "IOKitBuildVersion");
            readPortPlane(root.get());
            searchServicePlane(root.get());
        }
        readPowerManagers();
        for (CapturedEntry &manager : unknownManagers_) {
            capture_.powerManagers.push_back(std::move(manager));
        }
        readPlatformModel();
        return std::move(capture_);
    }

private:
    // One property of what names the machine, when the entry carries it.
    void readMember(io_registry_entry_t entry, CFStringRef key, const char *keyText)
    {
        OwnedValue value(IORegistryEntryCreateCFProperty(entry, key, kCFAllocatorDefault, 0));
        if (value) {
            capture_.machine.push_back(DictionaryMember{keyText, readValue(value.get(), 1)});
        }
    }

    // The platform entry's "model" alone: the same entry holds the
    // machine's serial number and UUID, so its other properties are not read.
    void readPlatformModel()
    {
        // The lookup consumes the matching description, whatever it returns.
        CFMutableDictionaryRef matching = IOServiceMatching(platformClass);
        if (matching == nullptr) {
            return;
        }
        io_iterator_t services = IO_OBJECT_NULL;
        if (IOServiceGetMatchingServices(mainPort_, matching, &services) != KERN_SUCCESS) {
            return;
        }
        OwnedObject ownedServices(services);
        if (io_service_t service = IOIteratorNext(services); service != IO_OBJECT_NULL) {
            OwnedObject ownedService(service);
            readMember(service, CFSTR("model"), "model");
        }
    }

    // The root's children in the IOPort plane: its ports, and, in a capture
    // of matched entries read as that plane, entries without their port.
    void readPortPlane(io_registry_entry_t root)
    {
        forEachChild(root, portPlane, [&](io_registry_entry_t child) {
            CapturedEntry entry = readEntry(child, portPlane);
            if (entry.className.empty()) {
                takeUnknown(child, portPlane, std::move(entry));
            } else if (hasMember(entry, "PortTypeDescription")) {
                readTree(child, portPlane, entry, ports_);
                capture_.ports.push_back(std::move(entry));
            } else if (hasMember(entry, "ParentPortTypeDescription")) {
                readTree(child, portPlane, entry, ports_);
                capture_.loose.push_back(std::move(entry));
            }
        });
    }

    // Every entry of the IOService plane once, looking for ports the IOPort
    // plane did not hold and for entries found without their port.
    void searchServicePlane(io_registry_entry_t root)
    {
        IdSet searched;
        if (auto rootId = registryIdOf(root)) {
            searched.insert(*rootId);
        }
        searchChildren(root, 1, searched);
    }

    void searchChildren(io_registry_entry_t parent, unsigned depth, IdSet &searched)
    {
        forEachChild(parent, servicePlane, [&](io_registry_entry_t child) {
            std::optional<std::uint64_t> id = registryIdOf(child);
            if (id && !searched.insert(*id).second) {
                return; // met along another path
            }
            if (id && ports_.count(*id) != 0) {
                return; // read already, with what is below it
            }
            // Entries of unknown class stand at the top, where a capture
            // that lost their line puts them; a Mac's root has one child.
            if (depth == 1 && hasUnknownClass(child)) {
                takeUnknown(child, servicePlane, readEntry(child, servicePlane, id));
                return;
            }
            if (carries(child, CFSTR("PortTypeDescription"))) {
                capture_.ports.push_back(readWithTree(child));
                return;
            }
            if (carries(child, CFSTR("ParentPortTypeDescription"))) {
                capture_.loose.push_back(readWithTree(child));
                return;
            }
            // Without its ID an entry cannot be told from one met before,
            // so the search does not go below it: a cycle through it would
            // not end.
            if (id && depth < deepestEntry) {
                searchChildren(child, depth + 1, searched);
            }
        });
    }

    // An entry of unknown class, taken for what its keys say.
    void takeUnknown(io_registry_entry_t child, const char *plane, CapturedEntry entry)
    {
        if (entry.registryId && !unknownSeen_.insert(*entry.registryId).second) {
            return; // met in the other plane
        }
        Recognition recognition = recogniseByKeys(entry);
        capture_.notes.push_back(recognitionNote(recognition, entry));
        switch (recognition.taken) {
        case Recognition::Taken::powerManager: unknownManagers_.push_back(std::move(entry)); break;
        case Recognition::Taken::port:
            readTree(child, plane, entry, ports_);
            capture_.ports.push_back(std::move(entry));
            break;
        case Recognition::Taken::belowPort:
            readTree(child, plane, entry, ports_);
            capture_.loose.push_back(std::move(entry));
            break;
        case Recognition::Taken::nothing: break;
        }
    }

    CapturedEntry readWithTree(io_registry_entry_t entry)
    {
        CapturedEntry captured = readEntry(entry, servicePlane);
        readTree(entry, servicePlane, captured, ports_);
        return captured;
    }

    // Reads everything below entry into captured.children. An entry is read
    // with its subtree where first met in this tree; met again along
    // another path, it is listed without its children; on its own path (a
    // cycle) it is left out. So a tree holds at most one entry per link.
    // Every ID read goes into covered.
    void readTree(io_registry_entry_t entry, const char *plane, CapturedEntry &captured,
                  IdSet &covered)
    {
        IdSet inTree;
        std::vector<std::uint64_t> path;
        if (captured.registryId) {
            covered.insert(*captured.registryId);
            inTree.insert(*captured.registryId);
            path.push_back(*captured.registryId);
        }
        readChildren(entry, plane, captured, 1, inTree, path, covered);
    }

    void readChildren(io_registry_entry_t entry, const char *plane, CapturedEntry &captured,
                      unsigned depth, IdSet &inTree, std::vector<std::uint64_t> &path,
                      IdSet &covered)
    {
        if (depth > deepestEntry) {
            return;
        }
        forEachChild(entry, plane, [&](io_registry_entry_t child) {
            std::optional<std::uint64_t> id = registryIdOf(child);
            bool onPath = id && std::find(path.begin(), path.end(), *id) != path.end();
            if (onPath) {
                return;
            }
            CapturedEntry read = readEntry(child, plane, id);
            // Without its ID an entry is listed without its children: met
            // again, it could not be told apart, and a cycle through it
            // would not end.
            if (id) {
                covered.insert(*id);
                if (inTree.insert(*id).second) {
                    path.push_back(*id);
                    readChildren(child, plane, read, depth + 1, inTree, path, covered);
                    path.pop_back();
                }
            }
            captured.children.push_back(std::move(read));
        });
    }

    void readPowerManagers()
    {
        // The lookup consumes the matching description, whatever it returns.
        CFMutableDictionaryRef matching = IOServiceMatching(powerManagerClass);
        if (matching == nullptr) {
            return;
        }
        io_iterator_t services = IO_OBJECT_NULL;
        if (IOServiceGetMatchingServices(mainPort_, matching, &services) != KERN_SUCCESS) {
            return;
        }
        OwnedObject ownedServices(services);
        io_service_t service;
        while ((service = IOIteratorNext(services)) != IO_OBJECT_NULL) {
            OwnedObject ownedService(service);
            capture_.powerManagers.push_back(readEntry(service, servicePlane));
        }
    }

    template <class Visit>
    static void forEachChild(io_registry_entry_t parent, const char *plane, Visit &&visit)
    {
        io_iterator_t children = IO_OBJECT_NULL;
        if (IORegistryEntryGetChildIterator(parent, plane, &children) != KERN_SUCCESS) {
            return;
        }
        OwnedObject ownedChildren(children);
        io_registry_entry_t child;
        while ((child = IOIteratorNext(children)) != IO_OBJECT_NULL) {
            OwnedObject ownedChild(child);
            visit(child);
        }
    }

    static CapturedEntry readEntry(io_registry_entry_t entry, const char *plane)
    {
        return readEntry(entry, plane, registryIdOf(entry));
    }

    // The entry alone: class, name, location in the plane, ID and every
    // property. What cannot be read is left empty.
    static CapturedEntry readEntry(io_registry_entry_t entry, const char *plane,
                                   std::optional<std::uint64_t> id)
    {
        CapturedEntry captured;
        io_name_t text;
        std::memset(text, 0, sizeof text);
        IOObjectGetClass(entry, text);
        captured.className = nameText(text);
        std::memset(text, 0, sizeof text);
        IORegistryEntryGetName(entry, text);
        captured.name = nameText(text);
        std::memset(text, 0, sizeof text);
        IORegistryEntryGetLocationInPlane(entry, plane, text);
        captured.location = nameText(text);
        captured.registryId = id;

        CFMutableDictionaryRef properties = nullptr;
        if (IORegistryEntryCreateCFProperties(entry, &properties, kCFAllocatorDefault, 0) ==
                KERN_SUCCESS &&
            properties != nullptr) {
            OwnedValue owned(properties);
            captured.properties = readMembers(properties, CFDictionaryGetCount(properties), 1);
        }
        return captured;
    }

    mach_port_t mainPort_;
    PortCapture capture_;
    IdSet ports_; // the IDs of every entry read with a port or loose entry
    IdSet unknownSeen_;
    std::vector<CapturedEntry> unknownManagers_;
};

} // namespace

PortCapture readPortCapture(mach_port_t mainPort) { return PortReader(mainPort).read(); }

} // namespace explain
