// portprobe-replay as a user runs it: its arguments, what it prints on each
// stream and its exit status.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "portprobe_version.h"
#include "support/process_run.h"
#include "support/scratch_path.h"

namespace {

using ReplayRun = testing_support::ProcessRun;

const std::string fixtures = PORTPROBE_FIXTURES;
const std::string service = fixtures + "/service.plist";
const std::string power = fixtures + "/power.plist";

ReplayRun replay(const std::string &arguments, const std::string &stdoutRedirect = "")
{
    return testing_support::runProcess(PORTPROBE_REPLAY_BINARY, arguments, stdoutRedirect);
}

std::string badFile()
{
    std::string path = testing_support::scratchPath("bad.plist");
    std::ofstream(path, std::ios::binary) << "<plist><string>x</string></plist>";
    return path;
}

const char *const serviceWalk = "=== Walking from AppleHPMARMSPMI in IOService plane ===\n"
                                "\n"
                                "[AppleHPMARMSPMI] hpm0 [com.example.hpm]\n"
                                "  [AppleHPMDeviceHALType3] HAL@C\n"
                                "    >>> PowerRole: \"Sink\"\n"
                                "    [IOPortTransportComponentCCUSBPDSOPp] "
                                "IOPortTransportComponentCCUSBPDSOPp\n"
                                "\n"
                                "\n"
                                "=== Walking AppleHPMARMSPMI in IOPower plane ===\n"
                                "\n"
                                "[AppleHPMARMSPMI] hpm0 [com.example.hpm]\n";
const char *const interest =
    "\n"
    "\n"
    "=== Checking IOPortTransportComponentCCUSBPDSOPp notification support ===\n"
    "  General interest notification: kr=0x0 SUCCESS\n"
    "  Busy interest notification: kr=0x0 SUCCESS\n";

TEST(ReplayTest, ReportsOneCaptureOrCapturesOfSeveralPlanes)
{
    ReplayRun one = replay("'" + service + "'");
    EXPECT_EQ(one.status, 0);
    EXPECT_EQ(one.err, "");
    EXPECT_EQ(one.out, std::string(serviceWalk) + interest);

    // The power capture names the service plane's entries by their IDs.
    ReplayRun both = replay("'" + service + "' -p IOPower '" + power + "'");
    EXPECT_EQ(both.status, 0);
    EXPECT_EQ(both.err, "");
    EXPECT_EQ(both.out, std::string(serviceWalk) +
                            "  [IOPowerConnection] IOPowerConnection\n"
                            "    [AppleHPMDeviceHALType3] HAL@C\n"
                            "      >>> PowerRole: \"Sink\"\n" +
                            interest);
}

TEST(ReplayTest, HelpGoesToStandardOutputAndUsageErrorsToStandardError)
{
    ReplayRun help = replay("-h");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(help.out.rfind("usage: portprobe-replay [SNAPSHOT] [-p PLANE SNAPSHOT]...\n", 0), 0u)
        << help.out;
    EXPECT_EQ(replay("--help").out, help.out);

    const struct {
        std::string arguments;
        std::string problem;
    } errors[] = {
        {"-x '" + service + "'", "unknown option -x"},
        {"--help=yes", "--help takes no value"},
        {"'" + service + "' -p", "-p needs a plane and a snapshot"},
        {"'" + service + "' -p IOPower", "-p needs a plane and a snapshot"},
        {"-p '' '" + power + "'", "-p needs a plane name"},
        {"- -p IOPower -", "standard input (-) is named twice; it can be read only once"},
    };
    for (const auto &error : errors) {
        ReplayRun run = replay(error.arguments);
        EXPECT_EQ(run.status, 2) << error.arguments;
        EXPECT_EQ(run.out, "") << error.arguments;
        // One line, not the whole help.
        EXPECT_EQ(run.err,
                  "portprobe-replay: " + error.problem + " (try portprobe-replay --help)\n")
            << error.arguments;
    }
}

TEST(ReplayTest, ReadsStandardInputAndSaysWhatElseItShows)
{
    const std::string sampleNotice =
        "portprobe-replay: note: this is the built-in sample registry, not this machine's; for "
        "a Mac's, capture it there with 'ioreg -a -l > service.plist' and run "
        "'portprobe-replay service.plist'\n";
    const std::string both = std::string(serviceWalk) +
                             "  [IOPowerConnection] IOPowerConnection\n"
                             "    [AppleHPMDeviceHALType3] HAL@C\n"
                             "      >>> PowerRole: \"Sink\"\n" +
                             interest;
    const struct {
        std::string arguments;
        std::string out; // empty: the built-in sample's report
        std::string err;
    } cases[] = {
        {"- <'" + service + "'", std::string(serviceWalk) + interest, ""},
        {"'" + service + "' -p IOPower - <'" + power + "'", both, ""},
        {"", "", sampleNotice},
        // A plane that is not walked is read, and said to be left out.
        {"'" + service + "' -p IOpower '" + power + "' -p IOpower '" + power + "'",
         std::string(serviceWalk) + interest,
         "portprobe-replay: warning: -p IOpower: portprobe-replay reads only the IOService and "
         "IOPower planes; IOpower is not shown\n"},
        {"-p Bogus - <'" + service + "'", "",
         "portprobe-replay: warning: -p Bogus: portprobe-replay reads only the IOService and "
         "IOPower planes; Bogus is not shown\n"},
    };
    const std::string sampleReport = replay("'" PORTPROBE_SAMPLE "'").out;
    for (const auto &c : cases) {
        ReplayRun run = replay(c.arguments);
        EXPECT_EQ(run.status, 0) << c.arguments;
        EXPECT_EQ(run.err, c.err) << c.arguments;
        if (c.out.empty() && c.arguments.empty()) {
            EXPECT_EQ(run.out, sampleReport);
        } else if (!c.out.empty()) {
            EXPECT_EQ(run.out, c.out) << c.arguments;
        }
    }
    ReplayRun bad = replay("- </dev/null");
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.err.rfind("portprobe-replay: standard input:1: ", 0), 0U) << bad.err;
}

