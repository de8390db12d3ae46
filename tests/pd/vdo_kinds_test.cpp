// DisplayPort Status, Configure and Capabilities, VDM headers, SVIDs and the
// Revision message data object.
#include <gtest/gtest.h>

#include "pd/property_decoders.h"
#include "pd/vdm.h"
#include "walk_builder.h"

namespace {

using pd::Json;

TEST(DisplayPortStatus, EveryBit)
{
    // 1001 1010: UFP_D connected, enabled, multi-function preferred, HPD high.
    const pd::DecodedProperty status = pd::decodeDisplayPortStatus(0x9a);
    const Json expected = {{"connected", "ufp_d"},
                           {"power_low", false},
                           {"enabled", true},
                           {"multi_function_preferred", true},
                           {"usb_configuration_request", false},
                           {"exit_mode_request", false},
                           {"hpd", true},
                           {"irq_hpd", false}};
    EXPECT_EQ(status.json, expected);
    EXPECT_EQ(
        status.lines,
        std::vector<std::string>{
            "DisplayPort status: UFP_D connected; enabled, multi-function preferred, HPD high"});
    EXPECT_EQ(pd::decodeDisplayPortStatus(0).lines[0],
              "DisplayPort status: neither DFP_D nor UFP_D connected");
    const pd::DecodedProperty all = pd::decodeDisplayPortStatus(0xffffffff);
    EXPECT_EQ(all.json["connected"], "both");
    for (const auto &member : all.json.items()) {
        if (member.key() != "connected") {
            EXPECT_EQ(member.value(), true) << member.key();
        }
    }
}

TEST(DisplayPortConfig, ConfigurationSignallingPins)
{
    // 10: UFP_U as UFP_D; signalling 0001; pin assignment bit 11 = D.
    const pd::DecodedProperty config = pd::decodeDisplayPortConfig(0x806);
    EXPECT_EQ(config.json,
              (Json{{"configuration", "ufp_d"}, {"signalling", 1}, {"pin_assignments", "D"}}));
    EXPECT_EQ(config.lines[0],
              "DisplayPort configuration: UFP_U as UFP_D; signalling 1, pin assignment D");
    EXPECT_EQ(pd::decodeDisplayPortConfig(1).json["configuration"], "dfp_d");
    EXPECT_EQ(pd::decodeDisplayPortConfig(0).lines[0],
              "DisplayPort configuration: USB configuration; signalling 0, no pin assignment");

    const pd::DecodedProperty reserved = pd::decodeDisplayPortConfig(0xff03);
    EXPECT_EQ(reserved.json["configuration"], "reserved");
    EXPECT_EQ(reserved.json["pin_assignments"], "ABCDEF");
    EXPECT_EQ(reserved.notes.size(), 2U); // the configuration and pin bits 14-15
}

TEST(DisplayPortCapabilities, ModesWhereThePortHasTheSvid)
{
    // UFP_D capable, signalling 0001, receptacle, UFP_D pins C and D.
    const pd::DecodedProperty modes = pd::decodeModes({0x000c0045}, true);
    const Json expected = {{"position", 1},
                           {"type", "displayport_capabilities"},
                           {"port_capability", "ufp_d"},
                           {"signalling", 1},
                           {"connector", "receptacle"},
                           {"usb2_signalling_not_used", false},
                           {"dfp_d_pin_assignments", ""},
                           {"ufp_d_pin_assignments", "CD"}};
    EXPECT_EQ(modes.json, Json::array({expected}));
    EXPECT_EQ(pd::decodeModes({0}, true).notes.size(), 1U); // port capability 00
    const pd::DecodedProperty unknown = pd::decodeModes({0x000c0045}, false);
    EXPECT_EQ(unknown.json[0]["type"], "unknown");
    EXPECT_EQ(unknown.json[0]["vdo"], "0x000c0045");
}

TEST(Vdm, StructuredHeaderAndItsVdos)
{
    // SVID FF01, structured, version 2.0, position 1, REQ, Attention; DP status after it.
    const pd::DecodedProperty attention = pd::decodeVdm({0xff01a106, 0x9a}, nullptr);
    const Json header = {{"svid", 0xff01},       {"structured", true},
                         {"version_major", 2},   {"version_minor", 0},
                         {"object_position", 1}, {"command_type", "req"},
                         {"command", 6},         {"command_name", "attention"}};
    EXPECT_EQ(attention.json, (Json{{"header", header}, {"objects", {"0x0000009a"}}}));
    EXPECT_EQ(attention.lines[0],
              "VDM for SVID 0xff01 (DisplayPort): Attention REQ; structured VDM, "
              "version 2.0; object position 1");
    EXPECT_EQ(attention.lines[1],
              "VDO 1: 0x0000009a (DisplayPort status: UFP_D connected; enabled, "
              "multi-function preferred, HPD high)");

    // ACK of DisplayPort Configure (17), version 2.1.
    const pd::DecodedProperty ack = pd::decodeVdm({0xff01a951}, nullptr);
    EXPECT_EQ(ack.json["header"]["command_type"], "ack");
    EXPECT_EQ(ack.json["header"]["command_name"], "dp_configure");
    EXPECT_EQ(ack.json["header"]["version_minor"], 1);
    // Command 17 under another SVID is that SVID's own; 7 is reserved.
    EXPECT_EQ(pd::decodeVdm({0x2eb98011}, nullptr).json["header"]["command_name"], "svid_specific");
    EXPECT_EQ(pd::decodeVdm({0x2eb98010}, nullptr).json["header"]["command_name"], "svid_specific");
    // DisplayPort Status Update (16) carries a DisplayPort status like Attention.
    const pd::DecodedProperty update = pd::decodeVdm({0xff01a110, 0x9a}, nullptr);
    EXPECT_EQ(update.json["header"]["command_name"], "dp_status_update");
    EXPECT_NE(update.lines.at(1).find("(DisplayPort status: "), std::string::npos);
    EXPECT_EQ(pd::decodeVdm({0xff008007}, nullptr).json["header"]["command_name"], "reserved");
    // Version major 10 is reserved.
    const pd::DecodedProperty version = pd::decodeVdm({0xff00c001}, nullptr);
    EXPECT_TRUE(version.json["header"]["version_major"].is_null());
    EXPECT_EQ(version.notes.size(), 1U);
}

TEST(Vdm, UnstructuredAndEmpty)
{
    const pd::DecodedProperty vendor = pd::decodeVdm({0x05ac0001, 0x12345678}, nullptr);
    EXPECT_EQ(vendor.json["header"],
              (Json{{"svid", 0x05ac}, {"structured", false}, {"vendor_use", 1}}));
    EXPECT_EQ(vendor.json["objects"], Json::array({"0x12345678"}));
    EXPECT_EQ(pd::decodeVdm({}, nullptr).notes.size(), 1U);
}

TEST(Svids, NamedByTheStandardOrTheVendor)
{
    const pd::DecodedProperty svids =
        pd::decodeSvids({0xff01, 0x2eb9, 0x8087, 0xff00, 0x1234}, walk_builder::someVendors());
    const Json expected = Json::array({{{"svid", 0xff01}, {"name", "DisplayPort"}},
                                       {{"svid", 0x2eb9}, {"name", "Dock Maker"}},
                                       {{"svid", 0x8087}, {"name", "Thunderbolt"}},
                                       {{"svid", 0xff00}, {"name", "PD"}},
                                       {{"svid", 0x1234}, {"name", nullptr}}});
    EXPECT_EQ(svids.json, expected);
    EXPECT_EQ(svids.lines[0],
              "SVIDs: 0xff01 (DisplayPort), 0x2eb9 (Dock Maker), 0x8087 (Thunderbolt), "
              "0xff00 (PD), 0x1234");
}

TEST(Revision, MessageDataObject)
{
    const pd::DecodedProperty revision = pd::decodeRevisionObject(0x31180000);
    EXPECT_EQ(revision.json, (Json{{"revision_major", 3},
                                   {"revision_minor", 1},
                                   {"version_major", 1},
                                   {"version_minor", 8}}));
    EXPECT_EQ(revision.lines[0], "PD revision 3.1, version 1.8");
}

} // namespace
