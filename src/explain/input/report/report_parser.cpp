#include "explain/input/report/report_parser.h"

#include <new>
#include <utility>

#include "explain/input/report/report_lines.h"
#include "explain/input/report/report_reader.h"

namespace explain {

std::variant<RegistryWalk, ReportParseError> parseReport(std::string_view input)
{
    try {
        auto lines = report_reading::readReportLines(input);
        if (auto *error = std::get_if<ReportParseError>(&lines)) {
            return std::move(*error);
        }
        if (std::get<report_reading::ReportLines>(lines).lines.empty()) {
            return ReportParseError{1, "the report holds only blank lines"};
        }
        report_reading::ReportReader reader(
            std::move(std::get<report_reading::ReportLines>(lines)));
        try {
            return reader.read();
        } catch (const report_reading::LineError &error) {
            return ReportParseError{error.line, error.message};
        } catch (const std::bad_alloc &) {
            return ReportParseError{reader.lineNumber(), "not enough memory to read the report"};
        }
    } catch (const std::bad_alloc &) {
        return ReportParseError{1, "not enough memory to read the report"};
    }
}

} // namespace explain
