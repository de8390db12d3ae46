#include "platform/standin/references.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "platform/standin/utf.h"

namespace standin {
namespace {

// Opaque pointers: a serial number scaled into an address range that no
// allocation uses, so that nothing can mistake them for memory.
const std::uintptr_t valueBase = 0x500000000000;
const std::uintptr_t portBase = 0x600000000000;
// The most numbers that fit the range between the two bases.
const std::uint64_t lastSerial = (std::uint64_t{1} << 36) - 1;

const void *pointerFor(std::uintptr_t base, std::uint64_t serial)
{
    return reinterpret_cast<const void *>(base + serial * 16); // NOLINT(performance-no-int-to-ptr)
}

std::uint64_t serialOf(std::uintptr_t base, const void *pointer)
{
    auto address = reinterpret_cast<std::uintptr_t>(pointer);
    if (address <= base || address % 16 != 0 || address - base > (std::uintptr_t{1} << 40)) {
        return 0;
    }
    return (address - base) / 16;
}

std::string hex(std::uint64_t number)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(number));
    return text;
}

} // namespace

std::string AuditReport::text() const
{
    std::string out;
    for (const auto &line : outstanding) {
        out += "still held: " + line + "\n";
    }
    for (const auto &line : misuse) {
        out += "misuse: " + line + "\n";
    }
    return out;
}

void References::acquired()
{
    ++held_;
    peakHeld_ = std::max(peakHeld_, held_);
}

std::string References::describeEntry(EntryId entry) const
{
    if (!registry_.contains(entry)) {
        return "entry " + std::to_string(entry);
    }
    const Entry &found = registry_.entry(entry);
    return "entry " + std::to_string(entry) + " [" + found.className + "] " + found.name;
}

std::string References::describe(std::uint64_t serial, const ValueRecord &record) const
{
    std::string text = "value #" + std::to_string(serial) + " (" + describeValue(*record.value);
    if (record.constant) {
        text += ", constant";
    } else {
        text += ", from ";
        text += record.origin.operation;
        if (record.origin.key) {
            text += " of \"" + utf8ForDisplay(*record.origin.key->as<std::u16string>()) + "\"";
        }
        if (record.container != 0) {
            text += " in value #" + std::to_string(record.container);
        }
        if (record.origin.entry != 0) {
            text += " on " + describeEntry(record.origin.entry);
        }
    }
    return text + ")";
}

std::string References::describe(io_object_t object, const HandleRecord &record) const
{
    static const char *const kinds[] = {"entry", "iterator", "notification"};
    std::string text = "handle " + hex(object) + " (" + kinds[static_cast<int>(record.kind)];
    if (!record.detail.empty()) {
        text += " " + record.detail;
    }
    if (record.entry != 0) {
        text += " for " + describeEntry(record.entry);
    }
    return text + ", from " + record.operation + ")";
}

std::string References::staleValue(std::uint64_t serial) const
{
    if (const ValueRecord *record = releasedValues_.find(serial)) {
        return describe(serial, *record);
    }
    return "value #" + std::to_string(serial);
}

std::string References::staleHandle(io_object_t object) const
{
    if (const HandleRecord *record = releasedHandles_.find(object)) {
        return describe(object, *record);
    }
    return "handle " + hex(object);
}

std::string References::nameOf(CFTypeRef ref) const
{
    std::uint64_t serial = serialOf(valueBase, ref);
    const ValueRecord *found = values_.find(serial);
    return found == nullptr ? "value #" + std::to_string(serial) : describe(serial, *found);
}

std::string References::nameOf(io_object_t object) const
{
    const HandleRecord *found = handles_.find(object);
    return found == nullptr ? "handle " + hex(object) : describe(object, *found);
}

CFTypeRef References::addValue(ValuePtr value, Origin origin)
{
    if (nextValue_ > lastSerial) {
        throw std::length_error("value numbers exhausted");
    }
    std::uint64_t serial = nextValue_++;
    ValueRecord &record = values_.insert(serial);
    record.value = std::move(value);
    record.origin = std::move(origin);
    acquired();
    return pointerFor(valueBase, serial);
}

CFStringRef References::constantString(const char *text)
{
    auto found = constants_.find(std::string_view(text));
    if (found == constants_.end()) {
        if (nextValue_ > lastSerial) {
            throw std::length_error("value numbers exhausted");
        }
        ValuePtr string = makeString(text);
        std::uint64_t serial = nextValue_++;
        ValueRecord &record = values_.insert(serial);
        record.value = std::move(string);
        record.origin = Origin("CFSTR");
        record.constant = true;
        found = constants_.emplace(text, serial).first;
    }
    return static_cast<CFStringRef>(pointerFor(valueBase, found->second));
}

