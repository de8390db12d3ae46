// The exit status as the report's last flush decides it, in-process, for
// the case that running the programs cannot reach: a write that failed early
// in the report, followed by a last flush that succeeds.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "app/output_status.h"
#include "support/report_fixture.h"

namespace {

// What body writes on standard error, which goes to a file meanwhile.
std::string capturedStderr(const std::function<void()> &body)
{
    std::FILE *sink = std::tmpfile();
    EXPECT_NE(sink, nullptr);
    if (sink == nullptr) {
        return "";
    }
    std::fflush(stderr);
    int saved = dup(fileno(stderr));
    dup2(fileno(sink), fileno(stderr));
    body();
    std::fflush(stderr);
    dup2(saved, fileno(stderr));
    close(saved);
    std::string text;
    std::rewind(sink);
    char chunk[512];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, sink)) > 0) {
        text.append(chunk, got);
    }
    std::fclose(sink);
    return text;
}

class OutputStatusTest : public testing_support::StandinTest {};

// Standard output on a full device while the first part of the report is
// flushed, then on a file again for the rest: the last flush succeeds, but
// the report is not whole.
TEST_F(OutputStatusTest, AnEarlyWriteErrorFailsThoughTheLastFlushSucceeds)
{
    int status = -1;
    std::string message;
    std::string written = standin::captureStdout([&] {
        int file = dup(fileno(stdout));
        int full = open("/dev/full", O_WRONLY);
        ASSERT_GE(full, 0);
        dup2(full, fileno(stdout));
        close(full);
        std::fputs("the first part\n", stdout);
        EXPECT_NE(std::fflush(stdout), 0);
        dup2(file, fileno(stdout));
        close(file);
        std::fputs("the last part\n", stdout);
        message = capturedStderr([&] { status = finishOutput("portprobe"); });
        std::clearerr(stdout);
    });
    // The last part reached the file, so the last flush did succeed.
    EXPECT_NE(written.find("the last part\n"), std::string::npos) << written;
    EXPECT_EQ(status, 1);
    EXPECT_EQ(message, "portprobe: write error: Input/output error\n");
}

} // namespace
