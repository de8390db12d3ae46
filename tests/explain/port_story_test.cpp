// Each port's story read from a capture: naming, the entries that belong to
// it, power, partner, cable and data, every quirk of real captures once, and
// the story's text and JSON.
#include <gtest/gtest.h>

#include "capture_builder.h"
#include "explain/analysis/explanation.h"
#include "explain/output/json_render.h"
#include "explain/output/text_render.h"
#include "pd/field_table.h"

namespace {

using namespace capture_builder;
using explain::Explanation;
using explain::Json;
using explain::PortCapture;
using walk_builder::boolean;
using walk_builder::dictionary;
using walk_builder::number;
using walk_builder::text;

Explanation explained(const PortCapture &capture)
{
    Explanation explanation;
    explain::explainPorts(capture, walk_builder::someVendors(), explanation);
    return explanation;
}

// The text after its first answer, the "Charging:" line and the blank line
// after it.
std::string afterTheAnswer(const std::string &text)
{
    if (text.compare(0, 10, "Charging: ") != 0) {
        return text;
    }
    const std::size_t end = text.find("\n\n");
    return end == std::string::npos ? std::string() : text.substr(end + 2);
}

// The port of the issue's example: a 100 W charger through a dock, an
// e-marked 5 A USB4 cable, a hub at 5 Gbps and a display on 2 lanes.
CapturedEntry examplePort()
{
    const PropertyValue winner = fixedOption(20000, 5000);
    return port("1",
                {{"ConnectionActive", boolean(true, true)},
                 {"TransportsSupported", strings({"CC", "USB2", "USB3", "CIO", "DisplayPort"})},
                 {"TransportsProvisioned", strings({"CC", "USB2", "USB3", "DisplayPort"})},
                 {"TransportsActive", strings({"CC", "USB3", "DisplayPort"})}},
                {node("IOPortTransportStateCC", "CC", {},
                      {partner(), cablePlug(0x1c600522, passiveCableVdo(3, 2, 0, false))}),
                 node("IOPortFeaturePowerIn", "Power In", {},
                      {source("USB-PD",
                              {fixedOption(15000, 3000), fixedOption(20000, 5000),
                               fixedOption(5000, 3000), fixedOption(9000, 3000)},
                              &winner),
                       source("Brick ID", {fixedOption(5000, 1500)})}),
                 node("IOPortTransportStateUSB3", "USB3", {{"DataRateDescription", text("5 Gbps")}},
                      {node("IOUSBHostDevice", "USB3.1 Hub",
                            {{"idVendor", number(0x2eb9)},
                             {"idProduct", number(0x1124)},
                             {"bDeviceClass", number(9)},
                             {"bcdUSB", number(0x320)}})}),
                 node("IOPortTransportStateDisplayPort", "DisplayPort",
                      {{"HPD_StateDescription", text("High")},
                       {"LaneCount", number(2)},
                       {"MaxLaneCount", number(4)},
                       {"LinkRateDescription", text("HBR2")}})});
}

TEST(PortStory, TellsAConnectedPortInAFewLinesAndAnIdleOneInOne)
{
    PortCapture capture;
    // The idle port keeps the entry of its last partner, marked inactive.
    capture.ports = {examplePort(),
                     port("2", {{"ConnectionActive", boolean(true, false)}},
                          {node("IOPortFeaturePowerIn", "Power In", {},
                                {source("TypeC", {fixedOption(5000, 3000)})}),
                           node("IOPortTransportStateCC", "CC", {},
                                {node("IOPortTransportComponentCCUSBPDSOP", "SOP",
                                      {{"ConnectionActive", boolean(true, false)}})})})};
    const std::string text = explain::explanationText(explained(capture));
    EXPECT_EQ(text.substr(0, text.find("\nProperties of Port-USB-C@1\n  CC/SOP Metadata: ")),
              "Charging: a 100 W contract on Port-USB-C@1; what the Mac draws is not in the "
              "capture (no power manager captured)\n"
              "\n"
              "Port-USB-C@1 (USB-C): connected\n"
              "  Power:   powered by USB-PD at 20.00 V 5.00 A (100 W); the charger offers 5 V 3 A "
              "(15 W), "
              "9 V 3 A (27 W), 15 V 3 A (45 W), 20 V 5 A (100 W)\n"
              "  Partner: Dock Maker (0x2eb9) product 0x1123, a hub; PD 3\n"
              "  Cable:   e-marked passive cable, USB4 Gen 3 (40 Gbps), 5 A at up to 20 V (100 W), "
              "about 1 m; made by Cable Maker (0x0522)\n"
              "  Data:    USB 3 at 5 Gbps (a hub); DisplayPort: 2 lanes, display detected\n"
              "Port-USB-C@2 (USB-C): idle\n");
    // The evidence follows, for ports whose controllers no walk reached.
    EXPECT_NE(text.find("\nProperties of Port-USB-C@1\n  CC/SOP Metadata: "), std::string::npos);
}

TEST(PortStory, TheJsonNamesEveryMemberNullWhenUnknown)
{
    PortCapture capture;
    capture.ports = {
        node("AppleHPMInterfaceType10", "Port-USB-C", {{"PortTypeDescription", text("USB-C")}})};
    Explanation explanation = explained(capture);
    explanation.source = "snapshot";
    const Json document = Json::parse(explain::explanationJson(explanation));
    EXPECT_EQ(document["source"], "snapshot");
    EXPECT_EQ(document["power_manager"], nullptr);
    const Json &port = document["ports"].at(0);
    for (const char *name : {"registry_id", "number", "connected", "partner", "cable", "power"}) {
        EXPECT_EQ(port.at(name), nullptr) << name;
    }
    EXPECT_EQ(port["port"], "Port-USB-C");
    EXPECT_EQ(port["type"], "USB-C");
    for (const char *name : {"usb", "thunderbolt", "displayport"}) {
        EXPECT_EQ(port["data"].at(name), nullptr) << name;
    }
    EXPECT_EQ(port["data"]["supported"], Json::array());
    EXPECT_EQ(port["verdicts"], Json::array());
    EXPECT_EQ(port["properties"], Json::array());
}

TEST(PortStory, TheExamplesFactsInJsonUnits)
{
    PortCapture capture;
    capture.ports = {examplePort()};
    const Json port = Json::parse(explain::explanationJson(explained(capture)))["ports"][0];
    EXPECT_EQ(port["cable"]["max_gbps"], 40);
    EXPECT_EQ(port["cable"]["max_current_ma"], 5000);
    EXPECT_EQ(port["cable"]["max_voltage_mv"], 20000);
    EXPECT_EQ(port["cable"]["max_power_w"], 100);
    EXPECT_EQ(port["cable"]["type"], "passive");
    EXPECT_EQ(port["power"]["contract"],
              Json::parse(
                  R"({"voltage_mv":20000,"current_ma":5000,"power_mw":100000,"source":"USB-PD"})"));
    std::vector<std::int64_t> voltages;
    for (const Json &option : port["power"]["sources"][0]["options"]) {
        voltages.push_back(option["voltage_mv"].get<std::int64_t>());
    }
    EXPECT_EQ(voltages, (std::vector<std::int64_t>{5000, 9000, 15000, 20000}));
    EXPECT_EQ(port["data"]["usb"]["rate_mbps"], 5000);
    EXPECT_EQ(port["data"]["usb"]["devices"][0]["class"], 9);
    EXPECT_EQ(port["data"]["displayport"]["max_lanes"], 4);
    EXPECT_EQ(port["partner"]["identity"]["id_header"]["product_type"], "hub");
}

TEST(PortNaming, DescriptionThenNameAndLocation)
{
    struct Case {
        Members properties;
        std::string location;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {{{"PortDescription", text("Port-USB-C@4")}, {"Description", text("other")}},
         "9",
         "Port-USB-C@4"},
        {{{"Description", text("Port-USB-C@5")}}, "9", "Port-USB-C@5"},
        {{{"Description", number(5)}}, "2", "FAKE-ENTRY-8@2"}, // wrong type: not a name
        {{}, "", "FAKE-ENTRY-8"},
    };
    for (const Case &one : cases) {
        Members properties = one.properties;
        properties.push_back({"PortTypeDescription", text("USB-C")});
        PortCapture capture;
        capture.ports = {
            node("AppleHPMInterfaceType10", "FAKE-ENTRY-8", properties, {}, one.location)};
        EXPECT_EQ(explained(capture).ports.at(0).story.name, one.expected);
    }
}

TEST(LooseEntries, BelongToThePortTheyName)
{
    const PropertyValue winner = fixedOption(9000, 3000);
    CapturedEntry byDescription = source("USB-PD", {fixedOption(9000, 3000)}, &winner);
    byDescription.properties.push_back({"Description", text("Port-USB-C@1/Power In/USB-PD")});
    CapturedEntry byNumber = node("IOPortTransportStateUSB2", "USB2",
                                  {{"ParentPortTypeDescription", text("MagSafe 3")},
                                   {"ParentPortNumber", number(2)},
                                   {"Active", boolean(true, true)}});
    CapturedEntry nameless = node("IOPortTransportStateUSB2", "USB2", {{"Active", number(1)}});
    CapturedEntry byTransportDescription = node(
        "IOPortTransportStateUSB3", "USB3",
        {{"TransportDescription", text("Port-USB-C@1/USB3")}, {"Active", boolean(true, true)}});
    PortCapture capture;
    capture.ports = {port("1", {}, {})};
    capture.loose = {byDescription, byNumber, nameless, byTransportDescription};
    const Explanation explanation = explained(capture);
    ASSERT_EQ(explanation.ports.size(), 2u);
    // Ports by type: "MagSafe 3" before "USB-C".
    const explain::PortStory &first = explanation.ports[1].story;
    ASSERT_TRUE(first.power && first.power->contract);
    EXPECT_EQ(first.power->contract->voltageMv, 9000);
    EXPECT_EQ(first.power->sources.at(0).entry,
              (std::vector<std::string>{"Port-USB-C@1", "Power In", "USB-PD"}));
    ASSERT_TRUE(first.data.usb);
    EXPECT_EQ(first.data.usb->entry, (std::vector<std::string>{"Port-USB-C@1", "USB3"}));
    const explain::PortStory &second = explanation.ports[0].story;
    EXPECT_EQ(second.name, "Port-MagSafe 3@2");
    EXPECT_TRUE(second.nameOnly);
    EXPECT_EQ(second.type, "MagSafe 3");
    ASSERT_TRUE(second.data.usb);
    EXPECT_EQ(second.data.usb->generation, "USB 2");
}

// A port not known to be idle shows its sources, and an option without
// "Max Power (mW)" its watts all the same.
TEST(PowerLine, ShownUnlessThePortIsIdle)
{
    struct Case {
        Members properties;
        std::string expected;
    };
    const std::string sources = "  Power:   no contract; TypeC offers 5 V 3 A (15 W)\n";
    const std::vector<Case> cases = {
        {{{"ConnectionActive", boolean(true, true)}},
         "Port-USB-C@1 (USB-C): connected\n" + sources},
        {{}, "Port-USB-C@1 (USB-C): state unknown\n" + sources},
        {{{"ConnectionActive", boolean(true, false)}}, "Port-USB-C@1 (USB-C): idle\n"},
    };
    for (const Case &one : cases) {
        PortCapture capture;
        capture.ports = {port("1", one.properties,
                              {node("IOPortFeaturePowerIn", "Power In", {},
                                    {source("TypeC", {fixedOption(5000, 3000, false)})})})};
        const Explanation explanation = explained(capture);
        const std::string text = afterTheAnswer(explain::explanationText(explanation));
        EXPECT_EQ(text.substr(0, one.expected.size()), one.expected) << text;
        const Json document = Json::parse(explain::explanationJson(explanation));
        EXPECT_EQ(document["ports"][0]["power"]["sources"][0]["options"][0]["max_power_mw"], 15000);
    }
}

TEST(UsbLink, TheRunningTransportAndItsDevices)
{
    const CapturedEntry keyFob =
        node("IOUSBHostDevice", "Key Fob",
             {{"idVendor", number(0x1050)}, {"UsbLinkSpeed", number(12000000)}});
    const CapturedEntry disk = node("IOUSBHostDevice", "Disk", {{"idVendor", number(0x90c)}});
    struct Case {
        const char *what;
        std::vector<CapturedEntry> transports;
        std::string generation;
        std::int64_t rateMbps;
        std::size_t devices;
    };
    const std::vector<Case> cases = {
        {"a device known by its link speed alone",
         {node("IOPortTransportStateUSB2", "USB2", {}, {keyFob})},
         "USB 2",
         12,
         1},
        {"USB 3 listed before USB 2, both running",
         {node("IOPortTransportStateUSB3", "USB3", {{"DataRateDescription", text("5 Gbps")}},
               {disk}),
          node("IOPortTransportStateUSB2", "USB2",
               {{"DataRateDescription", text("480 Mbps (High Speed)")}})},
         "USB 3",
         5000,
         1},
    };
    for (const Case &one : cases) {
        PortCapture capture;
        capture.ports = {port("1",
                              {{"ConnectionActive", boolean(true, true)},
                               {"TransportsActive", strings({"CC", "USB2", "USB3"})}},
                              one.transports)};
        const std::optional<explain::UsbLink> usb = explained(capture).ports.at(0).story.data.usb;
        ASSERT_TRUE(usb) << one.what;
        EXPECT_EQ(usb->generation, one.generation) << one.what;
        EXPECT_EQ(usb->rateMbps, one.rateMbps) << one.what;
        EXPECT_EQ(usb->devices.size(), one.devices) << one.what;
    }
}

TEST(PartnerFacts, KnownByItsVdosAlone)
{
    CapturedEntry sop = partner();
    sop.properties[1].value = dictionary(
        {{"VDOs", vdoArray({0x4c402eb9, 0x1f5a, 0x11230110, 0x65000011})}}); // no IDs beside them
    PortCapture capture;
    capture.ports = {port("1", {{"ConnectionActive", boolean(true, true)}},
                          {node("IOPortTransportStateCC", "CC", {}, {sop})})};
    const std::optional<explain::PartnerFacts> found = explained(capture).ports.at(0).story.partner;
    ASSERT_TRUE(found);
    EXPECT_EQ(found->vendorId, 0x2eb9u);
    EXPECT_EQ(found->productId, 0x1123u);
}

TEST(PowerSources, TheWinnerByItsMarkOrItsOption)
{
    const PropertyValue option = fixedOption(5000, 3000);
    CapturedEntry markedOnly = source("USB-PD", {option});
    markedOnly.name = "USB-PD [*]";
    markedOnly.properties.erase(markedOnly.properties.begin()); // no "PowerSourceName"
    CapturedEntry optionOnly = source("USB-PD", {option}, &option);
    optionOnly.name = "FAKE-ENTRY-3"; // anonymised
    CapturedEntry emptyOption = source("USB-PD", {option}, &option);
    emptyOption.properties.back().value = dictionary({});
    emptyOption.name = "USB-PD";
    struct Case {
        CapturedEntry source;
        bool winning;
        bool contract;
    };
    for (const Case &one : std::vector<Case>{
             {markedOnly, true, false}, {optionOnly, true, true}, {emptyOption, false, false}}) {
        PortCapture capture;
        capture.ports = {
            port("1", {}, {node("IOPortFeaturePowerIn", "Power In", {}, {one.source})})};
        const explain::PortPower power = *explained(capture).ports.at(0).story.power;
        EXPECT_EQ(power.sources.at(0).name, "USB-PD");
        EXPECT_EQ(power.sources.at(0).winning, one.winning) << one.source.name;
        EXPECT_EQ(power.contract.has_value(), one.contract) << one.source.name;
    }
}

TEST(CableFacts, RatingsFromTheEmarkerOr3AWithoutOne)
{
    struct Case {
        std::optional<std::uint32_t> cableVdo; // none: SOP' with "Metadata" {}
        bool connected;
        bool present;
        std::optional<double> gbps;
        std::optional<std::int64_t> milliamps;
        std::optional<std::int64_t> millivolts;
        std::optional<std::int64_t> watts;
    };
    const std::vector<Case> cases = {
        {passiveCableVdo(3, 2, 0, false), true, true, 40, 5000, 20000, 100},
        {passiveCableVdo(0, 1, 0, false), true, true, 0.48, 3000, 20000, 60},
        {passiveCableVdo(4, 2, 1, false), true, true, 80, 5000, 30000, 150},
        {passiveCableVdo(2, 2, 2, false), true, true, 10, 5000, 40000, 200},
        {passiveCableVdo(1, 2, 3, true), true, true, 5, 5000, 50000, 240}, // EPR: 48 V
        {std::nullopt, true, true, std::nullopt, 3000, 20000, 60},
        {std::nullopt, false, false, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
    };
    for (const Case &one : cases) {
        CapturedEntry plug = one.cableVdo ? cablePlug(0x1c600522, *one.cableVdo)
                                          : node("IOPortTransportComponentCCUSBPDSOPp", "SOP'",
                                                 {{"Metadata", dictionary({})}});
        PortCapture capture;
        capture.ports = {port("1", {{"ConnectionActive", boolean(true, one.connected)}},
                              {node("IOPortTransportStateCC", "CC", {}, {plug})})};
        const std::optional<explain::CableFacts> cable = explained(capture).ports.at(0).story.cable;
        const std::string label = one.cableVdo ? pd::hex32(*one.cableVdo) : "no e-marker";
        ASSERT_EQ(cable.has_value(), one.present) << label;
        if (!cable) {
            continue;
        }
        EXPECT_EQ(cable->eMarked, one.cableVdo.has_value()) << label;
        EXPECT_EQ(cable->maxGbps, one.gbps) << label;
        EXPECT_EQ(cable->maxCurrentMa, one.milliamps) << label;
        EXPECT_EQ(cable->maxVoltageMv, one.millivolts) << label;
        EXPECT_EQ(cable->maxPowerW, one.watts) << label;
    }
}

// Keys that are numbers on one machine and booleans on another, values of
// the wrong type, sets in any order: read, or unknown, never guessed.
TEST(CaptureQuirks, EachReadOrLeftUnknown)
{
    struct Case {
        const char *what;
        Members portProperties;
        std::optional<bool> connected;
        Json pinAssignment;
    };
    const std::vector<Case> cases = {
        {"booleans",
         {{"ConnectionActive", boolean(true, true)},
          {"DisplayPortPinAssignment", boolean(true, true)}},
         true,
         true},
        {"numbers",
         {{"ConnectionActive", number(0)}, {"DisplayPortPinAssignment", number(4)}},
         false,
         4},
        {"wrong types",
         {{"ConnectionActive", text("Yes")}, {"DisplayPortPinAssignment", text("D")}},
         std::nullopt,
         nullptr},
    };
    for (const Case &one : cases) {
        PortCapture capture;
        capture.ports = {port("1", one.portProperties, {})};
        const explain::PortStory story = explained(capture).ports.at(0).story;
        EXPECT_EQ(story.connected, one.connected) << one.what;
        ASSERT_TRUE(story.data.displayPort) << one.what;
        EXPECT_EQ(story.data.displayPort->pinAssignment, one.pinAssignment) << one.what;
    }
}

TEST(CaptureQuirks, WrongShapesAnywhereGiveUnknownsNotFailures)
{
    CapturedEntry odd =
        source("USB-PD", {number(5), text("x"), dictionary({{"Voltage (mV)", text("5 V")}})});
    odd.properties.push_back({"WinningPowerSourceOption", number(1)});
    CapturedEntry plug =
        node("IOPortTransportComponentCCUSBPDSOPp", "SOP'",
             {{"Metadata", dictionary({{"VDOs", text("none")}, {"Vendor ID", number(-1)}})}});
    CapturedEntry sop = node("IOPortTransportComponentCCUSBPDSOP", "SOP",
                             {{"Metadata", number(3)}, {"Specification Revision", text("3")}});
    PortCapture capture;
    capture.ports = {
        port("1",
             {{"ConnectionActive", boolean(false)},
              {"TransportsActive", strings({})},
              {"TransportsSupported", number(7)}},
             {node("IOPortTransportStateCC", "CC", {{"Metadata", dictionary({})}}, {sop, plug}),
              node("IOPortFeaturePowerIn", "Power In", {}, {odd})})};
    capture.loose = {node("IOPortTransportStateUSB2", "USB2", {{"ParentPortNumber", text("1")}})};
    const Explanation explanation = explained(capture);
    ASSERT_EQ(explanation.ports.size(), 1u);
    const explain::PortStory &story = explanation.ports[0].story;
    ASSERT_TRUE(story.power);
    ASSERT_EQ(story.power->sources.at(0).options.size(), 1u);
    EXPECT_EQ(story.power->sources[0].options[0].voltageMv, std::nullopt);
    EXPECT_FALSE(story.power->contract);
    ASSERT_TRUE(story.partner);
    EXPECT_EQ(story.partner->vendorId, std::nullopt);
    EXPECT_EQ(story.partner->pdRevision, std::nullopt);
    EXPECT_EQ(story.connected, std::nullopt);
    EXPECT_FALSE(story.cable); // connection unknown and no e-marker read
    EXPECT_FALSE(explain::explanationText(explanation).empty());
    EXPECT_FALSE(explain::explanationJson(explanation).empty());
}

// A power that does not fit in 64 bits is unknown, never a wrapped number.
TEST(CaptureQuirks, PowersTooLargeToMultiplyAreUnknown)
{
    const PropertyValue huge =
        dictionary({{"Voltage (mV)", number(INT64_MAX)}, {"Max Current (mA)", number(2)}});
    const PropertyValue menu = walk_builder::array({dictionary(
        {{"Index", number(0)}, {"MaxVoltage", number(INT64_MAX)}, {"MaxCurrent", number(2)}})});
    PortCapture capture;
    capture.ports = {
        port("1", {}, {node("IOPortFeaturePowerIn", "Power In", {}, {source("USB-PD", {huge})})})};
    capture.powerManagers = {node("AppleSmartBattery", "AppleSmartBattery",
                                  {{"AdapterDetails", dictionary({{"UsbHvcMenu", menu}})}})};
    const Explanation explanation = explained(capture);
    EXPECT_EQ(explanation.ports.at(0).story.power->sources.at(0).options.at(0).maxPowerMw,
              std::nullopt);
    const std::string words = explain::explanationText(explanation);
    EXPECT_NE(words.find("its menu: 0: 9223372036854775.807 V 0.002 A\n"), std::string::npos)
        << words;
}

// "Power In" decides: inactive, it has no contract and no winner, whatever
// a source's " [*]" or winning option says, and the mark is noted once.
TEST(PowerIn, ItsActiveDecidesTheContract)
{
    const PropertyValue option = fixedOption(20000, 4700);
    struct Case {
        const char *what;
        Members powerIn;
        bool marked;
        bool contract;
        Json active;
        std::size_t notes;
    };
    const std::vector<Case> cases = {
        {"inactive, a stale mark", {{"Active", boolean(true, false)}}, true, false, false, 1},
        {"inactive, no mark", {{"Active", boolean(true, false)}}, false, false, false, 0},
        {"active", {{"Active", boolean(true, true)}}, true, true, true, 0},
        {"not said", {}, true, true, nullptr, 0},
    };
    for (const Case &one : cases) {
        PortCapture capture;
        capture.ports = {port(
            "1", {{"ConnectionActive", boolean(true, true)}},
            {node("IOPortFeaturePowerIn", "Power In", one.powerIn,
                  {source("USB-PD", {fixedOption(20000, 4700)}, one.marked ? &option : nullptr),
                   source("Brick ID", {fixedOption(5000, 500)})})})};
        const Explanation explanation = explained(capture);
        const explain::PortPower &power = *explanation.ports.at(0).story.power;
        EXPECT_EQ(power.contract.has_value(), one.contract) << one.what;
        EXPECT_EQ(power.sources.at(0).winning, one.contract) << one.what;
        EXPECT_EQ(explanation.notes.size(), one.notes) << one.what;
        const Json document = Json::parse(explain::explanationJson(explanation));
        EXPECT_EQ(document["ports"][0]["power"]["active"], one.active) << one.what;
        if (!one.contract) {
            EXPECT_EQ(document["ports"][0]["power"]["sources"][0]["winning_option"], nullptr)
                << one.what;
        }
    }
}

TEST(PowerIn, AMagSafePortWithNothingOnItIsNotCalledPowered)
{
    const PropertyValue earlier = fixedOption(20000, 4700);
    CapturedEntry magSafe =
        port("1", {{"ConnectionActive", boolean(true, false)}},
             {node("IOPortFeaturePowerIn", "Power In", {{"Active", boolean(true, false)}},
                   {source("USB-PD", {fixedOption(20000, 4700)}, &earlier)})});
    magSafe.properties[0].value = text("MagSafe 3");
    magSafe.properties[2].value = text("Port-MagSafe 3@1");
    PortCapture capture;
    capture.ports = {magSafe};
    const Explanation explanation = explained(capture);
    const std::string words = explain::explanationText(explanation);
    // The note is the program's to say on standard error, and the JSON's.
    EXPECT_EQ(explanation.notes,
              std::vector<std::string>({"Port-MagSafe 3@1: its Power In is inactive, so the \" "
                                        "[*]\" of USB-PD is a stale mark left from an earlier "
                                        "contract; no contract is live"}));
    EXPECT_EQ(words, "Charging: no port takes power: every Power In is inactive\n"
                     "\n"
                     "Port-MagSafe 3@1 (MagSafe 3): idle\n"
                     "  Power:   not powering the Mac: its Power In is inactive; USB-PD offers "
                     "20 V 4.7 A (94 W)\n");
    EXPECT_EQ(words.find("powered by"), std::string::npos);
    EXPECT_FALSE(explain::anyConcern(explanation));
}

// What the contract proves of a cable whose e-marker this Mac did not read:
// above 3 A, the charger read one, and the cable carries at least that.
TEST(CableFacts, TheContractsCurrentIsALowerBound)
{
    struct Case {
        std::int64_t contractMa;
        bool eMarked;
        std::int64_t milliamps;
        const char *basis;
        std::int64_t watts;
    };
    const std::vector<Case> cases = {
        {5000, false, 5000, "contract", 100}, {3000, false, 3000, "unmarked", 60},
        {2250, false, 3000, "unmarked", 60},  {5000, true, 5000, "e-marker", 100},
        {3000, true, 5000, "e-marker", 100},
    };
    for (const Case &one : cases) {
        const PropertyValue contract = fixedOption(20000, one.contractMa);
        std::vector<CapturedEntry> below;
        if (one.eMarked) {
            below.push_back(cablePlug(0x1c600522, passiveCableVdo(3, 2, 0, false)));
        }
        PortCapture capture;
        capture.ports = {port("1", {{"ConnectionActive", boolean(true, true)}},
                              {node("IOPortTransportStateCC", "CC", {}, below),
                               node("IOPortFeaturePowerIn", "Power In", {},
                                    {source("USB-PD", {fixedOption(20000, 5000)}, &contract)})})};
        const Explanation explanation = explained(capture);
        const Json cable = Json::parse(explain::explanationJson(explanation))["ports"][0]["cable"];
        const std::string label = std::to_string(one.contractMa) + (one.eMarked ? " marked" : "");
        EXPECT_EQ(cable["max_current_ma"], one.milliamps) << label;
        EXPECT_EQ(cable["max_current_basis"], one.basis) << label;
        EXPECT_EQ(cable["max_power_w"], one.watts) << label;
    }
    PortCapture capture;
    const PropertyValue at5A = fixedOption(20000, 5000);
    capture.ports = {port("1", {{"ConnectionActive", boolean(true, true)}},
                          {node("IOPortFeaturePowerIn", "Power In", {},
                                {source("USB-PD", {fixedOption(20000, 5000)}, &at5A)})})};
    const std::string words = explain::explanationText(explained(capture));
    EXPECT_NE(words.find("  Cable:   no e-marker read on this Mac, but the contract takes 5 A: "
                         "the charger read one, and the cable carries at least 5 A\n"),
              std::string::npos)
        << words;
    EXPECT_EQ(words.find("at most 3 A"), std::string::npos) << words;
}

} // namespace
