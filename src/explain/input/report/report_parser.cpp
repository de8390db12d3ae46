#include "explain/input/report/report_parser.h"

#include <algorithm>
#include <new>
#include <optional>
#include <utility>

#include "explain/input/report/report_lines.h"
#include "explain/input/report/report_reader.h"

namespace explain {
namespace {

using Parsed = std::variant<RegistryWalk, ReportParseError>;

// Line number (1-based) of input, as it stands there.
std::string_view lineOf(std::string_view input, std::size_t number)
{
    std::size_t start = 0;
    for (std::size_t at = 1; at < number && start < input.size(); ++at) {
        start = std::min(input.find('\n', start), input.size() - 1) + 1;
    }
    const std::string_view rest = input.substr(start);
    return rest.substr(0, rest.find('\n'));
}

Parsed readLines(report_reading::ReportLines lines)
{
    if (lines.lines.empty()) {
        return ReportParseError{1, "the report holds only blank lines"};
    }
    report_reading::ReportReader reader(std::move(lines));
    try {
        return reader.read();
    } catch (const report_reading::LineError &error) {
        return ReportParseError{error.line, error.message};
    } catch (const std::bad_alloc &) {
        return ReportParseError{reader.lineNumber(), "not enough memory to read the report"};
    }
}

// Tabs where the report has spaces, in a report that does not read with its
// tabs as they are (a string's text may hold them): a leading tab may stand
// for one level (2 spaces), 4 spaces or a terminal's 8. The report is read
// with each; the one width with which it reads is taken. With none, the error
// is that of the reading that went furthest, the reading as it is included;
// with more than one, the report is refused.
Parsed readWithTabs(std::string_view input, std::size_t firstTabLine, ReportParseError asItIs)
{
    std::optional<RegistryWalk> read;
    std::optional<unsigned> readWidth;
    std::optional<ReportParseError> furthest = std::move(asItIs);
    for (const unsigned width : {2U, 4U, 8U}) {
        auto lines = report_reading::readReportLines(input, width);
        if (auto *error = std::get_if<ReportParseError>(&lines)) {
            return std::move(*error);
        }
        Parsed parsed = readLines(std::move(std::get<report_reading::ReportLines>(lines)));
        if (auto *error = std::get_if<ReportParseError>(&parsed)) {
            if (!furthest || error->line > furthest->line) {
                furthest = std::move(*error);
            }
        } else if (read) {
            return ReportParseError{
                firstTabLine,
                "the report's lines begin with tabs where it has spaces, "
                "and it reads with a tab as " +
                    std::to_string(*readWidth) + " and as " + std::to_string(width) +
                    " spaces: replace the tabs with the spaces meant; the line reads " +
                    report_reading::excerptOf(lineOf(input, firstTabLine))};
        } else {
            read = std::get<RegistryWalk>(std::move(parsed));
            readWidth = width;
        }
    }
    if (read) {
        return std::move(*read);
    }
    return std::move(*furthest);
}

} // namespace

std::variant<RegistryWalk, ReportParseError> parseReport(std::string_view input)
{
    try {
        auto lines = report_reading::readReportLines(input);
        if (auto *error = std::get_if<ReportParseError>(&lines)) {
            return std::move(*error);
        }
        const std::size_t tab = std::get<report_reading::ReportLines>(lines).firstLeadingTab;
        Parsed parsed = readLines(std::move(std::get<report_reading::ReportLines>(lines)));
        if (auto *error = std::get_if<ReportParseError>(&parsed); error && tab != 0) {
            return readWithTabs(input, tab, std::move(*error));
        }
        return parsed;
    } catch (const std::bad_alloc &) {
        return ReportParseError{1, "not enough memory to read the report"};
    }
}

} // namespace explain
