// The adapters the power manager knows: "AdapterDetails" (the one in use)
// and every item of "AppleRawAdapterDetails", each adapter once, which one
// is in use, and what their menus say of the contract.
#ifndef PORTPROBE_EXPLAIN_POWER_ADAPTERS_H
#define PORTPROBE_EXPLAIN_POWER_ADAPTERS_H

#include <vector>

#include "explain/analysis/port_story.h"
#include "explain/input/walk_model.h"

namespace explain {

// Fills the story's adapters, its adapter in use and its empty adapter
// records, and adds the verdicts on each adapter's menu entry
// (contract_beyond_menu, menu_entry_missing).
void readAdapters(const std::vector<DictionaryMember> &properties, PowerManagerStory &story);

} // namespace explain

#endif
