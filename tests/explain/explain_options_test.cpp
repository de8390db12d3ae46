// portprobe-explain's command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "explain/explain_options.h"

namespace {

using explain::ExplainOptions;

ExplainOptions parse(std::vector<const char *> words, bool snapshotsAllowed = true)
{
    words.insert(words.begin(), "portprobe-explain");
    return explain::parseExplainOptions(static_cast<int>(words.size()), words.data(),
                                        snapshotsAllowed);
}

TEST(ExplainOptionsTest, NoArgumentExplainsTheRegistryAsText)
{
    ExplainOptions options = parse({});
    EXPECT_EQ(options.action, ExplainOptions::Action::explain);
    EXPECT_FALSE(options.json);
    EXPECT_FALSE(options.usbIdsPath);
    EXPECT_FALSE(options.reportPath);
    EXPECT_TRUE(options.snapshots.empty());
}

TEST(ExplainOptionsTest, ReadsSnapshotsAsReplayDoesWithTheExplainOptionsAnywhere)
{
    ExplainOptions options =
        parse({"a.plist", "--json", "-p", "IOPower", "b.plist", "--usb-ids", "ids", "--", "-c"});
    ASSERT_EQ(options.action, ExplainOptions::Action::explain) << options.problem;
    EXPECT_TRUE(options.json);
    EXPECT_EQ(options.usbIdsPath.value_or(""), "ids");
    ASSERT_EQ(options.snapshots.size(), 3u);
    EXPECT_EQ(options.snapshots[0].path, "a.plist");
    EXPECT_EQ(options.snapshots[0].plane, "");
    EXPECT_EQ(options.snapshots[1].path, "b.plist");
    EXPECT_EQ(options.snapshots[1].plane, "IOPower");
    // After "--" even a word that looks like an option is a file.
    EXPECT_EQ(options.snapshots[2].path, "-c");
}

TEST(ExplainOptionsTest, ReadsAReportFromAFileOrStandardInput)
{
    ExplainOptions options = parse({"--report", "-", "--json"});
    ASSERT_EQ(options.action, ExplainOptions::Action::explain) << options.problem;
    EXPECT_EQ(options.reportPath.value_or(""), "-");
    EXPECT_TRUE(options.json);
    // Without snapshots a report is read on the system's registry too.
    EXPECT_EQ(parse({"--report", "r.txt"}, false).action, ExplainOptions::Action::explain);
}

TEST(ExplainOptionsTest, ValuesFollowASpaceOrAnEqualsSignAndTheLastOneGiven)
{
    ExplainOptions options = parse(
        {"--usb-ids=a", "--report", "r1", "--json", "--usb-ids", "b", "--report=r2=x", "--json"});
    ASSERT_EQ(options.action, ExplainOptions::Action::explain) << options.problem;
    EXPECT_EQ(options.usbIdsPath.value_or(""), "b");
    EXPECT_EQ(options.reportPath.value_or(""), "r2=x");
    EXPECT_TRUE(options.json);
}

TEST(ExplainOptionsTest, HelpAndVersionWinOverEverythingBeforeAProblem)
{
    EXPECT_EQ(parse({"--json", "-h"}).action, ExplainOptions::Action::help);
    EXPECT_EQ(parse({"--help", "--bogus"}).action, ExplainOptions::Action::help);
    EXPECT_EQ(parse({"--version"}).action, ExplainOptions::Action::version);
}

TEST(ExplainOptionsTest, RefusesWhatCannotBeMeant)
{
    struct Case {
        std::vector<const char *> words;
        bool snapshotsAllowed;
        const char *problem;
    };
    const Case cases[] = {
        {{"--bogus"}, true, "unknown option --bogus"},
        {{"--usb-ids"}, true, "--usb-ids needs a file"},
        {{"--report", ""}, true, "--report needs a file"},
        {{"--report="}, true, "--report needs a file"},
        {{"--json=yes"}, true, "--json takes no value"},
        {{"-", "-p", "IOPort", "-"},
         true,
         "standard input (-) is named twice; it can be read only once"},
        {{"-p", "IOPower"}, true, "-p needs a plane and a snapshot"},
        {{"-p", "", "x.plist"}, true, "-p needs a plane name"},
        {{"--report", "r.txt", "s.plist"}, true, "--report reads a report, not snapshots as well"},
        {{"s.plist"},
         false,
         "snapshots are read only where there is no registry of the system's; this build "
         "explains the registry, or a report"},
    };
    for (const Case &c : cases) {
        ExplainOptions options = parse(c.words, c.snapshotsAllowed);
        EXPECT_EQ(options.action, ExplainOptions::Action::usageError) << c.problem;
        EXPECT_EQ(options.problem, c.problem);
    }
}

} // namespace
