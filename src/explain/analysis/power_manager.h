// The power manager's view (the "AppleSmartBattery" entry): the adapter in
// use and its menu, each port controller's raw PDOs and request decoded,
// measured input power, and what they contradict.
#ifndef PORTPROBE_EXPLAIN_POWER_MANAGER_H
#define PORTPROBE_EXPLAIN_POWER_MANAGER_H

#include "explain/analysis/port_story.h"
#include "explain/input/port_capture.h"

namespace explain {

PowerManagerStory readPowerManager(const CapturedEntry &entry);

} // namespace explain

#endif
