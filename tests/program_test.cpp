// The built program as a user runs it: its arguments, its output stream and
// its exit status.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <sys/wait.h>

namespace {

struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string slurp(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Runs the program through the shell with the given arguments and
// redirections; standard output and error go to files unless redirected.
ProgramRun runProgram(const std::string &arguments, const std::string &stdoutRedirect = "")
{
    // Named for the test, so that tests run in parallel never share a file.
    const std::string base = ::testing::TempDir() + "portprobe_" +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name();
    const std::string outPath = base + ".out";
    const std::string errPath = base + ".err";
    std::string command = std::string("'") + PORTPROBE_BINARY + "' " + arguments + " " +
                          (stdoutRedirect.empty() ? ">'" + outPath + "'" : stdoutRedirect) +
                          " 2>'" + errPath + "'";
    std::remove(outPath.c_str());
    int raw = std::system(command.c_str());
    ProgramRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = slurp(outPath);
    run.err = slurp(errPath);
    return run;
}

TEST(ProgramTest, ArgumentsChangeNothing)
{
    ProgramRun plain = runProgram("");
    EXPECT_EQ(plain.status, 0);
    EXPECT_EQ(plain.err, "");
    EXPECT_NE(plain.out.find("=== Walking from AppleHPMARMSPMI in IOService plane ==="),
              std::string::npos);

    for (const char *arguments : {"--help", "-h extra words", "'' -p IOPower /nonexistent"}) {
        ProgramRun other = runProgram(arguments);
        EXPECT_EQ(other.status, 0) << arguments;
        EXPECT_EQ(other.out, plain.out) << arguments;
        EXPECT_EQ(other.err, "") << arguments;
    }
}

TEST(ProgramTest, AReportThatCannotBeWrittenFailsWithAMessage)
{
    ProgramRun full = runProgram("", ">/dev/full");
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, "portprobe: write error: No space left on device\n");

    ProgramRun closed = runProgram("", ">&-");
    EXPECT_EQ(closed.status, 1);
    EXPECT_EQ(closed.err, "portprobe: write error: Bad file descriptor\n");
}

} // namespace
