#include "explain/input/report/report_paste_frame.h"

#include <optional>

#include "explain/input/report/report_format.h"

namespace explain::report_reading {
namespace {

std::string_view trimmed(std::string_view text)
{
    const std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        return {};
    }
    return text.substr(start, text.find_last_not_of(" \t") + 1 - start);
}

std::string_view withoutPrefix(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix ? text.substr(prefix.size()) : text;
}

struct Fence {
    char mark = '`';
    std::size_t length = 0;
};

// "```", "~~~~", "```text": three or more of one mark, then at most an
// information word (without backticks after backticks).
std::optional<Fence> openingFenceOf(std::string_view text)
{
    text = trimmed(text);
    if (text.empty() || (text[0] != '`' && text[0] != '~')) {
        return std::nullopt;
    }
    Fence fence{text[0], std::min(text.find_first_not_of(text[0]), text.size())};
    const std::string_view info = trimmed(text.substr(fence.length));
    if (fence.length < 3 || info.find_first_of(" \t") != std::string_view::npos ||
        (fence.mark == '`' && info.find('`') != std::string_view::npos)) {
        return std::nullopt;
    }
    return fence;
}

bool closesFence(std::string_view text, const Fence &fence)
{
    text = trimmed(text);
    return text.size() >= fence.length &&
           text.find_first_not_of(fence.mark) == std::string_view::npos;
}

std::string lineRange(std::size_t first, std::size_t last)
{
    return first == last ? "line " + std::to_string(first)
                         : "lines " + std::to_string(first) + " to " + std::to_string(last);
}

// "4 spaces", "a tab", or the indentation itself.
std::string describedIndentation(std::string_view indentation)
{
    const std::size_t count = indentation.size();
    if (indentation.find_first_not_of(' ') == std::string_view::npos) {
        return count == 1 ? "a space" : std::to_string(count) + " spaces";
    }
    if (indentation.find_first_not_of('\t') == std::string_view::npos) {
        return count == 1 ? "a tab" : std::to_string(count) + " tabs";
    }
    return excerptOf(indentation);
}

} // namespace

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

ReportFrame findReportFrame(const std::vector<ReportLine> &lines, std::size_t firstWithText)
{
    ReportFrame frame;
    frame.end = lines.size();
    std::optional<std::size_t> header;
    for (std::size_t i = 0; i < lines.size() && !header; ++i) {
        if (trimmed(lines[i].text.substr(quotingPrefixOf(lines[i].text).size())) ==
            report_format::serviceHeader) {
            header = i;
        }
    }
    if (!header) {
        frame.first = firstWithText;
        frame.quoting = quotingPrefixOf(lines[frame.first].text);
        return frame;
    }
    frame.first = *header;
    const std::string_view text = lines[frame.first].text;
    frame.quoting = quotingPrefixOf(text);
    const std::string_view afterQuoting = text.substr(frame.quoting.size());
    frame.indentation = afterQuoting.substr(0, afterQuoting.find_first_not_of(" \t"));

    // The fence, if any, is the last line with text before the header.
    std::size_t before = frame.first;
    while (before > 0 && isBlank(withoutPrefix(lines[before - 1].text, frame.quoting))) {
        --before;
    }
    std::optional<Fence> fence;
    if (before > 0) {
        fence = openingFenceOf(withoutPrefix(lines[before - 1].text, frame.quoting));
    }
    const std::size_t proseEnd = fence ? before - 1 : before;
    std::size_t proseStart = 0;
    while (proseStart < proseEnd && isBlank(withoutPrefix(lines[proseStart].text, frame.quoting))) {
        ++proseStart;
    }
    if (proseStart < proseEnd) {
        frame.notes.push_back("the text before the report (" +
                              lineRange(lines[proseStart].number, lines[proseEnd - 1].number) +
                              ") is left out");
    }
    if (fence) {
        std::string where = "line " + std::to_string(lines[before - 1].number);
        for (std::size_t i = frame.first + 1; i < lines.size(); ++i) {
            if (closesFence(withoutPrefix(lines[i].text, frame.quoting), *fence)) {
                frame.end = i;
                where = "lines " + std::to_string(lines[before - 1].number) + " and " +
                        std::to_string(lines[i].number);
                break;
            }
        }
        frame.notes.push_back("the report stands in a Markdown code fence (" + where +
                              "); read without it");
        std::size_t last = lines.size();
        while (last > frame.end + 1 && isBlank(lines[last - 1].text)) {
            --last;
        }
        if (last > frame.end + 1) {
            frame.notes.push_back("the text after the closing fence (" +
                                  lineRange(lines[frame.end + 1].number, lines[last - 1].number) +
                                  ") is left out");
        }
    }
    if (!frame.indentation.empty()) {
        frame.notes.push_back("every line of the report is indented by " +
                              describedIndentation(frame.indentation) + "; read without it");
    }
    return frame;
}

} // namespace explain::report_reading
