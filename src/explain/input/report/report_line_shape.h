// What a line of a report can be, told from the line alone: a mail client's
// wrapping cuts lines where no report line ends, and text pasted around a
// report reads as no report line at all.
#ifndef PORTPROBE_EXPLAIN_REPORT_LINE_SHAPE_H
#define PORTPROBE_EXPLAIN_REPORT_LINE_SHAPE_H

#include <string_view>

namespace explain::report_reading {

enum class LineShape {
    none,    // no report line, nor the start of one
    partial, // the start of a report line that goes on
    whole,   // a report line as it stands (blank lines too)
};

// Indentation is not checked against the lines around, nor a dump's rows
// against its length past the probe line: those need the grammar.
LineShape shapeOf(std::string_view line);

} // namespace explain::report_reading

#endif
