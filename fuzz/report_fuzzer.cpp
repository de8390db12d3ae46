// Builds a registry from the fuzzer's bytes (registry_generator.h), then
// runs the whole report and requires that the audit is clean, that the walk
// held no more references at once than its depth allows, and that every line
// of the output is one the report can print where it can print it. Without
// planned failures the report must also show every walk, service and
// transport in full.
//
// Texts never hold a line feed, so that the output's lines are the report's
// lines; names with line feeds are the snapshot fuzzer's and the tests'.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/report_sections.h"
#include "platform/standin/standin.h"
#include "registry_generator.h"
#include "report/tree_walk.h"
#include "report_grammar.h"

namespace {

// What the walk holds at once: an entry and its child iterator on each of
// the printed levels, the child fetched below the deepest, the section's
// iterator, and a key string with its value (tests/sample_report_test.cpp).
const std::size_t heldBound = mostReferencesHeld;

[[noreturn]] void finding(const std::string &what, const std::string &detail)
{
    std::fprintf(stderr, "report_fuzzer: %s\n%s\n", what.c_str(), detail.c_str());
    std::fflush(stderr);
    std::abort();
}

void checkRun(const fuzzing::GeneratedRegistry &built, const std::string &report)
{
    standin::AuditReport audit = standin::audit();
    if (!audit.clean()) {
        finding("the audit is not clean", audit.text());
    }
    if (audit.peakHeld > heldBound) {
        finding("the walk held " + std::to_string(audit.peakHeld) +
                    " references at once; its depth allows " + std::to_string(heldBound),
                report);
    }
    fuzzing::ReportSummary summary;
    if (auto problem = fuzzing::reportGrammarProblem(report, &summary)) {
        finding("the report is malformed: " + *problem, report);
    }
    for (std::size_t plane = 0; plane < fuzzing::walkedPlanes; ++plane) {
        std::uint64_t expected = built.walkedEntries[plane];
        bool whole =
            summary.entryLines[plane] == expected && summary.services[plane] == built.controllers;
        if (built.failuresPlanned ? summary.entryLines[plane] > expected : !whole) {
            finding("the walk in " + std::string(fuzzing::generatedPlanes[plane]) + " printed " +
                        std::to_string(summary.entryLines[plane]) + " entry lines and " +
                        std::to_string(summary.services[plane]) + " services; the registry has " +
                        std::to_string(expected) + " and " + std::to_string(built.controllers),
                    report);
        }
    }
    if (!built.failuresPlanned &&
        (summary.noControllers || summary.interestPairs != built.transports ||
         summary.interestSuccesses != 2 * built.transports)) {
        finding("the notification check does not show every transport succeeding", report);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    standin::reset();
    FuzzedDataProvider in(data, size);
    fuzzing::GeneratedRegistry built = fuzzing::generateRegistry(in);
    std::string report = standin::captureStdout(printReport);
    checkRun(built, report);
    standin::reset();
    return 0;
}
