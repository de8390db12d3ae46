// The walk of the stand-in's registry as a registry reader gives it, built
// from the registry's own C++ API: every controller's subtree in the service
// plane, depths 0 to 8, names as a name read keeps them, and each entry's
// probed properties with their whole contents.
#ifndef PORTPROBE_TESTS_REPORT_PARSER_STANDIN_WALK_H
#define PORTPROBE_TESTS_REPORT_PARSER_STANDIN_WALK_H

#include "explain/input/walk_model.h"

namespace testing_support {

explain::RegistryWalk walkOfStandinRegistry();

} // namespace testing_support

#endif
