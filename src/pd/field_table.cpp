#include "pd/field_table.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace pd {

namespace {

const Field *findField(const Layout &layout, std::string_view name)
{
    for (std::size_t i = 0; i < layout.fieldCount; ++i) {
        if (name == layout.fields[i].name) {
            return &layout.fields[i];
        }
    }
    return nullptr;
}

const CodePoint *findCode(const Field &field, std::uint32_t raw)
{
    for (std::size_t i = 0; i < field.codeCount; ++i) {
        if (field.codes[i].code == raw) {
            return &field.codes[i];
        }
    }
    return nullptr;
}

std::int64_t scaled(const Field &field, std::uint32_t raw)
{
    return static_cast<std::int64_t>(raw) * static_cast<std::int64_t>(field.scale);
}

const char *unitSymbol(Unit unit)
{
    switch (unit) {
    case Unit::millivolts: return "V";
    case Unit::milliamps: return "A";
    case Unit::milliwatts:
    case Unit::watts: return "W";
    case Unit::celsius: return "°C";
    case Unit::milliohms: return "mΩ";
    case Unit::none: break;
    }
    return "";
}

// The amount without its unit, as the text writes it.
std::string amountText(const Field &field, std::uint32_t raw)
{
    const std::int64_t value = scaled(field, raw);
    switch (field.unit) {
    case Unit::millivolts:
    case Unit::milliamps: return twoDecimals(value);
    case Unit::milliwatts: return trimmedDecimals(value);
    case Unit::watts:
    case Unit::celsius:
    case Unit::milliohms:
    case Unit::none: break;
    }
    return std::to_string(value);
}

std::string letterText(std::uint32_t raw, unsigned count)
{
    std::string text;
    for (unsigned bit = 0; bit < count && bit < 26; ++bit) {
        if ((raw >> bit) & 1U) {
            text += static_cast<char>('A' + bit);
        }
    }
    return text;
}

// The field's value alone, as the headline shows it.
std::string valueText(const Field &field, std::uint32_t raw)
{
    switch (field.shape) {
    case FieldShape::flag: return raw != 0 ? "yes" : "no";
    case FieldShape::flagWhenClear: return raw == 0 ? "yes" : "no";
    case FieldShape::quantity: return amountText(field, raw);
    case FieldShape::number: return std::to_string(raw);
    case FieldShape::hex: return hex16(raw);
    case FieldShape::code: {
        const CodePoint *point = findCode(field, raw);
        if (point == nullptr) {
            return "reserved (" + std::to_string(raw) + ")";
        }
        return point->words;
    }
    case FieldShape::letters: return letterText(raw, field.letterCount);
    }
    return {};
}

// The field's words in the details, or nothing when there is nothing to say.
std::string detailText(const Field &field, std::uint32_t raw)
{
    if (field.label == nullptr) {
        return {};
    }
    // The label, a space and the value's words.
    auto labelled = [&field](const std::string &value) {
        std::string text = field.label;
        text += ' ';
        text += value;
        return text;
    };
    switch (field.shape) {
    case FieldShape::flag: return raw != 0 ? field.label : std::string();
    case FieldShape::flagWhenClear: return raw == 0 ? field.label : std::string();
    case FieldShape::quantity: {
        std::string text = labelled(amountText(field, raw));
        const char *symbol = unitSymbol(field.unit);
        if (*symbol != '\0') {
            text += ' ';
            text += symbol;
        }
        return text;
    }
    case FieldShape::number: return labelled(std::to_string(raw));
    case FieldShape::hex: return labelled(hex16(raw));
    case FieldShape::code: {
        const CodePoint *point = findCode(field, raw);
        if (point == nullptr) {
            return labelled("reserved (" + std::to_string(raw) + ")");
        }
        return point->words;
    }
    case FieldShape::letters: {
        const std::string shown = letterText(raw, field.letterCount);
        if (shown.empty()) {
            return std::string("no ") + field.label;
        }
        return labelled(shown);
    }
    }
    return {};
}

Json jsonValue(const Field &field, std::uint32_t raw)
{
    switch (field.shape) {
    case FieldShape::flag: return raw != 0;
    case FieldShape::flagWhenClear: return raw == 0;
    case FieldShape::quantity: return scaled(field, raw);
    case FieldShape::number:
    case FieldShape::hex: return raw;
    case FieldShape::code: {
        const CodePoint *point = findCode(field, raw);
        if (point == nullptr) {
            if (field.reservedIsNull) {
                return nullptr;
            }
            // Named code points read "reserved"; numbered ones keep the code.
            const bool named = field.codeCount > 0 && field.codes[0].name != nullptr;
            return named ? Json("reserved") : Json(raw);
        }
        if (point->name != nullptr) {
            return point->name;
        }
        return point->number;
    }
    case FieldShape::letters: return letterText(raw, field.letterCount);
    }
    return nullptr;
}

// Fills the headline's placeholders; marks each field it names in `named`.
std::string fillHeadline(std::uint32_t object, const Layout &layout, std::vector<bool> &named)
{
    std::string text;
    const std::string_view pattern = layout.headline == nullptr ? "" : layout.headline;
    std::size_t at = 0;
    while (at < pattern.size()) {
        const std::size_t open = pattern.find('{', at);
        const std::size_t close =
            open == std::string_view::npos ? std::string_view::npos : pattern.find('}', open);
        if (close == std::string_view::npos) {
            text += pattern.substr(at);
            break;
        }
        text += pattern.substr(at, open - at);
        const std::string_view token = pattern.substr(open + 1, close - open - 1);
        const std::size_t star = token.find('*');
        if (star != std::string_view::npos) {
            const Field *left = findField(layout, token.substr(0, star));
            const Field *right = findField(layout, token.substr(star + 1));
            if (left != nullptr && right != nullptr) {
                // milli times milli is micro: thousandths of a watt after / 1000.
                const std::int64_t microwatts =
                    scaled(*left, bitsOf(object, left->high, left->low)) *
                    scaled(*right, bitsOf(object, right->high, right->low));
                text += trimmedDecimals(microwatts / 1000);
            }
        } else if (const Field *field = findField(layout, token)) {
            text += valueText(*field, bitsOf(object, field->high, field->low));
            named[static_cast<std::size_t>(field - layout.fields)] = true;
        }
        at = close + 1;
    }
    return text;
}

// Sets a member of an object whose first `given` members came with it: a
// layout's field names are its own, so only those may share a name with a
// field, whose value then takes the member's place as operator[] would.
void setMember(Json::object_t &members, std::size_t given, const char *name, Json value)
{
    const auto givenEnd = members.begin() + static_cast<std::ptrdiff_t>(given);
    for (auto member = members.begin(); member != givenEnd; ++member) {
        if (member->first == name) {
            member->second = std::move(value);
            return;
        }
    }
    members.emplace_back(name, std::move(value));
}

} // namespace

