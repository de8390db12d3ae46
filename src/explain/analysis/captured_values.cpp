#include "explain/analysis/captured_values.h"

#include <cmath>

#include "explain/analysis/utf8_text.h"

namespace explain {

const PropertyValue *memberOf(const std::vector<DictionaryMember> &members, std::string_view key)
{
    for (const DictionaryMember &member : members) {
        if (member.key == key) {
            return &member.value;
        }
    }
    return nullptr;
}

const PropertyValue *memberOf(const PropertyValue *value, std::string_view key)
{
    if (value == nullptr || value->kind != PropertyValue::Kind::dictionary) {
        return nullptr;
    }
    return memberOf(value->members, key);
}

std::optional<std::int64_t> integerOf(const PropertyValue *value)
{
    if (value == nullptr) {
        return std::nullopt;
    }
    if (value->kind == PropertyValue::Kind::integer) {
        return value->integer;
    }
    if (value->kind == PropertyValue::Kind::real && std::isfinite(value->real) &&
        std::fabs(value->real) < 9.0e15 && std::floor(value->real) == value->real) {
        return static_cast<std::int64_t>(value->real);
    }
    return std::nullopt;
}

std::optional<bool> flagOf(const PropertyValue *value)
{
    if (value == nullptr) {
        return std::nullopt;
    }
    if (value->kind == PropertyValue::Kind::boolean) {
        return value->contentsKnown ? std::optional<bool>(value->boolean) : std::nullopt;
    }
    if (value->kind == PropertyValue::Kind::integer) {
        return value->integer != 0;
    }
    return std::nullopt;
}

std::optional<std::string> textOf(const PropertyValue *value)
{
    if (value == nullptr || value->kind != PropertyValue::Kind::string) {
        return std::nullopt;
    }
    return validUtf8(value->text);
}

std::vector<std::string> stringsOf(const PropertyValue *value)
{
    std::vector<std::string> strings;
    if (value == nullptr || value->kind != PropertyValue::Kind::array) {
        return strings;
    }
    for (const PropertyValue &item : value->items) {
        if (item.kind == PropertyValue::Kind::string) {
            strings.push_back(validUtf8(item.text));
        }
    }
    return strings;
}

std::optional<std::uint32_t> id16Of(const PropertyValue *value)
{
    const std::optional<std::int64_t> number = integerOf(value);
    if (!number || *number < 0 || *number > 0xffff) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(*number);
}

std::optional<std::uint32_t> object32Of(const PropertyValue *value, bool &signExtended)
{
    signExtended = false;
    if (value == nullptr || value->kind != PropertyValue::Kind::integer) {
        return std::nullopt;
    }
    const std::int64_t number = value->integer;
    if (number > 0xffffffffLL || number < -0x80000000LL) {
        return std::nullopt;
    }
    signExtended = number < 0;
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(number));
}

bool holdsMembers(const PropertyValue *value)
{
    return value != nullptr && value->kind == PropertyValue::Kind::dictionary &&
           (!value->members.empty() || value->count > 0);
}

std::optional<std::int64_t> signed32Of(const PropertyValue *value)
{
    const std::optional<std::int64_t> number = integerOf(value);
    if (number && *number >= 0x80000000LL && *number <= 0xffffffffLL) {
        return *number - 0x100000000LL;
    }
    return number;
}

std::optional<std::int64_t> milliProduct(std::int64_t a, std::int64_t b)
{
    std::int64_t product = 0;
    if (__builtin_mul_overflow(a, b, &product)) {
        return std::nullopt;
    }
    return product / 1000;
}

} // namespace explain
