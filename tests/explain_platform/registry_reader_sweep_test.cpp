// Fails every failable call of reading the built-in sample's walk, one run
// per call, and checks each run against the fault-free walk with exactly the
// change that failure must make: a failed lookup empties the walk, a failed
// class or name read empties that text (the name in every path below it), a
// failed child iterator removes the subtree, a failed key or property lookup
// removes that property, a failed member key or dictionary lookup that
// member. Every run must also leave the audit clean.
//
// Each case is named by the number of the call it fails, so one can be rerun
// alone: portprobe_explain_registry_sweep --gtest_filter='*/123'.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "explain/analysis/explanation.h"
#include "explain/input/registry_reader.h"
#include "explain/output/json_render.h"
#include "explain/output/text_render.h"
#include "platform/standin/snapshot/snapshot_loader.h"
#include "platform/standin/standin.h"
#include "walk_text.h"

namespace {

using explain::PropertyValue;
using explain::RegistryWalk;
using standin::Call;

// How many calls each dictionary property makes: a key string and a lookup
// for each member looked for.
const std::size_t membersLookedFor = 9;

struct Baseline {
    RegistryWalk walk;
    std::vector<standin::CallSite> calls;
};

// The sample built into the programs, read once from its source; every run
// commits it into a fresh registry, which is much cheaper than parsing it.
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

const Baseline &baseline()
{
    static const Baseline run = [] {
        Baseline result;
        loadSample();
        standin::faults().recordCalls(true);
        result.walk = explain::readRegistryWalk(kIOMainPortDefault);
        result.calls = standin::faults().calls();
        standin::AuditReport audit = standin::audit();
        if (!audit.clean()) {
            ADD_FAILURE() << "the fault-free run is not clean:\n" << audit.text();
        }
        standin::reset();
        return result;
    }();
    return run;
}

// The entries of the subtree below entry `at`: those that follow it deeper.
std::size_t subtreeEnd(const RegistryWalk &walk, std::size_t at)
{
    std::size_t end = at + 1;
    while (end < walk.entries.size() && walk.entries[end].depth > walk.entries[at].depth) {
        ++end;
    }
    return end;
}

void removeProperty(explain::WalkedEntry &entry, const std::string &key)
{
    auto &properties = entry.properties;
    auto found = std::find_if(properties.begin(), properties.end(),
                              [&](const auto &property) { return property.first == key; });
    if (found != properties.end()) {
        properties.erase(found);
    }
}

void removeMember(explain::WalkedEntry &entry, const std::string &property,
                  const std::string &member)
{
    for (auto &item : entry.properties) {
        if (item.first != property) {
            continue;
        }
        auto &members = item.second.members;
        auto found = std::find_if(members.begin(), members.end(),
                                  [&](const auto &m) { return m.key == member; });
        if (found != members.end()) {
            members.erase(found);
        }
    }
}

const PropertyValue *propertyOf(const explain::WalkedEntry &entry, const std::string &key)
{
    for (const auto &property : entry.properties) {
        if (property.first == key) {
            return &property.second;
        }
    }
    return nullptr;
}

// The walk as the failure of call k must leave it. The calls come in the
// reader's order: per entry its class, its name, a key and a lookup per
// probed property (a dictionary's then a key and a lookup per member), and
// its child iterator; the entry's children follow.
RegistryWalk expectedWalk(std::uint64_t k)
{
    const Baseline &base = baseline();
    RegistryWalk walk = base.walk;
    std::size_t entry = 0;
    bool anyEntry = false;
    std::string property;            // the last property looked up
    std::size_t memberCallsLeft = 0; // calls left of that property's members
    for (std::uint64_t i = 0; i < k; ++i) {
        const standin::CallSite &site = base.calls[i];
        bool failing = i + 1 == k;
        bool member = memberCallsLeft > 0;
        memberCallsLeft -= member ? 1 : 0;
        switch (site.call) {
        case Call::serviceLookup:
            if (failing) {
                return RegistryWalk();
            }
            break;
        case Call::classRead:
            entry += anyEntry ? 1 : 0;
            anyEntry = true;
            if (failing) {
                walk.entries[entry].className.clear();
            }
            break;
        case Call::nameRead:
            if (failing) {
                std::size_t level = walk.entries[entry].depth;
                for (std::size_t e = entry; e < subtreeEnd(walk, entry); ++e) {
                    walk.entries[e].path[level].clear();
                }
            }
            break;
        case Call::keyStringCreate:
        case Call::propertyLookup:
        case Call::dictionaryLookup:
            if (member) {
                if (failing) {
                    removeMember(walk.entries[entry], property, site.detail);
                }
                break;
            }
            EXPECT_NE(site.call, Call::dictionaryLookup) << "call " << i + 1;
            if (failing) {
                removeProperty(walk.entries[entry], site.detail);
            } else if (site.call == Call::propertyLookup) {
                property = site.detail;
                const PropertyValue *value = propertyOf(base.walk.entries[entry], property);
                if (value != nullptr && value->kind == PropertyValue::Kind::dictionary) {
                    memberCallsLeft = 2 * membersLookedFor;
                }
            }
            break;
        case Call::childIterator:
            if (failing) {
                walk.entries.erase(walk.entries.begin() + static_cast<long>(entry) + 1,
                                   walk.entries.begin() +
                                       static_cast<long>(subtreeEnd(walk, entry)));
            }
            break;
        case Call::notificationPortCreate:
        case Call::interestRegistration:
            ADD_FAILURE() << "the reader registers for no notification";
            break;
        case Call::rootLookup:
        case Call::registryIdRead:
        case Call::locationRead:
        case Call::propertiesCopy:
            ADD_FAILURE() << "the walk's reader reads no root, ID, location or property table";
            break;
        }
    }
    return walk;
}

std::size_t propertyCount(const RegistryWalk &walk)
{
    std::size_t count = 0;
    for (const auto &entry : walk.entries) {
        count += entry.properties.size();
    }
    return count;
}

class RegistryReaderSweep : public ::testing::TestWithParam<std::uint64_t> {};

TEST_P(RegistryReaderSweep, FailingThisCallChangesOnlyWhatItMust)
{
    std::uint64_t k = GetParam();
    const standin::CallSite &site = baseline().calls[k - 1];
    RegistryWalk expected = expectedWalk(k);
    loadSample();
    standin::faults().failNthCall(k);
    RegistryWalk actual = explain::readRegistryWalk(kIOMainPortDefault);
    standin::AuditReport audit = standin::audit();
    std::string call = "call " + std::to_string(k) + " (" + standin::callName(site.call) + " " +
                       site.detail + " on entry " + std::to_string(site.entry) + ")";
    EXPECT_TRUE(audit.clean()) << call << "\n" << audit.text();
    EXPECT_LE(actual.entries.size(), baseline().walk.entries.size()) << call;
    EXPECT_LE(propertyCount(actual), propertyCount(baseline().walk)) << call;
    EXPECT_EQ(explain_testing::walkText(actual), explain_testing::walkText(expected)) << call;
    // The rest of an explain run is pure: whatever walk a fault leaves, it is
    // explained and rendered, and the document stays a document.
    explain::Explanation explanation =
        explain::explainWalk(actual, [](std::uint16_t) { return std::optional<std::string>(); });
    EXPECT_FALSE(explain::explanationText(explanation).empty()) << call;
    EXPECT_TRUE(explain::Json::accept(explain::explanationJson(explanation))) << call;
    standin::reset();
}

std::uint64_t sampleCallCount() { return baseline().calls.size(); }

INSTANTIATE_TEST_SUITE_P(SampleWalk, RegistryReaderSweep,
                         ::testing::Range<std::uint64_t>(1, sampleCallCount() + 1),
                         [](const ::testing::TestParamInfo<std::uint64_t> &info) {
                             return std::to_string(info.param);
                         });

TEST(RegistryReaderSweepCoverage, EveryKindOfCallTheReaderMakesIsSwept)
{
    std::set<Call> seen;
    for (const standin::CallSite &site : baseline().calls) {
        seen.insert(site.call);
    }
    for (Call call : {Call::serviceLookup, Call::classRead, Call::nameRead, Call::keyStringCreate,
                      Call::propertyLookup, Call::dictionaryLookup, Call::childIterator}) {
        EXPECT_EQ(seen.count(call), 1U) << standin::callName(call);
    }
    std::printf("failable calls in reading the sample's walk: %zu, entries %zu\n",
                baseline().calls.size(), baseline().walk.entries.size());
}

} // namespace
