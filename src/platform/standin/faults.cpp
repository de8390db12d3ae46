#include "platform/standin/faults.h"

namespace standin {

const char *callName(Call call)
{
    switch (call) {
    case Call::serviceLookup: return "IOServiceGetMatchingServices";
    case Call::childIterator: return "IORegistryEntryGetChildIterator";
    case Call::classRead: return "IOObjectGetClass";
    case Call::nameRead: return "IORegistryEntryGetName";
    case Call::propertyLookup: return "IORegistryEntryCreateCFProperty";
    case Call::keyStringCreate: return "CFStringCreateWithCString";
    case Call::notificationPortCreate: return "IONotificationPortCreate";
    case Call::interestRegistration: return "IOServiceAddInterestNotification";
    case Call::dictionaryLookup: return "CFDictionaryGetValue";
    case Call::rootLookup: return "IORegistryGetRootEntry";
    case Call::registryIdRead: return "IORegistryEntryGetRegistryEntryID";
    case Call::locationRead: return "IORegistryEntryGetLocationInPlane";
    case Call::propertiesCopy: return "IORegistryEntryCreateCFProperties";
    }
    return "?";
}

void Faults::failNthCall(std::uint64_t n, kern_return_t status)
{
    failingCall_ = n;
    failingStatus_ = status;
}

std::optional<kern_return_t> Faults::check(CallSite site)
{
    ++count_;
    if (observer_) {
        observer_(site);
    }
    std::optional<kern_return_t> outcome;
    if (failingCall_ && *failingCall_ == count_) {
        outcome = failingStatus_;
    }
    for (FaultRule &rule : rules_) {
        if (rule.call != site.call || (rule.entry && *rule.entry != site.entry) ||
            (rule.matchDetail && rule.detail != site.detail)) {
            continue;
        }
        ++rule.matched;
        if (!rule.occurrence || *rule.occurrence == rule.matched) {
            outcome = outcome.value_or(rule.status);
        }
    }
    if (recording_) {
        log_.push_back(std::move(site));
    }
    return outcome;
}

} // namespace standin
