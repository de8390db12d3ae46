// The shape rules of a list of 32-bit objects, values shown as the report
// shows them, and what a report cannot hold.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>

#include "explain/analysis/utf8_text.h"
#include "walk_builder.h"

namespace {

using explain::Json;
using explain::PropertyExplanation;
using explain::PropertyValue;
using namespace walk_builder;

// The explanations of one controller entry carrying the properties.
std::vector<PropertyExplanation> explainedOn(const std::string &className, Properties properties)
{
    explain::RegistryWalk walk;
    walk.entries.push_back(entry({"AppleHPMARMSPMI"}, className, std::move(properties)));
    explain::Explanation explanation = explain::explainWalk(walk, someVendors());
    return explanation.controllers.at(0).properties;
}

PropertyExplanation explained(const std::string &key, PropertyValue value,
                              const std::string &className = "IOPortTransportComponentCCUSBPDSOP")
{
    return explainedOn(className, {{key, std::move(value)}}).at(0);
}

bool hasNoteContaining(const PropertyExplanation &property, const std::string &text)
{
    for (const std::string &note : property.notes) {
        if (note.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

TEST(ObjectShapes, DataOfOddLengthIsShownAsTheReportShowsIt)
{
    const PropertyExplanation odd = explained("SourceCapabilities", bytes({1, 2, 3}));
    EXPECT_EQ(odd.kind, "source_capabilities");
    EXPECT_EQ(odd.decoded, "<data 3 bytes> 01 02 03 ");
    EXPECT_EQ(odd.lines, std::vector<std::string>{"<data 3 bytes> 01 02 03 "});
    EXPECT_TRUE(odd.objects.empty());
    EXPECT_EQ(odd.notes,
              std::vector<std::string>{"not decoded: data of 3 bytes is not a list of 32-bit "
                                       "objects: its length is not a multiple of 4"});
}

TEST(ObjectShapes, NumbersOf32BitsOrSignExtendedOnly)
{
    // A 32-bit object with bit 31 set, stored sign-extended, is that object.
    const PropertyExplanation negative = explained("VDMResponse", number(-16736191));
    EXPECT_EQ(negative.objects, std::vector<std::uint32_t>{0xff00a041});
    EXPECT_TRUE(hasNoteContaining(negative, "read as the sign-extended 32-bit object 0xff00a041"));
    const PropertyExplanation lowest = explained("DisplayPortStatus", number(-0x80000000LL));
    EXPECT_EQ(lowest.objects, std::vector<std::uint32_t>{0x80000000});

    const PropertyExplanation tooNegative = explained("VDMResponse", number(-0x80000001LL));
    EXPECT_EQ(tooNegative.decoded, "-2147483649 (0xffffffff7fffffff)");
    EXPECT_TRUE(hasNoteContaining(tooNegative, "a negative number is not a 32-bit object"));

    const PropertyExplanation wide = explained("DisplayPortStatus", number(0x100000000LL));
    EXPECT_EQ(wide.decoded, "4294967296 (0x100000000)");
    EXPECT_TRUE(hasNoteContaining(wide, "past 32 bits"));

    const PropertyExplanation top = explained("DisplayPortStatus", number(0xffffffffLL));
    EXPECT_EQ(top.objects, std::vector<std::uint32_t>{0xffffffff});
    EXPECT_EQ(top.decoded["connected"], "both");

    const PropertyExplanation status = explained("DisplayPortStatus", number(154));
    EXPECT_EQ(status.decoded["hpd"], true);
    EXPECT_TRUE(status.notes.empty());
}

TEST(ObjectShapes, ArraysOfDataAndNumbersMayMix)
{
    const PropertyExplanation mixed = explained(
        "VDOs",
        array({objects({0x1c600522}), number(0x938), objects({0x0b700190}), number(0x11082043)}),
        "IOPortTransportComponentCCUSBPDSOPp");
    EXPECT_EQ(mixed.kind, "identity");
    EXPECT_EQ(mixed.objects,
              (std::vector<std::uint32_t>{0x1c600522, 0x938, 0x0b700190, 0x11082043}));
    EXPECT_EQ(mixed.decoded["id_header"]["product_type"], "passive_cable");

    const PropertyExplanation withText = explained("VDOs", array({objects({1}), text("x")}));
    EXPECT_EQ(withText.decoded, "<array with 2 items>");
    EXPECT_TRUE(hasNoteContaining(withText, "item 2 of the array is a string"));

    const PropertyExplanation wideItem = explained("VDOs", array({bytes({1, 2, 3, 4, 5})}));
    EXPECT_TRUE(hasNoteContaining(wideItem, "item 1 of the array is data of 5 bytes"));

    const PropertyExplanation negativeItem = explained("SVIDs", array({number(-1)}));
    EXPECT_TRUE(hasNoteContaining(negativeItem, "negative"));
}

TEST(ObjectShapes, EmptyDataAndOtherKinds)
{
    const PropertyExplanation none = explained("SourceCapabilities", bytes({}));
    EXPECT_EQ(none.decoded, Json::array());
    EXPECT_EQ(none.lines, std::vector<std::string>{"no PDOs"});

    const PropertyExplanation noRequest = explained("RequestDataObject", bytes({}));
    EXPECT_EQ(noRequest.decoded, "<data 0 bytes> ");
    EXPECT_TRUE(hasNoteContaining(noRequest, "holds no object"));

    const PropertyExplanation twoRequests =
        explained("RequestDataObject", objects({0x4307d1f4, 1}));
    EXPECT_EQ(twoRequests.decoded["object_position"], 4);
    EXPECT_TRUE(hasNoteContaining(twoRequests, "only the first is read"));

    EXPECT_TRUE(
        hasNoteContaining(explained("SinkCapabilities", text("5V")), "a string is not a list"));
    EXPECT_TRUE(
        hasNoteContaining(explained("Modes", boolean(true, true)), "a boolean is not a list"));
    EXPECT_EQ(explained("CableIdentity", sizeOnly(PropertyValue::Kind::dictionary, 3)).decoded,
              "<dict with 3 keys>");
}

TEST(ObjectShapes, SvidsAreSixteenBits)
{
    const PropertyExplanation numbers = explained("SVIDs", array({number(65281), number(11961)}));
    EXPECT_EQ(numbers.decoded, (Json::array({{{"svid", 0xff01}, {"name", "DisplayPort"}},
                                             {{"svid", 0x2eb9}, {"name", "Dock Maker"}}})));
    // A 4-byte Discover SVIDs VDO holds two, upper half first; 2-byte data one.
    const PropertyExplanation vdo =
        explained("SVIDs", array({objects({0xff012eb9}), bytes({0x87, 0x80})}));
    ASSERT_EQ(vdo.decoded.size(), 3U);
    EXPECT_EQ(vdo.decoded[0]["svid"], 0xff01);
    EXPECT_EQ(vdo.decoded[1]["svid"], 0x2eb9);
    EXPECT_EQ(vdo.decoded[2]["name"], "Thunderbolt");
    EXPECT_TRUE(hasNoteContaining(explained("SVIDs", bytes({1, 2, 3})), "not decoded"));
}

TEST(ObjectShapes, RevisionDataOrNumber)
{
    const PropertyExplanation data = explained("PDRevision", bytes({0x00, 0x00, 0x18, 0x31}));
    EXPECT_EQ(data.kind, "revision");
    EXPECT_EQ(data.decoded["revision_major"], 3);
    EXPECT_EQ(data.lines[0], "PD revision 3.1, version 1.8");

    const PropertyExplanation integer = explained("PDRevision", number(3));
    EXPECT_EQ(integer.decoded, 3);
    EXPECT_EQ(integer.lines[0], "PD revision 3");
    EXPECT_TRUE(integer.notes.empty());

    const PropertyExplanation fraction = explained("PDRevision", real(3.1));
    EXPECT_EQ(fraction.decoded, 3.1);
    EXPECT_EQ(fraction.notes, std::vector<std::string>{"a real number; portprobe's report shows "
                                                       "it as 3 (0x3), without its fraction"});

    EXPECT_TRUE(hasNoteContaining(explained("PDRevision", bytes({3, 0})), "not decoded"));
}

TEST(ObjectShapes, ANumberOutsideTheRevisionsIsNotDecodedAsOne)
{
    PropertyValue hugeReal = real(0); // converted as the report converts it
    hugeReal.real = -1e300;
    hugeReal.integer = INT64_MIN;
    const struct {
        PropertyValue value;
        const char *line;
        const char *note;
    } cases[] = {
        {number(INT64_MIN), "-9223372036854775808 (0x8000000000000000)",
         "not decoded: -9223372036854775808 is not a PD revision, which runs from 1 to 3"},
        {number(0), "0 (0x0)", "not decoded: 0 is not a PD revision, which runs from 1 to 3"},
        {number(4), "4 (0x4)", "not decoded: 4 is not a PD revision, which runs from 1 to 3"},
        {hugeReal, "-9223372036854775808 (0x8000000000000000)",
         "not decoded: -1e+300 is not a PD revision, which runs from 1 to 3"},
        {real(0.5), "0 (0x0)", "not decoded: 0.5 is not a PD revision, which runs from 1 to 3"},
    };
    for (const auto &c : cases) {
        const PropertyExplanation revision = explained("PDRevision", c.value);
        EXPECT_EQ(revision.lines, std::vector<std::string>{c.line});
        EXPECT_EQ(revision.decoded, c.line);
        EXPECT_EQ(revision.notes, std::vector<std::string>{c.note});
    }
}

TEST(PlainValues, ARealFromTheRegistryIsNotSaidToComeFromAReport)
{
    // No report was read: the note says what a report would show, not that
    // something is missing from one.
    const PropertyExplanation list = explained("SourceCapabilities", real(0x0002d12c + 0.5));
    for (const std::string &note : list.notes) {
        EXPECT_EQ(note.find("not in the report"), std::string::npos) << note;
    }
    EXPECT_TRUE(hasNoteContaining(list, "portprobe's report shows for it (184620)"));
}

TEST(PlainValues, AsThemselvesOrAsTheReportShowsThem)
{
    const PropertyExplanation role = explained("PowerRole", text("Sink"));
    EXPECT_EQ(role.kind, "value");
    EXPECT_EQ(role.decoded, "Sink");
    EXPECT_EQ(role.lines, std::vector<std::string>{"\"Sink\""});

    const PropertyExplanation specRevision = explained("SpecRevision", number(2));
    EXPECT_EQ(specRevision.decoded, 2);
    EXPECT_EQ(specRevision.lines[0], "2 (0x2)");

    EXPECT_EQ(explained("VCONNSource", boolean(true, true)).decoded, true);
    EXPECT_EQ(explained("PDContract", dictionary({})).decoded, "<dict with 0 keys>");
    EXPECT_EQ(explained("VDMHistory", sizeOnly(PropertyValue::Kind::array, 13)).decoded,
              "<array with 13 items>");

    PropertyValue other;
    other.typeId = 42;
    EXPECT_EQ(explained("PDMessageLog", other).decoded, "<type 42>");

    explain::WalkedEntry described =
        entry({"AppleHPMARMSPMI"}, "IOPortTransportStateUSB3", {{"DataRole", number(2)}});
    described.descriptions = {{"DataRole", "Host"}};
    explain::RegistryWalk walk;
    walk.entries.push_back(described);
    const PropertyExplanation dataRole =
        explain::explainWalk(walk, someVendors()).controllers.at(0).properties.at(0);
    EXPECT_EQ(dataRole.lines, std::vector<std::string>{"2 (0x2), Host"});
    EXPECT_EQ(dataRole.decoded, 2);
    EXPECT_EQ(dataRole.description, "Host");

    std::vector<std::uint8_t> trace(256, 0xab);
    const PropertyExplanation long_ = explained("TraceBuffer", bytes(trace));
    const std::string text = long_.decoded.get<std::string>();
    EXPECT_EQ(text.rfind("<data 256 bytes> ab ab ", 0), 0U);
    EXPECT_EQ(text.size(), std::string("<data 256 bytes> ").size() + std::size_t{128} * 3 +
                               std::string("... (256 total)").size());
}

// In words, data of more than sixteen bytes runs sixteen bytes a line, as
// the report dumps it; the JSON keeps the report's one line.
TEST(PlainValues, DataBeyondSixteenBytesIsShownSixteenALine)
{
    struct Case {
        std::size_t length;
        std::vector<std::string> lines;
    };
    const std::string sixteen = "00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f";
    const std::vector<Case> cases = {
        {16, {"<data 16 bytes> " + sixteen + " "}},
        {17, {"<data 17 bytes>", sixteen, "00"}},
        {200,
         {"<data 200 bytes>", sixteen, sixteen, sixteen, sixteen, sixteen, sixteen, sixteen,
          sixteen + " ... (200 total)"}},
    };
    for (const Case &one : cases) {
        std::vector<std::uint8_t> contents(one.length);
        for (std::size_t i = 0; i < contents.size(); ++i) {
            contents[i] = static_cast<std::uint8_t>(i % 16);
        }
        const PropertyExplanation shown = explained("TraceBuffer", bytes(contents));
        EXPECT_EQ(shown.lines, one.lines) << one.length;
        EXPECT_EQ(shown.decoded.get<std::string>().find('\n'), std::string::npos) << one.length;
    }
}

TEST(ReportLimits, WhatAReportCannotHoldIsSaid)
{
    // A report shows a boolean's kind only.
    const PropertyExplanation unknown = explained("VCONNSource", boolean(false));
    EXPECT_TRUE(unknown.decoded.is_null());
    EXPECT_TRUE(hasNoteContaining(unknown, "not in the report"));

    // Containers by their size only.
    const PropertyExplanation vdos = explained("VDOs", sizeOnly(PropertyValue::Kind::array, 4));
    EXPECT_EQ(vdos.decoded, "<array with 4 items>");
    EXPECT_TRUE(hasNoteContaining(vdos, "not in the report"));
    const PropertyExplanation metadata =
        explained("Metadata", sizeOnly(PropertyValue::Kind::dictionary, 7));
    EXPECT_EQ(metadata.decoded, "<dict with 7 keys>");
    EXPECT_TRUE(hasNoteContaining(metadata, "not in the report"));
    // An empty one is whole.
    const PropertyExplanation empty =
        explained("Metadata", sizeOnly(PropertyValue::Kind::dictionary, 0));
    EXPECT_EQ(empty.decoded, Json::object());
    EXPECT_TRUE(empty.notes.empty());

    // Data past 128 bytes: the PDOs within them are decoded in full.
    PropertyValue cut = objects({0x0001912c});
    cut.bytes.resize(128, 0);
    cut.length = 200;
    const PropertyExplanation pdos = explained("SourceCapabilities", cut);
    EXPECT_EQ(pdos.decoded.size(), 32U);
    EXPECT_EQ(pdos.objects.size(), 32U);
    EXPECT_TRUE(hasNoteContaining(pdos, "bytes 129 to 200 are not in the report"));
    PropertyValue cutOdd = cut;
    cutOdd.length = 201;
    EXPECT_TRUE(hasNoteContaining(explained("SourceCapabilities", cutOdd), "not a multiple of 4"));

    // A string too long for the report.
    EXPECT_TRUE(hasNoteContaining(explained("MessageLog", text(std::string(600, 'x'))),
                                  "not in the report"));
}

TEST(Metadata, IdentityFieldsAndItsVdos)
{
    const std::vector<PropertyExplanation> properties = explainedOn(
        "IOPortTransportComponentCCUSBPDSOPp",
        {{"Metadata", dictionary({{"VDOs", array({objects({0x1c600522}), objects({0x938}),
                                                  objects({0x0b700190}), objects({0x11082043})})},
                                  {"Product Type Description", text("Passive Cable")},
                                  {"Product ID", number(2928)},
                                  {"Vendor ID", number(1314)},
                                  {"VDO Count", number(4)},
                                  {"bcdDevice", number(400)},
                                  {"Product Type", number(3)}})}});
    ASSERT_EQ(properties.size(), 2U);
    const PropertyExplanation &fields = properties[0];
    EXPECT_EQ(fields.kind, "metadata");
    EXPECT_EQ(fields.decoded, (Json{{"vendor_id", 1314},
                                    {"product_id", 2928},
                                    {"bcd_device", 400},
                                    {"product_type", 3},
                                    {"product_type_description", "Passive Cable"}}));
    EXPECT_EQ(fields.lines,
              std::vector<std::string>{"Identity: vendor 0x0522 (Cable Maker), product 0x0b70, "
                                       "bcdDevice 0x0190, product type 3 (Passive Cable)"});
    const PropertyExplanation &vdos = properties[1];
    EXPECT_EQ(vdos.key, "Metadata/VDOs");
    EXPECT_EQ(vdos.kind, "identity");
    EXPECT_EQ(vdos.decoded["product_type_vdos"][0]["type"], "passive_cable");
}

TEST(Utf8, RegistryTextIsMadeValidForJson)
{
    explain::RegistryWalk walk;
    walk.entries.push_back(
        entry({"Apple\xffHPM"}, "Class\xc3", {{"PowerRole", text("Si\xe2\x82nk")}}));
    walk.notes.push_back("\xed\xa0\x80");
    const explain::Explanation explanation = explain::explainWalk(walk, nullptr);
    const explain::PropertyExplanation &property = explanation.controllers.at(0).properties.at(0);
    Json document = {{"entry", property.entry},
                     {"class", property.className},
                     {"decoded", property.decoded},
                     {"lines", property.lines},
                     {"notes", explanation.notes}};
    std::string dumped;
    EXPECT_NO_THROW(dumped = document.dump());
    EXPECT_EQ(property.entry[0], "Apple\xef\xbf\xbdHPM");
    EXPECT_EQ(property.decoded, "Si\xef\xbf\xbd\xef\xbf\xbdnk");
}

// Text handed over is made valid exactly as text copied is.
TEST(Utf8, TextHandedOverIsMadeValidAsACopyIs)
{
    const std::pair<std::string, std::string> cases[] = {
        {"Port-USB-C@1", "Port-USB-C@1"},
        {"Caf\xc3\xa9", "Caf\xc3\xa9"},
        {"Si\xe2\x82nk", "Si\xef\xbf\xbd\xef\xbf\xbdnk"},
        {"", ""},
    };
    for (const auto &[text, valid] : cases) {
        EXPECT_EQ(explain::validUtf8(text), valid);
        EXPECT_EQ(explain::validUtf8(std::string(text)), valid);
    }
}

} // namespace
