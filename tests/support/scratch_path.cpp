#include "support/scratch_path.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace testing_support {
namespace {

// Parameterised suites and cases carry '/' in their names.
std::string fileNamePart(std::string text)
{
    for (char &c : text) {
        if (c == '/') {
            c = '_';
        }
    }
    return text;
}

} // namespace

std::string scratchPath(const std::string &purpose)
{
    const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string owner = test == nullptr ? std::string("no-test")
                                        : std::string(test->test_suite_name()) + "." + test->name();
    return ::testing::TempDir() + "portprobe_" + fileNamePart(owner) + "." +
           std::to_string(static_cast<long>(getpid())) + "." + purpose;
}

} // namespace testing_support
