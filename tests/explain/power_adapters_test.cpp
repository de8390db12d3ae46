// The power manager beside its PDOs: every adapter once and the one in use,
// their menus, the partners of "FedDetails", and the battery's state, each
// as captures hold it.
#include <gtest/gtest.h>

#include "capture_builder.h"
#include "explain/analysis/explanation.h"
#include "explain/output/json_render.h"
#include "explain/output/text_render.h"

namespace {

using namespace capture_builder;
using explain::Explanation;
using explain::Json;
using explain::PortCapture;
using explain::PowerManagerStory;
using walk_builder::array;
using walk_builder::boolean;
using walk_builder::dictionary;
using walk_builder::number;
using walk_builder::text;

Explanation explainedWith(Members properties, std::vector<CapturedEntry> ports = {})
{
    PortCapture capture;
    capture.ports = std::move(ports);
    capture.powerManagers = {powerManager(std::move(properties))};
    Explanation explanation;
    explain::explainPorts(capture, walk_builder::someVendors(), explanation);
    return explanation;
}

PowerManagerStory managerOf(Members properties, std::vector<CapturedEntry> ports = {})
{
    return explainedWith(std::move(properties), std::move(ports)).powerManagers.at(0);
}

// The M2 Max's two chargers: a 60 W adapter it did not choose, a 100 W one
// it did.
PropertyValue sixtyWattNotChosen()
{
    return adapterRecord(60, 20000, 3000, 255,
                         hvcMenu({{5000, 3000}, {9000, 3000}, {15000, 3000}, {20000, 3000}}),
                         {{"AdapterPowerTier", number(2)}});
}

PropertyValue hundredWattChosen()
{
    return adapterRecord(100, 20000, 4990, 3,
                         hvcMenu({{5000, 2960}, {9000, 2980}, {15000, 2990}, {20000, 4990}}),
                         {{"Description", text("pd charger")}});
}

// Apple's 70 W adapter, as the M4 Pro lists it raw, serial number and all.
PropertyValue appleSeventyWatt()
{
    return adapterRecord(68, 20000, 3390, 3,
                         hvcMenu({{5000, 2960}, {9000, 2980}, {15000, 2990}, {20000, 3390}}),
                         {{"Name", text("70W USB-C Power Adapter ")},
                          {"Manufacturer", text("Apple Inc.")},
                          {"Model", text("0x701C")},
                          {"AdapterID", number(28700)},
                          {"FwVersion", text("01030030")},
                          {"HwVersion", text("1.0")},
                          {"SerialString", text("C06Z1234ABCD")},
                          {"SerialNumber", text("F5D9876WXYZ")}});
}

TEST(Adapters, EachOnceAndTheOneInUse)
{
    struct Case {
        const char *what;
        Members properties;
        std::vector<std::optional<bool>> inUse;   // per adapter, in order
        std::optional<std::int64_t> adapterWatts; // the adapter in use
        std::vector<std::string> emptyRecords;
    };
    const std::vector<Case> cases = {
        {"two chargers, raw only: the one not at 255 is in use",
         {{"AppleRawAdapterDetails", array({sixtyWattNotChosen(), hundredWattChosen()})}},
         {false, true},
         100,
         {}},
        {"AdapterDetails equal to a raw one is that one",
         {{"AdapterDetails", hundredWattChosen()},
          {"AppleRawAdapterDetails", array({sixtyWattNotChosen(), hundredWattChosen()})}},
         {true, false},
         100,
         {}},
        {"AdapterDetails decides, whatever a raw index says",
         {{"AdapterDetails", sixtyWattNotChosen()},
          {"AppleRawAdapterDetails", array({hundredWattChosen()})}},
         {true, false},
         60,
         {}},
        {"two raw adapters chosen: which is in use is not known",
         {{"AppleRawAdapterDetails", array({hundredWattChosen(), appleSeventyWatt()})}},
         {std::nullopt, std::nullopt},
         std::nullopt,
         {}},
        {"a Mac mini's record of zeros",
         {{"AdapterDetails", dictionary({{"FamilyCode", number(0)}})},
          {"AppleRawAdapterDetails", array({})}},
         {},
         std::nullopt,
         {"AdapterDetails"}},
        {"an Intel MacBook's record of zeros, serial number included",
         {{"AdapterDetails", dictionary({{"AdapterID", number(0)},
                                         {"AdapterRevision", number(0)},
                                         {"FamilyCode", number(0)},
                                         {"SerialNumber", text("")}})},
          {"AppleRawAdapterDetails", array({dictionary({{"Watts", number(0)}})})}},
         {},
         std::nullopt,
         {"AdapterDetails", "AppleRawAdapterDetails[0]"}},
    };
    for (const Case &one : cases) {
        const PowerManagerStory manager = managerOf(one.properties);
        std::vector<std::optional<bool>> inUse;
        for (const explain::AdapterFacts &adapter : manager.adapters) {
            inUse.push_back(adapter.inUse);
        }
        EXPECT_EQ(inUse, one.inUse) << one.what;
        EXPECT_EQ(manager.adapter ? manager.adapter->watts : std::nullopt, one.adapterWatts)
            << one.what;
        EXPECT_EQ(manager.emptyAdapterRecords, one.emptyRecords) << one.what;
    }
}

TEST(Adapters, TheirOwnWordsShownAndTheirSerialNumbersNever)
{
    const Explanation explanation =
        explainedWith({{"AppleRawAdapterDetails", array({appleSeventyWatt()})}});
    const std::string words = explain::explanationText(explanation);
    EXPECT_NE(words.find("  Adapter: 68 W adapter, in use, at 20.00 V 3.39 A: 70W USB-C Power "
                         "Adapter by Apple Inc., model 0x701C, firmware 01030030; its menu: "
                         "0: 5 V 2.96 A (14.8 W), 1: 9 V 2.98 A (26.82 W), 2: 15 V 2.99 A "
                         "(44.85 W), 3: 20 V 3.39 A (67.8 W); entry 3 chosen\n"),
              std::string::npos)
        << words;
    const std::string document = explain::explanationJson(explanation);
    for (const std::string &shown : {words, document}) {
        EXPECT_EQ(shown.find("C06Z1234ABCD"), std::string::npos);
        EXPECT_EQ(shown.find("F5D9876WXYZ"), std::string::npos);
    }
    const Json adapter = Json::parse(document)["power_manager"]["adapter"];
    EXPECT_EQ(adapter["name"], "70W USB-C Power Adapter"); // without its trailing space
    EXPECT_EQ(adapter["menu_entry"],
              Json::parse(R"({"index": 3, "voltage_mv": 20000, "max_current_ma": 3390})"));
    EXPECT_EQ(Json::parse(document)["power_manager"]["adapters"], Json::array({adapter}));
}

TEST(Adapters, AnEmptyRecordSaysSoAndNoLabelStandsAlone)
{
    const std::string words = explain::explanationText(
        explainedWith({{"AdapterDetails", dictionary({{"FamilyCode", number(0)}})},
                       {"BatteryInstalled", boolean(true, false)},
                       {"ExternalConnected", boolean(true, true)},
                       {"IsCharging", boolean(true, false)},
                       {"ChargerData", dictionary({{"NotChargingReason", number(1)}})},
                       {"CurrentCapacity", number(0)}}));
    EXPECT_NE(words.find("  Adapter: the adapter record is empty (AdapterDetails)\n"),
              std::string::npos)
        << words;
    EXPECT_NE(words.find("  State:   external power connected\n"), std::string::npos) << words;
    const std::size_t said = words.find("no battery is installed");
    ASSERT_NE(said, std::string::npos) << words;
    EXPECT_EQ(words.find("battery", said + 23), std::string::npos) << words; // once
    EXPECT_EQ(words.find("Adapter: adapter"), std::string::npos) << words;
    EXPECT_EQ(words.find("0%"), std::string::npos) << words; // no charge on a desktop
    EXPECT_EQ(words.find("charging"), std::string::npos) << words;
    EXPECT_EQ(words.find("Reason"), std::string::npos) << words;
}

TEST(Adapters, TheMenuEntryInUse)
{
    const PropertyValue sprMenu =
        hvcMenu({{5000, 3000}, {9000, 3000}, {15000, 3000}, {20000, 5000}});
    struct Case {
        const char *what;
        PropertyValue details;
        std::vector<std::string> codes;
        bool beyond;
        const char *words; // in the verdict's text
    };
    const std::vector<Case> cases = {
        {"an EPR contract at 28 V past a 20 V menu",
         adapterRecord(140, 28000, 4990, 7, sprMenu),
         {"contract_beyond_menu"},
         true,
         "the 140 W adapter in use: an EPR contract at 28 V, beyond the adapter's 20 V fixed menu "
         "(UsbHvcHvcIndex 7; the menu has 4 entries)"},
        {"a 20 V contract past a 15 V menu",
         adapterRecord(60, 20000, 3000, 3, hvcMenu({{5000, 3000}, {9000, 3000}, {15000, 3000}})),
         {"contract_beyond_menu"},
         true,
         "a contract at 20 V, beyond the adapter's 15 V fixed menu"},
        {"an entry the menu lacks, at a voltage it holds",
         adapterRecord(100, 20000, 5000, 5, sprMenu),
         {"menu_entry_missing"},
         false,
         "UsbHvcHvcIndex 5 names no entry of its menu (4 entries)"},
        {"not chosen", adapterRecord(100, 20000, 5000, 255, sprMenu), {}, false, ""},
        {"no menu to look in", adapterRecord(100, 20000, 5000, 4, array({})), {}, false, ""},
    };
    for (const Case &one : cases) {
        const PowerManagerStory manager = managerOf({{"AdapterDetails", one.details}});
        std::vector<std::string> codes;
        for (const explain::Verdict &verdict : manager.verdicts) {
            codes.push_back(verdict.code);
            EXPECT_NE(verdict.text.find(one.words), std::string::npos)
                << one.what << ": " << verdict.text;
            EXPECT_EQ(verdict.evidence.at(0).key, "AdapterDetails") << one.what;
        }
        EXPECT_EQ(codes, one.codes) << one.what;
        ASSERT_EQ(manager.adapters.size(), 1u) << one.what;
        EXPECT_EQ(manager.adapters[0].beyondMenu, one.beyond) << one.what;
    }
}

TEST(Partners, OnePerPortControllerTiedOnlyWhereCertain)
{
    const auto fed = [](std::int64_t vendor, std::int64_t product, std::int64_t connected) {
        return dictionary({{"FedVendorID", number(vendor)},
                           {"FedProductID", number(product)},
                           {"FedPdSpecRevision", number(2)},
                           {"FedPortPowerRole", number(0)},
                           {"FedDualRolePower", number(1)},
                           {"FedExternalConnected", number(connected)}});
    };
    const auto withPartner = [](const std::string &location) {
        CapturedEntry one = port(location, {{"ConnectionActive", boolean(true, true)}},
                                 {node("IOPortTransportStateCC", "CC", {}, {partner()})});
        one.properties[2].value = text("Port-USB-C@" + location);
        return one;
    };
    // The M2 Max's four: a dock, a connected port with no IDs, an idle one,
    // and vendor 0x291a product 0x2037.
    const PropertyValue four =
        array({fed(11961, 4387, 1), fed(0, 0, 1),
               dictionary({{"FedPortPowerRole", number(1)}, {"FedExternalConnected", number(0)}}),
               fed(10522, 8247, 1)});
    struct Case {
        const char *what;
        PropertyValue details;
        std::vector<CapturedEntry> ports;
        std::vector<std::string> tiedTo; // per partner
    };
    const std::vector<Case> cases = {
        {"the dock's IDs on one port", four, {withPartner("1")}, {"Port-USB-C@1", "", "", ""}},
        {"the dock's IDs on two ports",
         four,
         {withPartner("1"), withPartner("2")},
         {"", "", "", ""}},
        {"two partners with the dock's IDs",
         array({fed(11961, 4387, 1), fed(11961, 4387, 1)}),
         {withPartner("1")},
         {"", ""}},
    };
    for (const Case &one : cases) {
        const PowerManagerStory manager = managerOf({{"FedDetails", one.details}}, one.ports);
        std::vector<std::string> tiedTo;
        for (const explain::FedPartner &partner : manager.partners) {
            tiedTo.push_back(partner.port);
            EXPECT_EQ(partner.tieBasis.empty(), partner.port.empty()) << one.what;
        }
        EXPECT_EQ(tiedTo, one.tiedTo) << one.what;
    }
    const Explanation explanation = explainedWith({{"FedDetails", four}}, {withPartner("1")});
    const std::string words = explain::explanationText(explanation);
    EXPECT_NE(words.find("  Partner: port controller 0: Dock Maker (0x2eb9) product 0x1123, "
                         "connected; PD revision 2, power role 0, dual-role power; on "
                         "Port-USB-C@1 (its vendor and product IDs are those of this port's "
                         "partner, and of no other port's)\n"
                         "  Partner: port controller 1: connected\n"
                         "  Partner: port controller 3: vendor 0x291a product 0x2037, connected; "
                         "PD revision 2, power role 0, dual-role power\n"
                         "  Partner: port controller 2: not connected\n"),
              std::string::npos)
        << words;
    const Json partners =
        Json::parse(explain::explanationJson(explanation))["power_manager"]["partners"];
    EXPECT_EQ(partners[2]["power_role"], 1);
    EXPECT_EQ(partners[2]["vendor_id"], nullptr);
    EXPECT_EQ(partners[0]["vendor_name"], "Dock Maker");
    EXPECT_EQ(partners[0]["port"], "Port-USB-C@1");
}

TEST(ChargingState, AsEachMachineStoresIt)
{
    struct Case {
        const char *what;
        Members properties;
        std::optional<std::int64_t> batteryCurrent;
        std::optional<std::int64_t> percent;
        std::optional<std::int64_t> minutes;
    };
    const std::vector<Case> cases = {
        {"Apple silicon, sign-extended in 64 bits",
         {{"InstantAmperage", number(-483)},
          {"Amperage", number(-400)},
          {"CurrentCapacity", number(78)},
          {"MaxCapacity", number(100)}},
         -483,
         78,
         std::nullopt},
        {"a current stored as its 32-bit pattern",
         {{"InstantAmperage", number(4294966813)}, {"CurrentCapacity", number(78)}},
         -483,
         78,
         std::nullopt},
        {"an Intel MacBook in mAh",
         {{"Amperage", number(-1889)},
          {"CurrentCapacity", number(4000)},
          {"MaxCapacity", number(5000)}},
         -1889,
         80,
         std::nullopt},
        {"a charge past its maximum",
         {{"CurrentCapacity", number(150)}},
         std::nullopt,
         std::nullopt,
         std::nullopt},
        {"time to full while charging",
         {{"IsCharging", boolean(true, true)},
          {"AvgTimeToFull", number(65535)},
          {"TimeRemaining", number(14)}},
         std::nullopt,
         std::nullopt,
         14},
        {"the time left on battery is not a time to full",
         {{"IsCharging", boolean(true, false)}, {"TimeRemaining", number(200)}},
         std::nullopt,
         std::nullopt,
         std::nullopt},
        {"the average time to full first",
         {{"AvgTimeToFull", number(41)}, {"TimeRemaining", number(65535)}},
         std::nullopt,
         std::nullopt,
         41},
        {"a desktop has no battery to speak of",
         {{"BatteryInstalled", boolean(true, false)},
          {"Amperage", number(0)},
          {"CurrentCapacity", number(0)},
          {"AvgTimeToFull", number(0)}},
         std::nullopt,
         std::nullopt,
         std::nullopt},
    };
    for (const Case &one : cases) {
        const PowerManagerStory manager = managerOf(one.properties);
        EXPECT_EQ(manager.batteryCurrentMa, one.batteryCurrent) << one.what;
        EXPECT_EQ(manager.chargePercent, one.percent) << one.what;
        EXPECT_EQ(manager.minutesToFull, one.minutes) << one.what;
    }
}

TEST(ChargingState, EveryMemberInTheJsonNullWhenUnknown)
{
    const Json bare = Json::parse(explain::explanationJson(explainedWith({})))["power_manager"];
    for (const char *name :
         {"registry_id", "adapter", "input_power_mw", "input_voltage_mv", "input_current_ma",
          "external_connected", "charging", "battery_installed", "fully_charged",
          "not_charging_reason", "slow_charging_reason", "battery_current_ma", "charge_percent",
          "minutes_to_full", "tied_port", "tie_basis"}) {
        EXPECT_EQ(bare.at(name), nullptr) << name;
    }
    for (const char *name : {"adapters", "partners", "outputs", "port_controllers"}) {
        EXPECT_EQ(bare.at(name), Json::array()) << name;
    }
}

// Whatever the power manager holds, each line of its block says something
// after its label, and nothing fails.
TEST(PowerManagerText, NoLabelWithNothingAfterIt)
{
    const std::vector<Members> captures = {
        {},
        {{"AdapterDetails", dictionary({{"Name", text("  ")}, {"Watts", text("x")}})},
         {"AppleRawAdapterDetails", text("none")},
         {"FedDetails", dictionary({})},
         {"PowerOutDetails", array({dictionary({{"ConfiguredVoltage", text("5 V")}})})},
         {"ChargerData", array({})},
         {"PowerTelemetryData", number(3)},
         {"BatteryInstalled", text("Yes")},
         {"InstantAmperage", text("-5")}},
        {{"AppleRawAdapterDetails", array({dictionary({{"Description", text("line\nfeed")},
                                                       {"Watts", number(5)},
                                                       {"UsbHvcHvcIndex", number(1)}})})},
         {"FedDetails", array({dictionary({{"FedProductID", number(4387)}})})},
         {"PowerOutDetails", array({dictionary({{"Watts", number(INT64_MAX)}})})},
         {"CurrentCapacity", number(INT64_MAX)},
         {"MaxCapacity", number(INT64_MAX)},
         {"InstantAmperage", number(INT64_MIN)},
         {"ExternalConnected", boolean(true, true)},
         {"PowerTelemetryData", dictionary({{"SystemPowerIn", number(0)}})}},
    };
    for (const Members &properties : captures) {
        const Explanation explanation = explainedWith(properties);
        const std::string words = explain::explanationText(explanation);
        std::size_t start = 0;
        while (start < words.size()) {
            const std::size_t end = words.find('\n', start);
            const std::string line = words.substr(start, end - start);
            const std::size_t colon = line.find(':');
            if (colon != std::string::npos) {
                EXPECT_NE(line.find_first_not_of(' ', colon + 1), std::string::npos)
                    << "\"" << line << "\" in\n"
                    << words;
            }
            start = end == std::string::npos ? words.size() : end + 1;
        }
        EXPECT_FALSE(explain::explanationJson(explanation).empty());
    }
}

} // namespace
