// Compares two walks field by field and names the first difference, so that
// a failing comparison says where the walks part.
#ifndef PORTPROBE_TESTS_REPORT_PARSER_WALK_DIFFERENCE_H
#define PORTPROBE_TESTS_REPORT_PARSER_WALK_DIFFERENCE_H

#include <string>

#include "explain/input/walk_model.h"

namespace testing_support {

// Empty when the walks are equal.
std::string walkDifference(const explain::RegistryWalk &expected,
                           const explain::RegistryWalk &actual);

} // namespace testing_support

#endif
