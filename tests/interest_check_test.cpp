// The report's last section: whether each port-transport service accepts the
// two kinds of interest registration, run through the whole report.
#include <string>

#include "support/report_fixture.h"

using standin::Call;
using standin::FaultRule;
using testing_support::interestHeader;
using testing_support::powerHeader;
using testing_support::serviceHeader;

namespace {

class InterestCheckTest : public testing_support::StandinTest {
protected:
    static standin::EntryId transport(const std::string &name)
    {
        return entry("IOPortTransportComponentCCUSBPDSOPp", name);
    }

    // The report text after the last section's header.
    static std::string lastSection()
    {
        std::string text = report();
        std::string before = std::string(serviceHeader) + powerHeader + interestHeader;
        EXPECT_EQ(text.compare(0, before.size(), before), 0) << text;
        return text.substr(std::min(before.size(), text.size()));
    }
};

const char *const bothSucceed = "  General interest notification: kr=0x0 SUCCESS\n"
                                "  Busy interest notification: kr=0x0 SUCCESS\n";

TEST_F(InterestCheckTest, EveryTransportGetsTwoLinesInRegistryOrder)
{
    EXPECT_EQ(lastSection(), "");
    startOver();

    transport("SOP'");
    entry("IOPortTransportComponentCCUSBPDSOPpp", "SOP''");
    transport("SOP'");
    transport("SOP'");
    // Every successful registration is released and every port destroyed:
    // the audit at the end of the test would name any that were not.
    EXPECT_EQ(lastSection(), std::string(bothSucceed) + bothSucceed + bothSucceed);
}

TEST_F(InterestCheckTest, AFailedRegistrationIsReportedAndTheOtherStillTried)
{
    standin::EntryId first = transport("first");
    standin::EntryId second = transport("second");
    standin::EntryId third = transport("third");
    auto &faults = standin::faults();
    faults.add(
        FaultRule(Call::interestRegistration).forEntry(first).forDetail("IOGeneralInterest"));
    faults.add(FaultRule(Call::interestRegistration)
                   .forEntry(second)
                   .forDetail("IOBusyInterest")
                   .withStatus(static_cast<kern_return_t>(0x10000003)));
    faults.add(
        FaultRule(Call::interestRegistration).forEntry(third).withStatus(kIOReturnNoResources));

    EXPECT_EQ(lastSection(), "  General interest notification: kr=0xe00002bc FAILED\n"
                             "  Busy interest notification: kr=0x0 SUCCESS\n"
                             "  General interest notification: kr=0x0 SUCCESS\n"
                             "  Busy interest notification: kr=0x10000003 FAILED\n"
                             "  General interest notification: kr=0xe00002be FAILED\n"
                             "  Busy interest notification: kr=0xe00002be FAILED\n");
}

TEST_F(InterestCheckTest, AServiceWithoutANotificationPortIsSkippedSilently)
{
    transport("first");
    transport("second");
    transport("third");
    standin::faults().add(FaultRule(Call::notificationPortCreate).onlyOccurrence(2));
    EXPECT_EQ(lastSection(), std::string(bothSucceed) + bothSucceed);
}

TEST_F(InterestCheckTest, AFailedLookupEndsTheReportAfterTheHeader)
{
    transport("SOP'");
    standin::faults().add(
        FaultRule(Call::serviceLookup).forDetail("IOPortTransportComponentCCUSBPDSOPp"));
    EXPECT_EQ(lastSection(), "");
}

} // namespace
