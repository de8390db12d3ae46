// The JSON of the power manager's view and of the charging summary, as the
// manual page lays them out: every member present, null when unknown.
#ifndef PORTPROBE_EXPLAIN_POWER_MANAGER_JSON_H
#define PORTPROBE_EXPLAIN_POWER_MANAGER_JSON_H

#include "explain/analysis/explanation.h"

namespace explain {

Json powerManagerDocument(const PowerManagerStory &manager);

// {"drawing_mw", "contract_mw", "limited_by", "text"}, or null.
Json chargingSummaryDocument(const std::optional<ChargingSummary> &summary);

} // namespace explain

#endif
