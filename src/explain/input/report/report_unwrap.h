// Lines that a mail client wrapped, joined back. A client cuts every line
// longer than its width W (taken as the longest line's, at most 160): at W exactly, or at the last
// space before it (dropping that space, keeping it at the end of the line, or moving it to the
// start of the next, where no report line has one space alone). Every report line
// has a shape that tells where it may end, so a line that is no report line, after one that ends
// where the width does, is that line's rest. A join is made only when it is certain: the joined
// text has a report line's shape, and either one way of cutting fits, or every certain join in the
// report was cut the same way. Where a line looks cut but cannot be joined for certain, the likely
// cause is kept for the error that names that line.
#ifndef PORTPROBE_EXPLAIN_REPORT_UNWRAP_H
#define PORTPROBE_EXPLAIN_REPORT_UNWRAP_H

#include "explain/input/report/report_lines.h"

namespace explain::report_reading {

void joinWrappedLines(ReportLines &report);

} // namespace explain::report_reading

#endif
