#include "explain/input/report/report_line_shape.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "explain/input/report/report_entry_line.h"
#include "explain/input/report/report_format.h"
#include "explain/input/report/report_lines.h"
#include "explain/input/report/report_values.h"
#include "report/property_keys.h"

namespace explain::report_reading {
namespace {

using namespace report_format;

bool isDigitOf(char c, bool hexadecimal)
{
    return (c >= '0' && c <= '9') || (hexadecimal && c >= 'a' && c <= 'f');
}

// Whether text could be continued into a text that the pattern matches: in
// the pattern '#' stands for decimal digits and '%' for hexadecimal ones.
bool beginsPattern(std::string_view text, std::string_view pattern)
{
    std::size_t p = 0;
    for (std::size_t t = 0; t < text.size();) {
        if (p == pattern.size()) {
            return false;
        }
        if (pattern[p] == '#' || pattern[p] == '%') {
            const bool hexadecimal = pattern[p] == '%';
            if (!isDigitOf(text[t], hexadecimal)) {
                return false;
            }
            while (t < text.size() && isDigitOf(text[t], hexadecimal)) {
                ++t;
            }
        } else if (text[t++] != pattern[p]) {
            return false;
        }
        ++p;
    }
    return true;
}

bool beginsAny(std::string_view text, std::initializer_list<std::string_view> patterns)
{
    return std::any_of(patterns.begin(), patterns.end(),
                       [text](std::string_view pattern) { return beginsPattern(text, pattern); });
}

// The bytes after "<data N bytes>" on a probe line: a space, then as many
// "xx " as the line shows (16 at most).
LineShape dumpOnProbeLine(std::string_view text, std::int64_t length)
{
    const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(length, bytesPerLine));
    if (text.empty()) {
        return wanted == 0 ? LineShape::whole : LineShape::partial;
    }
    if (text[0] != ' ') {
        return LineShape::none;
    }
    text.remove_prefix(1);
    std::vector<std::uint8_t> bytes;
    const DumpRow row = readDumpRow(text, wanted, bytes);
    if (text.empty()) {
        return row.bytesRead == wanted ? LineShape::whole : LineShape::partial;
    }
    return row.bytesRead < wanted && beginsPattern(text, "%") ? LineShape::partial
                                                              : LineShape::none;
}

LineShape dumpRow(std::string_view text)
{
    std::vector<std::uint8_t> bytes;
    const DumpRow row = readDumpRow(text, bytesPerLine, bytes);
    if (row.bytesRead == 0) {
        return beginsPattern(text, "%") ? LineShape::partial : LineShape::none;
    }
    if (text.empty()) {
        return LineShape::whole;
    }
    if (readCount(text, "... (", " total)")) {
        return LineShape::whole;
    }
    return beginsAny(text, {"%", "... (# total)"}) ? LineShape::partial : LineShape::none;
}

LineShape probeValue(std::string_view value)
{
    if (value.empty()) {
        return LineShape::partial;
    }
    if (value[0] == '"') {
        return value.size() > 1 && value.back() == '"' ? LineShape::whole : LineShape::partial;
    }
    std::string_view rest = value;
    if (auto length = readDumpHead(rest)) {
        return dumpOnProbeLine(rest, *length);
    }
    if (value == "<unconvertible string>" || readNumber(value) ||
        readCount(value, "<dict with ", " keys>") || readCount(value, "<array with ", " items>") ||
        readCount(value, "<type ", ">", UINT64_MAX)) {
        return LineShape::whole;
    }
    if (value[0] == '-') {
        value.remove_prefix(1);
    }
    return beginsAny(value, {"<data # bytes>", "<dict with # keys>", "<array with # items>",
                             "<type #>", "<unconvertible string>", "# (0x%)"})
               ? LineShape::partial
               : LineShape::none;
}

LineShape probeLine(std::string_view text)
{
    const std::size_t colon = text.find(": ");
    if (colon == std::string_view::npos) {
        // Cut inside the key, or before its colon's space.
        for (const char *key : propertyKeys) {
            if (beginsPattern(text, std::string(key) + ":")) {
                return LineShape::partial;
            }
        }
        return LineShape::none;
    }
    if (!probedKeyIndex(text.substr(0, colon))) {
        return LineShape::none;
    }
    return probeValue(text.substr(colon + 2));
}

} // namespace

LineShape shapeOf(std::string_view line)
{
    if (isBlank(line)) {
        return LineShape::whole;
    }
    for (const std::string_view fixed :
         {serviceHeader, powerHeader, interestHeader, noControllers}) {
        if (line == fixed) {
            return LineShape::whole;
        }
        if (beginsPattern(line, fixed)) {
            return LineShape::partial;
        }
    }
    for (const std::string_view opening : {generalInterest, busyInterest}) {
        if (line.substr(0, opening.size()) == opening) {
            std::string_view rest = line.substr(opening.size());
            if (readDigits(rest, 16) && (rest == " SUCCESS" || rest == " FAILED")) {
                return LineShape::whole;
            }
        }
        if (beginsAny(line,
                      {std::string(opening) + "% SUCCESS", std::string(opening) + "% FAILED"})) {
            return LineShape::partial;
        }
    }
    const std::size_t spaces = std::min(line.find_first_not_of(' '), line.size());
    const std::string_view rest = line.substr(spaces);
    if (rest[0] == '[') {
        if (spaces % 2 != 0) {
            return LineShape::none;
        }
        if (readEntryLine(rest)) {
            return LineShape::whole;
        }
        return rest.find("] ") == std::string_view::npos ? LineShape::partial : LineShape::none;
    }
    if (rest.substr(0, probeMarker.size()) == probeMarker) {
        return probeLine(rest.substr(probeMarker.size()));
    }
    if (beginsPattern(rest, probeMarker)) {
        return LineShape::partial;
    }
    return spaces == dumpIndent.size() ? dumpRow(rest) : LineShape::none;
}

} // namespace explain::report_reading
