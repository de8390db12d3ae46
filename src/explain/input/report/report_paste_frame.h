// Where a pasted report stands among the lines around it: its first line is
// the first section's header, wherever it comes, after prose or a command
// line; a Markdown code fence before it closes after it; what the header
// line has before its text (a quoting prefix, indentation) every line of the
// report has.
#ifndef PORTPROBE_EXPLAIN_REPORT_PASTE_FRAME_H
#define PORTPROBE_EXPLAIN_REPORT_PASTE_FRAME_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "explain/input/report/report_lines.h"

namespace explain::report_reading {

struct ReportFrame {
    std::size_t first = 0; // index of the report's first line
    std::size_t end = 0;   // one past the last line that may be the report's
    std::string_view quoting;
    std::string_view indentation;
    std::vector<std::string> notes;
};

// When no line is the first section's header, the report is taken to start
// at firstWithText, and the grammar names what is wrong there.
ReportFrame findReportFrame(const std::vector<ReportLine> &lines, std::size_t firstWithText);

// "> ", ">", "> > ", ">>": one or more '>', each with an optional space.
std::string_view quotingPrefixOf(std::string_view line);

} // namespace explain::report_reading

#endif
