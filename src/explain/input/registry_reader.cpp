#include "explain/input/registry_reader.h"

#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "explain/input/owned_references.h"
#include "explain/input/scalar_values.h"
#include "report/tree_walk.h"

namespace explain {
namespace {

const char *const controllerClass = "AppleHPMARMSPMI";
const char *const servicePlane = "IOService";

// The report's limit, terminator included: a string it shows as
// "<unconvertible string>" reads as unconvertible here too, so a registry
// explains the same whether it is read live or from a pasted report.
const CFIndex stringBufferSize = 512;

// The members of a dictionary property that the explanation looks for.
const char *const dictionaryMembers[] = {
    "VDOs",
    "Vendor ID",
    "Product ID",
    "bcdDevice",
    "Product Type",
    "Product Type Description",
    "Vendor ID (SOP)",
    "Product ID (SOP)",
    "VDO Count",
};

// Where a value sits: a property's containers are read into, a member's
// arrays too (the VDOs of "Metadata"), an array item's containers only
// counted.
enum class Place { property, member, item };

PropertyValue readValue(CFTypeRef value, Place place);

PropertyValue readString(CFStringRef string)
{
    PropertyValue result;
    char text[stringBufferSize];
    text[0] = '\0';
    if (CFStringGetCString(string, text, stringBufferSize, kCFStringEncodingUTF8)) {
        result.kind = PropertyValue::Kind::string;
        result.text = text; // up to a zero character, as the report prints it
    } else {
        result.kind = PropertyValue::Kind::unconvertibleString;
    }
    return result;
}

PropertyValue readDictionary(CFDictionaryRef dictionary, Place place)
{
    PropertyValue result;
    result.kind = PropertyValue::Kind::dictionary;
    result.count = CFDictionaryGetCount(dictionary);
    if (place != Place::property) {
        result.contentsKnown = false;
        return result;
    }
    for (const char *name : dictionaryMembers) {
        OwnedValue key(CFStringCreateWithCString(kCFAllocatorDefault, name, kCFStringEncodingUTF8));
        if (!key) {
            continue;
        }
        // The Get rule: the member is the dictionary's, read before the
        // dictionary is released and never released here.
        const void *member = CFDictionaryGetValue(dictionary, key.get());
        if (member != nullptr) {
            result.members.push_back(DictionaryMember{name, readValue(member, Place::member)});
        }
    }
    return result;
}

PropertyValue readArray(CFArrayRef array, Place place)
{
    PropertyValue result;
    result.kind = PropertyValue::Kind::array;
    result.count = CFArrayGetCount(array);
    if (place == Place::item) {
        result.contentsKnown = false;
        return result;
    }
    if (result.count > 0) {
        result.items.reserve(static_cast<std::size_t>(result.count));
    }
    for (CFIndex i = 0; i < result.count; ++i) {
        const void *item = CFArrayGetValueAtIndex(array, i); // the Get rule, as above
        if (item != nullptr) {
            result.items.push_back(readValue(item, Place::item));
        }
    }
    return result;
}

PropertyValue readValue(CFTypeRef value, Place place)
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
        // Kept for the places that show the value as the report does.
        result.typeId = type;
        return result;
    }
    if (type == CFDictionaryGetTypeID()) {
        return readDictionary(static_cast<CFDictionaryRef>(value), place);
    }
    if (type == CFArrayGetTypeID()) {
        return readArray(static_cast<CFArrayRef>(value), place);
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

class WalkReader {
    using Properties = std::vector<std::pair<std::string, PropertyValue>>;

public:
    void readEntry(io_registry_entry_t entry, unsigned depth)
    {
        io_name_t className;
        io_name_t name;
        std::memset(className, 0, sizeof className);
        std::memset(name, 0, sizeof name);
        IOObjectGetClass(entry, className);
        IORegistryEntryGetName(entry, name);

        path_.push_back(nameText(name));
        WalkedEntry walked;
        walked.depth = depth;
        walked.path = path_;
        walked.className = nameText(className);
        readProperties(entry, walked);
        walk_.entries.push_back(std::move(walked));
        // Nothing below the deepest level is shown, so nothing there is read.
        if (depth < maxWalkDepth) {
            readChildren(entry, depth);
        }
        path_.pop_back();
    }

    // What was read since the last take; the reader starts afresh.
    RegistryWalk take() { return std::exchange(walk_, RegistryWalk()); }

private:
    // Read into a list kept from entry to entry, then moved into one of
    // the entry's own of just the size it needs.
    void readProperties(io_registry_entry_t entry, WalkedEntry &walked)
    {
        found_.clear();
        for (uint32_t i = 0; i < propertyKeyCount; ++i) {
            const char *keyText = propertyKeys[i];
            {
                OwnedValue value = lookUpProperty(entry, keyText);
                if (!value) {
                    continue;
                }
                found_.emplace_back(keyText, readValue(value.get(), Place::property));
            }
            // Read once the number is released: no more references are held
            // at once than for the property itself.
            if (found_.back().second.kind == PropertyValue::Kind::integer) {
                readDescription(entry, keyText, walked);
            }
        }
        walked.properties.assign(std::make_move_iterator(found_.begin()),
                                 std::make_move_iterator(found_.end()));
    }

    static void readDescription(io_registry_entry_t entry, const char *keyText, WalkedEntry &walked)
    {
        const std::string describing = std::string(keyText) + "Description";
        OwnedValue value = lookUpProperty(entry, describing.c_str());
        if (value && CFGetTypeID(value.get()) == CFStringGetTypeID()) {
            PropertyValue words = readString(static_cast<CFStringRef>(value.get()));
            if (words.kind == PropertyValue::Kind::string && !words.text.empty()) {
                walked.descriptions.emplace_back(keyText, std::move(words.text));
            }
        }
    }

    // The property's new reference, or none. Its key is released before the
    // value is read, so that reading a dictionary's members holds no more
    // references at once than the report's walk does.
    static OwnedValue lookUpProperty(io_registry_entry_t entry, const char *keyText)
    {
        OwnedValue key(
            CFStringCreateWithCString(kCFAllocatorDefault, keyText, kCFStringEncodingUTF8));
        if (!key) {
            return OwnedValue();
        }
        return OwnedValue(IORegistryEntryCreateCFProperty(
            entry, static_cast<CFStringRef>(key.get()), kCFAllocatorDefault, 0));
    }

    void readChildren(io_registry_entry_t entry, unsigned depth)
    {
        io_iterator_t children = IO_OBJECT_NULL;
        if (IORegistryEntryGetChildIterator(entry, servicePlane, &children) != KERN_SUCCESS) {
            return;
        }
        OwnedObject ownedChildren(children);
        io_registry_entry_t child;
        while ((child = IOIteratorNext(children)) != IO_OBJECT_NULL) {
            OwnedObject ownedChild(child);
            readEntry(child, depth + 1);
        }
    }

    RegistryWalk walk_;
    std::vector<std::string> path_; // names from the controller to the entry being read
    Properties found_;
};

} // namespace

void readRegistryWalk(mach_port_t mainPort, const WalkPartSink &sink)
{
    // The lookup consumes the matching description, whatever it returns.
    CFMutableDictionaryRef matching = IOServiceMatching(controllerClass);
    if (matching == nullptr) {
        return;
    }
    io_iterator_t services = IO_OBJECT_NULL;
    if (IOServiceGetMatchingServices(mainPort, matching, &services) != KERN_SUCCESS) {
        return;
    }
    OwnedObject ownedServices(services);
    WalkReader reader;
    io_service_t service;
    while ((service = IOIteratorNext(services)) != IO_OBJECT_NULL) {
        OwnedObject ownedService(service);
        reader.readEntry(service, 0);
        sink(reader.take());
    }
}

RegistryWalk readRegistryWalk(mach_port_t mainPort)
{
    RegistryWalk walk;
    readRegistryWalk(mainPort, [&walk](RegistryWalk &&part) {
        for (WalkedEntry &entry : part.entries) {
            walk.entries.push_back(std::move(entry));
        }
    });
    return walk;
}

} // namespace explain
