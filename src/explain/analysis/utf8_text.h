// Text from the registry made safe for the JSON document: JSON strings must
// be valid UTF-8, and registry names and values need not be.
#ifndef PORTPROBE_EXPLAIN_UTF8_TEXT_H
#define PORTPROBE_EXPLAIN_UTF8_TEXT_H

#include <string>

namespace explain {

// text with every byte that does not begin or continue a well-formed UTF-8
// sequence replaced by U+FFFD.
std::string validUtf8(const std::string &text);
// The same, keeping text's own storage when it is valid already.
std::string validUtf8(std::string &&text);

} // namespace explain

#endif