void References::noteDeadValue(CFTypeRef ref, std::uint64_t serial, const char *operation)
{
    if (ref == nullptr) {
        misuse(std::string(operation) + ": null value");
    } else if (serial != 0 && serial < nextValue_) {
        const ValueRecord *released = releasedValues_.find(serial);
        if (released != nullptr && released->diedWithContainer) {
            misuse(std::string(operation) + ": " + staleValue(serial) +
                   " used after its container, value #" + std::to_string(released->container) +
                   ", was released");
        } else {
            misuse(std::string(operation) + ": " + staleValue(serial) + " used after its release");
        }
    } else {
        misuse(std::string(operation) + ": " + hex(reinterpret_cast<std::uintptr_t>(ref)) +
               " is not a value handed out");
    }
}

const ValuePtr *References::liveValue(CFTypeRef ref, const char *operation)
{
    std::uint64_t serial = serialOf(valueBase, ref);
    if (ValueRecord *found = values_.find(serial)) {
        return &found->value;
    }
    noteDeadValue(ref, serial, operation);
    return nullptr;
}

const Value *References::value(CFTypeRef ref, const char *operation)
{
    const ValuePtr *found = liveValue(ref, operation);
    return found == nullptr ? nullptr : found->get();
}

ValuePtr References::sharedValue(CFTypeRef ref) const
{
    const ValueRecord *found = values_.find(serialOf(valueBase, ref));
    return found == nullptr ? nullptr : found->value;
}

void References::retainValue(CFTypeRef ref, const char *operation)
{
    std::uint64_t serial = serialOf(valueBase, ref);
    ValueRecord *record = values_.find(serial);
    if (record == nullptr) {
        noteDeadValue(ref, serial, operation);
        return;
    }
    ++record->count;
    if (!record->constant) {
        acquired();
    }
}

void References::releaseValue(CFTypeRef ref, const char *operation)
{
    std::uint64_t serial = serialOf(valueBase, ref);
    ValueRecord *found = values_.find(serial);
    if (found == nullptr) {
        if (ref != nullptr && serial != 0 && serial < nextValue_) {
            misuse(std::string(operation) + ": " + staleValue(serial) + " was already released");
        } else {
            noteDeadValue(ref, serial, operation); // the null or foreign pointer
        }
        return;
    }
    if (found->constant) {
        // A constant may be retained and released in balance, as any string
        // may; it is never counted as held, and only a release beyond its
        // retains is misuse.
        if (found->count > 1) {
            --found->count;
            return;
        }
        misuse(std::string(operation) + ": " + describe(serial, *found) +
               " is a constant and is never released");
        return;
    }
    if (found->count == 0) {
        misuse(std::string(operation) + ": " + describe(serial, *found) +
               " was got out of its container and never retained, so it is not the caller's "
               "to release");
        return;
    }
    --held_;
    if (--found->count == 0 && !found->containerLive) {
        endValue(serial);
    }
}

void References::endValue(std::uint64_t serial)
{
    const ValueRecord *released = values_.find(serial);
    if (released == nullptr) {
        return;
    }
    // Most values released hold no items: they end without the list below,
    // which would cost an allocation for each.
    if (!released->items) {
        values_.take(serial, releasedValues_.keep(serial));
        return;
    }
    // Items hold items in turn; a list rather than recursion, since
    // containers can nest as deep as a snapshot makes them.
    std::vector<std::uint64_t> ending{serial};
    while (!ending.empty()) {
        std::uint64_t current = ending.back();
        ending.pop_back();
        ValueRecord *record = values_.find(current);
        if (record == nullptr) {
            continue;
        }
        if (record->items) {
            for (const auto &got : *record->items) {
                ValueRecord *item = values_.find(got.second);
                if (item == nullptr) {
                    continue;
                }
                item->containerLive = false;
                if (item->count == 0) {
                    item->diedWithContainer = true;
                    ending.push_back(got.second);
                }
            }
            record->items.reset();
        }
        values_.take(current, releasedValues_.keep(current));
    }
}

CFTypeRef References::itemOf(CFTypeRef container, const ValuePtr &item, Origin origin)
{
    std::uint64_t containerSerial = serialOf(valueBase, container);
    ValueRecord *holder = values_.find(containerSerial);
    if (holder == nullptr || !item) {
        throw std::logic_error("an item of a value that is not live");
    }
    if (!holder->items) {
        holder->items = std::make_unique<Items>();
    }
    // The map lives apart from the table, so it stays put while the table
    // grows.
    Items &items = *holder->items;
    auto found = items.find(item.get());
    if (found != items.end()) {
        return pointerFor(valueBase, found->second);
    }
    if (nextValue_ > lastSerial) {
        throw std::length_error("value numbers exhausted");
    }
    if (origin.entry == 0) {
        origin.entry = holder->origin.entry;
    }
    std::uint64_t serial = nextValue_;
    items.emplace(item.get(), serial);
    ++nextValue_;
    ValueRecord &record = values_.insert(serial);
    record.value = item;
    record.origin = std::move(origin);
    record.count = 0;
    record.container = containerSerial;
    record.containerLive = true;
    return pointerFor(valueBase, serial);
}

