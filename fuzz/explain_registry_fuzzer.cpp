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
//
// The registry also holds the shapes of ports (the IOPort plane, links from
// the root, sets, IDs and locations), and the capture of ports and power
// manager is read too: the audit must stay clean, no entry may appear twice
// on one path nor deeper than the reader's limit, containers must hold what
// they say, and without planned failures every port must carry
// "PortTypeDescription", every entry found without its port
// "ParentPortTypeDescription", and every power manager be one, alone.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "explain/input/port_reader.h"
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

// Container values of the capture: items and members as many as they say
// where their contents are known.
void checkCapturedValue(const PropertyValue &value, const std::string &where)
{
    bool container =
        value.kind == PropertyValue::Kind::dictionary || value.kind == PropertyValue::Kind::array;
    if (!container && (!value.members.empty() || !value.items.empty() || value.unordered)) {
        finding(where + ": a value that is no container holds members or items");
    }
    if (container && value.contentsKnown) {
        auto held = static_cast<std::int64_t>(value.members.size() + value.items.size());
        if (value.kind == PropertyValue::Kind::array ? held != value.count : held > value.count) {
            finding(where + ": a container holds other than it says");
        }
    }
    if (value.kind == PropertyValue::Kind::data &&
        value.bytes.size() != static_cast<std::size_t>(value.length)) {
        finding(where + ": data not read whole");
    }
    for (const explain::DictionaryMember &member : value.members) {
        checkCapturedValue(member.value, where + "/" + member.key);
    }
    for (const PropertyValue &item : value.items) {
        checkCapturedValue(item, where + "[]");
    }
}

bool carries(const explain::CapturedEntry &entry, const char *key)
{
    return std::any_of(
        entry.properties.begin(), entry.properties.end(),
        [key](const explain::DictionaryMember &member) { return member.key == key; });
}

void checkCapturedEntry(const explain::CapturedEntry &entry, unsigned depth,
                        std::vector<std::uint64_t> &path, const std::string &where)
{
    const unsigned deepestEntry = 32;
    if (depth > deepestEntry) {
        finding(where + ": deeper than the reader's limit");
    }
    if (entry.registryId) {
        if (std::find(path.begin(), path.end(), *entry.registryId) != path.end()) {
            finding(where + ": an entry twice on one path");
        }
        path.push_back(*entry.registryId);
    }
    for (const explain::DictionaryMember &property : entry.properties) {
        checkCapturedValue(property.value, where + " " + property.key);
    }
    for (const explain::CapturedEntry &child : entry.children) {
        checkCapturedEntry(child, depth + 1, path, where + "/" + child.name);
    }
    if (entry.registryId) {
        path.pop_back();
    }
}

void checkCapture(const fuzzing::GeneratedRegistry &built, const explain::PortCapture &capture)
{
    struct Group {
        const char *name;
        const std::vector<explain::CapturedEntry> *entries;
        const char *key; // what each must carry
    };
    for (const Group &group : {Group{"port", &capture.ports, "PortTypeDescription"},
                               Group{"loose entry", &capture.loose, "ParentPortTypeDescription"},
                               Group{"power manager", &capture.powerManagers, nullptr}}) {
        for (const explain::CapturedEntry &entry : *group.entries) {
            std::vector<std::uint64_t> path;
            std::string where = std::string(group.name) + " " + entry.name;
            checkCapturedEntry(entry, 0, path, where);
            if (built.failuresPlanned) {
                continue;
            }
            if (group.key != nullptr && !carries(entry, group.key)) {
                finding(where + ": does not carry \"" + group.key + "\"");
            }
            if (group.key == nullptr &&
                (entry.className != "AppleSmartBattery" || !entry.children.empty())) {
                finding(where + ": not a power manager alone");
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    standin::reset();
    FuzzedDataProvider in(data, size);
    fuzzing::GeneratorOptions options;
    options.memberKeys.assign(std::begin(memberKeys), std::end(memberKeys));
    options.lastFailingCall = standin::Call::propertiesCopy;
    options.portShapes = true;
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

    explain::PortCapture capture = explain::readPortCapture(kIOMainPortDefault);
    audit = standin::audit();
    if (!audit.clean()) {
        finding("the audit is not clean after reading the ports\n" + audit.text());
    }
    checkCapture(built, capture);
    standin::reset();
    return 0;
}
