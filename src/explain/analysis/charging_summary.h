// The answer first: what the Mac draws now, out of what contract or
// adapter, and what limits it (the battery nearly full, the Mac asking for
// less, the charger, the cable, not charging, no power), said only as far
// as the capture shows.
#ifndef PORTPROBE_EXPLAIN_CHARGING_SUMMARY_H
#define PORTPROBE_EXPLAIN_CHARGING_SUMMARY_H

#include <optional>
#include <vector>

#include "explain/analysis/explanation.h"

namespace explain {

// From the ports' stories (with their verdicts) and the first power
// manager (null when none was captured); null when neither holds anything
// of power.
std::optional<ChargingSummary> summarizeCharging(const std::vector<PortAccount> &ports,
                                                 const PowerManagerStory *manager);

} // namespace explain

#endif
