// Where a rendering hands its text, piece by piece.
#ifndef PORTPROBE_EXPLAIN_TEXT_SINK_H
#define PORTPROBE_EXPLAIN_TEXT_SINK_H

#include <functional>
#include <string>

namespace explain {

using TextSink = std::function<void(const std::string &)>;

} // namespace explain

#endif
