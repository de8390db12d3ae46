// Reads the portprobe report that --report names into the walk it shows, and
// words what is wrong with it, including a registry snapshot given in its
// place.
#ifndef PORTPROBE_EXPLAIN_INPUT_REPORT_INPUT_H
#define PORTPROBE_EXPLAIN_INPUT_REPORT_INPUT_H

#include <string>

#include "explain/input/walk_model.h"

namespace explain {

// Reads the report at path ("-": standard input) into walk, whose notes
// then each begin with the input's name ("report.txt: ..."), as notes on
// snapshots do. Returns false with the problem, led by the input's name
// ("FILE:LINE: what was expected"), when it cannot be read or is no report.
// snapshotsRead says whether this build reads snapshots, for the advice to
// one who gave a snapshot.
bool readReportInput(const std::string &path, bool snapshotsRead, RegistryWalk &walk,
                     std::string &problem);

// What the text is when it is a registry snapshot rather than a report: "a
// property list" or "ioreg text"; empty otherwise.
std::string snapshotKindOf(const std::string &text);

} // namespace explain

#endif
