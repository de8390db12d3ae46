// The lines of a pasted report, before its grammar: checked to be text, with
// the forms that pasting adds undone (a byte-order mark, CRLF line ends, a
// quoting prefix on every line, blank lines around the report).
#ifndef PORTPROBE_EXPLAIN_REPORT_LINES_H
#define PORTPROBE_EXPLAIN_REPORT_LINES_H

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "explain/input/report/report_parser.h"

namespace explain::report_reading {

struct ReportLine {
    std::size_t number = 0; // in the input as given
    std::string_view text;  // without its line end or quoting prefix
};

struct ReportLines {
    std::vector<ReportLine> lines; // from the first non-blank line to the last
    // False when the input's last line has no line feed, as when a paste
    // was cut in the middle of a line.
    bool lastLineWhole = true;
    std::vector<std::string> notes;
};

// The views point into input, which must outlive the result.
std::variant<ReportLines, ReportParseError> readReportLines(std::string_view input);

// Only spaces and tabs, or nothing.
bool isBlank(std::string_view line);

} // namespace explain::report_reading

#endif
