// The report of the built-in sample registry, pinned byte for byte: run
// in-process, by portprobe itself and by portprobe-replay on the sample file.
// Set PORTPROBE_UPDATE_GOLDEN=1 to rewrite the pinned report after a change
// that is meant to alter it.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

#include "platform/standin/snapshot/snapshot_loader.h"
#include "report/tree_walk.h"
#include "support/golden_file.h"
#include "support/report_fixture.h"

namespace {

class SampleReportTest : public testing_support::StandinTest {};

TEST_F(SampleReportTest, InProcessReportMatchesThePinnedOne)
{
    auto error = snapshot::loadBuiltInSample();
    ASSERT_FALSE(error.has_value()) << *error;
    std::string text = report();
    testing_support::expectGolden(PORTPROBE_GOLDEN, text, "in-process");
    // The sample reaches the deepest level only in part, so its peak stays
    // under the walk's bound, which depends on the depth alone.
    EXPECT_LE(standin::audit().peakHeld, mostReferencesHeld);
}

TEST_F(SampleReportTest, BothProgramsPrintThePinnedReport)
{
    testing_support::expectGolden(
        PORTPROBE_GOLDEN, testing_support::commandOutput(std::string("'") + PORTPROBE_BINARY + "'"),
        "portprobe");
    testing_support::expectGolden(PORTPROBE_GOLDEN,
                                  testing_support::commandOutput(std::string("'") +
                                                                 PORTPROBE_REPLAY_BINARY + "' '" +
                                                                 PORTPROBE_SAMPLE + "'"),
                                  "portprobe-replay");
}

} // namespace
