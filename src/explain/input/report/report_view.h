// What a report keeps of a walk: a walk read from a registry reduced to
// exactly what portprobe's report of that registry can show, so that it can
// be set beside the walk read back from the report.
#ifndef PORTPROBE_EXPLAIN_REPORT_VIEW_H
#define PORTPROBE_EXPLAIN_REPORT_VIEW_H

#include <string>
#include <vector>

#include "explain/input/walk_model.h"

namespace explain {

// Containers keep their size only, data its first 128 bytes (and its whole
// length), booleans neither value nor truth; reals become the integer the
// report prints, strings stop at a zero character and are unconvertible past
// 511 UTF-8 bytes, names are cut to the 127 bytes a name read keeps, and
// entries deeper than 8 levels go. The walk's notes are kept, and those of
// notesOnWhatReportsCannotHold added.
RegistryWalk asReportShows(const RegistryWalk &walk);

// One note for each kind of thing the walk holds that a report cannot show
// (container contents, data past 128 bytes, booleans' values), in that order.
std::vector<std::string> notesOnWhatReportsCannotHold(const RegistryWalk &walk);

} // namespace explain

#endif
