// The plain-text story of an explanation: per controller and port, each
// property under a heading that names its entry and key and shows the raw
// 32-bit objects, its decoded lines below, and the port's notes at the end.
// The explanation's own notes, on the input as a whole, are not part of it.
#ifndef PORTPROBE_EXPLAIN_TEXT_RENDER_H
#define PORTPROBE_EXPLAIN_TEXT_RENDER_H

#include <string>

#include "explain/analysis/explanation.h"
#include "explain/output/text_sink.h"

namespace explain {

std::string explanationText(const Explanation &explanation);

// The same text handed to sink piece by piece (the stories, then each
// controller), so that it is never held whole.
void writeExplanationText(const Explanation &explanation, const TextSink &sink);

} // namespace explain

#endif
