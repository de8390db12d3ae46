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
#include "support/report_fixture.h"
#include "support/scratch_path.h"

namespace {

std::string readFile(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void writeFile(const std::string &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// Several tests, in several processes, may rewrite the pinned report at once:
// each writes a file of its own beside it and renames that over it, so that
// a reader sees the old report or a new one whole, never a part.
void replaceFile(const std::string &path, const std::string &text)
{
    const std::string written = path + "." + std::to_string(static_cast<long>(getpid())) + ".new";
    writeFile(written, text);
    if (std::rename(written.c_str(), path.c_str()) != 0) {
        std::remove(written.c_str());
        ADD_FAILURE() << "cannot replace " << path;
    }
}

// Compares with the pinned report; on a difference, leaves the actual report
// beside the test's scratch files and shows a unified diff.
void expectGolden(const std::string &actual, const std::string &label)
{
    const std::string golden = PORTPROBE_GOLDEN;
    if (std::getenv("PORTPROBE_UPDATE_GOLDEN") != nullptr) {
        replaceFile(golden, actual);
    }
    std::string expected = readFile(golden);
    if (actual == expected) {
        return;
    }
    std::string actualPath = testing_support::scratchPath(label + ".txt");
    writeFile(actualPath, actual);
    std::string diff;
    std::string command = "diff -u '" + golden + "' '" + actualPath + "' 2>&1";
    if (std::FILE *pipe = popen(command.c_str(), "r")) {
        char chunk[4096];
        std::size_t got = 0;
        while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) {
            diff.append(chunk, got);
        }
        pclose(pipe);
    }
    ADD_FAILURE() << label << " differs from the pinned sample report:\n" << diff;
}

std::string commandOutput(const std::string &command)
{
    std::string output;
    if (std::FILE *pipe = popen(command.c_str(), "r")) {
        char chunk[4096];
        std::size_t got = 0;
        while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) {
            output.append(chunk, got);
        }
        EXPECT_EQ(pclose(pipe), 0) << command;
    }
    return output;
}

class SampleReportTest : public testing_support::StandinTest {};

TEST_F(SampleReportTest, InProcessReportMatchesThePinnedOne)
{
    auto error = snapshot::loadBuiltInSample();
    ASSERT_FALSE(error.has_value()) << *error;
    std::string text = report();
    expectGolden(text, "in-process");
    // The sample reaches the deepest level only in part, so its peak stays
    // under the walk's bound, which depends on the depth alone.
    EXPECT_LE(standin::audit().peakHeld, mostReferencesHeld);
}

TEST_F(SampleReportTest, BothProgramsPrintThePinnedReport)
{
    expectGolden(commandOutput(std::string("'") + PORTPROBE_BINARY + "'"), "portprobe");
    expectGolden(
        commandOutput(std::string("'") + PORTPROBE_REPLAY_BINARY + "' '" + PORTPROBE_SAMPLE + "'"),
        "portprobe-replay");
}

} // namespace
