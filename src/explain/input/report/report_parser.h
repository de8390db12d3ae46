// Reads a pasted portprobe report back into the walk it shows: the entries of
// its first section with their depths, paths, classes and probed values. The
// other two sections are checked and skipped. What a report cannot hold is
// marked in the values (see walk_model.h); readings the parser had to choose
// and inputs it repaired are said in the walk's notes.
#ifndef PORTPROBE_EXPLAIN_REPORT_PARSER_H
#define PORTPROBE_EXPLAIN_REPORT_PARSER_H

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>

#include "explain/input/walk_model.h"

namespace explain {

struct ReportParseError {
    std::size_t line = 1; // 1-based, counted in the input as given
    std::string message;
};

// Never throws: any input gives a walk or an error. Linear in the input.
std::variant<RegistryWalk, ReportParseError> parseReport(std::string_view input);

} // namespace explain

#endif
