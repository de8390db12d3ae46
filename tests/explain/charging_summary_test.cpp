// The answer first: what the Mac draws, out of what, and what limits it, on
// captures of the shapes people post when they ask why a Mac charges slowly
// or not at all.
#include <gtest/gtest.h>

#include "capture_builder.h"
#include "explain/analysis/explanation.h"
#include "explain/output/json_render.h"
#include "explain/output/text_render.h"

namespace {

using namespace capture_builder;
using explain::ChargingLimit;
using explain::Explanation;
using explain::Json;
using explain::PortCapture;
using walk_builder::array;
using walk_builder::boolean;
using walk_builder::dictionary;
using walk_builder::number;

// A connected USB-C port charging through its USB-PD source at
// `contract`, which offers `offers`, with `below` under its CC transport.
CapturedEntry chargingPort(const PropertyValue &contract, std::vector<PropertyValue> offers,
                           std::vector<CapturedEntry> below = {})
{
    return port("1", {{"ConnectionActive", boolean(true, true)}},
                {node("IOPortTransportStateCC", "CC", {}, std::move(below)),
                 node("IOPortFeaturePowerIn", "Power In", {{"Active", boolean(true, true)}},
                      {source("USB-PD", std::move(offers), &contract)})});
}

CapturedEntry fiveAmpCable() { return cablePlug(0x1c600522, passiveCableVdo(3, 2, 0, false)); }
CapturedEntry threeAmpCable() { return cablePlug(0x1c600522, passiveCableVdo(3, 1, 0, false)); }

// A MagSafe port with nothing on it whose USB-PD source keeps the mark of
// an earlier contract.
CapturedEntry staleMagSafe()
{
    const PropertyValue earlier = fixedOption(20000, 4700);
    CapturedEntry magSafe =
        port("1", {{"ConnectionActive", boolean(true, false)}},
             {node("IOPortFeaturePowerIn", "Power In", {{"Active", boolean(true, false)}},
                   {source("USB-PD", {fixedOption(20000, 4700)}, &earlier)})});
    magSafe.className = "AppleHPMInterfaceType11";
    magSafe.name = "Port-MagSafe 3";
    magSafe.properties[0].value = walk_builder::text("MagSafe 3");
    magSafe.properties[2].value = walk_builder::text("Port-MagSafe 3@1");
    return magSafe;
}

PropertyValue telemetry(std::int64_t milliwatts)
{
    return dictionary({{"SystemPowerIn", number(milliwatts)}});
}

struct Case {
    const char *what;
    std::vector<CapturedEntry> ports;
    std::optional<Members> manager;     // none: no power manager captured
    std::optional<ChargingLimit> limit; // none: no summary at all
    std::optional<std::int64_t> drawingMw;
    std::optional<std::int64_t> contractMw;
    std::string text;
};

TEST(ChargingSummary, WhatTheMacDrawsAndWhatLimitsIt)
{
    const PropertyValue at20V5A = fixedOption(20000, 5000);
    const PropertyValue at20V3A = fixedOption(20000, 3000);
    const PropertyValue at15V3A = fixedOption(15000, 3000);
    const std::vector<PropertyValue> hundredWatt = {fixedOption(5000, 3000),
                                                    fixedOption(15000, 3000), at20V5A};
    const std::vector<PropertyValue> sixtyWatt = {fixedOption(5000, 3000), at20V3A};
    const Members charging = {{"ExternalConnected", boolean(true, true)},
                              {"IsCharging", boolean(true, true)}};
    const auto with = [&charging](Members more) {
        Members all = charging;
        all.insert(all.end(), more.begin(), more.end());
        return all;
    };
    const std::vector<Case> cases = {
        {"the Mac asks for less",
         {chargingPort(at20V5A, hundredWatt, {fiveAmpCable()})},
         with({{"CurrentCapacity", number(78)}, {"PowerTelemetryData", telemetry(61932)}}),
         ChargingLimit::macAsksLess,
         61932,
         100000,
         "drawing 61.932 W of a 100 W contract on Port-USB-C@1; the Mac asks for less than the "
         "contract allows (battery at 78%)"},
        {"the M3 Pro's slow charge, its battery nearly full",
         {chargingPort(at20V5A, hundredWatt)},
         with({{"AdapterDetails", adapterRecord(70, 20000, 3500, 3, hvcMenu({{20000, 3500}}))},
               {"CurrentCapacity", number(100)},
               {"TimeRemaining", number(14)},
               {"PowerTelemetryData", telemetry(27600)}}),
         ChargingLimit::batteryNearlyFull,
         27600,
         100000,
         "drawing 27.6 W of a 100 W contract on Port-USB-C@1; the battery is nearly full (100%, "
         "14 min to full), so the Mac draws less"},
        {"at the most the charger offers",
         {chargingPort(at20V3A, sixtyWatt, {threeAmpCable()})},
         with({{"CurrentCapacity", number(40)}, {"PowerTelemetryData", telemetry(57000)}}),
         ChargingLimit::charger,
         57000,
         60000,
         "drawing 57 W of a 60 W contract on Port-USB-C@1; that is the most the charger offers"},
        {"held by a cable without an e-marker",
         {chargingPort(at20V3A, hundredWatt)},
         with({{"CurrentCapacity", number(40)}, {"PowerTelemetryData", telemetry(58000)}}),
         ChargingLimit::cable,
         58000,
         60000,
         "drawing 58 W of a 60 W contract on Port-USB-C@1; the cable holds the contract below "
         "the charger's offer (see Port-USB-C@1)"},
        {"a contract the Mac chose below the offer",
         {chargingPort(at15V3A, hundredWatt, {fiveAmpCable()})},
         with({{"CurrentCapacity", number(40)}, {"PowerTelemetryData", telemetry(44000)}}),
         ChargingLimit::macAsksLess,
         44000,
         45000,
         "drawing 44 W of a 45 W contract on Port-USB-C@1; the Mac asked for a contract below "
         "the charger's offer"},
        {"the M2 Max's charger that gives nothing",
         {},
         Members{{"ExternalConnected", boolean(true, true)},
                 {"IsCharging", boolean(true, false)},
                 {"AdapterDetails", adapterRecord(100, 20000, 4990, 3, hvcMenu({{20000, 4990}}))},
                 {"ChargerData", dictionary({{"NotChargingReason", number(4194305)}})},
                 {"PowerTelemetryData", telemetry(0)},
                 {"InstantAmperage", number(-483)}},
         ChargingLimit::notCharging,
         0,
         std::nullopt,
         "drawing 0 W from a 100 W adapter; not charging (NotChargingReason 4194305, a code "
         "whose meaning is not published); the battery discharges at 0.483 A"},
        {"full and resting",
         {},
         Members{{"ExternalConnected", boolean(true, true)},
                 {"IsCharging", boolean(true, false)},
                 {"FullyCharged", boolean(true, true)},
                 {"CurrentCapacity", number(100)},
                 {"PowerTelemetryData", telemetry(14362)}},
         ChargingLimit::batteryNearlyFull,
         14362,
         std::nullopt,
         "drawing 14.362 W; not charging: the battery is full (100%)"},
        {"on battery",
         {},
         Members{{"ExternalConnected", boolean(true, false)}, {"CurrentCapacity", number(54)}},
         ChargingLimit::noPower,
         std::nullopt,
         std::nullopt,
         "no external power is connected: the Mac runs on its battery (at 54%)"},
        {"a Mac mini",
         {},
         Members{{"BatteryInstalled", boolean(true, false)},
                 {"ExternalConnected", boolean(true, true)},
                 {"AdapterDetails", dictionary({{"FamilyCode", number(0)}})},
                 {"CurrentCapacity", number(0)},
                 {"PowerTelemetryData", telemetry(14362)}},
         ChargingLimit::unknown,
         14362,
         std::nullopt,
         "no battery is installed (a desktop Mac), so nothing charges; drawing 14.362 W"},
        {"an adapter and nothing measured",
         {},
         Members{{"AdapterDetails", adapterRecord(100, 20000, 5000, 0, hvcMenu({{20000, 5000}}))}},
         ChargingLimit::unknown,
         std::nullopt,
         std::nullopt,
         "a 100 W adapter; what the Mac draws is not in the capture"},
        {"the ports alone, a MagSafe port's stale mark",
         {staleMagSafe()},
         std::nullopt,
         ChargingLimit::noPower,
         std::nullopt,
         std::nullopt,
         "no port takes power: every Power In is inactive"},
        {"nothing of power", {port("1", {}, {})}, std::nullopt, std::nullopt, {}, {}, ""},
    };
    for (const Case &one : cases) {
        PortCapture capture;
        capture.ports = one.ports;
        if (one.manager) {
            capture.powerManagers = {powerManager(*one.manager)};
        }
        Explanation explanation;
        explain::explainPorts(capture, {}, explanation);
        ASSERT_EQ(explanation.charging.has_value(), one.limit.has_value()) << one.what;
        const std::string words = explain::explanationText(explanation);
        const Json summary = Json::parse(explain::explanationJson(explanation))["charging_summary"];
        if (!one.limit) {
            EXPECT_EQ(words.find("Charging:"), std::string::npos) << one.what;
            EXPECT_EQ(summary, nullptr) << one.what;
            continue;
        }
        EXPECT_EQ(explanation.charging->limitedBy, *one.limit) << one.what;
        EXPECT_EQ(explanation.charging->drawingMw, one.drawingMw) << one.what;
        EXPECT_EQ(explanation.charging->contractMw, one.contractMw) << one.what;
        const std::size_t line = words.find("Charging: ");
        ASSERT_NE(line, std::string::npos) << one.what;
        EXPECT_EQ(words.substr(line, words.find('\n', line) - line), "Charging: " + one.text)
            << one.what;
        const char *limit = explain::chargingLimitName(*one.limit);
        EXPECT_EQ(summary, (Json{{"drawing_mw", one.drawingMw ? Json(*one.drawingMw) : Json()},
                                 {"contract_mw", one.contractMw ? Json(*one.contractMw) : Json()},
                                 {"limited_by", limit != nullptr ? Json(limit) : Json()},
                                 {"text", one.text}}))
            << one.what;
    }
}

} // namespace
