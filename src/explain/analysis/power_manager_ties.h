// The power manager against the ports: which port its contract and its
// partners belong to, only where that is certain or said as an inference,
// and where the two disagree.
#ifndef PORTPROBE_EXPLAIN_POWER_MANAGER_TIES_H
#define PORTPROBE_EXPLAIN_POWER_MANAGER_TIES_H

#include <vector>

#include "explain/analysis/explanation.h"

namespace explain {

// The adapter in use against the one port with a contract, when exactly
// one port has one (an inference, recorded with what it rests on); and each
// "FedDetails" partner tied to the one port whose partner has its vendor
// and product IDs.
void tiePowerManager(PowerManagerStory &manager, const std::vector<PortAccount> &ports);

} // namespace explain

#endif
