// Pinned outputs: a test compares what a program printed with a file kept
// beside the tests, and PORTPROBE_UPDATE_GOLDEN=1 rewrites the file after a
// change that is meant to alter it.
#ifndef PORTPROBE_TESTS_GOLDEN_FILE_H
#define PORTPROBE_TESTS_GOLDEN_FILE_H

#include <string>

namespace testing_support {

std::string readFile(const std::string &path);

// Compares actual with the pinned file golden; on a difference, leaves the
// actual text beside the test's scratch files and fails with a unified diff
// naming label.
void expectGolden(const std::string &golden, const std::string &actual, const std::string &label);

// What a shell command prints on standard output; the test fails unless it
// exits with status 0.
std::string commandOutput(const std::string &command);

} // namespace testing_support

#endif
