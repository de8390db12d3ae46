// The JSON document of an explanation, as the manual page lays it out.
#ifndef PORTPROBE_EXPLAIN_JSON_RENDER_H
#define PORTPROBE_EXPLAIN_JSON_RENDER_H

#include <string>

#include "explain/analysis/explanation.h"
#include "explain/output/text_sink.h"

namespace explain {

Json explanationDocument(const Explanation &explanation);

// The document as text, two spaces an indentation level, ending with a line
// feed. Text that is not valid UTF-8 never makes it fail: bad bytes are
// replaced.
std::string explanationJson(const Explanation &explanation);

// The same text handed to sink piece by piece (a port, a controller), so
// that it is never held whole.
void writeExplanationJson(const Explanation &explanation, const TextSink &sink);

} // namespace explain

#endif
