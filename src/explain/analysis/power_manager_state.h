// The power manager's state beside its adapters and PDOs: each port
// controller's partner ("FedDetails") and the power the Mac supplies
// ("PowerOutDetails"), the battery and its charging, and the measured input.
#ifndef PORTPROBE_EXPLAIN_POWER_MANAGER_STATE_H
#define PORTPROBE_EXPLAIN_POWER_MANAGER_STATE_H

#include <vector>

#include "explain/analysis/explanation.h"
#include "explain/input/walk_model.h"

namespace explain {

void readPartners(const std::vector<DictionaryMember> &properties, const VendorNames &vendors,
                  PowerManagerStory &story);

void readOutputs(const std::vector<DictionaryMember> &properties, PowerManagerStory &story);

// The battery, whether it charges and why not, and the measured input. A
// Mac without a battery has no charge, time to full or battery current.
void readChargingState(const std::vector<DictionaryMember> &properties, PowerManagerStory &story);

} // namespace explain

#endif
