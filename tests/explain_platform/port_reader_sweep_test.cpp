// Fails the failable calls of reading the built-in sample's ports and power
// manager, one run per call, and checks each run against the fault-free
// capture with exactly the change that failure must make:
//
// - the root lookup: no ports, nor the machine's build and kernel; the power
//   manager lookup: no power manager;
// - the platform entry's lookup, or a read of the machine's build, kernel or
//   model: that member of what names the machine gone;
// - a class, name, location or ID read, a property table or a child
//   iterator of an entry read with a port or as the power manager: that
//   text, that ID (and with it the children), those properties or those
//   children of that entry gone;
// - any call of the IOService plane's search: nothing, since the sample's
//   ports are all in the IOPort plane and the search skips them by ID.
//
// Three calls change more, and are checked for a clean audit and the
// power manager unchanged: the IOPort root's child iterator and a port's ID
// read or property table there (the search then finds the port in the
// IOService plane), and a port's ID read in the search (it is read twice).
//
// Every run must leave the audit clean. The sample's reading makes about 430
// failable calls, each swept (a few seconds in all).
#include <gtest/gtest.h>

#include <algorithm>

#include <cstdio>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "explain/input/port_reader.h"
#include "platform/standin/snapshot/snapshot_loader.h"
#include "platform/standin/standin.h"
#include "walk_text.h"

