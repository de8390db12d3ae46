// The report's sequence: headers, lookups, and each controller walked whole
// in the service plane and then again in the power plane.
#include <string>

#include "support/report_fixture.h"

using standin::Call;
using standin::FaultRule;
using testing_support::emptyReport;
using testing_support::interestHeader;
using testing_support::powerHeader;
using testing_support::serviceHeader;

namespace {

using ReportSectionsTest = testing_support::StandinTest;

TEST_F(ReportSectionsTest, WithoutControllersTheReportIsItsHeaders)
{
    EXPECT_EQ(report(),
              "=== Walking from AppleHPMARMSPMI in IOService plane ===\n"
              "\n"
              "\n"
              "\n"
              "=== Walking AppleHPMARMSPMI in IOPower plane ===\n"
              "\n"
              "\n"
              "\n"
              "=== Checking IOPortTransportComponentCCUSBPDSOPp notification support ===\n");
    // Entries of other classes, even with a similar name, are not controllers.
    entry("AppleHPMARMSPMIUserClient");
    entry("AppleHPMARM");
    EXPECT_EQ(report(), emptyReport());
}

TEST_F(ReportSectionsTest, EachControllerIsWalkedWholeInBothPlanesInLookupOrder)
{
    standin::EntryId first = entry("AppleHPMARMSPMI", "hpm0");
    standin::EntryId second = entry("AppleHPMARMSPMI", "hpm1");
    standin::EntryId firstHal = entry("AppleHPMDeviceHALType3", "HAL@C");
    standin::EntryId secondHal = entry("AppleHPMDeviceHALType3", "HAL@6");
    standin::EntryId connection = entry("IOPowerConnection");
    link(first, firstHal);
    link(second, secondHal);
    // The power plane links through a connection, and only for the first.
    link(first, connection, "IOPower");
    link(connection, firstHal, "IOPower");
    standin::setProperty(firstHal, "PDRevision", standin::makeInteger(3));

    EXPECT_EQ(report(), std::string(serviceHeader) +
                            "[AppleHPMARMSPMI] hpm0\n"
                            "  [AppleHPMDeviceHALType3] HAL@C\n"
                            "    >>> PDRevision: 3 (0x3)\n"
                            "[AppleHPMARMSPMI] hpm1\n"
                            "  [AppleHPMDeviceHALType3] HAL@6\n" +
                            powerHeader +
                            "[AppleHPMARMSPMI] hpm0\n"
                            "  [IOPowerConnection] IOPowerConnection\n"
                            "    [AppleHPMDeviceHALType3] HAL@C\n"
                            "      >>> PDRevision: 3 (0x3)\n"
                            "[AppleHPMARMSPMI] hpm1\n" +
                            interestHeader);
}

TEST_F(ReportSectionsTest, AFailedLookupIsReportedOnlyInTheFirstSection)
{
    entry("AppleHPMARMSPMI");
    const std::string line = "[AppleHPMARMSPMI] AppleHPMARMSPMI\n";

    standin::faults().add(
        FaultRule(Call::serviceLookup).forDetail("AppleHPMARMSPMI").onlyOccurrence(1));
    EXPECT_EQ(report(), std::string(serviceHeader) + "No AppleHPMARMSPMI found\n" + powerHeader +
                            line + interestHeader);

    standin::faults() = standin::Faults();
    standin::faults().add(
        FaultRule(Call::serviceLookup).forDetail("AppleHPMARMSPMI").onlyOccurrence(2));
    EXPECT_EQ(report(), std::string(serviceHeader) + line + powerHeader + interestHeader);

    standin::faults() = standin::Faults();
    standin::faults().add(FaultRule(Call::serviceLookup)
                              .forDetail("AppleHPMARMSPMI")
                              .withStatus(kIOReturnNoResources));
    EXPECT_EQ(report(), std::string(serviceHeader) + "No AppleHPMARMSPMI found\n" + powerHeader +
                            interestHeader);
}

TEST_F(ReportSectionsTest, ControllersFoundLaterStillShowTheirOwnPropertiesOnly)
{
    standin::EntryId parent = entry("AppleSPMIController");
    standin::EntryId service = entry("AppleHPMARMSPMI");
    standin::EntryId child = entry("AppleHPMUserClient");
    link(parent, service);
    link(service, child);
    standin::setProperty(parent, "VDOs", standin::makeInteger(1));
    standin::setProperty(child, "Metadata", standin::makeInteger(2));

    const std::string walk = "[AppleHPMARMSPMI] AppleHPMARMSPMI\n"
                             "  [AppleHPMUserClient] AppleHPMUserClient\n"
                             "    >>> Metadata: 2 (0x2)\n";
    EXPECT_EQ(report(), std::string(serviceHeader) + walk + powerHeader +
                            "[AppleHPMARMSPMI] AppleHPMARMSPMI\n" + interestHeader);
}

} // namespace
