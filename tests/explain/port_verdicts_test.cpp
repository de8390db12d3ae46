// The verdicts of a port: which code, at which severity, for which facts.
#include <gtest/gtest.h>

#include <tuple>

#include "capture_builder.h"
#include "explain/analysis/explanation.h"
#include "explain/analysis/port_verdicts.h"
#include "explain/output/json_render.h"
#include "explain/output/text_render.h"

namespace {

using namespace capture_builder;
using explain::Explanation;
using explain::PortCapture;
using explain::Severity;
using walk_builder::boolean;
using walk_builder::number;
using walk_builder::text;

// A verdict's code, severity and evidence ("entry/names key" each).
using Finding = std::tuple<std::string, Severity, std::vector<std::string>>;
using Found = std::vector<Finding>;

Found found(const std::vector<explain::Verdict> &verdicts)
{
    Found codes;
    for (const explain::Verdict &verdict : verdicts) {
        std::vector<std::string> evidence;
        for (const explain::Evidence &one : verdict.evidence) {
            std::string entry;
            for (const std::string &name : one.entry) {
                entry += (entry.empty() ? "" : "/") + name;
            }
            evidence.push_back(entry + " " + one.key);
        }
        EXPECT_FALSE(verdict.text.empty()) << verdict.code;
        codes.emplace_back(verdict.code, verdict.severity, std::move(evidence));
    }
    return codes;
}

// The evidence the power verdicts of poweredPort() name.
const std::string winning = "Port-USB-C@1/Power In/USB-PD [*] WinningPowerSourceOption";
const std::string offered = "Port-USB-C@1/Power In/USB-PD [*] PowerSourceOptions";
const std::string eMarker = "Port-USB-C@1/CC/SOP' Metadata";
// No e-marker: the SOP' entry the port's CC transport does not hold.
const std::string noEMarker = "Port-USB-C@1/CC/SOP' Metadata";

// A connected port whose USB-PD source offers 5 V 3 A and 20 V 5 A and won
// at `contract`, with `below` under its CC transport.
CapturedEntry poweredPort(const PropertyValue &contract, std::vector<CapturedEntry> below,
                          Members extra = {}, std::vector<CapturedEntry> others = {})
{
    extra.push_back({"ConnectionActive", boolean(true, true)});
    others.push_back(node("IOPortTransportStateCC", "CC", {}, std::move(below)));
    others.push_back(
        node("IOPortFeaturePowerIn", "Power In", {},
             {source("USB-PD", {fixedOption(20000, 5000), fixedOption(5000, 3000)}, &contract)}));
    return port("1", std::move(extra), std::move(others));
}

Found portVerdicts(const CapturedEntry &port)
{
    PortCapture capture;
    capture.ports = {port};
    Explanation explanation;
    explain::explainPorts(capture, walk_builder::someVendors(), explanation);
    return found(explanation.ports.at(0).story.verdicts);
}

TEST(PortVerdicts, EachCodeWhenItsFactsHold)
{
    const PropertyValue at3A = fixedOption(20000, 3000);
    const PropertyValue at5A = fixedOption(20000, 5000);
    const PropertyValue at12V = fixedOption(12000, 3000);
    const CapturedEntry marked5A = cablePlug(0x1c600522, passiveCableVdo(3, 2, 0, false));
    const CapturedEntry marked3A = cablePlug(0x1c600522, passiveCableVdo(3, 1, 0, false));
    const std::vector<std::string> usbEvidence = {"Port-USB-C@1 TransportsProvisioned",
                                                  "Port-USB-C@1 TransportsActive"};
    std::vector<std::string> bcdEvidence = usbEvidence;
    bcdEvidence.push_back("Port-USB-C@1/USB2/Flash Disk bcdUSB");
    const auto usb = [](std::optional<std::int64_t> bcd) {
        Members device{{"idVendor", number(0x90c)}, {"idProduct", number(0x1000)}};
        if (bcd) {
            device.push_back({"bcdUSB", number(*bcd)});
        }
        return port("1",
                    {{"ConnectionActive", boolean(true, true)},
                     {"TransportsProvisioned", strings({"CC", "USB2", "USB3"})},
                     {"TransportsActive", strings({"CC", "USB2"})}},
                    {node("IOPortTransportStateUSB2", "USB2",
                          {{"DataRateDescription", text("480 Mbps (High Speed)")}},
                          {node("IOUSBHostDevice", "Flash Disk", device)})});
    };
    const CapturedEntry vendorInMetadata =
        node("IOPortTransportComponentCCUSBPDSOPp", "SOP'",
             {{"Metadata", walk_builder::dictionary({{"Vendor ID", number(0xffff)}})}});
    CapturedEntry magSafe = poweredPort(at5A, {});
    magSafe.properties[0].value = text("MagSafe 3"); // no Type-C cable to judge
    struct Case {
        const char *what;
        CapturedEntry port;
        Found expected;
    };
    const std::vector<Case> cases = {
        {"3 A taken of 5 A, no e-marker",
         poweredPort(at3A, {}),
         {{"cable_limits_power", Severity::warning, {winning, offered, noEMarker}}}},
        {"3 A taken of 5 A, a 3 A e-marker",
         poweredPort(at3A, {marked3A}),
         {{"cable_limits_power", Severity::warning, {winning, offered, eMarker}}}},
        {"3 A taken of 5 A, a 5 A e-marker",
         poweredPort(at3A, {marked5A}),
         {{"power_below_offer", Severity::info, {winning, offered}}}},
        {"5 A without an e-marker",
         poweredPort(at5A, {}),
         {{"over_3a_without_emarker", Severity::info, {winning, noEMarker}}}},
        {"5 A with a 5 A e-marker", poweredPort(at5A, {marked5A}), {}},
        {"5 A on a MagSafe port", magSafe, {}},
        {"a winning option not offered",
         poweredPort(at12V, {marked5A}),
         {{"sources_disagree", Severity::warning, {winning, offered}},
          {"power_below_offer", Severity::info, {winning, offered}}}},
        {"EPR claimed at 20 V",
         poweredPort(at5A, {cablePlug(0x1c600522, passiveCableVdo(3, 2, 0, true))}),
         {{"epr_claim_20v_cable", Severity::problem, {eMarker}}}},
        {"vendor 0xffff",
         poweredPort(at5A, {cablePlug(0x1c60ffff, passiveCableVdo(3, 2, 0, false))}),
         {{"untraceable_cable", Severity::warning, {eMarker}}}},
        {"vendor 0xffff in Metadata alone",
         poweredPort(at5A, {vendorInMetadata}),
         {{"untraceable_cable", Severity::warning, {eMarker}}}},
        {"vendor 0x0000",
         poweredPort(at5A, {cablePlug(0x1c600000, passiveCableVdo(3, 2, 0, false))}),
         {{"untraceable_cable", Severity::warning, {eMarker}}}},
        {"product 0x0000",
         poweredPort(at5A, {cablePlug(0x1c600522, passiveCableVdo(3, 2, 0, false), 0x190)}),
         {{"untraceable_cable", Severity::warning, {eMarker}}}},
        {"display without a link, by the port's HPDAsserted",
         port("1", {{"HPDAsserted", boolean(true, true)}},
              {node("IOPortTransportStateDisplayPort", "DisplayPort",
                    {{"LaneCount", number(0)}, {"LinkRateDescription", text("No Link")}})}),
         {{"display_detected_no_link",
           Severity::warning,
           {"Port-USB-C@1 HPDAsserted", "Port-USB-C@1/DisplayPort LaneCount"}}}},
        {"display without a link, by its transport's HPD state",
         port("1", {},
              {node("IOPortTransportStateDisplayPort", "DisplayPort",
                    {{"HPD_StateDescription", text("High")}, {"LaneCount", number(0)}})}),
         {{"display_detected_no_link",
           Severity::warning,
           {"Port-USB-C@1/DisplayPort HPD_StateDescription",
            "Port-USB-C@1/DisplayPort LaneCount"}}}},
        {"display on 2 lanes",
         port("1", {},
              {node("IOPortTransportStateDisplayPort", "DisplayPort",
                    {{"HPD_StateDescription", text("High")}, {"LaneCount", number(2)}})}),
         {}},
        {"USB 2 device where USB 3 is provisioned",
         usb(0x200),
         {{"usb_below_provisioned", Severity::info, bcdEvidence}}},
        {"USB 3.0 device running USB 2",
         usb(0x300),
         {{"usb_below_provisioned", Severity::warning, bcdEvidence}}},
        {"USB 3 device running USB 2",
         usb(0x310),
         {{"usb_below_provisioned", Severity::warning, bcdEvidence}}},
        {"unknown device running USB 2",
         usb(std::nullopt),
         {{"usb_below_provisioned", Severity::warning, usbEvidence}}},
    };
    for (const Case &one : cases) {
        EXPECT_EQ(portVerdicts(one.port), one.expected) << one.what;
    }
}

TEST(PortVerdicts, TwoWinnersDisagree)
{
    const PropertyValue option = fixedOption(5000, 3000);
    PortCapture capture;
    capture.ports = {
        port("1", {},
             {node("IOPortFeaturePowerIn", "Power In", {},
                   {source("USB-PD", {option}, &option), source("TypeC", {option}, &option)})})};
    Explanation explanation;
    explain::explainPorts(capture, {}, explanation);
    EXPECT_EQ(found(explanation.ports.at(0).story.verdicts),
              (Found{{"sources_disagree",
                      Severity::warning,
                      {"Port-USB-C@1/Power In/USB-PD [*] WinningPowerSourceOption",
                       "Port-USB-C@1/Power In/TypeC [*] WinningPowerSourceOption"}}}));
}

TEST(PortVerdicts, TheDecodersNotesThatAreFindings)
{
    struct Case {
        std::string note;
        const char *code; // null: a note, not a finding
        Severity severity;
    };
    const std::vector<Case> cases = {
        {"asks for object position 0, which names no PDO", "request_out_of_range",
         Severity::problem},
        {"asks for PDO 7, past the 5 PDOs of CC/SOP SourceCapabilities; unresolved, read as fixed",
         "request_out_of_range", Severity::problem},
        {"asks an operating current of 6.00 A, more than the maximum current 3.00 A its PDO offers "
         "without capability mismatch set",
         "request_exceeds_pdo", Severity::problem},
        {"PDO 1 is Fixed 9.00 V 3.00 A, not the fixed 5 V supply the standard puts first",
         "first_pdo_not_5v", Severity::warning},
        {"PDO 3 (Fixed 9.00 V 3.00 A) follows PDO 2 (Fixed 15.00 V 3.00 A) though its voltage is "
         "lower; the standard orders them by rising voltage",
         "pdo_order", Severity::warning},
        {"ID header: reserved product type code 7", "reserved_code", Severity::warning},
        {"not decoded: a string is not a list of 32-bit objects", nullptr, Severity::info},
    };
    for (const Case &one : cases) {
        explain::PropertyExplanation property;
        property.entry = {"HPM", "Port-USB-C@1", "CC"};
        property.key = "RequestDataObject";
        property.notes = {one.note};
        const std::vector<explain::Verdict> verdicts = explain::propertyVerdicts({property}, 2);
        if (one.code == nullptr) {
            EXPECT_TRUE(verdicts.empty()) << one.note;
            continue;
        }
        ASSERT_EQ(verdicts.size(), 1u) << one.note;
        EXPECT_EQ(verdicts[0].code, one.code);
        EXPECT_EQ(verdicts[0].severity, one.severity) << one.note;
        EXPECT_EQ(verdicts[0].text, "CC RequestDataObject: " + one.note);
        EXPECT_EQ(verdicts[0].evidence.at(0).entry, property.entry);
    }
}

// The walk's ports, joined with the capture's or alone, name a finding's
// entry from below the port, as the manual says.
TEST(PortVerdicts, AFindingOfTheWalkNamesItsEntryBelowThePort)
{
    auto walkPort = [](const std::string &name) {
        explain::PropertyExplanation request;
        request.entry = {"AppleHPMARMSPMI", "HAL@C", name, "CC"};
        request.key = "RequestDataObject";
        request.notes = {"asks for object position 0, which names no PDO"};
        explain::PortExplanation walked;
        walked.entry = {"AppleHPMARMSPMI", "HAL@C", name};
        walked.properties = {request};
        return walked;
    };
    Explanation explanation;
    explanation.controllers.resize(1);
    explanation.controllers[0].ports = {walkPort("Port-USB-C@1"), walkPort("Port-USB-C@2")};
    PortCapture capture;
    capture.ports = {port("1", {}, {})};
    explain::explainPorts(capture, {}, explanation);
    ASSERT_EQ(explanation.ports.size(), 2u);
    for (const explain::PortAccount &account : explanation.ports) {
        ASSERT_EQ(account.story.verdicts.size(), 1u) << account.story.name;
        EXPECT_EQ(account.story.verdicts[0].text,
                  "CC RequestDataObject: asks for object position 0, which names no PDO")
            << account.story.name;
    }
}

// One warning and one problem, whole, as the text and the JSON show them.
TEST(PortVerdicts, AWarningAndAProblemAsTheyAreShown)
{
    PortCapture capture;
    capture.ports = {poweredPort(fixedOption(20000, 3000),
                                 {cablePlug(0x1c600522, passiveCableVdo(3, 1, 0, true))})};
    Explanation explanation;
    explain::explainPorts(capture, {}, explanation);
    const std::string text = explain::explanationText(explanation);
    EXPECT_NE(text.find("\n  Warning: the contract takes 3 A at 20 V where the charger offers 5 A; "
                        "the cable's e-marker says 3 A [cable_limits_power]\n"
                        "  Problem: the cable's e-marker claims EPR with a 20 V maximum; an EPR "
                        "cable must be rated 50 V [epr_claim_20v_cable]\n"),
              std::string::npos)
        << text;
    const explain::Json verdicts =
        explain::Json::parse(explain::explanationJson(explanation))["ports"][0]["verdicts"];
    EXPECT_EQ(verdicts, explain::Json::parse(R"([
        {"code": "cable_limits_power", "severity": "warning",
         "text": "the contract takes 3 A at 20 V where the charger offers 5 A; the cable's e-marker says 3 A",
         "evidence": [
             {"entry": ["Port-USB-C@1", "Power In", "USB-PD [*]"], "key": "WinningPowerSourceOption"},
             {"entry": ["Port-USB-C@1", "Power In", "USB-PD [*]"], "key": "PowerSourceOptions"},
             {"entry": ["Port-USB-C@1", "CC", "SOP'"], "key": "Metadata"}]},
        {"code": "epr_claim_20v_cable", "severity": "problem",
         "text": "the cable's e-marker claims EPR with a 20 V maximum; an EPR cable must be rated 50 V",
         "evidence": [{"entry": ["Port-USB-C@1", "CC", "SOP'"], "key": "Metadata"}]}])"));
}

TEST(PortVerdicts, OnlyWarningsAndProblemsAreConcerns)
{
    Explanation explanation;
    explanation.ports.resize(1);
    explanation.ports[0].story.verdicts = {{"power_below_offer", Severity::info, "x", {}}};
    EXPECT_FALSE(explain::anyConcern(explanation));
    explanation.powerManagers.resize(1);
    explanation.powerManagers[0].verdicts = {{"sources_disagree", Severity::warning, "x", {}}};
    EXPECT_TRUE(explain::anyConcern(explanation));
}

} // namespace
