#include "support/report_fixture.h"

#include "app/report_sections.h"

namespace testing_support {

const char *const serviceHeader = "=== Walking from AppleHPMARMSPMI in IOService plane ===\n\n";
const char *const powerHeader = "\n\n=== Walking AppleHPMARMSPMI in IOPower plane ===\n\n";
const char *const interestHeader =
    "\n\n=== Checking IOPortTransportComponentCCUSBPDSOPp notification support ===\n";

std::string emptyReport() { return std::string(serviceHeader) + powerHeader + interestHeader; }

void StandinTest::SetUp() { standin::reset(); }

void StandinTest::TearDown() { startOver(); }

void StandinTest::startOver()
{
    standin::AuditReport audit = standin::audit();
    EXPECT_TRUE(audit.clean()) << audit.text();
    standin::reset();
}

std::string StandinTest::report() { return output(printReport); }

std::string StandinTest::output(void (*print)(void)) { return standin::captureStdout(print); }

standin::EntryId StandinTest::entry(const std::string &className)
{
    return standin::addEntry(className, className);
}

standin::EntryId StandinTest::entry(const std::string &className, const std::string &name)
{
    return standin::addEntry(className, name);
}

void StandinTest::link(standin::EntryId parent, standin::EntryId child, const char *plane)
{
    standin::addChild(parent, child, plane);
}

standin::ValuePtr bytes(std::initializer_list<int> values)
{
    standin::Bytes data;
    for (int value : values) {
        data.push_back(static_cast<std::uint8_t>(value));
    }
    return standin::makeData(std::move(data));
}

standin::ValuePtr bytesOfLength(std::size_t length)
{
    standin::Bytes data(length);
    for (std::size_t i = 0; i < length; ++i) {
        data[i] = static_cast<std::uint8_t>(i);
    }
    return standin::makeData(std::move(data));
}

} // namespace testing_support
