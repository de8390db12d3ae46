// The IOKit entry points of the stand-in.
#include <algorithm>
#include <cstring>

#include "platform/standin/guarded.h"
#include "platform/standin/iokit_api.h"
#include "platform/standin/utf.h"

using standin::Call;
using standin::EntryId;
using standin::guarded;
using standin::HandleKind;
using standin::HandleRecord;
using standin::world;

namespace {

const std::size_t nameCapacity = sizeof(io_name_t) - 1;

// The entry behind a handle, or 0 (with the misuse recorded) when the handle
// is not a live registry entry.
EntryId entryOf(io_object_t object, const char *operation)
{
    HandleRecord *record = world().references.handle(object, operation);
    if (record == nullptr) {
        return 0;
    }
    if (record->kind != HandleKind::entry) {
        world().references.misuse(std::string(operation) + ": " +
                                  world().references.nameOf(object) + " is not a registry entry");
        return 0;
    }
    return record->entry;
}

// Copies at most 127 bytes and a terminating zero, as the system does.
void copyName(const std::string &text, char *out)
{
    std::size_t length = std::min(text.size(), nameCapacity);
    std::memcpy(out, text.data(), length);
    out[length] = '\0';
}

std::optional<kern_return_t> fault(Call call, EntryId entry, const char *detail)
{
    return world().faults.check(
        call, entry, [detail] { return detail == nullptr ? std::string() : std::string(detail); });
}

kern_return_t readName(io_object_t object, char *out, Call call, const char *operation,
                       bool wantClass)
{
    return guarded(operation, kIOReturnNoMemory, [&] {
        EntryId entry = entryOf(object, operation);
        if (entry == 0 || out == nullptr) {
            return kIOReturnBadArgument;
        }
        if (auto status = fault(call, entry, nullptr)) {
            return *status;
        }
        const standin::Entry &found = world().registry.entry(entry);
        copyName(wantClass ? found.className : found.name, out);
        return kern_return_t{KERN_SUCCESS};
    });
}

// The class a matching dictionary asks for: its "IOProviderClass" string.
std::optional<std::string> providerClass(const standin::Value &matching)
{
    const auto *items = matching.as<standin::DictionaryItems>();
    if (items == nullptr) {
        return std::nullopt;
    }
    for (const auto &item : *items) {
        const auto *key = item.first->as<std::u16string>();
        const auto *text = item.second->as<std::u16string>();
        if (key != nullptr && text != nullptr && *key == u"" kIOProviderClassKey) {
            return standin::utf8FromUtf16(*text);
        }
    }
    return std::nullopt;
}

bool knownInterest(const char *type)
{
    for (const char *known : {kIOGeneralInterest, kIOBusyInterest, kIOAppPowerStateInterest,
                              kIOPriorityPowerStateInterest}) {
        if (std::strcmp(type, known) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

extern "C" {

const mach_port_t kIOMainPortDefault = 0;

CFMutableDictionaryRef IOServiceMatching(const char *name)
{
    return guarded("IOServiceMatching", static_cast<CFMutableDictionaryRef>(nullptr),
                   [&]() -> CFMutableDictionaryRef {
                       if (name == nullptr) {
                           return nullptr;
                       }
                       auto matching = standin::makeDictionary(
                           {{kIOProviderClassKey, standin::makeString(name)}});
                       CFTypeRef ref = world().references.addValue(
                           matching, standin::Origin("IOServiceMatching"));
                       // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast)
                       return static_cast<CFMutableDictionaryRef>(const_cast<void *>(ref));
                   });
}

kern_return_t IOServiceGetMatchingServices(mach_port_t mainPort, CFDictionaryRef matching,
                                           io_iterator_t *existing)
{
    return guarded("IOServiceGetMatchingServices", kIOReturnNoMemory, [&] {
        auto &w = world();
        (void)mainPort;
        // The matching dictionary is consumed on every path, failures included.
        std::optional<std::string> className;
        if (const standin::Value *value =
                w.references.value(matching, "IOServiceGetMatchingServices")) {
            className = providerClass(*value);
            w.references.releaseValue(matching, "IOServiceGetMatchingServices");
        }
        if (!className || existing == nullptr) {
            return kIOReturnBadArgument;
        }
        if (auto status = fault(Call::serviceLookup, 0, className->c_str())) {
            return *status;
        }
        HandleRecord iterator;
        iterator.kind = HandleKind::iterator;
        iterator.operation = "IOServiceGetMatchingServices";
        iterator.detail = "of class " + *className;
        iterator.items = w.registry.sharedEntriesOfClass(*className);
        *existing = w.references.addHandle(std::move(iterator));
        return kern_return_t{KERN_SUCCESS};
    });
}

io_object_t IOIteratorNext(io_iterator_t iterator)
{
    return guarded("IOIteratorNext", io_object_t{IO_OBJECT_NULL}, [&] {
        auto &w = world();
        HandleRecord *record = w.references.handle(iterator, "IOIteratorNext");
        if (record == nullptr) {
            return io_object_t{IO_OBJECT_NULL};
        }
        if (record->kind != HandleKind::iterator) {
            w.references.misuse("IOIteratorNext: " + w.references.nameOf(iterator) +
                                " is not an iterator");
            return io_object_t{IO_OBJECT_NULL};
        }
        if (!record->items || record->next >= record->items->size()) {
            return io_object_t{IO_OBJECT_NULL};
        }
        HandleRecord entry;
        entry.entry = (*record->items)[record->next++];
        entry.operation = "IOIteratorNext";
        return w.references.addHandle(std::move(entry));
    });
}

kern_return_t IOObjectRelease(io_object_t object)
{
    return guarded("IOObjectRelease", kIOReturnNoMemory, [&] {
        bool released = world().references.releaseHandle(object, "IOObjectRelease");
        return released ? kern_return_t{KERN_SUCCESS} : kIOReturnBadArgument;
    });
}

kern_return_t IOObjectGetClass(io_object_t object, io_name_t className)
{
    return readName(object, className, Call::classRead, "IOObjectGetClass", true);
}

kern_return_t IORegistryEntryGetName(io_registry_entry_t entry, io_name_t name)
{
    return readName(entry, name, Call::nameRead, "IORegistryEntryGetName", false);
}

CFTypeRef IORegistryEntryCreateCFProperty(io_registry_entry_t entry, CFStringRef key,
                                          CFAllocatorRef allocator, IOOptionBits options)
{
    const char *operation = "IORegistryEntryCreateCFProperty";
    return guarded(operation, static_cast<CFTypeRef>(nullptr), [&]() -> CFTypeRef {
        auto &w = world();
        EntryId id = entryOf(entry, operation);
        const standin::Value *keyValue = w.references.value(key, operation);
        if (id == 0 || keyValue == nullptr) {
            return nullptr;
        }
        const auto *keyText = keyValue->as<std::u16string>();
        if (keyText == nullptr || allocator != kCFAllocatorDefault || options != 0) {
            w.references.misuse(std::string(operation) +
                                ": the key must be a string, with the default allocator "
                                "and no options");
            return nullptr;
        }
        if (w.faults.check(Call::propertyLookup, id,
                           [keyText] { return standin::utf8ForDisplay(*keyText); })) {
            return nullptr;
        }
        const standin::ValuePtr *found = w.registry.property(id, *keyText);
        if (found == nullptr) {
            return nullptr;
        }
        return w.references.addValue(*found, {operation, id, w.references.sharedValue(key)});
    });
}

io_registry_entry_t IORegistryGetRootEntry(mach_port_t mainPort)
{
    return guarded("IORegistryGetRootEntry", io_object_t{IO_OBJECT_NULL}, [&] {
        auto &w = world();
        (void)mainPort;
        if (fault(Call::rootLookup, 0, nullptr)) {
            return io_object_t{IO_OBJECT_NULL};
        }
        HandleRecord root;
        root.entry = w.registry.root();
        root.operation = "IORegistryGetRootEntry";
        return w.references.addHandle(std::move(root));
    });
}

kern_return_t IORegistryEntryGetRegistryEntryID(io_registry_entry_t entry, uint64_t *entryID)
{
    const char *operation = "IORegistryEntryGetRegistryEntryID";
    return guarded(operation, kIOReturnNoMemory, [&] {
        EntryId id = entryOf(entry, operation);
        if (id == 0 || entryID == nullptr) {
            return kIOReturnBadArgument;
        }
        if (auto status = fault(Call::registryIdRead, id, nullptr)) {
            return *status;
        }
        *entryID = world().registry.entry(id).registryId;
        return kern_return_t{KERN_SUCCESS};
    });
}

kern_return_t IORegistryEntryGetLocationInPlane(io_registry_entry_t entry, const io_name_t plane,
                                                io_name_t location)
{
    const char *operation = "IORegistryEntryGetLocationInPlane";
    return guarded(operation, kIOReturnNoMemory, [&] {
        auto &w = world();
        EntryId id = entryOf(entry, operation);
        standin::PlaneId planeId = 0;
        if (id == 0 || plane == nullptr || location == nullptr ||
            !w.registry.findPlane(plane, planeId)) {
            return kIOReturnBadArgument;
        }
        if (auto status = fault(Call::locationRead, id, plane)) {
            return *status;
        }
        // An entry without a location in the plane has none to give; the
        // caller's buffer is left as it was.
        const std::string *found = w.registry.location(id, planeId);
        if (found == nullptr) {
            return kIOReturnNotFound;
        }
        copyName(*found, location);
        return kern_return_t{KERN_SUCCESS};
    });
}

kern_return_t IORegistryEntryCreateCFProperties(io_registry_entry_t entry,
                                                CFMutableDictionaryRef *properties,
                                                CFAllocatorRef allocator, IOOptionBits options)
{
    const char *operation = "IORegistryEntryCreateCFProperties";
    return guarded(operation, kIOReturnNoMemory, [&] {
        auto &w = world();
        EntryId id = entryOf(entry, operation);
        if (id == 0 || properties == nullptr) {
            return kIOReturnBadArgument;
        }
        if (allocator != kCFAllocatorDefault || options != 0) {
            w.references.misuse(std::string(operation) +
                                ": the default allocator and no options are the only ones");
            return kIOReturnBadArgument;
        }
        if (auto status = fault(Call::propertiesCopy, id, nullptr)) {
            return *status;
        }
        // A new dictionary of the entry's own properties. The system's order
        // is its hash order; this one is the keys' order, the same on every
        // platform.
        const auto &table = w.registry.entry(id).properties;
        std::vector<const std::pair<const std::u16string, standin::ValuePtr> *> sorted;
        sorted.reserve(table.size());
        for (const auto &property : table) {
            sorted.push_back(&property);
        }
        std::sort(sorted.begin(), sorted.end(),
                  [](const auto *a, const auto *b) { return a->first < b->first; });
        standin::DictionaryItems items;
        items.reserve(sorted.size());
        for (const auto *property : sorted) {
            items.emplace_back(standin::makeUtf16String(property->first), property->second);
        }
        CFTypeRef made = w.references.addValue(standin::makeDictionary(std::move(items)),
                                               standin::Origin(operation, id));
        // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast)
        *properties = static_cast<CFMutableDictionaryRef>(const_cast<void *>(made));
        return kern_return_t{KERN_SUCCESS};
    });
}

kern_return_t IORegistryEntryGetChildIterator(io_registry_entry_t entry, const io_name_t plane,
                                              io_iterator_t *iterator)
{
    const char *operation = "IORegistryEntryGetChildIterator";
    return guarded(operation, kIOReturnNoMemory, [&] {
        auto &w = world();
        EntryId id = entryOf(entry, operation);
        standin::PlaneId planeId = 0;
        if (id == 0 || plane == nullptr || iterator == nullptr ||
            !w.registry.findPlane(plane, planeId)) {
            return kIOReturnBadArgument;
        }
        if (auto status = fault(Call::childIterator, id, plane)) {
            return *status;
        }
        HandleRecord children;
        children.kind = HandleKind::iterator;
        children.entry = id;
        children.operation = operation;
        children.detail = std::string("in ") + plane;
        children.items = w.registry.sharedChildren(id, planeId);
        *iterator = w.references.addHandle(std::move(children));
        return kern_return_t{KERN_SUCCESS};
    });
}

IONotificationPortRef IONotificationPortCreate(mach_port_t mainPort)
{
    return guarded("IONotificationPortCreate", static_cast<IONotificationPortRef>(nullptr),
                   [&]() -> IONotificationPortRef {
                       (void)mainPort;
                       if (fault(Call::notificationPortCreate, 0, nullptr)) {
                           return nullptr;
                       }
                       return world().references.addPort();
                   });
}

void IONotificationPortDestroy(IONotificationPortRef notify)
{
    standin::guardedVoid("IONotificationPortDestroy", [&] {
        world().references.destroyPort(notify, "IONotificationPortDestroy");
    });
}

kern_return_t IOServiceAddInterestNotification(IONotificationPortRef notifyPort,
                                               io_service_t service, const io_name_t interestType,
                                               IOServiceInterestCallback callback, void *refCon,
                                               io_object_t *notification)
{
    const char *operation = "IOServiceAddInterestNotification";
    return guarded(operation, kIOReturnNoMemory, [&] {
        auto &w = world();
        // No notification is ever delivered, so the callback and its context
        // are never used; a null callback is accepted, as the system accepts it.
        (void)callback;
        (void)refCon;
        std::uint64_t port = w.references.portSerial(notifyPort, operation);
        EntryId id = entryOf(service, operation);
        if (port == 0 || id == 0 || interestType == nullptr || notification == nullptr ||
            !knownInterest(interestType)) {
            return kIOReturnBadArgument;
        }
        if (auto status = fault(Call::interestRegistration, id, interestType)) {
            return *status;
        }
        HandleRecord record;
        record.kind = HandleKind::notification;
        record.entry = id;
        record.operation = operation;
        record.port = port;
        record.detail = interestType;
        *notification = w.references.addHandle(std::move(record));
        return kern_return_t{KERN_SUCCESS};
    });
}

} // extern "C"
