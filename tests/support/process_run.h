// Runs a built program as a user would, through the shell, and keeps what it
// printed on each stream and its exit status.
#ifndef PORTPROBE_TESTS_PROCESS_RUN_H
#define PORTPROBE_TESTS_PROCESS_RUN_H

#include <string>

namespace testing_support {

struct ProcessRun {
    int status = -1; // the exit status, or -1 when the program did not exit
    std::string out;
    std::string err;
};

// Runs binary with arguments (shell words). Standard output goes to a file
// unless stdoutRedirect gives another redirection (">/dev/full", ">&-");
// standard error always goes to a file. The files are the running test's own
// (scratchPath), so that tests run side by side keep apart, and are removed
// once read.
ProcessRun runProcess(const std::string &binary, const std::string &arguments,
                      const std::string &stdoutRedirect = "");

} // namespace testing_support

#endif
