// The power manager's view (the "AppleSmartBattery" entry): its adapters
// and the one in use, each port controller's partner, raw PDOs and request
// decoded and the power it supplies, the battery and the measured input,
// and what they contradict.
#ifndef PORTPROBE_EXPLAIN_POWER_MANAGER_H
#define PORTPROBE_EXPLAIN_POWER_MANAGER_H

#include "explain/analysis/explanation.h"
#include "explain/input/port_capture.h"

namespace explain {

PowerManagerStory readPowerManager(const CapturedEntry &entry, const VendorNames &vendors);

} // namespace explain

#endif
