#include "support/golden_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "support/scratch_path.h"

namespace testing_support {

namespace {

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

} // namespace

std::string readFile(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Compares with the pinned report; on a difference, leaves the actual report
// beside the test's scratch files and shows a unified diff.
void expectGolden(const std::string &golden, const std::string &actual, const std::string &label)
{
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
    ADD_FAILURE() << label << " differs from " << golden << ":\n" << diff;
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

} // namespace testing_support
