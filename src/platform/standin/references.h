// Every reference the stand-in hands to the program (values, key strings,
// matching dictionaries, registry handles, iterators, notification ports and
// notification objects) is counted here, so that the audit can tell what is
// still held, what was released twice or never held, and what was used after
// its release.
//
// Values and ports reach the program as opaque pointers and handles as
// 32-bit numbers, none of them ever reused within a run: a stale one is
// always recognised as stale, never mistaken for a newer object.
#ifndef PORTPROBE_STANDIN_REFERENCES_H
#define PORTPROBE_STANDIN_REFERENCES_H

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/standin/iokit_api.h"
#include "platform/standin/live_table.h"
#include "platform/standin/registry.h"
#include "platform/standin/value.h"

namespace standin {

struct AuditReport {
    std::vector<std::string> outstanding; // references still held
    std::vector<std::string> misuse;      // bad releases and uses, in order
    std::size_t held = 0;
    std::size_t peakHeld = 0;

    bool clean() const { return outstanding.empty() && misuse.empty(); }
    std::string text() const;
};

// Where a reference came from, for messages.
struct Origin {
    Origin(const char *madeBy, EntryId on = 0, ValuePtr forKey = nullptr)
        : operation(madeBy), entry(on), key(std::move(forKey))
    {
    }

    const char *operation;
    EntryId entry;
    ValuePtr key;
};

enum class HandleKind { entry, iterator, notification };

struct HandleRecord {
    HandleKind kind = HandleKind::entry;
    EntryId entry = 0; // the entry, or the service a notification is for
    const char *operation = "";
    SharedEntryList items; // what an iterator yields, from next on
    std::size_t next = 0;
    std::uint64_t port = 0; // the port a notification was registered through
    std::string detail;     // an iterator's class or plane, a notification's type
};

class References {
public:
    explicit References(const Registry &registry) : registry_(registry) {}

    CFTypeRef addValue(ValuePtr value, Origin origin);
    // The same text always gives the same constant, which is never counted.
    CFStringRef constantString(const char *text);
    // The live value behind ref, or null after recording why it is not one.
    const Value *value(CFTypeRef ref, const char *operation);
    // The same, as the shared value; good until the next reference is added
    // or released.
    const ValuePtr *liveValue(CFTypeRef ref, const char *operation);
    // The shared value behind a ref that value() has just accepted.
    ValuePtr sharedValue(CFTypeRef ref) const;
    void retainValue(CFTypeRef ref, const char *operation);
    void releaseValue(CFTypeRef ref, const char *operation);
    // The reference to item, a value that the live container holds, as a
    // Get-rule function returns it: the same reference every time while the
    // container lives, owned by no one (never released unless retained),
    // and dead with the container's last reference unless retained.
    CFTypeRef itemOf(CFTypeRef container, const ValuePtr &item, Origin origin);
    // The entry a value was read from (directly or out of containers), or 0.
    EntryId entryOf(CFTypeRef ref) const;

    io_object_t addHandle(HandleRecord record);
    HandleRecord *handle(io_object_t object, const char *operation);
    bool releaseHandle(io_object_t object, const char *operation);

    IONotificationPortRef addPort();
    bool destroyPort(IONotificationPortRef port, const char *operation);
    std::uint64_t portSerial(IONotificationPortRef port, const char *operation);

    // How messages name a live value or handle.
    std::string nameOf(CFTypeRef ref) const;
    std::string nameOf(io_object_t object) const;

    void misuse(std::string message) { misuse_.push_back(std::move(message)); }
    AuditReport audit() const;

private:
    static constexpr std::size_t releasedKept = 1024;

    // The values got out of one container, by the value each item is.
    using Items = std::unordered_map<const Value *, std::uint64_t>;

    struct ValueRecord {
        ValuePtr value;
        Origin origin{""};
        // References the program holds: 0 for an item that was got out of
        // a container and never retained; for a constant, one more than its
        // unreleased retains.
        std::uint64_t count = 1;
        bool constant = false;
        // The container an item was got out of (kept after its release,
        // for messages), and whether that container still lives.
        std::uint64_t container = 0;
        bool containerLive = false;
        bool diedWithContainer = false;
        std::unique_ptr<Items> items; // got out of this value, still live
    };
    struct PortRecord {
        std::vector<io_object_t> registrations;
    };

    std::string describe(std::uint64_t serial, const ValueRecord &record) const;
    std::string describe(io_object_t object, const HandleRecord &record) const;
    std::string describeEntry(EntryId entry) const;
    std::string staleValue(std::uint64_t serial) const;
    std::string staleHandle(io_object_t object) const;
    void noteDeadValue(CFTypeRef ref, std::uint64_t serial, const char *operation);
    // Ends the value's life, and with it that of every item got out of it
    // that the program did not retain.
    void endValue(std::uint64_t serial);
    void acquired();

    const Registry &registry_;
    LiveTable<std::uint64_t, ValueRecord> values_;
    std::map<std::string, std::uint64_t, std::less<>> constants_;
    LiveTable<io_object_t, HandleRecord> handles_;
    std::unordered_map<std::uint64_t, PortRecord> ports_;
    // The last few released objects, so that a late use can still be named.
    ReleasedRecords<std::uint64_t, ValueRecord> releasedValues_{releasedKept};
    ReleasedRecords<io_object_t, HandleRecord> releasedHandles_{releasedKept};
    std::uint64_t nextValue_ = 1;
    io_object_t nextHandle_ = 0x1003;
    std::uint64_t nextPort_ = 1;
    std::size_t held_ = 0;
    std::size_t peakHeld_ = 0;
    std::vector<std::string> misuse_;
};

} // namespace standin

#endif
