// Fails every failable call of the sample report, one run per call, and
// checks each run against the fault-free report with exactly the change that
// failure must make: a null property removes its probe line, a failed name
// read empties that name, a failed child iterator removes that subtree, and so
// on. Every run must also leave the audit clean.
//
// Each case is named by the number of the call it fails, so one can be rerun
// alone: portprobe_fault_sweep --gtest_filter='*/1234'.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/report_sections.h"
#include "platform/standin/snapshot/snapshot_loader.h"
#include "platform/standin/standin.h"

namespace {

using standin::Call;

struct ObservedCall {
    standin::CallSite site;
    std::size_t offset; // bytes of report written when the call was made
};

struct Baseline {
    std::string report;
    std::vector<ObservedCall> calls;
};

// Read once; every run commits it into a fresh registry.
const snapshot::SnapshotLoader &sample()
{
    static const snapshot::SnapshotLoader loader = [] {
        snapshot::SnapshotLoader read;
        auto error = read.addFile(PORTPROBE_SAMPLE);
        if (error) {
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

const Baseline &baseline()
{
    static const Baseline run = [] {
        Baseline result;
        loadSample();
        standin::faults().observeCalls([&result](const standin::CallSite &site) {
            std::fflush(stdout);
            off_t position = lseek(fileno(stdout), 0, SEEK_CUR);
            result.calls.push_back({site, static_cast<std::size_t>(position)});
        });
        result.report = standin::captureStdout(printReport);
        standin::AuditReport audit = standin::audit();
        if (!audit.clean()) {
            ADD_FAILURE() << "the fault-free run is not clean:\n" << audit.text();
        }
        standin::reset();
        return result;
    }();
    return run;
}

std::size_t lineEnd(const std::string &text, std::size_t from)
{
    std::size_t end = text.find('\n', from);
    return end == std::string::npos ? text.size() : end + 1;
}

std::size_t indentOf(const std::string &text, std::size_t lineStart)
{
    std::size_t i = lineStart;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    return i - lineStart;
}

// A data dump's continuation line: eight spaces, then a byte and its space.
bool isContinuation(const std::string &text, std::size_t lineStart)
{
    auto hex = [&](std::size_t i) {
        return i < text.size() && std::isxdigit(static_cast<unsigned char>(text[i])) != 0;
    };
    return indentOf(text, lineStart) == 8 && hex(lineStart + 8) && hex(lineStart + 9) &&
           lineStart + 10 < text.size() && text[lineStart + 10] == ' ';
}

// The start of the line that holds position at (its line feed included).
std::size_t lineStartOf(const std::string &text, std::size_t at)
{
    if (at == 0) {
        return 0;
    }
    std::size_t newline = text.rfind('\n', at - 1);
    return newline == std::string::npos ? 0 : newline + 1;
}

class FaultSweep : public ::testing::TestWithParam<std::uint64_t> {
public:
    // The report as the failure of call k must leave it.
    static std::string expectedReport(std::uint64_t k)
    {
        const Baseline &base = baseline();
        std::string text = base.report;
        const ObservedCall &failed = base.calls[k - 1];
        std::size_t at = failed.offset;
        auto nextOffset = [&](std::uint64_t after) {
            return after < base.calls.size() ? base.calls[after].offset : text.size();
        };
        const standin::Registry &registry = standin::registry();

        switch (failed.site.call) {
        case Call::serviceLookup: {
            int section = 0;
            for (std::uint64_t i = 0; i < k; ++i) {
                section += base.calls[i].site.call == Call::serviceLookup ? 1 : 0;
            }
            const std::string power = "\n\n=== Walking AppleHPMARMSPMI in IOPower plane ===\n";
            const std::string interest = "\n\n=== Checking IOPortTransportComponentCCUSBPDSOPp";
            std::size_t powerAt = text.find(power);
            std::size_t interestAt = text.find(interest);
            if (section == 1) {
                return text.substr(0, at) + "No AppleHPMARMSPMI found\n" + text.substr(powerAt);
            }
            if (section == 2) {
                return text.substr(0, at) + text.substr(interestAt);
            }
            return text.substr(0, at);
        }
        case Call::classRead:
        case Call::nameRead: {
            const standin::Entry &entry = registry.entry(failed.site.entry);
            std::string className = entry.className.substr(0, 127);
            std::string name = entry.name.substr(0, 127);
            std::size_t open = at + indentOf(text, at);
            EXPECT_EQ(text.compare(open, className.size() + 3 + name.size(),
                                   "[" + className + "] " + name),
                      0);
            if (failed.site.call == Call::classRead) {
                return text.erase(open + 1, className.size());
            }
            return text.erase(open + 3 + className.size(), name.size());
        }
        case Call::propertyLookup: {
            std::size_t end = nextOffset(k);
            if (failed.site.detail == "CFBundleIdentifier" && end > at) {
                --end; // the line feed that ends the entry line stays
            }
            checkProbe(text, at, end, failed.site.detail);
            return text.erase(at, end - at);
        }
        case Call::keyStringCreate: {
            // The lookup with the key that was not made would have come next.
            std::size_t end = nextOffset(k + 1);
            checkProbe(text, at, end, failed.site.detail);
            return text.erase(at, end - at);
        }
        case Call::childIterator: {
            // The subtree of the last entry line before the call: every line
            // indented deeper, with the continuation lines of its data dumps.
            std::size_t line = lineStartOf(text, at - 1);
            while (text[line + indentOf(text, line)] != '[') {
                line = lineStartOf(text, line - 1);
            }
            std::size_t entryIndent = indentOf(text, line);
            std::size_t end = at;
            while (end < text.size() &&
                   (isContinuation(text, end) || indentOf(text, end) > entryIndent)) {
                end = lineEnd(text, end);
            }
            return text.erase(at, end - at);
        }
        case Call::notificationPortCreate: {
            std::size_t end = lineEnd(text, lineEnd(text, at));
            EXPECT_EQ(text.compare(at, 8, "  Genera"), 0);
            return text.erase(at, end - at);
        }
        case Call::interestRegistration: {
            std::size_t status = text.find("kr=0x0 SUCCESS", at);
            EXPECT_LT(status, lineEnd(text, at));
            return text.replace(status, 14, "kr=0xe00002bc FAILED");
        }
        case Call::dictionaryLookup:
            ADD_FAILURE() << "the report looks nothing up inside a dictionary";
            break;
        case Call::rootLookup:
        case Call::registryIdRead:
        case Call::locationRead:
        case Call::propertiesCopy:
            ADD_FAILURE() << "the report reads neither the root, IDs, locations nor whole "
                             "property tables";
            break;
        }
        return text;
    }

    // What a failed lookup removes is the probe line of that key, or
    // nothing when the entry does not carry it.
    static void checkProbe(const std::string &text, std::size_t at, std::size_t end,
                           const std::string &key)
    {
        if (end == at) {
            return;
        }
        std::string removed = text.substr(at, end - at);
        bool annotation = removed.rfind(" (UserClient: ", 0) == 0 || removed.rfind(" [", 0) == 0;
        bool probe =
            removed.find(">>> " + key + ": ") == indentOf(removed, 0) && removed.back() == '\n';
        EXPECT_TRUE(annotation || probe) << "removed text: \"" << removed << "\"";
    }
};

std::uint64_t sampleCallCount() { return baseline().calls.size(); }

// Fails call k of a run of the sample report and checks what that run
// printed and left held.
void expectOnlyWhatFailingCallChanges(std::uint64_t k)
{
    loadSample();
    standin::faults().failNthCall(k);
    std::string expected = FaultSweep::expectedReport(k);
    std::string actual = standin::captureStdout(printReport);
    standin::AuditReport audit = standin::audit();
    const standin::CallSite &site = baseline().calls[k - 1].site;
    EXPECT_TRUE(audit.clean()) << "call " << k << " (" << standin::callName(site.call) << ")\n"
                               << audit.text();
    EXPECT_EQ(actual, expected) << "call " << k << " (" << standin::callName(site.call) << " "
                                << site.detail << " on entry " << site.entry << ")";
    standin::reset();
}

TEST_P(FaultSweep, FailingThisCallChangesOnlyWhatItMust)
{
    expectOnlyWhatFailingCallChanges(GetParam());
}

INSTANTIATE_TEST_SUITE_P(SampleReport, FaultSweep,
                         ::testing::Range<std::uint64_t>(1, sampleCallCount() + 1),
                         [](const ::testing::TestParamInfo<std::uint64_t> &info) {
                             return std::to_string(info.param);
                         });

// The first failed class read and the first failed name read, on their own:
// the valgrind build runs these under memcheck, which fails them if the
// report prints a name buffer that the failed read left unwritten, whatever
// bytes that buffer happens to hold.
TEST(FaultSweepNameReads, AFailedClassOrNameReadPrintsAnEmptyName)
{
    for (Call kind : {Call::classRead, Call::nameRead}) {
        const auto &calls = baseline().calls;
        auto first = std::find_if(calls.begin(), calls.end(), [kind](const ObservedCall &call) {
            return call.site.call == kind;
        });
        ASSERT_NE(first, calls.end()) << standin::callName(kind);
        expectOnlyWhatFailingCallChanges(static_cast<std::uint64_t>(first - calls.begin()) + 1);
    }
}

TEST(FaultSweepCoverage, EveryKindOfFailableCallIsSwept)
{
    bool seen[8] = {};
    for (const ObservedCall &call : baseline().calls) {
        seen[static_cast<int>(call.site.call)] = true;
    }
    for (int kind = 0; kind < 8; ++kind) {
        EXPECT_TRUE(seen[kind]) << standin::callName(static_cast<Call>(kind));
    }
    std::printf("failable calls in the sample report: %zu\n", baseline().calls.size());
}

} // namespace
