// The story in plain words: for each port the few lines that answer what
// people ask (power, partner, cable, data links, findings).
#ifndef PORTPROBE_EXPLAIN_STORY_TEXT_H
#define PORTPROBE_EXPLAIN_STORY_TEXT_H

#include <string>

#include "explain/analysis/explanation.h"

namespace explain {

// Appends the port's lines: one when the port is idle and nothing is said
// about it.
void appendPortStory(std::string &out, const PortStory &story);

// "  Partner: TEXT", the label padded to the story's column.
std::string labelled(const char *label, const std::string &text);

// "Warning: TEXT [code]", the label padded to the story's column.
std::string verdictLine(const Verdict &verdict);

} // namespace explain

#endif
