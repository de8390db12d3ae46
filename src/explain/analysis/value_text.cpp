#include "explain/analysis/value_text.h"

#include <cinttypes>
#include <cstdio>

#include "explain/analysis/utf8_text.h"

namespace explain {

namespace {

// As the report dumps data.
constexpr std::size_t bytesPerLine = 16;

// The whole length of data, however the model was filled in.
std::int64_t wholeLength(const PropertyValue &value)
{
    const auto known = static_cast<std::int64_t>(value.bytes.size());
    return value.length < known ? known : value.length;
}

std::string numberText(std::int64_t number)
{
    char text[64];
    std::snprintf(text, sizeof text, "%" PRId64 " (0x%" PRIx64 ")", number,
                  static_cast<std::uint64_t>(number));
    return text;
}

std::string dataText(const PropertyValue &value)
{
    const std::int64_t length = wholeLength(value);
    std::string text = "<data " + std::to_string(length) + " bytes> ";
    const std::size_t shown =
        value.bytes.size() < reportDataBytes ? value.bytes.size() : reportDataBytes;
    // Each byte as the report prints it ("%02x "), without a printf call per
    // byte: a data value is formatted for every property that holds one.
    static const char digits[] = "0123456789abcdef";
    text.reserve(text.size() + shown * 3 + 32);
    for (std::size_t i = 0; i < shown; ++i) {
        const auto byte = static_cast<unsigned>(value.bytes[i]);
        text += digits[(byte >> 4) & 0xfu];
        text += digits[byte & 0xfu];
        text += ' ';
    }
    if (length > static_cast<std::int64_t>(reportDataBytes)) {
        text += "... (" + std::to_string(length) + " total)";
    }
    return text;
}

// Sixteen bytes a line; none when the data shows sixteen bytes or fewer,
// which stand on one line.
std::vector<std::string> dataLines(const PropertyValue &value)
{
    const std::size_t shown =
        value.bytes.size() < reportDataBytes ? value.bytes.size() : reportDataBytes;
    std::vector<std::string> lines;
    if (value.kind != PropertyValue::Kind::data || shown <= bytesPerLine) {
        return lines;
    }
    const std::int64_t length = wholeLength(value);
    lines.push_back("<data " + std::to_string(length) + " bytes>");
    static const char digits[] = "0123456789abcdef";
    for (std::size_t first = 0; first < shown; first += bytesPerLine) {
        std::string line;
        for (std::size_t i = first; i < shown && i < first + bytesPerLine; ++i) {
            const auto byte = static_cast<unsigned>(value.bytes[i]);
            line += i > first ? " " : "";
            line += digits[(byte >> 4) & 0xfu];
            line += digits[byte & 0xfu];
        }
        lines.push_back(std::move(line));
    }
    if (length > static_cast<std::int64_t>(reportDataBytes)) {
        lines.back() += " ... (" + std::to_string(length) + " total)";
    }
    return lines;
}

std::string realText(double real)
{
    char text[64];
    std::snprintf(text, sizeof text, "%g", real);
    return text;
}

} // namespace

std::string reportText(const PropertyValue &value)
{
    switch (value.kind) {
    case PropertyValue::Kind::data: return dataText(value);
    case PropertyValue::Kind::integer:
    case PropertyValue::Kind::real: return numberText(value.integer);
    case PropertyValue::Kind::string:
        if (value.text.size() > reportStringBytes) {
            return "<unconvertible string>";
        }
        return "\"" + validUtf8(value.text) + "\"";
    case PropertyValue::Kind::unconvertibleString: return "<unconvertible string>";
    case PropertyValue::Kind::dictionary:
        return "<dict with " + std::to_string(value.count) + " keys>";
    case PropertyValue::Kind::array:
        return "<array with " + std::to_string(value.count) + " items>";
    case PropertyValue::Kind::boolean:
    case PropertyValue::Kind::other: break;
    }
    return "<type " + std::to_string(value.typeId) + ">";
}

Json plainJson(const PropertyValue &value)
{
    switch (value.kind) {
    case PropertyValue::Kind::integer: return value.integer;
    case PropertyValue::Kind::real: return value.real;
    case PropertyValue::Kind::string: return validUtf8(value.text);
    case PropertyValue::Kind::boolean:
        return value.contentsKnown ? Json(value.boolean) : Json(nullptr);
    case PropertyValue::Kind::data:
    case PropertyValue::Kind::unconvertibleString:
    case PropertyValue::Kind::dictionary:
    case PropertyValue::Kind::array:
    case PropertyValue::Kind::other: break;
    }
    return reportText(value);
}

std::string plainWords(const PropertyValue &value)
{
    switch (value.kind) {
    case PropertyValue::Kind::integer: return numberText(value.integer);
    case PropertyValue::Kind::real: return realText(value.real);
    case PropertyValue::Kind::string: return "\"" + validUtf8(value.text) + "\"";
    case PropertyValue::Kind::boolean:
        if (!value.contentsKnown) {
            return "a boolean";
        }
        return value.boolean ? "true" : "false";
    // The report writes "1 keys"; in words the count agrees with its noun.
    case PropertyValue::Kind::dictionary:
        return "<dict with " + std::to_string(value.count) +
               (value.count == 1 ? " key>" : " keys>");
    case PropertyValue::Kind::array:
        return "<array with " + std::to_string(value.count) +
               (value.count == 1 ? " item>" : " items>");
    case PropertyValue::Kind::data:
    case PropertyValue::Kind::unconvertibleString:
    case PropertyValue::Kind::other: break;
    }
    return reportText(value);
}

std::vector<std::string> wordLines(const PropertyValue &value)
{
    std::vector<std::string> lines = dataLines(value);
    if (lines.empty()) {
        lines.push_back(plainWords(value));
    }
    return lines;
}

std::vector<std::string> reportLines(const PropertyValue &value)
{
    std::vector<std::string> lines = dataLines(value);
    if (lines.empty()) {
        lines.push_back(reportText(value));
    }
    return lines;
}

std::vector<std::string> reportLimits(const PropertyValue &value)
{
    std::vector<std::string> limits;
    switch (value.kind) {
    case PropertyValue::Kind::data: {
        const std::int64_t length = wholeLength(value);
        const auto known = static_cast<std::int64_t>(value.bytes.size());
        if (known < length) {
            limits.push_back("bytes " + std::to_string(known + 1) + " to " +
                             std::to_string(length) + " are not in the report");
        }
        break;
    }
    case PropertyValue::Kind::real:
        // Only the registry holds reals: a report shows them as whole numbers.
        limits.push_back("a real number; portprobe's report shows it as " +
                         numberText(value.integer) + ", without its fraction");
        break;
    case PropertyValue::Kind::string:
        if (value.text.size() > reportStringBytes) {
            limits.push_back(
                "a string of " + std::to_string(value.text.size()) +
                " bytes; its text is not in the report, which shows <unconvertible string>");
        }
        break;
    case PropertyValue::Kind::boolean:
        if (!value.contentsKnown) {
            limits.push_back("a boolean; its value is not in the report");
        }
        break;
    case PropertyValue::Kind::integer:
    case PropertyValue::Kind::unconvertibleString:
    case PropertyValue::Kind::dictionary:
    case PropertyValue::Kind::array:
    case PropertyValue::Kind::other: break;
    }
    return limits;
}

} // namespace explain
