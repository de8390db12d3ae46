#include "standin_walk.h"

#include <string>

#include "explain/input/report/report_format.h"
#include "platform/standin/standin.h"
#include "platform/standin/utf.h"
#include "report/property_keys.h"

namespace testing_support {
namespace {

using explain::PropertyValue;
using Kind = PropertyValue::Kind;

// What a name read into a 128-byte buffer leaves of a name.
std::string nameAsRead(const std::string &name)
{
    std::string kept = name.substr(0, explain::report_format::longestName);
    return kept.substr(0, kept.find('\0'));
}

PropertyValue valueOf(const standin::Value &value)
{
    PropertyValue read;
    switch (value.kind()) {
    case standin::Kind::data: {
        const auto &bytes = *value.as<standin::Bytes>();
        read.kind = Kind::data;
        read.bytes = bytes;
        read.length = static_cast<std::int64_t>(bytes.size());
        break;
    }
    case standin::Kind::number: {
        const auto &number = *value.as<standin::Number>();
        long long converted = 0;
        standin::convertNumber(number, kCFNumberLongLongType, &converted);
        read.kind = number.isReal ? Kind::real : Kind::integer;
        read.integer = converted;
        read.real = number.isReal ? number.real : 0.0;
        break;
    }
    case standin::Kind::string: {
        auto text = standin::utf8FromUtf16(*value.as<std::u16string>());
        read.kind = text ? Kind::string : Kind::unconvertibleString;
        read.text = text.value_or("");
        break;
    }
    case standin::Kind::dictionary: {
        const auto &items = *value.as<standin::DictionaryItems>();
        read.kind = Kind::dictionary;
        read.count = static_cast<std::int64_t>(items.size());
        for (const auto &item : items) {
            auto key = standin::utf8FromUtf16(*item.first->as<std::u16string>());
            read.members.push_back({key.value_or(""), valueOf(*item.second)});
        }
        break;
    }
    case standin::Kind::array: {
        const auto &items = *value.as<standin::ArrayItems>();
        read.kind = Kind::array;
        read.count = static_cast<std::int64_t>(items.size());
        for (const auto &item : items) {
            read.items.push_back(valueOf(*item));
        }
        break;
    }
    case standin::Kind::boolean:
        read.kind = Kind::boolean;
        read.boolean = *value.as<bool>();
        break;
    case standin::Kind::date:
    case standin::Kind::set:
        read.kind = Kind::other;
        read.typeId = standin::typeIdOf(value.kind());
        break;
    }
    return read;
}

void walkEntry(const standin::Registry &registry, standin::PlaneId plane, standin::EntryId id,
               unsigned depth, std::vector<std::string> &path, explain::RegistryWalk &walk)
{
    if (depth > explain::report_format::deepestLevel) {
        return;
    }
    const standin::Entry &entry = registry.entry(id);
    path.push_back(nameAsRead(entry.name));
    explain::WalkedEntry walked;
    walked.depth = depth;
    walked.path = path;
    walked.className = nameAsRead(entry.className);
    for (std::string_view key : propertyKeys) {
        if (const standin::ValuePtr *value =
                registry.property(id, std::u16string(key.begin(), key.end()))) {
            walked.properties.emplace_back(std::string(key), valueOf(**value));
        }
    }
    walk.entries.push_back(std::move(walked));
    for (standin::EntryId child : registry.children(id, plane)) {
        walkEntry(registry, plane, child, depth + 1, path, walk);
    }
    path.pop_back();
}

} // namespace

explain::RegistryWalk walkOfStandinRegistry()
{
    const standin::Registry &registry = standin::registry();
    explain::RegistryWalk walk;
    standin::PlaneId plane = 0;
    if (!registry.findPlane("IOService", plane)) {
        return walk;
    }
    for (standin::EntryId controller : registry.entriesOfClass("AppleHPMARMSPMI")) {
        std::vector<std::string> path;
        walkEntry(registry, plane, controller, 0, path, walk);
    }
    return walk;
}

} // namespace testing_support