EntryId References::entryOf(CFTypeRef ref) const
{
    const ValueRecord *found = values_.find(serialOf(valueBase, ref));
    return found == nullptr ? 0 : found->origin.entry;
}

io_object_t References::addHandle(HandleRecord record)
{
    if (nextHandle_ == UINT32_MAX) {
        throw std::length_error("handle numbers exhausted");
    }
    io_object_t object = nextHandle_++;
    if (record.kind == HandleKind::notification) {
        ports_.at(record.port).registrations.push_back(object);
    }
    handles_.insert(object) = std::move(record);
    acquired();
    return object;
}

HandleRecord *References::handle(io_object_t object, const char *operation)
{
    if (HandleRecord *found = handles_.find(object)) {
        return found;
    }
    if (object == IO_OBJECT_NULL) {
        misuse(std::string(operation) + ": handle 0");
    } else if (object < nextHandle_ && object >= 0x1003) {
        misuse(std::string(operation) + ": " + staleHandle(object) + " used after its release");
    } else {
        misuse(std::string(operation) + ": " + hex(object) + " is not a handle handed out");
    }
    return nullptr;
}

bool References::releaseHandle(io_object_t object, const char *operation)
{
    HandleRecord *found = handles_.find(object);
    if (found == nullptr) {
        if (object != IO_OBJECT_NULL && object < nextHandle_ && object >= 0x1003) {
            misuse(std::string(operation) + ": " + staleHandle(object) + " was already released");
        } else {
            handle(object, operation);
        }
        return false;
    }
    if (found->kind == HandleKind::notification) {
        auto port = ports_.find(found->port);
        if (port != ports_.end()) {
            auto &list = port->second.registrations;
            list.erase(std::remove(list.begin(), list.end(), object), list.end());
        }
    }
    handles_.take(object, releasedHandles_.keep(object));
    --held_;
    return true;
}

IONotificationPortRef References::addPort()
{
    std::uint64_t serial = nextPort_++;
    ports_.emplace(serial, PortRecord{});
    acquired();
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast)
    return static_cast<IONotificationPortRef>(const_cast<void *>(pointerFor(portBase, serial)));
}

std::uint64_t References::portSerial(IONotificationPortRef port, const char *operation)
{
    std::uint64_t serial = serialOf(portBase, port);
    if (ports_.count(serial) != 0) {
        return serial;
    }
    if (port == nullptr) {
        misuse(std::string(operation) + ": null notification port");
    } else if (serial != 0 && serial < nextPort_) {
        misuse(std::string(operation) + ": notification port #" + std::to_string(serial) +
               " used after it was destroyed");
    } else {
        misuse(std::string(operation) + ": " + hex(reinterpret_cast<std::uintptr_t>(port)) +
               " is not a notification port");
    }
    return 0;
}

bool References::destroyPort(IONotificationPortRef port, const char *operation)
{
    std::uint64_t serial = portSerial(port, operation);
    if (serial == 0) {
        return false;
    }
    for (io_object_t registration : ports_[serial].registrations) {
        misuse(std::string(operation) + ": notification port #" + std::to_string(serial) +
               " destroyed while " + describe(registration, *handles_.find(registration)) +
               " is still held");
    }
    ports_.erase(serial);
    --held_;
    return true;
}

AuditReport References::audit() const
{
    AuditReport report;
    std::vector<std::uint64_t> serials;
    values_.forEach([&serials](std::uint64_t serial, const ValueRecord &record) {
        if (!record.constant && record.count > 0) {
            serials.push_back(serial);
        }
    });
    std::sort(serials.begin(), serials.end());
    for (std::uint64_t serial : serials) {
        const ValueRecord &record = *values_.find(serial);
        std::string line = describe(serial, record);
        if (record.count > 1) {
            line += " x" + std::to_string(record.count);
        }
        report.outstanding.push_back(line);
    }
    std::vector<io_object_t> objects;
    handles_.forEach(
        [&objects](io_object_t object, const HandleRecord &) { objects.push_back(object); });
    std::sort(objects.begin(), objects.end());
    for (io_object_t object : objects) {
        report.outstanding.push_back(describe(object, *handles_.find(object)));
    }
    std::vector<std::uint64_t> ports;
    for (const auto &item : ports_) {
        ports.push_back(item.first);
    }
    std::sort(ports.begin(), ports.end());
    for (std::uint64_t port : ports) {
        report.outstanding.push_back("notification port #" + std::to_string(port) +
                                     " (from IONotificationPortCreate)");
    }
    report.misuse = misuse_;
    report.held = held_;
    report.peakHeld = peakHeld_;
    return report;
}

} // namespace standin
