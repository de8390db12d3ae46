// The walk of one controller's subtree: entry lines, annotations, probes,
// depth and the order of what is printed.
#include <string>

#include "report/tree_walk.h"
#include "support/report_fixture.h"

using testing_support::bytes;
using testing_support::interestHeader;
using testing_support::powerHeader;
using testing_support::serviceHeader;

namespace {

class TreeWalkTest : public testing_support::StandinTest {
protected:
    // The text of section 1 alone, for a registry whose power plane is empty.
    static std::string serviceSection()
    {
        std::string text = report();
        std::size_t start = std::string(serviceHeader).size();
        std::size_t end = text.find(powerHeader);
        EXPECT_EQ(text.compare(0, start, serviceHeader), 0) << text;
        EXPECT_NE(end, std::string::npos) << text;
        return text.substr(start, end - start);
    }

    static standin::EntryId controller() { return entry("AppleHPMARMSPMI"); }
};

TEST_F(TreeWalkTest, ProbesFollowTheirEntryInTableOrderAndChildrenInRegistryOrder)
{
    standin::EntryId service = controller();
    standin::EntryId hal = entry("AppleHPMDeviceHALType3", "AppleHPMDeviceHALType3@C");
    standin::EntryId port = entry("AppleHPMInterfaceType10", "Port-USB-C@1");
    standin::EntryId client = entry("AppleHPMUserClient");
    link(service, hal);
    link(hal, port);
    link(service, client);
    // Set in another order than the table's; unprobed keys never show.
    standin::setProperty(port, "TraceBuffer", bytes({0xab}));
    standin::setProperty(port, "FW Version", bytes({1, 2, 3, 4}));
    standin::setProperty(port, "Metadata", standin::makeDictionary(standin::DictionaryItems{}));
    standin::setProperty(port, "VDMs", standin::makeInteger(2));
    standin::setProperty(port, "PowerRole", standin::makeString("Sink"));
    standin::setProperty(hal, "SpecRevision", standin::makeInteger(3));

    EXPECT_EQ(serviceSection(), "[AppleHPMARMSPMI] AppleHPMARMSPMI\n"
                                "  [AppleHPMDeviceHALType3] AppleHPMDeviceHALType3@C\n"
                                "    >>> SpecRevision: 3 (0x3)\n"
                                "    [AppleHPMInterfaceType10] Port-USB-C@1\n"
                                "      >>> VDMs: 2 (0x2)\n"
                                "      >>> Metadata: <dict with 0 keys>\n"
                                "      >>> PowerRole: \"Sink\"\n"
                                "      >>> TraceBuffer: <data 1 bytes> ab \n"
                                "  [AppleHPMUserClient] AppleHPMUserClient\n");
}

TEST_F(TreeWalkTest, AllTwentySixKeysAreProbedInTableOrder)
{
    const char *const keys[] = {"VDMs",
                                "VDOs",
                                "Metadata",
                                "PDRevision",
                                "SpecRevision",
                                "PortPartnerIdentity",
                                "CableIdentity",
                                "PDContract",
                                "PowerRole",
                                "DataRole",
                                "VCONNSource",
                                "SourceCapabilities",
                                "SinkCapabilities",
                                "RequestDataObject",
                                "ActiveContract",
                                "AlternateMode",
                                "SVIDs",
                                "Modes",
                                "DisplayPortStatus",
                                "DisplayPortConfig",
                                "RawVDM",
                                "VDMResponse",
                                "VDMHistory",
                                "MessageLog",
                                "PDMessageLog",
                                "TraceBuffer"};
    standin::EntryId service = controller();
    std::string expected = "[AppleHPMARMSPMI] AppleHPMARMSPMI\n";
    // Set in reverse so that the order printed can only come from the table.
    for (auto key = std::rbegin(keys); key != std::rend(keys); ++key) {
        standin::setProperty(service, *key, standin::makeString(*key));
    }
    for (const char *key : keys) {
        expected += "  >>> " + std::string(key) + ": \"" + key + "\"\n";
    }
    EXPECT_EQ(serviceSection(), expected);
}

TEST_F(TreeWalkTest, DepthEightIsTheLastPrintedLevelYetEveryChildIsReleased)
{
    standin::EntryId parent = controller();
    for (int depth = 1; depth <= 10; ++depth) {
        standin::EntryId child = entry("Level" + std::to_string(depth));
        standin::setProperty(child, "VDOs", standin::makeInteger(depth));
        link(parent, child);
        parent = child;
    }
    std::string section = serviceSection();
    EXPECT_NE(section.find("\n" + std::string(16, ' ') + "[Level8] Level8\n" +
                           std::string(18, ' ') + ">>> VDOs: 8 (0x8)\n"),
              std::string::npos)
        << section;
    EXPECT_EQ(section.find("Level9"), std::string::npos) << section;
    EXPECT_EQ(section.rfind("[Level8]") + std::string("[Level8] Level8\n").size() +
                  std::string(18, ' ').size() + std::string(">>> VDOs: 8 (0x8)\n").size(),
              section.size());
    // The audit in TearDown proves the depth-9 child was fetched and released;
    // a chain this deep makes the walk hold the most it ever holds.
    EXPECT_EQ(standin::audit().peakHeld, mostReferencesHeld);
}

TEST_F(TreeWalkTest, AnnotationsFollowTheNameUserClientFirst)
{
    standin::EntryId service = controller();
    standin::EntryId both = entry("AppleHPMInterfaceType10", "Port-USB-C@1");
    standin::EntryId bundleOnly = entry("Bundle");
    standin::EntryId clientOnly = entry("IOPortTransportStateCC", "CC");
    link(service, both);
    link(service, bundleOnly);
    link(service, clientOnly);
    standin::setProperty(both, "CFBundleIdentifier",
                         standin::makeString("com.apple.driver.AppleHPM"));
    standin::setProperty(both, "IOUserClientClass",
                         standin::makeString("IOAccessoryManagerUserClient"));
    standin::setProperty(bundleOnly, "CFBundleIdentifier", standin::makeString("b"));
    standin::setProperty(clientOnly, "IOUserClientClass",
                         standin::makeString("IOPortTransportUserClient"));

    EXPECT_EQ(serviceSection(),
              "[AppleHPMARMSPMI] AppleHPMARMSPMI\n"
              "  [AppleHPMInterfaceType10] Port-USB-C@1 (UserClient: "
              "IOAccessoryManagerUserClient) [com.apple.driver.AppleHPM]\n"
              "  [Bundle] Bundle [b]\n"
              "  [IOPortTransportStateCC] CC (UserClient: IOPortTransportUserClient)\n");
}

TEST_F(TreeWalkTest, AnnotationsThatCannotBeShownWholeAreMarkedUnconvertible)
{
    standin::EntryId service = controller();
    const std::string fits(255, 'u');
    standin::EntryId longest = entry("Longest");
    standin::setProperty(longest, "IOUserClientClass", standin::makeString(fits));
    standin::setProperty(longest, "CFBundleIdentifier", standin::makeString(fits));
    standin::EntryId tooLong = entry("TooLong");
    standin::setProperty(tooLong, "IOUserClientClass", standin::makeString(fits + "u"));
    standin::setProperty(tooLong, "CFBundleIdentifier", standin::makeString(fits + "u"));
    standin::EntryId loneSurrogate = entry("LoneSurrogate");
    standin::setProperty(loneSurrogate, "IOUserClientClass", standin::makeUtf16String(u"\xdc00"));
    // Not strings at all: never handed to the string conversion.
    standin::EntryId notStrings = entry("NotStrings");
    standin::setProperty(notStrings, "IOUserClientClass", standin::makeInteger(7));
    standin::setProperty(notStrings, "CFBundleIdentifier", bytes({'a', 'b'}));
    for (standin::EntryId child : {longest, tooLong, loneSurrogate, notStrings}) {
        link(service, child);
    }

    EXPECT_EQ(serviceSection(),
              "[AppleHPMARMSPMI] AppleHPMARMSPMI\n"
              "  [Longest] Longest (UserClient: " +
                  fits + ") [" + fits +
                  "]\n"
                  "  [TooLong] TooLong (UserClient: <unconvertible>) "
                  "[<unconvertible>]\n"
                  "  [LoneSurrogate] LoneSurrogate (UserClient: <unconvertible>)\n"
                  "  [NotStrings] NotStrings (UserClient: <unconvertible>) "
                  "[<unconvertible>]\n");
}

TEST_F(TreeWalkTest, FailedReadsLeaveEmptyTextAndTheWalkGoesOn)
{
    standin::EntryId service = controller();
    standin::EntryId noClass = entry("Hidden", "NoClass");
    standin::EntryId noName = entry("NoName", "Hidden");
    standin::EntryId noChildren = entry("NoChildren");
    standin::EntryId lost = entry("Lost");
    standin::EntryId noKey = entry("NoKey");
    for (standin::EntryId child : {noClass, noName, noChildren, noKey}) {
        link(service, child);
    }
    link(noChildren, lost);
    standin::setProperty(noClass, "VDOs", standin::makeInteger(1));
    standin::setProperty(noClass, "Metadata", standin::makeInteger(2));
    standin::setProperty(noKey, "VDOs", standin::makeInteger(3));
    standin::setProperty(noKey, "Modes", standin::makeInteger(4));

    auto &faults = standin::faults();
    using standin::Call;
    using standin::FaultRule;
    faults.add(FaultRule(Call::classRead).forEntry(noClass));
    faults.add(FaultRule(Call::nameRead).forEntry(noName));
    faults.add(FaultRule(Call::propertyLookup).forEntry(noClass).forDetail("Metadata"));
    faults.add(FaultRule(Call::childIterator).forEntry(noChildren));
    // A key string that cannot be made skips that probe on every entry.
    faults.add(FaultRule(Call::keyStringCreate).forDetail("Modes"));

    EXPECT_EQ(serviceSection(), "[AppleHPMARMSPMI] AppleHPMARMSPMI\n"
                                "  [] NoClass\n"
                                "    >>> VDOs: 1 (0x1)\n"
                                "  [NoName] \n"
                                "  [NoChildren] NoChildren\n"
                                "  [NoKey] NoKey\n"
                                "    >>> VDOs: 3 (0x3)\n");
}

TEST_F(TreeWalkTest, SharedEntriesPrintOncePerPathAndCyclesStopAtTheDepthLimit)
{
    standin::EntryId service = controller();
    standin::EntryId left = entry("Left");
    standin::EntryId right = entry("Right");
    standin::EntryId shared = entry("Shared");
    link(service, left);
    link(service, right);
    link(left, shared);
    link(right, shared);
    standin::setProperty(shared, "VDOs", standin::makeInteger(5));
    standin::setProperty(service, "Metadata", standin::makeInteger(1));

    EXPECT_EQ(serviceSection(), "[AppleHPMARMSPMI] AppleHPMARMSPMI\n"
                                "  >>> Metadata: 1 (0x1)\n"
                                "  [Left] Left\n"
                                "    [Shared] Shared\n"
                                "      >>> VDOs: 5 (0x5)\n"
                                "  [Right] Right\n"
                                "    [Shared] Shared\n"
                                "      >>> VDOs: 5 (0x5)\n");
    startOver();

    // A two-entry cycle under the service: levels 1 to 8 alternate.
    standin::EntryId top = controller();
    standin::EntryId ping = entry("Ping");
    standin::EntryId pong = entry("Pong");
    link(top, ping);
    link(ping, pong);
    link(pong, ping);
    std::string expected = "[AppleHPMARMSPMI] AppleHPMARMSPMI\n";
    for (unsigned depth = 1; depth <= maxWalkDepth; ++depth) {
        expected += std::string(2 * std::size_t{depth}, ' ') +
                    (depth % 2 ? "[Ping] Ping\n" : "[Pong] Pong\n");
    }
    EXPECT_EQ(serviceSection(), expected);
}

} // namespace
