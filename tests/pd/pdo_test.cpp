// Each PDO type, source and sink, against values worked out by hand from
// the standard's bit layouts; and the order a PDO list must keep.
#include <gtest/gtest.h>

#include "pd/pdo.h"
#include "pd/property_decoders.h"

namespace {

using pd::Json;
using pd::PowerRole;

TEST(FixedPdo, SourceFlagsAndAmounts)
{
    // B29 dual-role power, B26 USB communications, B25 dual-role data; 100 x 50 mV, 300 x 10 mA.
    const pd::DecodedPdo pdo = pd::decodePdo(0x2601912c, PowerRole::source, 1);
    EXPECT_EQ(pdo.line, "PDO 1: Fixed 5.00 V 3.00 A (15 W); dual-role power, USB communications "
                        "capable, dual-role data");
    const Json expected = {{"position", 1},
                           {"type", "fixed"},
                           {"voltage_mv", 5000},
                           {"max_current_ma", 3000},
                           {"peak_current", 0},
                           {"dual_role_power", true},
                           {"usb_suspend_supported", false},
                           {"unconstrained_power", false},
                           {"usb_communications_capable", true},
                           {"dual_role_data", true},
                           {"unchunked_extended_messages_supported", false},
                           {"epr_mode_capable", false}};
    EXPECT_EQ(pdo.object.json, expected);
    EXPECT_TRUE(pdo.object.reserved.empty());
}

TEST(FixedPdo, ZeroAndAllBitsSet)
{
    EXPECT_EQ(pd::decodePdo(0, PowerRole::source, 2).line, "PDO 2: Fixed 0.00 V 0.00 A (0 W)");

    // 1023 x 50 mV = 51.15 V, 1023 x 10 mA = 10.23 A, peak current 3, every flag.
    const pd::DecodedPdo all = pd::decodePdo(0x3fffffff, PowerRole::source, 1);
    EXPECT_EQ(all.line.rfind("PDO 1: Fixed 51.15 V 10.23 A (523.264 W); ", 0), 0U);
    EXPECT_EQ(all.object.json["peak_current"], 3);
    for (const char *flag : {"dual_role_power", "usb_suspend_supported", "unconstrained_power",
                             "usb_communications_capable", "dual_role_data",
                             "unchunked_extended_messages_supported", "epr_mode_capable"}) {
        EXPECT_EQ(all.object.json[flag], true) << flag;
    }
    EXPECT_NE(all.line.find("peak current 200%/175%/150%"), std::string::npos);
}

TEST(FixedPdo, SinkHasItsOwnFlags)
{
    // B29 dual-role power, B28 higher capability, B26, B25; fast role swap B24:23 = 11 (3.0 A).
    const pd::DecodedPdo pdo = pd::decodePdo(0x3781912c, PowerRole::sink, 1);
    EXPECT_EQ(pdo.line, "PDO 1: Fixed 5.00 V 3.00 A (15 W); dual-role power, higher capability, "
                        "USB communications capable, dual-role data, fast role swap at 3.0 A");
    EXPECT_EQ(pdo.object.json["operational_current_ma"], 3000);
    EXPECT_EQ(pdo.object.json["higher_capability"], true);
    EXPECT_EQ(pdo.object.json["fast_role_swap_current"], 3);
    EXPECT_FALSE(pdo.object.json.contains("max_current_ma"));
    EXPECT_FALSE(pdo.object.json.contains("usb_suspend_supported"));
}

TEST(BatteryAndVariablePdo, VoltageRangeAndPowerOrCurrent)
{
    // Battery: 400 x 50 mV maximum, 100 x 50 mV minimum, 240 x 250 mW.
    const pd::DecodedPdo battery = pd::decodePdo(0x590190f0, PowerRole::source, 2);
    EXPECT_EQ(battery.line, "PDO 2: Battery 5.00-20.00 V 60 W");
    EXPECT_EQ(battery.object.json, (Json{{"position", 2},
                                         {"type", "battery"},
                                         {"max_voltage_mv", 20000},
                                         {"min_voltage_mv", 5000},
                                         {"max_power_mw", 60000}}));
    // 1 x 250 mW shows its fraction.
    EXPECT_EQ(pd::decodePdo(0x59019001, PowerRole::sink, 1).summary, "Battery 5.00-20.00 V 0.25 W");
    EXPECT_TRUE(
        pd::decodePdo(0x59019001, PowerRole::sink, 1).object.json.contains("operational_power_mw"));

    const pd::DecodedPdo variable = pd::decodePdo(0x9901912c, PowerRole::source, 3);
    EXPECT_EQ(variable.line, "PDO 3: Variable 5.00-20.00 V 3.00 A");
    EXPECT_EQ(variable.object.json["type"], "variable");
    EXPECT_EQ(variable.object.json["max_current_ma"], 3000);
    EXPECT_EQ(pd::decodePdo(0x9901912c, PowerRole::sink, 3).object.json["operational_current_ma"],
              3000);
}

TEST(AugmentedPdo, SprPps)
{
    // 210 x 100 mV maximum, 33 x 100 mV minimum, 100 x 50 mA.
    const pd::DecodedPdo pps = pd::decodePdo(0xc1a42164, PowerRole::source, 5);
    EXPECT_EQ(pps.line, "PDO 5: PPS 3.30-21.00 V 5.00 A");
    EXPECT_EQ(pps.object.json, (Json{{"position", 5},
                                     {"type", "pps"},
                                     {"max_voltage_mv", 21000},
                                     {"min_voltage_mv", 3300},
                                     {"max_current_ma", 5000},
                                     {"power_limited", false}}));
    // B27 power limited, a source's only.
    EXPECT_EQ(pd::decodePdo(0xc9a42164, PowerRole::source, 5).line,
              "PDO 5: PPS 3.30-21.00 V 5.00 A; power limited");
    EXPECT_FALSE(
        pd::decodePdo(0xc9a42164, PowerRole::sink, 5).object.json.contains("power_limited"));
    // Every field bit set: 255 x 100 mV, 255 x 100 mV, 127 x 50 mA.
    EXPECT_EQ(pd::decodePdo(0xcffeff7f, PowerRole::source, 1).summary, "PPS 25.50-25.50 V 6.35 A");
}

TEST(AugmentedPdo, EprAvs)
{
    // Peak current 01, 480 x 100 mV maximum, 150 x 100 mV minimum, 140 W.
    const pd::DecodedPdo avs = pd::decodePdo(0xd7c0968c, PowerRole::source, 8);
    EXPECT_EQ(avs.line,
              "PDO 8: EPR AVS 15.00-48.00 V 140 W; peak current 150%/125%/110% for 1/2/10 ms");
    EXPECT_EQ(avs.object.json, (Json{{"position", 8},
                                     {"type", "epr_avs"},
                                     {"max_voltage_mv", 48000},
                                     {"min_voltage_mv", 15000},
                                     {"pdp_w", 140},
                                     {"peak_current", 1}}));
    EXPECT_FALSE(
        pd::decodePdo(0xd7c0968c, PowerRole::sink, 8).object.json.contains("peak_current"));
}

TEST(AugmentedPdo, SprAvsAndReserved)
{
    // 300 x 10 mA from 9 to 15 V, 225 x 10 mA from 15 to 20 V.
    const pd::DecodedPdo avs = pd::decodePdo(0xe004b0e1, PowerRole::source, 6);
    EXPECT_EQ(avs.line, "PDO 6: SPR AVS 9-15 V 3.00 A, 15-20 V 2.25 A");
    EXPECT_EQ(avs.object.json, (Json{{"position", 6},
                                     {"type", "spr_avs"},
                                     {"max_current_9v_15v_ma", 3000},
                                     {"max_current_15v_20v_ma", 2250},
                                     {"peak_current", 0}}));
    // Reserved B20 set does not leak into the 9-15 V current (B19:10).
    EXPECT_EQ(pd::decodePdo(0xe014b0e1, PowerRole::source, 6).object.json["max_current_9v_15v_ma"],
              3000);

    const pd::DecodedPdo reserved = pd::decodePdo(0xf0000000, PowerRole::source, 7);
    EXPECT_EQ(reserved.object.json["type"], "reserved");
    EXPECT_EQ(reserved.object.reserved, std::vector<std::string>{"reserved APDO type code 3"});
    EXPECT_EQ(pd::decodePdo(0xffffffff, PowerRole::sink, 1).object.json["type"], "reserved");
}

TEST(PdoList, StandardOrder)
{
    // 5 V, 9 V, 15 V, 20 V fixed then PPS: in order.
    EXPECT_TRUE(pd::pdoListBreaches({0x0e01912c, 0x0002d12c, 0x0004b12c, 0x000641f4, 0xc1a42164},
                                    PowerRole::source)
                    .empty());
    // A first PDO of 9 V.
    const std::vector<std::string> first = pd::pdoListBreaches({0x0002d12c}, PowerRole::source);
    ASSERT_EQ(first.size(), 1U);
    EXPECT_EQ(first[0],
              "PDO 1 is Fixed 9.00 V 3.00 A, not the fixed 5 V supply the standard puts first");
    // 15 V before 9 V.
    const std::vector<std::string> fixed =
        pd::pdoListBreaches({0x0001912c, 0x0004b12c, 0x0002d12c}, PowerRole::source);
    ASSERT_EQ(fixed.size(), 1U);
    EXPECT_NE(fixed[0].find("PDO 3 (Fixed 9.00 V 3.00 A) follows PDO 2"), std::string::npos);
    // PPS by maximum voltage: 21 V then 11 V.
    EXPECT_EQ(pd::pdoListBreaches({0x0001912c, 0xc1a42164, 0xc0dc2164}, PowerRole::source).size(),
              1U);
    // The zero padding of an EPR list is passed over.
    EXPECT_TRUE(
        pd::pdoListBreaches({0x0001912c, 0x000641f4, 0, 0x000641f4}, PowerRole::source).empty());

    const pd::DecodedProperty list = pd::decodePdoList({0x0002d12c, 0xf0000000}, PowerRole::source);
    EXPECT_EQ(list.lines.size(), 2U);
    EXPECT_EQ(list.json.size(), 2U);
    EXPECT_EQ(list.notes.size(), 2U); // reserved APDO and the first PDO
    EXPECT_EQ(pd::decodePdoList({}, PowerRole::sink).lines, std::vector<std::string>{"no PDOs"});
}

} // namespace