TEST(ReplayTest, VersionPrintsTheNameAndVersionWhereverItStands)
{
    const std::string version = "portprobe-replay " PORTPROBE_VERSION "\n";
    const std::string placements[] = {"--version", "--version -x", "'" + service + "' --version"};
    for (const std::string &arguments : placements) {
        ReplayRun run = replay(arguments);
        EXPECT_EQ(run.status, 0) << arguments;
        EXPECT_EQ(run.err, "") << arguments;
        EXPECT_EQ(run.out, version) << arguments;
    }
    // Only the whole word: an abbreviation or an operand after "--" is not it.
    EXPECT_EQ(replay("--vers").status, 2);
    EXPECT_EQ(replay("-- --version").err,
              "portprobe-replay: --version: cannot open: No such file or directory\n");

    ReplayRun full = replay("--version", ">/dev/full");
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, "portprobe-replay: write error: No space left on device\n");
}

TEST(ReplayTest, BadInputPrintsOneLineAndNoReport)
{
    const std::string bad = badFile();
    const std::string notAnEntry =
        bad +
        ": the top level is a string, neither an entry, a list of entries nor a map of planes";
    const struct {
        std::string arguments;
        std::string message;
    } cases[] = {
        {"/nonexistent/service.plist",
         "/nonexistent/service.plist: cannot open: No such file or directory"},
        {"'" + fixtures + "'", fixtures + ": cannot read: Is a directory"},
        {"'" + bad + "'", notAnEntry},
        // The first snapshot was good; the report waits for the whole input.
        {"'" + service + "' -p IOPower '" + bad + "'", notAnEntry},
    };
    for (const auto &input : cases) {
        ReplayRun run = replay(input.arguments);
        EXPECT_EQ(run.status, 2) << input.arguments;
        EXPECT_EQ(run.out, "") << input.arguments;
        EXPECT_EQ(run.err, "portprobe-replay: " + input.message + "\n") << input.arguments;
    }
    std::remove(bad.c_str());
}

TEST(ReplayTest, AReportThatCannotBeWrittenFailsWithAMessage)
{
    ReplayRun full = replay("'" + service + "'", ">/dev/full");
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, "portprobe-replay: write error: No space left on device\n");
}

} // namespace
