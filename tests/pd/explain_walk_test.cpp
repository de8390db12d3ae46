// A walk explained: entries grouped into controllers and ports, requests
// resolved within their port, and the notes each port gathers.
#include <algorithm>

#include <gtest/gtest.h>

#include "walk_builder.h"

namespace {

using explain::Json;
using explain::PortExplanation;
using explain::PropertyExplanation;
using namespace walk_builder;

const std::string controller = "AppleHPMARMSPMI";
const std::string hal = "AppleHPMDeviceHALType3@C";
const std::string port1 = "Port-USB-C@1";

std::vector<std::string> below(std::vector<std::string> names)
{
    std::vector<std::string> path = {controller, hal, port1};
    path.insert(path.end(), names.begin(), names.end());
    return path;
}

// The sample's first port: its CC transport with the request, the partner's
// SOP with the source capabilities, the cable's SOP'.
std::vector<explain::WalkedEntry> samplePort()
{
    return {
        entry({controller}, "AppleHPMARMSPMI"),
        entry({controller, hal}, "AppleHPMDeviceHALType3"),
        entry({controller, hal, port1}, "AppleHPMInterfaceType10",
              {{"Metadata", dictionary({})},
               {"PDRevision", real(3.1)},
               {"DisplayPortStatus", number(154)},
               {"DisplayPortConfig", objects({0x806})}}),
        entry(below({"CC"}), "IOPortTransportStateCC",
              {{"Metadata", dictionary({{"Product ID (SOP)", number(4387)},
                                        {"Vendor ID (SOP)", number(11961)}})},
               {"PDRevision", number(3)},
               {"SinkCapabilities", objects({0x3601912c, 0x0002d12c, 0x0004b12c, 0x000641f4})},
               {"RequestDataObject", objects({0x4307d1f4})}}),
        entry(below({"CC", "SOP"}), "IOPortTransportComponentCCUSBPDSOP",
              {{"PortPartnerIdentity", objects({0x4c402eb9, 0x00001f5a, 0x11230110, 0x65000011})},
               {"SourceCapabilities",
                objects({0x0e01912c, 0x0002d12c, 0x0004b12c, 0x000641f4, 0xc1a42164})},
               {"SVIDs", array({number(65281), number(11961)})},
               {"Modes", array({objects({0x000c0045})})},
               {"RawVDM", objects({0xff01a106, 0x9a})}}),
        entry(below({"CC", "SOP'"}), "IOPortTransportComponentCCUSBPDSOPp",
              {{"CableIdentity", objects({0x1c600522, 0x00000938, 0x0b700190, 0x110a2043})},
               {"VDMResponse", number(-16736191)}}),
    };
}

explain::Explanation explainEntries(std::vector<explain::WalkedEntry> entries)
{
    explain::RegistryWalk walk;
    walk.entries = std::move(entries);
    return explain::explainWalk(walk, someVendors());
}

const PropertyExplanation *find(const PortExplanation &port, const std::string &key)
{
    for (const PropertyExplanation &property : port.properties) {
        if (property.key == key) {
            return &property;
        }
    }
    return nullptr;
}

TEST(PortGrouping, ControllersPortsAndTheirEntries)
{
    std::vector<explain::WalkedEntry> entries = {
        entry({controller}, "AppleHPMARMSPMI", {{"PDRevision", number(2)}}),
        entry({controller, "AppleHPMUserClient"}, "AppleHPMUserClient",
              {{"SpecRevision", number(1)}}),
        entry({controller, hal}, "AppleHPMDeviceHALType3"),
        entry({controller, hal, "Port-USB-C@1"}, "AppleHPMInterfaceType10",
              {{"PowerRole", text("Sink")}}),
        entry({controller, hal, "Port-USB-C@1", "CC"}, "IOPortTransportStateCC",
              {{"DataRole", text("DFP")}}),
        // A port below a port is a port of its own, and the outer one resumes after it.
        entry({controller, hal, "Port-USB-C@1", "CC", "Port-Inner"}, "X",
              {{"PowerRole", text("Source")}}),
        entry({controller, hal, "Port-USB-C@1", "USB3"}, "IOPortTransportStateUSB3",
              {{"SpecRevision", number(3)}}),
        entry({controller, hal, "Other"}, "Y", {{"SpecRevision", number(4)}}),
        entry({controller}, "AppleHPMARMSPMI"),
        entry({controller, "Port-MagSafe 3@1"}, "AppleHPMInterfaceType11",
              {{"PowerRole", text("Sink")}}),
        // The same entry along a second path is explained again.
        entry({controller, "Port-MagSafe 3@1"}, "AppleHPMInterfaceType11",
              {{"PowerRole", text("Sink")}}),
    };
    const explain::Explanation explanation = explainEntries(entries);
    ASSERT_EQ(explanation.controllers.size(), 2U);
    const explain::ControllerExplanation &first = explanation.controllers[0];
    EXPECT_EQ(first.entry, std::vector<std::string>{controller});
    ASSERT_EQ(first.properties.size(), 3U);
    EXPECT_EQ(first.properties[1].entry,
              (std::vector<std::string>{controller, "AppleHPMUserClient"}));
    EXPECT_EQ(first.properties[2].entry, (std::vector<std::string>{controller, hal, "Other"}));
    ASSERT_EQ(first.ports.size(), 2U);
    EXPECT_EQ(first.ports[0].entry.back(), "Port-USB-C@1");
    ASSERT_EQ(first.ports[0].properties.size(), 3U);
    EXPECT_EQ(first.ports[0].properties[2].entry.back(), "USB3");
    EXPECT_EQ(first.ports[1].entry.back(), "Port-Inner");
    EXPECT_EQ(first.ports[1].properties.size(), 1U);

    const explain::ControllerExplanation &second = explanation.controllers[1];
    EXPECT_TRUE(second.properties.empty());
    ASSERT_EQ(second.ports.size(), 2U);
    EXPECT_EQ(second.ports[0].entry, second.ports[1].entry);
}

TEST(RequestResolution, AgainstTheSourceCapabilitiesElsewhereInThePort)
{
    std::vector<explain::WalkedEntry> entries = samplePort();
    // A later list in the port (PDO 4 at 9 V here) does not replace the first.
    entries[5].properties.push_back(
        {"SourceCapabilities", objects({0x0001912c, 0x0001912c, 0x0001912c, 0x0002d12c})});
    const explain::Explanation explanation = explainEntries(entries);
    const PortExplanation &port = explanation.controllers.at(0).ports.at(0);
    const PropertyExplanation *request = find(port, "RequestDataObject");
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(request->decoded["resolved"], true);
    EXPECT_EQ(request->decoded["refers_to"], "fixed");
    EXPECT_EQ(request->lines[0],
              "Request for PDO 4 (Fixed 20.00 V 5.00 A): operating 5.00 A, maximum "
              "5.00 A; USB communications capable, no USB suspend");
    EXPECT_TRUE(request->notes.empty());
}

TEST(RequestResolution, TheSameEntryFirst)
{
    std::vector<explain::WalkedEntry> entries = samplePort();
    // PDO 5 of CC's own list is fixed 9 V; the SOP list's is PPS.
    entries[3].properties.push_back(
        {"SourceCapabilities",
         objects({0x0001912c, 0x0001912c, 0x0001912c, 0x0001912c, 0x0002d12c})});
    entries[3].properties.push_back({"RequestDataObject", objects({0x5004b12c})});
    const explain::Explanation explanation = explainEntries(entries);
    const PortExplanation &port = explanation.controllers.at(0).ports.at(0);
    const PropertyExplanation &own = port.properties.at(9);
    ASSERT_EQ(own.key, "RequestDataObject");
    EXPECT_EQ(own.decoded["refers_to"], "fixed");
    EXPECT_NE(own.lines[0].find("(Fixed 9.00 V 3.00 A)"), std::string::npos);
}

TEST(RequestResolution, MissingOutOfRangeAndPositionZero)
{
    auto requestIn = [](std::vector<explain::WalkedEntry> entries) {
        const explain::Explanation explanation = explainEntries(std::move(entries));
        const PortExplanation &port = explanation.controllers.at(0).ports.at(0);
        return std::make_pair(*find(port, "RequestDataObject"), port.notes);
    };
    std::vector<explain::WalkedEntry> noSource = samplePort();
    noSource[4].properties.erase(noSource[4].properties.begin() + 1);
    const auto [missing, missingNotes] = requestIn(noSource);
    EXPECT_EQ(missing.decoded["resolved"], false);
    EXPECT_TRUE(missing.decoded["refers_to"].is_null());
    EXPECT_EQ(missing.decoded["operating_current_ma"], 5000);

    std::vector<explain::WalkedEntry> beyond = samplePort();
    beyond[3].properties[3].second = objects({0x6307d1f4});
    const auto [past, pastNotes] = requestIn(beyond);
    EXPECT_EQ(past.decoded["resolved"], false);
    EXPECT_EQ(past.notes,
              std::vector<std::string>{"asks for PDO 6, past the 5 PDOs of CC/SOP "
                                       "SourceCapabilities; unresolved, read as fixed"});

    std::vector<explain::WalkedEntry> zero = samplePort();
    zero[3].properties[3].second = objects({0x0307d1f4});
    const auto [none, noneNotes] = requestIn(zero);
    EXPECT_EQ(none.notes.at(0), "asks for object position 0, which names no PDO");

    // Another port's capabilities are not this port's.
    std::vector<explain::WalkedEntry> elsewhere = samplePort();
    elsewhere[4].path[2] = "Port-USB-C@2";
    elsewhere[4].path.erase(elsewhere[4].path.begin() + 3, elsewhere[4].path.end());
    elsewhere[4].path.push_back("SOP");
    elsewhere[4].depth = 3;
    elsewhere[5].path = {controller, hal, "Port-USB-C@2", "SOP'"};
    elsewhere[5].depth = 3;
    // Port 2 starts at its own entry.
    elsewhere.insert(elsewhere.begin() + 4,
                     entry({controller, hal, "Port-USB-C@2"}, "AppleHPMInterfaceType10"));
    const auto [other, otherNotes] = requestIn(elsewhere);
    EXPECT_EQ(other.decoded["resolved"], false);
    EXPECT_TRUE(std::any_of(otherNotes.begin(), otherNotes.end(), [](const std::string &note) {
        return note.rfind("CC RequestDataObject: unresolved", 0) == 0;
    }));
}

TEST(PortNotes, EachNamesItsEntryAndKey)
{
    std::vector<explain::WalkedEntry> entries = samplePort();
    entries[4].properties[1].second = objects({0x0002d12c, 0x0001912c});
    entries[3].properties[3].second = objects({0x1009612c}); // 6 A against a 3 A PDO 1
    entries[0].properties.push_back({"DisplayPortConfig", objects({3})});
    const explain::Explanation explanation = explainEntries(entries);
    const explain::ControllerExplanation &controllerExplanation = explanation.controllers.at(0);
    const std::vector<std::string> expected = {
        std::string("Port-USB-C@1 PDRevision: a real number; portprobe's report shows it as ") +
            "3 (0x3), without its fraction",
        std::string("CC RequestDataObject: asks an operating current of 6.00 A, more than the ") +
            "maximum current 3.00 A its PDO offers without capability mismatch set",
        std::string("CC/SOP SourceCapabilities: PDO 1 is Fixed 9.00 V 3.00 A, not the fixed 5 V ") +
            "supply the standard puts first",
        std::string(
            "CC/SOP' CableIdentity: the passive cable claims EPR mode capable with a 20 V ") +
            "maximum; EPR needs 50 V",
        std::string("CC/SOP' VDMResponse: the negative number -16736191 is read as the ") +
            "sign-extended 32-bit object 0xff00a041",
    };
    const std::vector<std::string> &notes = controllerExplanation.ports.at(0).notes;
    for (const std::string &note : expected) {
        EXPECT_NE(std::find(notes.begin(), notes.end(), note), notes.end()) << note;
    }
    // The controller's own property keeps its note to itself.
    EXPECT_EQ(controllerExplanation.properties.at(0).notes,
              std::vector<std::string>{"VDO: reserved configuration code 3"});
}

TEST(SamplePort, EveryKindReadsAsTheStandardSays)
{
    const explain::Explanation explanation = explainEntries(samplePort());
    const PortExplanation &port = explanation.controllers.at(0).ports.at(0);
    EXPECT_EQ(find(port, "Modes")->decoded[0]["type"], "displayport_capabilities");
    EXPECT_EQ(find(port, "DisplayPortConfig")->decoded["pin_assignments"], "D");
    EXPECT_EQ(find(port, "CableIdentity")->decoded["id_header"]["product_type"], "passive_cable");
    EXPECT_EQ(find(port, "PortPartnerIdentity")->decoded["id_header"]["vendor_name"], "Dock Maker");
    EXPECT_EQ(find(port, "SourceCapabilities")->lines.at(4), "PDO 5: PPS 3.30-21.00 V 5.00 A");
    EXPECT_EQ(find(port, "SinkCapabilities")->lines.at(0),
              "PDO 1: Fixed 5.00 V 3.00 A (15 W); dual-role power, higher capability, USB "
              "communications capable, dual-role data");
    EXPECT_EQ(find(port, "RawVDM")->decoded["header"]["command_name"], "attention");
    EXPECT_EQ(find(port, "Metadata")->decoded, Json::object());
    EXPECT_TRUE(find(port, "Metadata")->lines.empty());

    // Without a DisplayPort SVID in the port, mode VDOs stay undecoded.
    std::vector<explain::WalkedEntry> entries = samplePort();
    entries[4].properties[2].second = array({number(0x2eb9)});
    const explain::Explanation without = explainEntries(entries);
    EXPECT_EQ(find(without.controllers.at(0).ports.at(0), "Modes")->decoded[0]["type"], "unknown");
}

} // namespace

