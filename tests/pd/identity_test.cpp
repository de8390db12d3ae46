// Discover Identity answers at a cable plug and at a partner, each
// product-type VDO against values worked out by hand.
#include <gtest/gtest.h>

#include "pd/identity.h"
#include "walk_builder.h"

namespace {

using pd::IdentitySide;
using pd::Json;

// ID header (passive cable, modal, plug, vendor 0x0522), cert stat, product
// 0x0b70 bcdDevice 0x0190, passive cable VDO.
const std::vector<std::uint32_t> cableAnswer = {0x1c600522, 0x00000938, 0x0b700190, 0x11082043};

TEST(Identity, PassiveCableAtACablePlug)
{
    const pd::DecodedProperty identity =
        pd::decodeIdentity(cableAnswer, IdentitySide::cablePlug, walk_builder::someVendors());
    const Json header = {{"vendor_id", 0x0522},        {"product_type", "passive_cable"},
                         {"dfp_product_type", "none"}, {"usb_host", false},
                         {"usb_device", false},        {"modal_operation", true},
                         {"connector_type", "plug"},   {"vendor_name", "Cable Maker"}};
    EXPECT_EQ(identity.json["id_header"], header);
    EXPECT_EQ(identity.json["cert_stat"], (Json{{"xid", 0x938}}));
    EXPECT_EQ(identity.json["product"], (Json{{"product_id", 0x0b70}, {"bcd_device", 0x0190}}));
    // HW 1, FW 1, VDO version 0, Type-C plug, latency 0001, VCONN not
    // required, 20 V, 5 A (10), USB4 Gen 3 (011).
    const Json cable = {{"type", "passive_cable"},
                        {"usb_speed", "usb4_gen3"},
                        {"vbus_current_ma", 5000},
                        {"max_vbus_voltage_v", 20},
                        {"latency", 1},
                        {"termination", 0},
                        {"epr_mode_capable", false},
                        {"plug", "type_c"},
                        {"hw_version", 1},
                        {"fw_version", 1},
                        {"vdo_version", 0}};
    EXPECT_EQ(identity.json["product_type_vdos"], Json::array({cable}));
    const std::vector<std::string> lines = {
        "Cable plug: vendor 0x0522 (Cable Maker), product 0x0b70, bcdDevice 0x0190; passive cable; "
        "modal operation, plug",
        "Cert stat: XID 0x0938",
        "Passive cable: USB4 Gen 3, 5 A, 20 V maximum, latency under 10 ns (about 1 m); VCONN not "
        "required, USB Type-C plug, HW version 1, FW version 1, VDO version 0"};
    EXPECT_EQ(identity.lines, lines);
    EXPECT_TRUE(identity.notes.empty());

    // Latency 1000 (B16:13), the top code: over 70 ns.
    const pd::DecodedProperty longCable = pd::decodeIdentity(
        {0x1c600522, 0x00000938, 0x0b700190, 0x11090043}, IdentitySide::cablePlug, nullptr);
    EXPECT_EQ(longCable.json["product_type_vdos"][0]["latency"], 8);
    EXPECT_TRUE(longCable.notes.empty());
}

TEST(Identity, TheSameAnswerAtAPartnerIsAPowerSinkDevice)
{
    const pd::DecodedProperty identity =
        pd::decodeIdentity(cableAnswer, IdentitySide::partner, nullptr);
    EXPECT_EQ(identity.json["id_header"]["product_type"], "psd");
    EXPECT_TRUE(identity.json["id_header"]["vendor_name"].is_null());
    EXPECT_EQ(identity.json["product_type_vdos"][0]["type"], "unexpected");
    ASSERT_EQ(identity.notes.size(), 1U);
    EXPECT_NE(identity.notes[0].find("1 more product-type VDOs"), std::string::npos);
}

TEST(Identity, PartnerHubWithItsUfpVdo)
{
    // The sample's partner: USB device, hub (001), modal, receptacle;
    // UFP VDO version 3, USB 2.0 and 3.2 device, reconfiguring modes, Gen 1.
    const pd::DecodedProperty identity =
        pd::decodeIdentity({0x4c402eb9, 0x00001f5a, 0x11230110, 0x65000011}, IdentitySide::partner,
                           walk_builder::someVendors());
    EXPECT_EQ(identity.lines[0],
              "Partner: vendor 0x2eb9 (Dock Maker), product 0x1123, bcdDevice 0x0110; "
              "hub; USB device, modal operation, receptacle");
    const Json ufp = identity.json["product_type_vdos"][0];
    EXPECT_EQ(ufp["type"], "ufp");
    EXPECT_EQ(ufp["usb_speed"], "usb3_gen1");
    EXPECT_EQ(ufp["usb2_device"], true);
    EXPECT_EQ(ufp["usb3_device"], true);
    EXPECT_EQ(ufp["usb4_device"], false);
    EXPECT_EQ(ufp["alternate_modes_reconfiguring"], true);
    EXPECT_EQ(ufp["vconn_power_mw"], 1000);
    EXPECT_EQ(ufp["vdo_version"], 3);
    EXPECT_TRUE(identity.notes.empty());
}

TEST(Identity, DualRolePartnerSendsUfpPadAndDfp)
{
    // Peripheral (010) and DFP host (010), receptacle; DFP VDO: USB4 host, port 5.
    const pd::DecodedProperty identity = pd::decodeIdentity(
        {0x114005ac, 0, 0x12340001, 0x00000000, 0, 0x24000005}, IdentitySide::partner, nullptr);
    const Json &vdos = identity.json["product_type_vdos"];
    ASSERT_EQ(vdos.size(), 3U);
    EXPECT_EQ(vdos[0]["type"], "ufp");
    EXPECT_EQ(vdos[1]["type"], "pad");
    EXPECT_EQ(vdos[2]["type"], "dfp");
    EXPECT_EQ(vdos[2]["usb4_host"], true);
    EXPECT_EQ(vdos[2]["port_number"], 5);
    EXPECT_EQ(vdos[2]["vdo_version"], 1);
    EXPECT_EQ(identity.json["id_header"]["dfp_product_type"], "host");

    // A power brick (DFP 011, receptacle) with no UFP product type sends its DFP VDO alone.
    const pd::DecodedProperty brick =
        pd::decodeIdentity({0x01c005ac, 0, 0x12340001, 0x24000005}, IdentitySide::partner, nullptr);
    EXPECT_EQ(brick.json["id_header"]["dfp_product_type"], "power_brick");
    EXPECT_EQ(brick.json["product_type_vdos"][0]["type"], "dfp");
    EXPECT_TRUE(brick.notes.empty());
}

TEST(Identity, ActiveCableBothVdos)
{
    // VDO 1: Type-C, EPR, latency 1001 (1000 ns), both ends active, 50 V,
    // SBUs not supported, 5 A, VBUS through, USB 3.2 Gen 2.
    // VDO 2: 70 and 80 degrees, U3 power 111 (reserved), optical retimer,
    // no USB4, two lanes, Gen 2.
    const pd::DecodedProperty identity = pd::decodeIdentity(
        {0x20600522, 0, 0, 0x000b3f52, 0x46507709}, IdentitySide::cablePlug, nullptr);
    const Json &first = identity.json["product_type_vdos"][0];
    EXPECT_EQ(first["type"], "active_cable_1");
    EXPECT_EQ(first["latency"], 9);
    EXPECT_EQ(first["termination"], 3);
    EXPECT_EQ(first["max_vbus_voltage_v"], 50);
    EXPECT_EQ(first["sbu_supported"], false);
    EXPECT_EQ(first["vbus_through_cable"], true);
    EXPECT_EQ(first["epr_mode_capable"], true);
    EXPECT_EQ(first["usb_speed"], "usb3_gen2");
    const Json &second = identity.json["product_type_vdos"][1];
    EXPECT_EQ(second["type"], "active_cable_2");
    EXPECT_EQ(second["max_operating_temperature_c"], 70);
    EXPECT_EQ(second["shutdown_temperature_c"], 80);
    EXPECT_EQ(second["u3_cld_power"], 7);
    EXPECT_EQ(second["physical_connection"], "optical");
    EXPECT_EQ(second["active_element"], "retimer");
    EXPECT_EQ(second["usb4_supported"], false);
    EXPECT_EQ(second["usb_lanes"], 2);
    EXPECT_EQ(second["usb_gen"], "gen2_or_higher");
    EXPECT_EQ(identity.notes,
              std::vector<std::string>{"product-type VDO 2: reserved U3/CLd power code 7"});
}

TEST(Identity, VconnPoweredDevice)
{
    // HW 1, 50 V, 5 A charge-through, 10 x 2 mOhm VBUS, 5 mOhm ground, charge-through.
    const pd::DecodedProperty identity =
        pd::decodeIdentity({0x30600522, 0, 0, 0x1001c50b}, IdentitySide::cablePlug, nullptr);
    const Json vpd = {{"type", "vpd"},
                      {"charge_through_supported", true},
                      {"charge_through_current_ma", 5000},
                      {"max_vbus_voltage_v", 50},
                      {"vbus_impedance_mohm", 20},
                      {"ground_impedance_mohm", 5},
                      {"hw_version", 1},
                      {"fw_version", 0},
                      {"vdo_version", 0}};
    EXPECT_EQ(identity.json["product_type_vdos"][0], vpd);
}

TEST(Identity, ReservedCodePointsAndContradictions)
{
    auto notesOf = [](std::uint32_t header, std::uint32_t cable) {
        return pd::decodeIdentity({header, 0, 0, cable}, IdentitySide::cablePlug, nullptr);
    };
    // USB speed 101.
    const pd::DecodedProperty speed = notesOf(0x1c600522, 0x11082045);
    EXPECT_EQ(speed.json["product_type_vdos"][0]["usb_speed"], "reserved");
    EXPECT_EQ(speed.notes,
              std::vector<std::string>{"product-type VDO 1: reserved USB speed code 5"});
    // VBUS current 00.
    const pd::DecodedProperty current = notesOf(0x1c600522, 0x11082003);
    EXPECT_TRUE(current.json["product_type_vdos"][0]["vbus_current_ma"].is_null());
    EXPECT_EQ(current.notes,
              std::vector<std::string>{"product-type VDO 1: reserved VBUS current code 0"});
    // EPR with a 20 V maximum.
    const pd::DecodedProperty epr = notesOf(0x1c600522, 0x110a2043);
    EXPECT_EQ(epr.notes,
              std::vector<std::string>{
                  "the passive cable claims EPR mode capable with a 20 V maximum; EPR needs 50 V"});
    // A hub (001) is no cable plug's product type; connector type 00 is reserved.
    const pd::DecodedProperty hub =
        pd::decodeIdentity({0x08000522, 0, 0}, IdentitySide::cablePlug, nullptr);
    EXPECT_EQ(hub.json["id_header"]["product_type"], "reserved");
    EXPECT_EQ(hub.json["id_header"]["connector_type"], "reserved");
    EXPECT_EQ(hub.notes.size(), 2U);
}

TEST(Identity, ShortAnswers)
{
    const pd::DecodedProperty two =
        pd::decodeIdentity({0x1c600522, 0x938}, IdentitySide::cablePlug, nullptr);
    EXPECT_FALSE(two.json.contains("product"));
    EXPECT_FALSE(two.json.contains("product_type_vdos"));
    EXPECT_EQ(two.notes,
              std::vector<std::string>{"holds 2 VDOs; a Discover Identity answer has at least 3"});
    // A passive cable's answer without its cable VDO.
    const pd::DecodedProperty three =
        pd::decodeIdentity({0x1c600522, 0x938, 0x0b700190}, IdentitySide::cablePlug, nullptr);
    EXPECT_EQ(three.json["product_type_vdos"], Json::array());
    EXPECT_EQ(three.notes.size(), 1U);
    EXPECT_EQ(pd::decodeIdentity({}, IdentitySide::partner, nullptr).notes.size(), 1U);
}

} // namespace
