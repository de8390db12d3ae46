// The lines of a pasted report, before its grammar: checked to be text, with
// the forms that pasting adds undone (a byte-order mark, CRLF line ends, text
// around the report, a code fence, a quoting prefix or indentation on every
// line, tabs for spaces, lines wrapped by a mail client).
#ifndef PORTPROBE_EXPLAIN_REPORT_LINES_H
#define PORTPROBE_EXPLAIN_REPORT_LINES_H

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "explain/input/report/report_parser.h"

namespace explain::report_reading {

struct ReportLine {
    std::size_t number = 0; // in the input as given; a joined line's first
    std::string_view text;  // without its line end, quoting prefix or indentation
    std::size_t width = 0;  // in characters, as the input holds it (with prefixes)
    // The line lacks the quoting prefix or indentation that the report's
    // first line has: text written after the report, unless a line of it
    // was wrapped.
    bool outside = false;
    // The line looks like the rest of the line before, cut by a mail client
    // where a space may or may not have stood: it is no line of its own.
    bool cutAmbiguously = false;
};

struct ReportLines {
    std::vector<ReportLine> lines; // from the report's first line to the last non-blank one
    // False when the input's last line has no line feed, as when a paste
    // was cut in the middle of a line.
    bool lastLineWhole = true;
    std::vector<std::string> notes;
    // The quoting prefix and indentation every line of the report has.
    std::string decoration;
    // The first line that starts with a tab, whose width is for the reader
    // to decide (0: none does).
    std::size_t firstLeadingTab = 0;
    // For some line numbers, the likely cause of an error on that line.
    std::vector<std::pair<std::size_t, std::string>> causes;
    // The texts of lines that were rebuilt; never moved once added.
    std::deque<std::string> rebuilt;
};

// The views point into input, and into the result's rebuilt texts.
// tabWidth, when not 0, is the number of spaces a leading tab stands for
// (tab stops at its multiples); 0 leaves tabs as they are.
std::variant<ReportLines, ReportParseError> readReportLines(std::string_view input,
                                                            unsigned tabWidth = 0);

// Only spaces and tabs, or nothing.
bool isBlank(std::string_view line);

// The line's first characters, quoted, with control characters, quotes and
// backslashes escaped; "..." marks a cut.
std::string excerptOf(std::string_view line);

} // namespace explain::report_reading

#endif
