// Builds a registry from the fuzzer's bytes (registry_generator.h, with the
// member keys portprobe-explain looks for inside dictionaries, and failures
// of dictionary lookups too), reads the walk portprobe-explain explains, and
// requires that the audit is clean, that the reading held no more references
// at once than the report's walk may, and that the walk is well formed:
// depths from 0 stepping down one level at a time to at most 8, a path of
// names per level, probed properties only and in the report's order, data
// read whole, arrays item by item, dictionary members only those looked for.
// Without planned failures the walk must also hold every entry and
// controller the registry has within the depth limit.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "explain/input/registry_reader.h"
#include "platform/standin/standin.h"
#include "registry_generator.h"
#include "report/tree_walk.h"

namespace {

using explain::PropertyValue;

const char *const memberKeys[] = {
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

[[noreturn]] void finding(const std::string &what)
{
    std::fprintf(stderr, "explain_registry_fuzzer: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

int memberIndex(const std::string &key)
{
    for (int i = 0; i < static_cast<int>(sizeof memberKeys / sizeof memberKeys[0]); ++i) {
        if (key == memberKeys[i]) {
            return i;
        }
    }
    return -1;
}

// place: 0 a property, 1 a dictionary member, 2 an array item.
void checkValue(const PropertyValue &value, int place, const std::string &where)
{
    switch (value.kind) {
    case PropertyValue::Kind::data:
        if (value.length < 0 || value.bytes.size() != static_cast<std::size_t>(value.length)) {
            finding(where + ": data not read whole");
        }
        break;
    case PropertyValue::Kind::dictionary: {
        if (place != 0 ? value.contentsKnown || !value.members.empty()
                       : static_cast<std::int64_t>(value.members.size()) > value.count) {
            finding(where + ": a dictionary's members read where they are not looked for");
        }
        int last = -1;
        for (const explain::DictionaryMember &member : value.members) {
            int index = memberIndex(member.key);
            if (index <= last) {
                finding(where + ": member \"" + member.key + "\" not looked for, or out of order");
            }
            last = index;
            checkValue(member.value, 1, where + "/" + member.key);
        }
        break;
    }
    case PropertyValue::Kind::array:
        if (place == 2 ? value.contentsKnown || !value.items.empty()
                       : static_cast<std::int64_t>(value.items.size()) != value.count) {
            finding(where + ": an array not read item by item where it should be");
        }
        for (const PropertyValue &item : value.items) {
            checkValue(item, 2, where + "[]");
        }
        break;
    default:
        if (!value.members.empty() || !value.items.empty()) {
            finding(where + ": a value that is no container holds members or items");
        }
        break;
    }
}

void checkWalk(const fuzzing::GeneratedRegistry &built, const explain::RegistryWalk &walk)
{
    std::size_t controllers = 0;
    unsigned previous = 0;
    for (std::size_t i = 0; i < walk.entries.size(); ++i) {
        const explain::WalkedEntry &entry = walk.entries[i];
        std::string where = "entry " + std::to_string(i);
        if (entry.depth > maxWalkDepth ||
            (i == 0 ? entry.depth != 0 : entry.depth > previous + 1)) {
            finding(where + ": depth " + std::to_string(entry.depth) + " out of place");
        }
        if (entry.path.size() != entry.depth + 1) {
            finding(where + ": a path that is not one name per level");
        }
        if (entry.depth > 0 && walk.entries[i - 1].path.size() >= entry.depth &&
            !std::equal(entry.path.begin(), entry.path.end() - 1,
                        walk.entries[i - 1].path.begin())) {
            finding(where + ": a path that is not its parent's");
        }
        previous = entry.depth;
        controllers += entry.depth == 0 ? 1 : 0;
        std::uint32_t key = 0;
        for (const auto &property : entry.properties) {
            while (key < propertyKeyCount && property.first != propertyKeys[key]) {
                ++key;
            }
            if (key == propertyKeyCount) {
                finding(where + ": \"" + property.first + "\" not probed, or out of order");
            }
            ++key;
            checkValue(property.second, 0, where + " " + property.first);
        }
    }
    std::uint64_t expected = built.walkedEntries[0];
    bool whole = walk.entries.size() == expected && controllers == built.controllers;
    if (built.failuresPlanned ? walk.entries.size() > expected : !whole) {
        finding("the walk holds " + std::to_string(walk.entries.size()) + " entries and " +
                std::to_string(controllers) + " controllers; the registry has " +
                std::to_string(expected) + " and " + std::to_string(built.controllers));
    }
    if (!walk.notes.empty()) {
        finding("a walk of the registry with notes");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    standin::reset();
    FuzzedDataProvider in(data, size);
    fuzzing::GeneratorOptions options;
    options.memberKeys.assign(std::begin(memberKeys), std::end(memberKeys));
    options.lastFailingCall = standin::Call::dictionaryLookup;
    fuzzing::GeneratedRegistry built = fuzzing::generateRegistry(in, options);

    explain::RegistryWalk walk = explain::readRegistryWalk(kIOMainPortDefault);
    standin::AuditReport audit = standin::audit();
    if (!audit.clean()) {
        finding("the audit is not clean\n" + audit.text());
    }
    if (audit.peakHeld > mostReferencesHeld) {
        finding("the reading held " + std::to_string(audit.peakHeld) + " references at once");
    }
    checkWalk(built, walk);
    standin::reset();
    return 0;
}
