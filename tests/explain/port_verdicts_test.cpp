// The verdicts of a port: which code, at which severity, for which facts.
#include <gtest/gtest.h>

#include "capture_builder.h"
#include "explain/analysis/explanation.h"
#include "explain/analysis/port_verdicts.h"

namespace {

using namespace capture_builder;
using explain::Explanation;
using explain::PortCapture;
using explain::Severity;
using walk_builder::boolean;
using walk_builder::number;
using walk_builder::text;

using Found = std::vector<std::pair<std::string, Severity>>;

Found found(const std::vector<explain::Verdict> &verdicts)
{
    Found codes;
    for (const explain::Verdict &verdict : verdicts) {
        codes.emplace_back(verdict.code, verdict.severity);
        EXPECT_FALSE(verdict.text.empty()) << verdict.code;
        EXPECT_FALSE(verdict.evidence.empty()) << verdict.code;
    }
    return codes;
}

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
         {{"cable_limits_power", Severity::warning}}},
        {"3 A taken of 5 A, a 3 A e-marker",
         poweredPort(at3A, {marked3A}),
         {{"cable_limits_power", Severity::warning}}},
        {"3 A taken of 5 A, a 5 A e-marker",
         poweredPort(at3A, {marked5A}),
         {{"power_below_offer", Severity::info}}},
        {"5 A without an e-marker",
         poweredPort(at5A, {}),
         {{"over_3a_without_emarker", Severity::info}}},
        {"5 A with a 5 A e-marker", poweredPort(at5A, {marked5A}), {}},
        {"5 A on a MagSafe port", magSafe, {}},
        {"a winning option not offered",
         poweredPort(at12V, {marked5A}),
         {{"sources_disagree", Severity::warning}, {"power_below_offer", Severity::info}}},
        {"EPR claimed at 20 V",
         poweredPort(at5A, {cablePlug(0x1c600522, passiveCableVdo(3, 2, 0, true))}),
         {{"epr_claim_20v_cable", Severity::problem}}},
        {"vendor 0xffff",
         poweredPort(at5A, {cablePlug(0x1c60ffff, passiveCableVdo(3, 2, 0, false))}),
         {{"untraceable_cable", Severity::warning}}},
        {"vendor 0x0000",
         poweredPort(at5A, {cablePlug(0x1c600000, passiveCableVdo(3, 2, 0, false))}),
         {{"untraceable_cable", Severity::warning}}},
        {"display without a link",
         port("1", {{"HPDAsserted", boolean(true, true)}},
              {node("IOPortTransportStateDisplayPort", "DisplayPort",
                    {{"LaneCount", number(0)}, {"LinkRateDescription", text("No Link")}})}),
         {{"display_detected_no_link", Severity::warning}}},
        {"display on 2 lanes",
         port("1", {},
              {node("IOPortTransportStateDisplayPort", "DisplayPort",
                    {{"HPD_StateDescription", text("High")}, {"LaneCount", number(2)}})}),
         {}},
        {"USB 2 device where USB 3 is provisioned",
         usb(0x200),
         {{"usb_below_provisioned", Severity::info}}},
        {"USB 3 device running USB 2", usb(0x310), {{"usb_below_provisioned", Severity::warning}}},
        {"unknown device running USB 2",
         usb(std::nullopt),
         {{"usb_below_provisioned", Severity::warning}}},
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
              (Found{{"sources_disagree", Severity::warning}}));
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
