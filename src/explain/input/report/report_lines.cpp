#include "explain/input/report/report_lines.h"

#include <algorithm>
#include <optional>

#include "explain/input/report/report_paste_frame.h"
#include "explain/input/report/report_unwrap.h"

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

bool isBlankOrReturns(std::string_view line)
{
    return line.find_first_not_of(" \t\r") == std::string_view::npos;
}

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::size_t charactersIn(std::string_view text)
{
    std::size_t count = 0;
    for (char c : text) {
        count += (static_cast<unsigned char>(c) & 0xc0) != 0x80 ? 1 : 0;
    }
    return count;
}

// The line with its leading tabs as spaces, to tab stops every width
// columns; nothing when it has no leading tab.
std::optional<std::string> withTabsExpanded(std::string_view text, unsigned width)
{
    const std::size_t end = std::min(text.find_first_not_of(" \t"), text.size());
    if (text.substr(0, end).find('\t') == std::string_view::npos) {
        return std::nullopt;
    }
    std::size_t column = 0;
    for (std::size_t i = 0; i < end; ++i) {
        column = text[i] == '\t' ? (column / width + 1) * width : column + 1;
    }
    return std::string(column, ' ') + std::string(text.substr(end));
}

} // namespace

bool isBlank(std::string_view line)
{
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

std::string excerptOf(std::string_view line)
{
    const std::size_t shown = 40;
    std::string out = "\"";
    std::size_t characters = 0;
    std::size_t at = 0;
    for (; at < line.size() && characters < shown; ++at) {
        const auto c = static_cast<unsigned char>(line[at]);
        if ((c & 0xc0) != 0x80) {
            ++characters;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c == 0x7f) {
            const char *digits = "0123456789abcdef";
            out += "\\x";
            out += digits[c >> 4];
            out += digits[c & 0xf];
        } else {
            out += static_cast<char>(c);
        }
    }
    // The rest of a character that was begun.
    while (at < line.size() && (static_cast<unsigned char>(line[at]) & 0xc0) == 0x80) {
        out += line[at++];
    }
    return out + (at < line.size() ? "...\"" : "\"");
}

std::variant<ReportLines, ReportParseError> readReportLines(std::string_view input,
                                                            unsigned tabWidth)
{
    ReportLines result;
    if (startsWith(input, byteOrderMark)) {
        input.remove_prefix(byteOrderMark.size());
    }
    if (input.empty()) {
        return ReportParseError{1, "the report is empty"};
    }

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
            return ReportParseError{
                raw.size() + 1,
                "the report is not text: byte " + std::to_string(*bad + 1) + " of the line is " +
                    (isZero ? "a zero byte" : "not valid UTF-8") +
                    (*bad > 0 ? ", after " + excerptOf(text.substr(0, *bad)) : std::string())};
        }
        raw.push_back(ReportLine{raw.size() + 1, text});
        start = end + 1;
    }

    // Line ends are taken from the first line with text, which in a report
    // never ends in a carriage return of its own; a text of later lines may.
    // Quoted empty lines (">") may come before it.
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
    for (ReportLine &line : raw) {
        line.width = charactersIn(line.text);
    }

    ReportFrame frame = findReportFrame(raw, first);
    result.notes = std::move(frame.notes);
    result.decoration = std::string(frame.quoting) + std::string(frame.indentation);
    const std::string_view bareQuoting = trimmedRight(frame.quoting);
    std::size_t last = frame.end;
    while (last > frame.first && isBlank(raw[last - 1].text)) {
        --last;
    }
    // The input's last line with a line feed, or one past the report.
    result.lastLineWhole = input.back() == '\n' || last < raw.size();
    for (std::size_t i = frame.first; i < last; ++i) {
        ReportLine line = raw[i];
        if (startsWith(line.text, result.decoration)) {
            line.text.remove_prefix(result.decoration.size());
        } else if (isBlank(line.text) || trimmedRight(line.text) == bareQuoting) {
            line.text = std::string_view();
        } else {
            line.outside = true;
        }
        if (auto expanded = withTabsExpanded(line.text, tabWidth == 0 ? 1 : tabWidth)) {
            result.firstLeadingTab =
                result.firstLeadingTab == 0 ? line.number : result.firstLeadingTab;
            if (tabWidth != 0) {
                result.rebuilt.push_back(std::move(*expanded));
                line.text = result.rebuilt.back();
            }
        }
        result.lines.push_back(line);
    }
    if (!frame.quoting.empty()) {
        result.notes.push_back("every line of the report is quoted with " + quoted(frame.quoting) +
                               "; read without it");
    }
    if (tabWidth != 0) {
        result.notes.push_back("the report's lines begin with tabs where it has spaces; each "
                               "tab is read as reaching the next multiple of " +
                               std::to_string(tabWidth) +
                               " columns, the one width at which the report reads");
    }
    joinWrappedLines(result);
    return result;
}

} // namespace explain::report_reading
