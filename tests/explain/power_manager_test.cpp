// The power manager's view: the adapter, each port controller's raw PDOs
// and request, live or stale, and what contradicts what.
#include <gtest/gtest.h>

#include "capture_builder.h"
#include "explain/analysis/explanation.h"
#include "explain/output/text_render.h"

namespace {

using namespace capture_builder;
using explain::Explanation;
using explain::PortCapture;
using explain::PowerManagerStory;
using explain::Severity;
using walk_builder::array;
using walk_builder::dictionary;
using walk_builder::number;

// The 60 W charger's list: five fixed PDOs, the PPS APDO 0xc9a42d3c stored
// sign-extended, then empty slots.
PropertyValue sixtyWattSlots()
{
    std::vector<PropertyValue> slots;
    for (std::int64_t pdo : {159486252LL, 184620LL, 246060LL, 307500LL, 409900LL, -911987396LL}) {
        slots.push_back(number(pdo));
    }
    for (int i = 0; i < 7; ++i) {
        slots.push_back(number(0));
    }
    return array(std::move(slots));
}

PropertyValue controllerInfo(PropertyValue slots, std::int64_t rdo, std::int64_t maxPower)
{
    return dictionary({{"PortControllerPortPDO", std::move(slots)},
                       {"PortControllerNPDOs", number(5)},
                       {"PortControllerActiveContractRdo", number(rdo)},
                       {"PortControllerMaxPower", number(maxPower)}});
}

PropertyValue adapter(std::int64_t millivolts, std::int64_t milliamps, std::int64_t index)
{
    return dictionary({{"Watts", number(60)},
                       {"AdapterVoltage", number(millivolts)},
                       {"Current", number(milliamps)},
                       {"UsbHvcHvcIndex", number(index)},
                       {"FamilyCode", number(-536854518)},
                       {"UsbHvcMenu", array({dictionary({{"Index", number(0)},
                                                         {"MaxVoltage", number(5000)},
                                                         {"MaxCurrent", number(3000)}}),
                                             dictionary({{"Index", number(1)},
                                                         {"MaxVoltage", number(20000)},
                                                         {"MaxCurrent", number(3000)}})})}});
}

PowerManagerStory managerOf(Members properties, std::vector<CapturedEntry> ports = {})
{
    PortCapture capture;
    capture.ports = std::move(ports);
    capture.powerManagers = {node("AppleSmartBattery", "AppleSmartBattery", std::move(properties))};
    Explanation explanation;
    explain::explainPorts(capture, {}, explanation);
    return explanation.powerManagers.at(0);
}

// Request for PDO 5 (20 V): 3 A operating and maximum.
const std::int64_t request20V3A = 0x5004b12c;

TEST(PowerManager, NonZeroSlotsInOrderAndTheRequestResolvedAgainstThem)
{
    const PowerManagerStory manager = managerOf(
        {{"PortControllerInfo", array({controllerInfo(sixtyWattSlots(), request20V3A, 60000)})},
         {"AdapterDetails", adapter(20000, 3000, 1)},
         {"PowerTelemetryData", dictionary({{"SystemPowerIn", number(41250)}})}});
    ASSERT_EQ(manager.portControllers.size(), 1u);
    const explain::PortControllerFacts &controller = manager.portControllers[0];
    EXPECT_EQ(controller.pdos,
              (std::vector<std::uint32_t>{0x0981912c, 184620, 246060, 307500, 409900, 0xc9a42d3c}));
    EXPECT_EQ(controller.pdosJson.at(5)["type"], "pps");
    EXPECT_TRUE(controller.live);
    EXPECT_EQ(controller.requestJson["resolved"], true);
    EXPECT_EQ(controller.requestJson["object_position"], 5);
    EXPECT_EQ(manager.inputPowerMw, 41250);
    EXPECT_EQ(manager.adapter->menu.size(), 2u);
    EXPECT_TRUE(manager.verdicts.empty());
    ASSERT_EQ(manager.notes.size(), 1u);
    EXPECT_NE(manager.notes[0].find("sign-extended"), std::string::npos);
}

TEST(PowerManager, VerdictsOnItsOwnFacts)
{
    struct Case {
        const char *what;
        Members properties;
        std::vector<std::pair<std::string, Severity>> expected;
    };
    const std::vector<Case> cases = {
        {"PDOs left from an earlier charger",
         {{"PortControllerInfo", array({controllerInfo(sixtyWattSlots(), 0, 0)})}},
         {{"stale_power_manager_pdos", Severity::info}}},
        {"a request past the list",
         {{"PortControllerInfo", array({controllerInfo(sixtyWattSlots(), 0x7004b12c, 60000)})}},
         {{"request_out_of_range", Severity::problem}}},
        {"a request for the last PDO",
         {{"PortControllerInfo",
           array({controllerInfo(array({number(0x0001912c), number(0x0002d12c), number(0x0004b12c),
                                        number(0x000641f4)}),
                                 0x4007d1f4, 100000)})}},
         {}},
        {"a request beyond its PDO",
         {{"PortControllerInfo", array({controllerInfo(sixtyWattSlots(), 0x5007d1f4, 60000)})}},
         {{"request_exceeds_pdo", Severity::problem}, {"request_exceeds_pdo", Severity::problem}}},
        {"a list that starts at 9 V",
         {{"PortControllerInfo",
           array({controllerInfo(array({number(184620), number(0x0001912c)}), 0, 0)})}},
         {{"first_pdo_not_5v", Severity::warning},
          {"pdo_order", Severity::warning},
          {"stale_power_manager_pdos", Severity::info}}},
        {"the adapter's voltage against the request",
         {{"PortControllerInfo", array({controllerInfo(sixtyWattSlots(), request20V3A, 60000)})},
          {"AdapterDetails", adapter(15000, 3000, 1)}},
         {{"sources_disagree", Severity::warning}, {"sources_disagree", Severity::warning}}},
        {"the adapter's current against the request",
         {{"PortControllerInfo", array({controllerInfo(sixtyWattSlots(), request20V3A, 60000)})},
          {"AdapterDetails", adapter(20000, 2250, 1)}},
         {{"sources_disagree", Severity::warning}}},
        {"the adapter at the request's operating current, below its maximum",
         {{"PortControllerInfo", array({controllerInfo(sixtyWattSlots(), 0x5003852c, 60000)})},
          {"AdapterDetails", adapter(20000, 2250, 1)}},
         {}},
        {"wrong types everywhere",
         {{"PortControllerInfo",
           array({number(1), dictionary({{"PortControllerPortPDO", number(3)}})})},
          {"AdapterDetails", number(4)},
          {"PowerTelemetryData", array({})}},
         {}},
    };
    for (const Case &one : cases) {
        std::vector<std::pair<std::string, Severity>> codes;
        for (const explain::Verdict &verdict : managerOf(one.properties).verdicts) {
            codes.emplace_back(verdict.code, verdict.severity);
        }
        EXPECT_EQ(codes, one.expected) << one.what;
    }
}

TEST(PowerManager, ComparedWithAPortOnlyWhenOneHasAContractAndSaysWhy)
{
    const PropertyValue at9V = fixedOption(9000, 3000);
    CapturedEntry withContract = port("1", {},
                                      {node("IOPortFeaturePowerIn", "Power In", {},
                                            {source("USB-PD", {fixedOption(9000, 3000)}, &at9V)})});
    CapturedEntry other = withContract;
    other.location = "2";
    other.properties[2].value = walk_builder::text("Port-USB-C@2");
    const Members properties = {{"AdapterDetails", adapter(20000, 3000, 1)}};

    const PowerManagerStory one = managerOf(properties, {withContract});
    EXPECT_EQ(one.tiedPort, "Port-USB-C@1");
    ASSERT_EQ(one.verdicts.size(), 1u);
    EXPECT_EQ(one.verdicts[0].code, "sources_disagree");
    EXPECT_NE(one.verdicts[0].text.find("the only port with a contract"), std::string::npos);

    const PowerManagerStory two = managerOf(properties, {withContract, other});
    EXPECT_EQ(two.tiedPort, "");
    EXPECT_TRUE(two.verdicts.empty());
}

// The adapter in use against the one port's winning option (20 V 5 A):
// beyond 5% either way, in voltage or current, and naming both.
TEST(PowerManager, TheAdapterInUseAgainstThePortsWinningOption)
{
    const PropertyValue at20V5A = fixedOption(20000, 5000);
    const CapturedEntry charging =
        port("1", {},
             {node("IOPortFeaturePowerIn", "Power In", {},
                   {source("USB-PD", {fixedOption(20000, 5000)}, &at20V5A)})});
    struct Case {
        const char *what;
        Members properties;
        std::string text; // empty: no verdict
        std::string key;
    };
    const std::vector<Case> cases = {
        {"rounded, within 5%", {{"AdapterDetails", adapter(20000, 4990, 3)}}, "", ""},
        {"4% more", {{"AdapterDetails", adapter(20000, 5200, 3)}}, "", ""},
        {"6% more",
         {{"AdapterDetails", adapter(20000, 5300, 3)}},
         "the adapter in use (AdapterDetails) is at 20 V 5.3 A, but Port-USB-C@1's winning option "
         "is 20 V 5 A",
         "AdapterDetails"},
        {"a 70 W adapter read on another day",
         {{"AdapterDetails", adapter(20000, 3500, 3)}},
         "the adapter in use (AdapterDetails) is at 20 V 3.5 A, but Port-USB-C@1's winning option "
         "is 20 V 5 A",
         "AdapterDetails"},
        {"the raw adapter in use",
         {{"AppleRawAdapterDetails", array({adapter(20000, 3500, 3)})}},
         "the adapter in use (AppleRawAdapterDetails) is at 20 V 3.5 A",
         "AppleRawAdapterDetails"},
        {"a raw adapter not chosen is not compared",
         {{"AppleRawAdapterDetails", array({adapter(20000, 3500, 255)})}},
         "",
         ""},
    };
    for (const Case &one : cases) {
        const PowerManagerStory manager = managerOf(one.properties, {charging});
        std::vector<const explain::Verdict *> found;
        for (const explain::Verdict &verdict : manager.verdicts) {
            if (verdict.code == "sources_disagree") {
                found.push_back(&verdict);
            }
        }
        if (one.text.empty()) {
            EXPECT_TRUE(found.empty()) << one.what << ": " << found.front()->text;
            continue;
        }
        ASSERT_EQ(found.size(), 1u) << one.what;
        EXPECT_NE(found[0]->text.find(one.text), std::string::npos)
            << one.what << ": " << found[0]->text;
        ASSERT_EQ(found[0]->evidence.size(), 2u) << one.what;
        EXPECT_EQ(found[0]->evidence[0].key, one.key) << one.what;
        EXPECT_EQ(found[0]->evidence[1].entry,
                  (std::vector<std::string>{"Port-USB-C@1", "Power In", "USB-PD [*]"}))
            << one.what;
    }
}

// External power, an adapter in use above 0 W, nothing measured coming in,
// the battery discharging: each fact is needed, and none is assumed.
TEST(PowerManager, AnAdapterThatGivesNothing)
{
    const Members all = {{"ExternalConnected", walk_builder::boolean(true, true)},
                         {"AdapterDetails", adapter(20000, 4990, 1)},
                         {"PowerTelemetryData", dictionary({{"SystemPowerIn", number(0)}})},
                         {"InstantAmperage", number(-483)}};
    const auto without = [&all](const char *key) {
        Members some;
        for (const DictionaryMember &member : all) {
            if (member.key != key) {
                some.push_back(member);
            }
        }
        return some;
    };
    Members charging = all;
    charging.back().value = number(120);
    Members notConnected = all;
    notConnected.front().value = walk_builder::boolean(true, false);
    Members drawing = all;
    drawing[2].value = dictionary({{"SystemPowerIn", number(41250)}});
    struct Case {
        const char *what;
        Members properties;
        bool fires;
    };
    const std::vector<Case> cases = {
        {"every fact", all, true},
        {"no external power", notConnected, false},
        {"external power not known", without("ExternalConnected"), false},
        {"no adapter", without("AdapterDetails"), false},
        {"nothing measured", without("PowerTelemetryData"), false},
        {"power coming in", drawing, false},
        {"the battery charging", charging, false},
        {"the battery's current not known", without("InstantAmperage"), false},
    };
    for (const Case &one : cases) {
        const PowerManagerStory manager = managerOf(one.properties);
        const explain::Verdict *found = nullptr;
        for (const explain::Verdict &verdict : manager.verdicts) {
            if (verdict.code == "adapter_not_drawing") {
                found = &verdict;
            }
        }
        ASSERT_EQ(found != nullptr, one.fires) << one.what;
        if (found == nullptr) {
            continue;
        }
        EXPECT_EQ(found->severity, Severity::warning);
        EXPECT_EQ(found->text, "external power is connected and the 60 W adapter is in use, but "
                               "the measured input is 0 W and the battery discharges at 0.483 A");
        std::vector<std::string> keys;
        for (const explain::Evidence &evidence : found->evidence) {
            keys.push_back(evidence.key);
        }
        EXPECT_EQ(keys, (std::vector<std::string>{"ExternalConnected", "AdapterDetails",
                                                  "PowerTelemetryData", "InstantAmperage"}));
    }
}

TEST(PowerManager, ItsBlockInText)
{
    PortCapture capture;
    capture.powerManagers = {node(
        "AppleSmartBattery", "AppleSmartBattery",
        {{"PortControllerInfo", array({controllerInfo(sixtyWattSlots(), request20V3A, 60000)})},
         {"AdapterDetails", adapter(20000, 3000, 1)},
         {"ExternalConnected", walk_builder::boolean(true, true)},
         {"IsCharging", number(1)}})};
    capture.powerManagers[0].registryId = 0x100000a2b;
    Explanation explanation;
    explain::explainPorts(capture, {}, explanation);
    const std::string text = explain::explanationText(explanation);
    EXPECT_EQ(text.substr(0, text.find("  Charger:")),
              "Charging: a 60 W contract (port controller 0); what the Mac draws is not in the "
              "capture\n"
              "\n"
              "Power manager AppleSmartBattery (registry ID 0x100000a2b)\n"
              "  State:   external power connected, charging\n"
              "  Adapter: 60 W adapter, in use, at 20.00 V 3.00 A; its menu: 0: 5 V 3 A (15 W), "
              "1: 20 V 3 A (60 W); entry 1 chosen\n");
    EXPECT_NE(text.find("  Charger: port controller 0: live contract (60 W at most)\n"
                        "             PDO 1: Fixed 5.00 V 3.00 A (15 W)"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Request for PDO 5 (Fixed 20.00 V 3.00 A)"), std::string::npos) << text;
}

} // namespace
