// The base of every test that builds a registry: each test starts from an
// empty stand-in and ends by asserting that the audit found nothing held and
// nothing misused.
#ifndef PORTPROBE_TESTS_REPORT_FIXTURE_H
#define PORTPROBE_TESTS_REPORT_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

#include "platform/standin/standin.h"

namespace testing_support {

class StandinTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Checks the audit of what ran so far, then empties the stand-in, for
    // tests that run several reports.
    static void startOver();

    // The whole report, as printReport writes it to standard output.
    static std::string report();
    // What one call of the given function prints.
    static std::string output(void (*print)(void));

    // An entry whose name is its class, as services usually are.
    static standin::EntryId entry(const std::string &className);
    static standin::EntryId entry(const std::string &className, const std::string &name);
    static void link(standin::EntryId parent, standin::EntryId child,
                     const char *plane = "IOService");
};

// Header lines of the report, to assemble expected reports from.
extern const char *const serviceHeader;
extern const char *const powerHeader;
extern const char *const interestHeader;

// The report of a registry that holds no controller and no transport service.
std::string emptyReport();

standin::ValuePtr bytes(std::initializer_list<int> values);
standin::ValuePtr bytesOfLength(std::size_t length);

} // namespace testing_support

#endif
