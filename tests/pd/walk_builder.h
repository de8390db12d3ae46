// Property values and walk entries built directly, for the tests.
#ifndef PORTPROBE_TESTS_PD_WALK_BUILDER_H
#define PORTPROBE_TESTS_PD_WALK_BUILDER_H

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "explain/analysis/explanation.h"

namespace walk_builder {

using explain::PropertyValue;

inline PropertyValue bytes(std::vector<std::uint8_t> contents)
{
    PropertyValue value;
    value.kind = PropertyValue::Kind::data;
    value.length = static_cast<std::int64_t>(contents.size());
    value.bytes = std::move(contents);
    return value;
}

// Data holding the objects little-endian.
inline PropertyValue objects(std::initializer_list<std::uint32_t> list)
{
    std::vector<std::uint8_t> contents;
    for (std::uint32_t object : list) {
        for (unsigned i = 0; i < 4; ++i) {
            contents.push_back(static_cast<std::uint8_t>(object >> (8 * i)));
        }
    }
    return bytes(contents);
}

inline PropertyValue number(std::int64_t integer)
{
    PropertyValue value;
    value.kind = PropertyValue::Kind::integer;
    value.integer = integer;
    return value;
}

inline PropertyValue real(double stored)
{
    PropertyValue value;
    value.kind = PropertyValue::Kind::real;
    value.real = stored;
    value.integer = static_cast<std::int64_t>(stored);
    return value;
}

inline PropertyValue text(std::string contents)
{
    PropertyValue value;
    value.kind = PropertyValue::Kind::string;
    value.text = std::move(contents);
    return value;
}

inline PropertyValue boolean(bool known, bool truth = false)
{
    PropertyValue value;
    value.kind = PropertyValue::Kind::boolean;
    value.boolean = truth;
    value.contentsKnown = known;
    value.typeId = 21;
    return value;
}

inline PropertyValue array(std::vector<PropertyValue> items)
{
    PropertyValue value;
    value.kind = PropertyValue::Kind::array;
    value.count = static_cast<std::int64_t>(items.size());
    value.items = std::move(items);
    return value;
}

inline PropertyValue dictionary(std::vector<explain::DictionaryMember> members)
{
    PropertyValue value;
    value.kind = PropertyValue::Kind::dictionary;
    value.count = static_cast<std::int64_t>(members.size());
    value.members = std::move(members);
    return value;
}

// A container as a report shows it: its size alone.
inline PropertyValue sizeOnly(PropertyValue::Kind kind, std::int64_t count)
{
    PropertyValue value;
    value.kind = kind;
    value.count = count;
    value.contentsKnown = false;
    return value;
}

using Properties = std::vector<std::pair<std::string, PropertyValue>>;

inline explain::WalkedEntry entry(std::vector<std::string> path, std::string className,
                                  Properties properties = {})
{
    explain::WalkedEntry walked;
    walked.depth = static_cast<unsigned>(path.size() - 1);
    walked.path = std::move(path);
    walked.className = std::move(className);
    walked.properties = std::move(properties);
    return walked;
}

inline explain::VendorNames someVendors()
{
    return [](std::uint16_t id) -> std::optional<std::string> {
        switch (id) {
        case 0x0522: return std::string("Cable Maker");
        case 0x2eb9: return std::string("Dock Maker");
        default: return std::nullopt;
        }
    };
}

} // namespace walk_builder

#endif
