// A property value as the report shows it, and as a plain JSON value.
#ifndef PORTPROBE_EXPLAIN_VALUE_TEXT_H
#define PORTPROBE_EXPLAIN_VALUE_TEXT_H

#include <string>
#include <vector>

#include "explain/analysis/explanation.h"
#include "explain/input/walk_model.h"

namespace explain {

// The report's text of the value on one line: "<data 3 bytes> 01 02 03 ",
// "3 (0x3)", "\"Sink\"", "<dict with 7 keys>", "<array with 4 items>",
// "<type 21>". Data shows at most its first 128 bytes, as the report does.
std::string reportText(const PropertyValue &value);

// A string, an integer, a real or a boolean as itself (null for a boolean
// whose value is unknown); any other value as its report text.
Json plainJson(const PropertyValue &value);

// The value in words for a "value" property's line: a string's text, a
// number, "true"; otherwise its report text.
std::string plainWords(const PropertyValue &value);

// The same words over lines, for the text: data of more than sixteen bytes
// shown is its heading ("<data 256 bytes>"), then sixteen bytes a line as
// the report dumps them, the last ending "... (256 total)" when the report
// cuts it; any other value is plainWords' one line (reportLines:
// reportText's).
std::vector<std::string> wordLines(const PropertyValue &value);
std::vector<std::string> reportLines(const PropertyValue &value);

// What of the value a report cannot show, one note each (each says "not in
// the report"); nothing when a report shows all of it.
std::vector<std::string> reportLimits(const PropertyValue &value);

// The most bytes of data a report shows, and the longest string it converts.
constexpr std::size_t reportDataBytes = 128;
constexpr std::size_t reportStringBytes = 511;

} // namespace explain

#endif
