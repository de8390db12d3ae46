// What limits a port or contradicts itself, each finding with a stable
// code, a severity and the entries and keys it rests on.
#ifndef PORTPROBE_EXPLAIN_PORT_VERDICTS_H
#define PORTPROBE_EXPLAIN_PORT_VERDICTS_H

#include <vector>

#include "explain/analysis/explanation.h"

namespace explain {

// The verdicts of a port's facts (power, cable, data).
std::vector<Verdict> portVerdicts(const PortStory &story);

// The notes of the walk's decoding that are findings, as verdicts
// (request_out_of_range, request_exceeds_pdo, first_pdo_not_5v, pdo_order,
// reserved_code); other notes are not findings.
std::vector<Verdict> propertyVerdicts(const std::vector<PropertyExplanation> &properties,
                                      std::size_t portPathLength);

} // namespace explain

#endif