std::string DecodedObject::line() const
{
    std::size_t length = headline.size() + 2;
    for (const std::string &detail : details) {
        length += detail.size() + 2;
    }
    std::string text;
    text.reserve(length);
    text += headline;
    if (!details.empty()) {
        text += "; ";
        for (std::size_t i = 0; i < details.size(); ++i) {
            if (i > 0) {
                text += ", ";
            }
            text += details[i];
        }
    }
    return text;
}

DecodedObject decodeObject(std::uint32_t object, const Layout &layout, Json json, Views views)
{
    DecodedObject decoded;
    decoded.json = std::move(json);
    Json::object_t *members = nullptr;
    std::size_t given = 0;
    if (views.json) {
        if (decoded.json.is_null()) {
            decoded.json = Json::object();
        }
        members = &decoded.json.get_ref<Json::object_t &>();
        given = members->size();
        // One allocation for the members rather than one each time they
        // outgrow their room.
        members->reserve(given + layout.fieldCount);
    }
    std::vector<bool> named(layout.fieldCount, false);
    if (views.words) {
        decoded.headline = fillHeadline(object, layout, named);
    }
    for (std::size_t i = 0; i < layout.fieldCount; ++i) {
        const Field &field = layout.fields[i];
        const std::uint32_t raw = bitsOf(object, field.high, field.low);
        if (members != nullptr) {
            setMember(*members, given, field.name, jsonValue(field, raw));
        }
        if (field.shape == FieldShape::code && findCode(field, raw) == nullptr) {
            decoded.reserved.push_back(std::string("reserved ") +
                                       (field.label != nullptr ? field.label : field.name) +
                                       " code " + std::to_string(raw));
        }
        if (field.shape == FieldShape::letters && (raw >> field.letterCount) != 0) {
            decoded.reserved.push_back(std::string("reserved ") +
                                       (field.label != nullptr ? field.label : field.name) +
                                       " bits set (" + hex16(raw) + ")");
        }
        if (views.words && !named[i]) {
            std::string words = detailText(field, raw);
            if (!words.empty()) {
                decoded.details.push_back(std::move(words));
            }
        }
    }
    return decoded;
}

std::uint32_t rawField(std::uint32_t object, const Layout &layout, const char *name)
{
    const Field *field = findField(layout, name);
    return field == nullptr ? 0 : bitsOf(object, field->high, field->low);
}

std::int64_t quantityField(std::uint32_t object, const Layout &layout, const char *name)
{
    const Field *field = findField(layout, name);
    return field == nullptr ? 0 : scaled(*field, bitsOf(object, field->high, field->low));
}

std::string twoDecimals(std::int64_t thousandths)
{
    const bool negative = thousandths < 0;
    const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(thousandths)
                                             : static_cast<std::uint64_t>(thousandths);
    char text[48];
    if (magnitude % 10 == 0) {
        std::snprintf(text, sizeof text, "%s%" PRIu64 ".%02" PRIu64, negative ? "-" : "",
                      magnitude / 1000, (magnitude % 1000) / 10);
    } else {
        std::snprintf(text, sizeof text, "%s%" PRIu64 ".%03" PRIu64, negative ? "-" : "",
                      magnitude / 1000, magnitude % 1000);
    }
    return text;
}

std::string trimmedDecimals(std::int64_t thousandths)
{
    const bool negative = thousandths < 0;
    const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(thousandths)
                                             : static_cast<std::uint64_t>(thousandths);
    std::string text = (negative ? "-" : "") + std::to_string(magnitude / 1000);
    std::uint64_t fraction = magnitude % 1000;
    if (fraction != 0) {
        char digits[8];
        std::snprintf(digits, sizeof digits, "%03" PRIu64, fraction);
        std::string decimals = digits;
        while (!decimals.empty() && decimals.back() == '0') {
            decimals.pop_back();
        }
        text += "." + decimals;
    }
    return text;
}

std::string hex32(std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08" PRIx32, value);
    return text;
}

std::string hex16(std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%04" PRIx32, value);
    return text;
}

} // namespace pd
