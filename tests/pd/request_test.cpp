// Requests read against the PDO type they refer to, and what they ask
// beyond it.
#include <gtest/gtest.h>

#include "pd/pdo.h"
#include "pd/property_decoders.h"

namespace {

using pd::Json;

constexpr std::uint32_t fixed20V5A = 0x000641f4;
constexpr std::uint32_t pps3V3To21V5A = 0xc1a42164;
constexpr std::uint32_t eprAvs15To48V140W = 0xd7c0968c;
constexpr std::uint32_t sprAvs3A2A25 = 0xe004b0e1;
constexpr std::uint32_t battery5To20V60W = 0x590190f0;

TEST(Request, FixedResolved)
{
    // Position 4, B25 USB communications, B24 no USB suspend, 500 and 500 x 10 mA.
    const pd::DecodedRequest request = pd::decodeRequest(0x4307d1f4, fixed20V5A);
    EXPECT_EQ(request.line, "Request for PDO 4 (Fixed 20.00 V 5.00 A): operating 5.00 A, "
                            "maximum 5.00 A; USB communications capable, no USB suspend");
    const Json expected = {{"object_position", 4},
                           {"resolved", true},
                           {"refers_to", "fixed"},
                           {"capability_mismatch", false},
                           {"usb_communications_capable", true},
                           {"no_usb_suspend", true},
                           {"unchunked_extended_messages_supported", false},
                           {"epr_mode_capable", false},
                           {"giveback", false},
                           {"operating_current_ma", 5000},
                           {"max_operating_current_ma", 5000}};
    EXPECT_EQ(request.object.json, expected);
    EXPECT_TRUE(request.overreach.empty());
}

TEST(Request, UnresolvedReadsAsFixed)
{
    const pd::DecodedRequest request = pd::decodeRequest(0x4307d1f4, std::nullopt);
    EXPECT_EQ(request.object.json["resolved"], false);
    EXPECT_TRUE(request.object.json["refers_to"].is_null());
    EXPECT_EQ(request.object.json["operating_current_ma"], 5000);
    EXPECT_EQ(
        request.line.rfind("Request for PDO 4 (unresolved, read as fixed): operating 5.00 A", 0),
        0U);
}

TEST(Request, ProgrammableAndAdjustable)
{
    // PPS: position 5, 450 x 20 mV, 40 x 50 mA.
    const pd::DecodedRequest pps = pd::decodeRequest(0x50038428, pps3V3To21V5A);
    EXPECT_EQ(pps.line,
              "Request for PDO 5 (PPS 3.30-21.00 V 5.00 A): output 9.00 V, operating 2.00 A");
    EXPECT_EQ(pps.object.json["output_voltage_mv"], 9000);
    EXPECT_EQ(pps.object.json["operating_current_ma"], 2000);
    EXPECT_FALSE(pps.object.json.contains("giveback"));
    // EPR AVS: position 8, 800 x 25 mV, 100 x 50 mA.
    const pd::DecodedRequest avs = pd::decodeRequest(0x80064064, eprAvs15To48V140W);
    EXPECT_EQ(avs.line.rfind("Request for PDO 8 (EPR AVS 15.00-48.00 V 140 W)", 0), 0U);
    EXPECT_EQ(avs.object.json["refers_to"], "epr_avs");
    EXPECT_EQ(avs.object.json["output_voltage_mv"], 20000);
    EXPECT_EQ(avs.object.json["operating_current_ma"], 5000);
    EXPECT_TRUE(avs.overreach.empty());
    // SPR AVS shares the 25 mV layout; 361 x 25 mV = 9.025 V shows three decimals.
    const pd::DecodedRequest spr = pd::decodeRequest(0x6002d23c, sprAvs3A2A25);
    EXPECT_EQ(spr.object.json["output_voltage_mv"], 9025);
    EXPECT_NE(spr.line.find("output 9.025 V, operating 3.00 A"), std::string::npos);
}

TEST(Request, BatteryInMilliwatts)
{
    // Position 2, B27 giveback, 200 and 240 x 250 mW.
    const pd::DecodedRequest battery = pd::decodeRequest(0x280320f0, battery5To20V60W);
    EXPECT_EQ(battery.object.json["giveback"], true);
    EXPECT_EQ(battery.object.json["operating_power_mw"], 50000);
    EXPECT_EQ(battery.object.json["max_operating_power_mw"], 60000);
    EXPECT_FALSE(battery.object.json.contains("operating_current_ma"));
}

TEST(Request, AskingMoreThanOfferedWithoutCapabilityMismatch)
{
    // 600 x 10 mA against a 5 A PDO.
    const pd::DecodedRequest over = pd::decodeRequest(0x40096258, fixed20V5A);
    ASSERT_EQ(over.overreach.size(), 2U);
    EXPECT_EQ(
        over.overreach[0],
        "asks an operating current of 6.00 A, more than the maximum current 5.00 A its PDO offers");
    // With B26 capability mismatch the sink says so itself.
    EXPECT_TRUE(pd::decodeRequest(0x44096258, fixed20V5A).overreach.empty());
    // PPS at 1.00 V, below the offer's 3.30 V.
    EXPECT_EQ(pd::decodeRequest(0x50006428, pps3V3To21V5A).overreach.size(), 1U);
    // EPR AVS 48 V at 5 A is 240 W, past a 140 W PDP.
    EXPECT_EQ(pd::decodeRequest(0x800f0064, eprAvs15To48V140W).overreach.size(), 1U);
    // SPR AVS 20 V at 3 A, past the 2.25 A it offers from 15 to 20 V.
    EXPECT_EQ(pd::decodeRequest(0x6006403c, sprAvs3A2A25).overreach.size(), 1U);
    // Exactly 15 V at 3 A is still within the 9-15 V range's 3 A.
    EXPECT_TRUE(pd::decodeRequest(0x6004b03c, sprAvs3A2A25).overreach.empty());

    const pd::DecodedProperty property = pd::decodeRequestObject(0x40096258, fixed20V5A);
    EXPECT_EQ(property.notes.size(), 2U);
    EXPECT_NE(property.notes[0].find("without capability mismatch set"), std::string::npos);
}

} // namespace
