#include "explain/input/report/report_lines.h"

#include <optional>

namespace explain::report_reading {
namespace {

const std::string_view byteOrderMark = "\xef\xbb\xbf";

// The offset of the first byte that is not part of well-formed UTF-8
// (overlong forms, encoded surrogates and code points past U+10FFFF are not),
// or of the first zero byte.
std::optional<std::size_t> firstBadByte(std::string_view text, bool &isZero)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
    const std::size_t size = text.size();
    std::size_t at = 0;
    while (at < size) {
        const unsigned char lead = bytes[at];
        if (lead == 0) {
            isZero = true;
            return at;
        }
        if (lead < 0x80) {
            ++at;
            continue;
        }
        std::size_t length = 0;
        unsigned char low = 0x80; // the bounds of the second byte
        unsigned char high = 0xbf;
        if (lead >= 0xc2 && lead <= 0xdf) {
            length = 2;
        } else if (lead >= 0xe0 && lead <= 0xef) {
            length = 3;
            low = lead == 0xe0 ? 0xa0 : 0x80;
            high = lead == 0xed ? 0x9f : 0xbf;
        } else if (lead >= 0xf0 && lead <= 0xf4) {
            length = 4;
            low = lead == 0xf0 ? 0x90 : 0x80;
            high = lead == 0xf4 ? 0x8f : 0xbf;
        } else {
            return at;
        }
        if (at + length > size || bytes[at + 1] < low || bytes[at + 1] > high) {
            return at;
        }
        for (std::size_t k = 2; k < length; ++k) {
            if (bytes[at + k] < 0x80 || bytes[at + k] > 0xbf) {
                return at;
            }
        }
        at += length;
    }
    return std::nullopt;
}

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

std::string_view trimmedRight(std::string_view text)
{
    std::size_t end = text.find_last_not_of(" \t");
    return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

// "> ", ">", "> > ", ">>": one or more '>', each with an optional space.
std::string_view quotingPrefixOf(std::string_view line)
{
    std::size_t at = 0;
    while (at < line.size() && line[at] == '>') {
        ++at;
        if (at < line.size() && line[at] == ' ') {
            ++at;
        }
    }
    return line.substr(0, at);
}

bool isBlankOrReturns(std::string_view line)
{
    return line.find_first_not_of(" \t\r") == std::string_view::npos;
}

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

} // namespace

bool isBlank(std::string_view line)
{
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

std::variant<ReportLines, ReportParseError> readReportLines(std::string_view input)
{
    ReportLines result;
    if (startsWith(input, byteOrderMark)) {
        input.remove_prefix(byteOrderMark.size());
    }
    if (input.empty()) {
        return ReportParseError{1, "the report is empty"};
    }
    result.lastLineWhole = input.back() == '\n';

    std::vector<ReportLine> raw;
    std::size_t start = 0;
    while (start < input.size()) {
        std::size_t end = input.find('\n', start);
        if (end == std::string_view::npos) {
            end = input.size();
        }
        std::string_view text = input.substr(start, end - start);
        bool isZero = false;
        if (auto bad = firstBadByte(text, isZero)) {
            return ReportParseError{raw.size() + 1,
                                    "the report is not text: byte " + std::to_string(*bad + 1) +
                                        " of the line is " +
                                        (isZero ? "a zero byte" : "not valid UTF-8")};
        }
        raw.push_back(ReportLine{raw.size() + 1, text});
        start = end + 1;
    }

    // Line ends are taken from the report's first line, which never ends in
    // a carriage return of its own; a text of later lines may.
    // The first line with text, past any quoting prefix: quoted empty lines
    // (">") may come before it.
    std::size_t first = 0;
    while (first < raw.size() &&
           isBlankOrReturns(raw[first].text.substr(quotingPrefixOf(raw[first].text).size()))) {
        ++first;
    }
    if (first == raw.size()) {
        return ReportParseError{1, "the report holds only blank lines"};
    }
    if (raw[first].text.back() == '\r') {
        for (ReportLine &line : raw) {
            if (!line.text.empty() && line.text.back() == '\r') {
                line.text.remove_suffix(1);
            }
        }
    }

    // A quoting prefix is recognised on the first line, whose text a report
    // begins with "=" and never with '>', and must then be on every line;
    // quoted empty lines may have lost the prefix's trailing space.
    const std::string_view prefix = quotingPrefixOf(raw[first].text);
    if (!prefix.empty()) {
        const std::string_view bare = trimmedRight(prefix);
        for (std::size_t i = first; i < raw.size(); ++i) {
            std::string_view &text = raw[i].text;
            if (startsWith(text, prefix)) {
                text.remove_prefix(prefix.size());
            } else if (isBlank(text) || trimmedRight(text) == bare) {
                text = std::string_view();
            } else {
                return ReportParseError{raw[i].number, "expected the quoting prefix " +
                                                           quoted(prefix) +
                                                           " that the report's first line has"};
            }
        }
        result.notes.push_back("every line of the report is quoted with " + quoted(prefix) +
                               "; read without it");
    }

    std::size_t last = raw.size();
    while (last > first && isBlank(raw[last - 1].text)) {
        --last;
    }
    result.lastLineWhole = result.lastLineWhole || last < raw.size();
    result.lines.assign(raw.begin() + static_cast<std::ptrdiff_t>(first),
                        raw.begin() + static_cast<std::ptrdiff_t>(last));
    return result;
}

} // namespace explain::report_reading
