// Reports assembled around a first section's lines, and the parser's result
// taken apart, for the parser's tests.
#ifndef PORTPROBE_TESTS_REPORT_PARSER_REPORT_TEXTS_H
#define PORTPROBE_TESTS_REPORT_PARSER_REPORT_TEXTS_H

#include <string>
#include <string_view>

#include "explain/input/report/report_parser.h"

namespace testing_support {

// A whole report: the first section's lines (each ending with a line feed),
// the IOPower section's, and the notification section's lines.
std::string wholeReport(const std::string &serviceLines, const std::string &powerLines = "",
                        const std::string &interestLines = "");

// The walk, or a test failure naming the parse error.
explain::RegistryWalk walkOf(std::string_view report);
// The error, or a test failure when the report parsed.
explain::ReportParseError errorOf(std::string_view report);

// The error's message up to the line's text that it shows after what was
// expected (", not \"...\"" or "; the line reads \"...\"").
std::string whatWasExpected(const explain::ReportParseError &error);

// Whether any note holds the text.
bool hasNote(const explain::RegistryWalk &walk, std::string_view text);

} // namespace testing_support

#endif
