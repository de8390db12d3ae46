// The power manager's view in plain words, and the one "Charging:" line
// that answers first what the Mac draws and what limits it.
#ifndef PORTPROBE_EXPLAIN_POWER_MANAGER_TEXT_H
#define PORTPROBE_EXPLAIN_POWER_MANAGER_TEXT_H

#include <string>

#include "explain/analysis/explanation.h"

namespace explain {

// "Charging: TEXT"
std::string chargingLine(const ChargingSummary &summary);

// Its state, adapters, partners, the power it supplies, each port
// controller's PDOs and request, the measured input, the port it is
// compared with, its verdicts and notes; no line without words after its
// label.
void appendPowerManager(std::string &out, const PowerManagerStory &manager);

} // namespace explain

#endif
