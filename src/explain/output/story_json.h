// The JSON of each port's story, as the manual page lays it out: every
// member present, null when unknown.
#ifndef PORTPROBE_EXPLAIN_STORY_JSON_H
#define PORTPROBE_EXPLAIN_STORY_JSON_H

#include "explain/analysis/explanation.h"

namespace explain {

// A port, its decoded properties given as the document's property objects.
Json portDocument(const PortStory &story, Json properties);
// The same without its last member, "properties".
Json portStoryDocument(const PortStory &story);

Json verdictsDocument(const std::vector<Verdict> &verdicts);

// {"model", "os_build", "kernel"}, each null when unknown.
Json machineDocument(const MachineFacts &machine);

} // namespace explain

#endif