namespace {

// Explaining while releasing the walk says exactly what explaining it whole
// does, and leaves nothing of the walk behind.
TEST(ReleasedWalk, TellsTheSameAsTheWholeWalk)
{
    explain::RegistryWalk walk;
    walk.entries = samplePort();
    walk.entries[1].properties.push_back({"PDRevision", number(3)}); // the controller's own
    walk.entries.back().path.back() += "\xff"; // a name taken from the walk is made valid too
    const explain::Explanation whole = explain::explainWalk(walk, someVendors());
    explain::RegistryWalk spent = walk;
    const explain::Explanation released = explain::explainWalk(std::move(spent), someVendors());
    ASSERT_EQ(whole.controllers.size(), released.controllers.size());
    ASSERT_EQ(whole.controllers[0].ports.size(), 1u);
    ASSERT_EQ(released.controllers[0].ports.size(), 1u);
    auto same = [](const std::vector<PropertyExplanation> &a,
                   const std::vector<PropertyExplanation> &b) {
        ASSERT_EQ(a.size(), b.size());
        for (std::size_t i = 0; i < a.size(); ++i) {
            EXPECT_EQ(a[i].entry, b[i].entry) << a[i].key;
            EXPECT_EQ(a[i].key, b[i].key);
            EXPECT_EQ(a[i].decoded, b[i].decoded) << a[i].key;
            EXPECT_EQ(a[i].lines, b[i].lines) << a[i].key;
            EXPECT_EQ(a[i].notes, b[i].notes) << a[i].key;
        }
    };
    same(whole.controllers[0].properties, released.controllers[0].properties);
    same(whole.controllers[0].ports[0].properties, released.controllers[0].ports[0].properties);
    EXPECT_FALSE(whole.controllers[0].ports[0].properties.empty());
    EXPECT_TRUE(spent.entries.empty()); // NOLINT(bugprone-use-after-move): released on purpose
}

// An explanation made for one rendering keeps that rendering's half of each
// property, the same as a whole explanation's, and nothing of the other.
TEST(PropertyViews, EachRenderingKeepsItsOwnHalfOnly)
{
    explain::RegistryWalk walk;
    walk.entries = samplePort();
    walk.entries[1].properties.push_back({"PDRevision", number(3)});
    const explain::Explanation whole = explain::explainWalk(walk, someVendors());
    for (const bool json : {false, true}) {
        explain::Explanation kept;
        kept.views.words = !json;
        kept.views.json = json;
        explain::RegistryWalk spent = walk;
        explain::explainWalkPart(std::move(spent), someVendors(), kept);
        ASSERT_EQ(kept.controllers.size(), 1u);
        ASSERT_EQ(kept.controllers[0].ports.size(), 1u);
        const auto &expected = whole.controllers[0].ports[0].properties;
        const auto &got = kept.controllers[0].ports[0].properties;
        ASSERT_EQ(got.size(), expected.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].notes, expected[i].notes) << got[i].key;
            EXPECT_EQ(got[i].objects, expected[i].objects) << got[i].key;
            EXPECT_EQ(got[i].decoded, json ? expected[i].decoded : Json()) << got[i].key;
            EXPECT_EQ(got[i].lines, json ? std::vector<std::string>() : expected[i].lines)
                << got[i].key;
        }
        EXPECT_EQ(kept.controllers[0].ports[0].notes, whole.controllers[0].ports[0].notes);
    }
}

} // namespace