namespace {

using explain::CapturedEntry;
using explain::PortCapture;
using standin::Call;

const snapshot::SnapshotLoader &sample()
{
    static const snapshot::SnapshotLoader loader = [] {
        snapshot::SnapshotLoader read;
        if (auto error = read.addFile(PORTPROBE_SAMPLE)) {
            ADD_FAILURE() << "the sample did not load: " << *error;
        }
        return read;
    }();
    return loader;
}

void loadSample()
{
    standin::reset();
    sample().commit();
}

struct Baseline {
    PortCapture capture;
    std::vector<standin::CallSite> calls;
    std::size_t searchStart = 0; // the first call of the IOService plane's search
    std::size_t powerStart = 0;  // the power manager lookup
    standin::EntryId root = 0;
};

const Baseline &baseline()
{
    static const Baseline run = [] {
        Baseline result;
        loadSample();
        result.root = standin::registry().root();
        standin::faults().recordCalls(true);
        result.capture = explain::readPortCapture(kIOMainPortDefault);
        result.calls = standin::faults().calls();
        standin::AuditReport audit = standin::audit();
        if (!audit.clean()) {
            ADD_FAILURE() << "the fault-free run is not clean:\n" << audit.text();
        }
        for (std::size_t i = 0; i < result.calls.size(); ++i) {
            const standin::CallSite &site = result.calls[i];
            if (result.searchStart == 0 && site.call == Call::registryIdRead &&
                site.entry == result.root) {
                result.searchStart = i;
            }
            if (site.call == Call::serviceLookup && site.detail == "AppleSmartBattery") {
                result.powerStart = i;
            }
        }
        standin::reset();
        return result;
    }();
    return run;
}

// The captured entry with this registry ID (each is captured once in the
// sample), and whether it is a port at the top of the capture.
CapturedEntry *findCaptured(PortCapture &capture, std::uint64_t registryId, bool &topLevel)
{
    std::function<CapturedEntry *(CapturedEntry &, bool)> find = [&](CapturedEntry &entry,
                                                                     bool top) -> CapturedEntry * {
        if (entry.registryId == registryId) {
            topLevel = top;
            return &entry;
        }
        for (CapturedEntry &child : entry.children) {
            if (CapturedEntry *found = find(child, false)) {
                return found;
            }
        }
        return nullptr;
    };
    for (auto *group : {&capture.ports, &capture.loose, &capture.powerManagers}) {
        for (CapturedEntry &entry : *group) {
            if (CapturedEntry *found = find(entry, group == &capture.ports)) {
                return found;
            }
        }
    }
    return nullptr;
}

// The capture that failing call k must leave, or none when that failure
// changes more than one entry (see the top of the file).
std::optional<PortCapture> expectedCapture(std::uint64_t k)
{
    const Baseline &base = baseline();
    const standin::CallSite &site = base.calls[k - 1];
    PortCapture expected = base.capture;
    std::size_t index = k - 1;
    bool inSearch = index >= base.searchStart && index < base.powerStart;
    if (site.call == Call::rootLookup) {
        expected.ports.clear();
        expected.loose.clear();
        // The root's build and kernel go with it; the platform's model stays.
        expected.machine.erase(expected.machine.begin(), expected.machine.end() - 1);
        return expected;
    }
    // A read of what names the machine leaves out that one member.
    const bool platformLookup =
        site.call == Call::serviceLookup && site.detail == "IOPlatformExpertDevice";
    if (platformLookup || (site.call == Call::propertyLookup &&
                           (site.detail == "model" || site.detail == "OS Build Version" ||
                            site.detail == "IOKitBuildVersion"))) {
        const std::string key = platformLookup ? "model" : site.detail;
        expected.machine.erase(std::remove_if(expected.machine.begin(), expected.machine.end(),
                                              [&key](const explain::DictionaryMember &member) {
                                                  return member.key == key;
                                              }),
                               expected.machine.end());
        return expected;
    }
    if (site.call == Call::serviceLookup) {
        expected.powerManagers.clear();
        return expected;
    }
    std::uint64_t registryId = standin::registry().entry(site.entry).registryId;
    bool topLevel = false;
    CapturedEntry *entry = findCaptured(expected, registryId, topLevel);
    if (inSearch) {
        if (site.call == Call::registryIdRead && entry != nullptr && topLevel) {
            return std::nullopt;
        }
        return expected;
    }
    if (site.entry == base.root) {
        return std::nullopt; // the IOPort root's children
    }
    if (entry == nullptr) {
        ADD_FAILURE() << "call " << k << " is about an entry that was not captured";
        return expected;
    }
    switch (site.call) {
    case Call::classRead: entry->className.clear(); break;
    case Call::nameRead: entry->name.clear(); break;
    case Call::locationRead: entry->location.clear(); break;
    case Call::registryIdRead:
        if (topLevel) {
            return std::nullopt;
        }
        entry->registryId.reset();
        entry->children.clear(); // what is below an entry without its ID is not read
        break;
    case Call::propertiesCopy:
        if (topLevel) {
            return std::nullopt;
        }
        entry->properties.clear();
        break;
    case Call::childIterator: entry->children.clear(); break;
    default: ADD_FAILURE() << "call " << k << " is not one the reader makes here"; break;
    }
    return expected;
}

class PortReaderSweep : public ::testing::TestWithParam<std::uint64_t> {};

TEST_P(PortReaderSweep, FailingThisCallChangesOnlyWhatItMust)
{
    std::uint64_t k = GetParam();
    const standin::CallSite &site = baseline().calls[k - 1];
    loadSample();
    std::optional<PortCapture> expected = expectedCapture(k);
    standin::faults().failNthCall(k);
    PortCapture actual = explain::readPortCapture(kIOMainPortDefault);
    standin::AuditReport audit = standin::audit();
    std::string call = "call " + std::to_string(k) + " (" + standin::callName(site.call) + " " +
                       site.detail + " on entry " + std::to_string(site.entry) + ")";
    EXPECT_TRUE(audit.clean()) << call << "\n" << audit.text();
    if (expected) {
        EXPECT_EQ(explain_testing::captureText(actual), explain_testing::captureText(*expected))
            << call;
    } else {
        PortCapture powerOnly;
        powerOnly.powerManagers = actual.powerManagers;
        PortCapture basePowerOnly;
        basePowerOnly.powerManagers = baseline().capture.powerManagers;
        EXPECT_EQ(explain_testing::captureText(powerOnly),
                  explain_testing::captureText(basePowerOnly))
            << call;
        EXPECT_FALSE(actual.ports.empty()) << call;
    }
    standin::reset();
}

std::uint64_t sampleCallCount() { return baseline().calls.size(); }

INSTANTIATE_TEST_SUITE_P(SampleCapture, PortReaderSweep,
                         ::testing::Range<std::uint64_t>(1, sampleCallCount() + 1),
                         [](const ::testing::TestParamInfo<std::uint64_t> &info) {
                             return std::to_string(info.param);
                         });

TEST(PortReaderSweepCoverage, TheSampleReadsWholeAndEveryKindOfCallIsSwept)
{
    const Baseline &base = baseline();
    std::vector<std::string> ports;
    for (const CapturedEntry &port : base.capture.ports) {
        ports.push_back(port.name);
    }
    EXPECT_EQ(ports, (std::vector<std::string>{"Port-USB-C@1", "Port-USB-C@2", "Port-MagSafe 3@1",
                                               "Port-USB-C@3"}));
    EXPECT_TRUE(base.capture.loose.empty());
    EXPECT_EQ(base.capture.machine.size(), 3U); // its build, its kernel and its model
    ASSERT_EQ(base.capture.powerManagers.size(), 1U);
    EXPECT_LT(base.searchStart, base.powerStart);
    std::set<Call> seen;
    for (const standin::CallSite &site : base.calls) {
        seen.insert(site.call);
    }
    for (Call call : {Call::rootLookup, Call::childIterator, Call::registryIdRead, Call::classRead,
                      Call::nameRead, Call::locationRead, Call::propertiesCopy,
                      Call::propertyLookup, Call::serviceLookup}) {
        EXPECT_EQ(seen.count(call), 1U) << standin::callName(call);
    }
    std::printf("failable calls in reading the sample's ports: %zu\n", base.calls.size());
}

} // namespace
