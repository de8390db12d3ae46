// Checks a report line by line against the formats that printReport writes,
// and against where each kind of line may stand: the headers in order, entry
// lines at most one level deeper than the line before, probe lines under
// their entry in key order, the hex dump's line and byte counts, numbers
// whose decimal and hexadecimal agree, and interest lines in pairs.
//
// Class, name and annotation texts may hold any byte but a zero; a line feed
// in one would split its line, so the check holds only for reports of
// registries whose texts have none.
#ifndef PORTPROBE_FUZZ_REPORT_GRAMMAR_H
#define PORTPROBE_FUZZ_REPORT_GRAMMAR_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fuzzing {

// The 26 properties the report probes, in its order.
const std::size_t probedKeyCount = 26;
extern const std::string_view probedKeys[probedKeyCount];

// What a well-formed report holds, for checks against the registry it came
// from.
struct ReportSummary {
    bool noControllers = false;           // the first section's lookup failed
    std::uint64_t entryLines[2] = {0, 0}; // per walking section
    std::uint64_t services[2] = {0, 0};   // entry lines at depth 0, per section
    std::uint64_t probeLines = 0;
    std::uint64_t interestPairs = 0;
    std::uint64_t interestSuccesses = 0; // lines, of both kinds
};

// The first thing wrong with the report, naming its line, or nothing.
std::optional<std::string> reportGrammarProblem(std::string_view report,
                                                ReportSummary *summary = nullptr);

} // namespace fuzzing

#endif
