// The JSON of the power manager's view, as the manual page lays it out:
// every member present, null when unknown.
#ifndef PORTPROBE_EXPLAIN_POWER_MANAGER_JSON_H
#define PORTPROBE_EXPLAIN_POWER_MANAGER_JSON_H

#include "explain/analysis/explanation.h"

namespace explain {

Json powerManagerDocument(const PowerManagerStory &manager);

} // namespace explain

#endif
