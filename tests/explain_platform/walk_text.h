// A walk written out in full, one line per entry and per value, so that
// tests compare whole walks and a difference shows where it is.
#ifndef PORTPROBE_TESTS_EXPLAIN_PLATFORM_WALK_TEXT_H
#define PORTPROBE_TESTS_EXPLAIN_PLATFORM_WALK_TEXT_H

#include <string>

#include "explain/input/port_capture.h"
#include "explain/input/walk_model.h"

namespace explain_testing {

std::string walkText(const explain::RegistryWalk &walk);
std::string valueText(const explain::PropertyValue &value);
// The same for a capture of ports: each entry with its class, name,
// location, ID and properties, its children indented below it.
std::string captureText(const explain::PortCapture &capture);

} // namespace explain_testing

#endif
