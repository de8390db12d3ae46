// Fault injection: any failable operation can be told to fail, for a chosen
// entry, class, key or plane, or simply as the N-th failable call of a run.
#ifndef PORTPROBE_STANDIN_FAULTS_H
#define PORTPROBE_STANDIN_FAULTS_H

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/standin/iokit_api.h"
#include "platform/standin/registry.h"

namespace standin {

enum class Call {
    serviceLookup,          // IOServiceGetMatchingServices; detail: the class
    childIterator,          // IORegistryEntryGetChildIterator; detail: the plane
    classRead,              // IOObjectGetClass
    nameRead,               // IORegistryEntryGetName
    propertyLookup,         // IORegistryEntryCreateCFProperty (null); detail: the key
    keyStringCreate,        // CFStringCreateWithCString (null); detail: the text
    notificationPortCreate, // IONotificationPortCreate (null)
    interestRegistration,   // IOServiceAddInterestNotification; detail: the interest type
    dictionaryLookup,       // CFDictionaryGetValue (absent); detail: the key
    rootLookup,             // IORegistryGetRootEntry (no entry)
    registryIdRead,         // IORegistryEntryGetRegistryEntryID
    locationRead,           // IORegistryEntryGetLocationInPlane; detail: the plane
    propertiesCopy,         // IORegistryEntryCreateCFProperties
};

const char *callName(Call call);

// One failable call as it was made.
struct CallSite {
    explicit CallSite(Call made, EntryId concerned = 0) : call(made), entry(concerned) {}

    Call call;
    EntryId entry; // the entry concerned, where there is one
    std::string detail;
};

// Makes calls fail that match every field given. With occurrence set, only
// the occurrence-th matching call fails (counting from 1). Written as
// FaultRule(Call::propertyLookup).forEntry(port).forDetail("VDOs").
struct FaultRule {
    explicit FaultRule(Call failing) : call(failing) {}

    FaultRule &forEntry(EntryId concerned)
    {
        entry = concerned;
        return *this;
    }
    FaultRule &forDetail(std::string text)
    {
        detail = std::move(text);
        matchDetail = true;
        return *this;
    }
    FaultRule &onlyOccurrence(std::uint64_t count)
    {
        occurrence = count;
        return *this;
    }
    FaultRule &withStatus(kern_return_t code)
    {
        status = code;
        return *this;
    }

    Call call;
    std::optional<EntryId> entry;
    // A plain string and a flag rather than an optional string, which makes
    // GCC 12 warn of an uninitialised read when a rule is built inline.
    std::string detail;
    bool matchDetail = false;
    std::optional<std::uint64_t> occurrence;
    kern_return_t status = kIOReturnError; // for calls that return a status
    std::uint64_t matched = 0;
};

class Faults {
public:
    void add(FaultRule rule) { rules_.push_back(std::move(rule)); }
    // Fails the n-th failable call of the run (counting from 1).
    void failNthCall(std::uint64_t n, kern_return_t status = kIOReturnError);
    // Keeps a log of every failable call, for sweeps that need to know what
    // the k-th call was.
    void recordCalls(bool on) { recording_ = on; }
    // Called with every failable call, before its fate is decided; a sweep
    // uses it to note where in the output each call was made.
    void observeCalls(std::function<void(const CallSite &)> observer)
    {
        observer_ = std::move(observer);
    }

    std::uint64_t callCount() const { return count_; }
    const std::vector<CallSite> &calls() const { return log_; }

    // Whether the call's details are wanted: only then does a caller need to
    // build them.
    bool wantsDetail() const { return recording_ || observer_ || !rules_.empty(); }

    // Counts the call and decides its fate: a status to fail with, or none.
    std::optional<kern_return_t> check(CallSite site);
    // The same, for a call whose detail (a string, from detail()) is made
    // only when something will look at it. Most runs plan no fault and watch
    // no call: then a call is only counted, which keeps the stand-in's cost
    // per call small.
    template <class Detail>
    std::optional<kern_return_t> check(Call call, EntryId entry, Detail &&detail)
    {
        if (!wantsDetail() && !failingCall_) {
            ++count_;
            return std::nullopt;
        }
        CallSite site(call, entry);
        if (wantsDetail()) {
            site.detail = detail();
        }
        return check(std::move(site));
    }

private:
    std::vector<FaultRule> rules_;
    std::optional<std::uint64_t> failingCall_;
    kern_return_t failingStatus_ = kIOReturnError;
    bool recording_ = false;
    std::function<void(const CallSite &)> observer_;
    std::uint64_t count_ = 0;
    std::vector<CallSite> log_;
};

} // namespace standin

#endif
