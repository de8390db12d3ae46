// The built program as a user runs it: its arguments, its output stream and
// its exit status.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "support/process_run.h"

namespace {

using ProgramRun = testing_support::ProcessRun;

ProgramRun runProgram(const std::string &arguments, const std::string &stdoutRedirect = "")
{
    return testing_support::runProcess(PORTPROBE_BINARY, arguments, stdoutRedirect);
}

// Built on the stand-in, the program says once that it shows the built-in
// sample, and how to report a Mac's capture instead.
const std::string sampleNotice =
    "portprobe: note: this is the built-in sample registry, not this machine's; for a Mac's, "
    "capture it there with 'ioreg -a -l > service.plist' and run 'portprobe-replay "
    "service.plist'\n";

TEST(ProgramTest, ArgumentsChangeNothing)
{
    ProgramRun plain = runProgram("");
    EXPECT_EQ(plain.status, 0);
    EXPECT_EQ(plain.err, sampleNotice);
    EXPECT_NE(plain.out.find("=== Walking from AppleHPMARMSPMI in IOService plane ==="),
              std::string::npos);

    for (const char *arguments : {"--help", "-h extra words", "'' -p IOPower /nonexistent"}) {
        ProgramRun other = runProgram(arguments);
        EXPECT_EQ(other.status, 0) << arguments;
        EXPECT_EQ(other.out, plain.out) << arguments;
        EXPECT_EQ(other.err, sampleNotice) << arguments;
    }
}

TEST(ProgramTest, AReportThatCannotBeWrittenFailsWithAMessage)
{
    ProgramRun full = runProgram("", ">/dev/full");
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, sampleNotice + "portprobe: write error: No space left on device\n");

    ProgramRun closed = runProgram("", ">&-");
    EXPECT_EQ(closed.status, 1);
    EXPECT_EQ(closed.err, sampleNotice + "portprobe: write error: Bad file descriptor\n");
}

} // namespace
