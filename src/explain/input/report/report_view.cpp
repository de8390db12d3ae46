#include "explain/input/report/report_view.h"

#include <algorithm>
#include <string_view>

#include "explain/input/report/report_format.h"

namespace explain {
namespace {

using namespace report_format;
using Kind = PropertyValue::Kind;

std::string cutName(const std::string &name) { return name.substr(0, longestName); }

PropertyValue shownValue(const PropertyValue &value)
{
    PropertyValue shown;
    shown.kind = value.kind;
    switch (value.kind) {
    case Kind::data: {
        const std::size_t kept = std::min(value.bytes.size(), static_cast<std::size_t>(bytesShown));
        shown.bytes.assign(value.bytes.begin(),
                           value.bytes.begin() + static_cast<std::ptrdiff_t>(kept));
        shown.length = value.length;
        break;
    }
    case Kind::integer:
    case Kind::real:
        shown.kind = Kind::integer;
        shown.integer = value.integer;
        break;
    case Kind::string:
        // The report prints the converted text as a C string.
        shown.text = value.text.substr(0, value.text.find('\0'));
        if (value.text.size() > longestString) {
            shown.kind = Kind::unconvertibleString;
            shown.text.clear();
        }
        break;
    case Kind::unconvertibleString: break;
    case Kind::boolean: shown.contentsKnown = false; break;
    case Kind::dictionary:
    case Kind::array:
        shown.count = value.count;
        shown.contentsKnown = false;
        break;
    case Kind::other:
        if (value.typeId == booleanTypeId) {
            shown.kind = Kind::boolean;
            shown.contentsKnown = false;
        } else {
            shown.typeId = value.typeId;
        }
        break;
    }
    return shown;
}

} // namespace

RegistryWalk asReportShows(const RegistryWalk &walk)
{
    RegistryWalk shown;
    shown.notes = walk.notes;
    for (const WalkedEntry &entry : walk.entries) {
        if (entry.depth > deepestLevel) {
            continue;
        }
        WalkedEntry kept;
        kept.depth = entry.depth;
        for (const std::string &name : entry.path) {
            kept.path.push_back(cutName(name));
        }
        kept.className = cutName(entry.className);
        for (const auto &[key, value] : entry.properties) {
            kept.properties.emplace_back(key, shownValue(value));
        }
        shown.entries.push_back(std::move(kept));
    }
    for (std::string &note : notesOnWhatReportsCannotHold(shown)) {
        shown.notes.push_back(std::move(note));
    }
    return shown;
}

std::vector<std::string> notesOnWhatReportsCannotHold(const RegistryWalk &walk)
{
    bool containers = false;
    bool longData = false;
    bool booleans = false;
    for (const WalkedEntry &entry : walk.entries) {
        for (const auto &property : entry.properties) {
            const PropertyValue &value = property.second;
            containers = containers || value.kind == Kind::dictionary || value.kind == Kind::array;
            longData = longData || (value.kind == Kind::data && value.length > bytesShown);
            booleans = booleans || value.kind == Kind::boolean;
        }
    }
    std::vector<std::string> notes;
    if (containers) {
        notes.emplace_back("a report shows a dictionary or an array by its size alone: what it "
                           "holds (\"Metadata\" and array-valued \"VDOs\" among them) is not in "
                           "the report");
    }
    if (longData) {
        notes.emplace_back("a report shows the first 128 bytes of a data value: the rest of a "
                           "longer one is not in the report");
    }
    if (booleans) {
        notes.emplace_back("a report shows a boolean as \"<type 21>\": whether it is true or "
                           "false is not in the report");
    }
    return notes;
}

} // namespace explain
