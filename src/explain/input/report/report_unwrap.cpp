#include "explain/input/report/report_unwrap.h"

#include <algorithm>

#include "explain/input/report/report_format.h"
#include "explain/input/report/report_line_shape.h"

namespace explain::report_reading {
namespace {

enum class Cut { unknown, atWidth, atSpace };

// Mail clients wrap at 72 to 80 columns, a few wider; a report's own lines
// run to 344.
const std::size_t widestWrap = 160;

// No report line is longer (an entry line with both annotations at their
// limits, deepest down, is about 800 bytes): joining stops there, which also
// keeps the joining linear in the input.
const std::size_t longestJoin = 1024;

std::size_t charactersIn(std::string_view text)
{
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xc0) != 0x80;
    }));
}

std::size_t firstWordWidth(std::string_view text)
{
    return charactersIn(text.substr(0, text.find(' ')));
}

// A section's header, or its saying that there is nothing in it: the lines
// that a report follows with a blank line of its own.
bool endsWithBlankLine(std::string_view line)
{
    return line.substr(0, 4) == "=== " || line == report_format::noControllers;
}

struct Joining {
    std::vector<ReportLine> lines;
    std::vector<std::pair<std::size_t, std::string>> causes;
    std::size_t joins = 0;
    std::size_t firstJoin = 0;
    bool sawCutAtWidth = false; // a join that only a cut at the width explains
    bool sawCutAtSpace = false;
    bool sawAmbiguous = false;
    std::size_t headsAtWidth = 0; // of joins and ambiguous pairs
};

// One pass over the lines, joining what is certain; an ambiguous join is
// made the preferred way, or not at all.
Joining joinLines(const std::vector<ReportLine> &lines, std::size_t width, Cut preferred,
                  std::deque<std::string> &rebuilt)
{
    Joining out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const ReportLine &line = lines[i];
        if (!out.lines.empty() && isBlank(line.text) && out.lines.back().width == width &&
            !isBlank(out.lines.back().text) && !endsWithBlankLine(out.lines.back().text) &&
            i + 1 < lines.size() && !isBlank(lines[i + 1].text)) {
            // A line's trailing space, cut off at the width onto a line of
            // its own: the report has no blank line there.
            ++out.headsAtWidth;
            continue;
        }
        if (out.lines.empty() || isBlank(line.text) || isBlank(out.lines.back().text) ||
            shapeOf(line.text) == LineShape::whole ||
            shapeOf(out.lines.back().text) == LineShape::none) {
            out.lines.push_back(line);
            continue;
        }
        ReportLine &head = out.lines.back();
        if (head.text.size() + line.text.size() + 1 > longestJoin) {
            out.lines.push_back(line);
            continue;
        }
        const bool headEndsWithSpace = head.text.back() == ' ';
        const std::string atWidth = std::string(head.text) + std::string(line.text);
        const std::string atSpace =
            headEndsWithSpace ? atWidth : std::string(head.text) + " " + std::string(line.text);
        // The next word (and, where the client keeps the space at the end of
        // the line, the space after it) would not have fitted.
        const bool wordWouldNotFit = head.width + 1 + firstWordWidth(line.text) > width;
        // Some clients cut at the last space and carry the space over, to
        // the start of the next line: no report line begins with one space.
        const bool spaceMoved = line.text.size() > 1 && line.text[0] == ' ' &&
                                line.text[1] != ' ' && !headEndsWithSpace &&
                                head.width + 1 + firstWordWidth(line.text.substr(1)) > width;
        const bool fitsAtWidth =
            (head.width == width || spaceMoved) && shapeOf(atWidth) != LineShape::none;
        const bool fitsAtSpace = wordWouldNotFit && shapeOf(atSpace) != LineShape::none;
        const std::string cause = "line " + std::to_string(line.number) +
                                  " looks like the end of line " +
                                  std::to_string(lines[i - 1].number) + " (wrapped at " +
                                  std::to_string(width) + " columns?)";
        const std::string *joined = nullptr;
        out.headsAtWidth += head.width == width && (fitsAtWidth || fitsAtSpace) ? 1 : 0;
        if (fitsAtWidth && fitsAtSpace && atWidth != atSpace) {
            out.sawAmbiguous = true;
            joined = preferred == Cut::atWidth   ? &atWidth
                     : preferred == Cut::atSpace ? &atSpace
                                                 : nullptr;
            if (!joined) {
                const std::string both =
                    cause + ", but it reads both with and without a space where it was cut";
                out.causes.emplace_back(head.number, both);
                out.causes.emplace_back(line.number, both);
            }
        } else if (fitsAtWidth) {
            joined = &atWidth;
            out.sawCutAtWidth = out.sawCutAtWidth || (atWidth != atSpace && !spaceMoved);
        } else if (fitsAtSpace) {
            joined = &atSpace;
            out.sawCutAtSpace = true;
        } else if ((head.width == width || wordWouldNotFit) &&
                   shapeOf(line.text) == LineShape::none) {
            out.causes.emplace_back(head.number, cause);
            out.causes.emplace_back(line.number, cause);
        }
        if (!joined) {
            out.lines.push_back(line);
            out.lines.back().cutAmbiguously = fitsAtWidth && fitsAtSpace;
            continue;
        }
        rebuilt.push_back(*joined);
        head.text = rebuilt.back();
        head.width = line.width;
        out.firstJoin = out.joins == 0 ? lines[i - 1].number : out.firstJoin;
        ++out.joins;
    }
    return out;
}

} // namespace

void joinWrappedLines(ReportLines &report)
{
    const bool anyCut =
        std::any_of(report.lines.begin(), report.lines.end(),
                    [](const ReportLine &line) { return shapeOf(line.text) != LineShape::whole; });
    if (!anyCut) {
        return;
    }
    std::size_t width = 0;
    for (const ReportLine &line : report.lines) {
        width = std::max(width, line.width);
    }
    if (width > widestWrap) {
        return; // no mail client's width: the report's own long lines stand
    }
    Joining joining = joinLines(report.lines, width, Cut::unknown, report.rebuilt);
    // How this client cuts: as the certain joins tell, or at the width when
    // every line it cut (two at least) is as wide as the width, which
    // cutting at spaces would make only by chance.
    Cut preferred = Cut::unknown;
    if (joining.sawCutAtWidth != joining.sawCutAtSpace) {
        preferred = joining.sawCutAtWidth ? Cut::atWidth : Cut::atSpace;
    } else if (!joining.sawCutAtSpace && joining.headsAtWidth >= 2) {
        preferred = Cut::atWidth;
    }
    if (joining.sawAmbiguous && preferred != Cut::unknown) {
        joining = joinLines(report.lines, width, preferred, report.rebuilt);
    }
    report.lines = std::move(joining.lines);
    report.causes = std::move(joining.causes);
    if (joining.joins == 0) {
        return;
    }
    report.notes.push_back(
        "the report was wrapped at " + std::to_string(width) +
        " columns, as a mail client wraps long lines: " + std::to_string(joining.joins) +
        (joining.joins == 1 ? " line end that was moved onto a line of its own is"
                            : " line ends that were moved onto lines of their own are") +
        " read joined back, the first to line " + std::to_string(joining.firstJoin));
}

} // namespace explain::report_reading
