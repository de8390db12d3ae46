// The registry reader on registries built through the stand-in: every kind
// and shape of value, the walk's shape (several controllers, the depth
// limit, shared children, cycles), each failure where it arises, and the
// built-in sample against the report's own walk of it.
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "app/report_sections.h"
#include "explain/input/registry_reader.h"
#include "platform/standin/snapshot/snapshot_loader.h"
#include "report/tree_walk.h"
#include "support/report_fixture.h"
#include "walk_text.h"

namespace {

using explain::PropertyValue;
using standin::Call;
using standin::FaultRule;
using standin::makeArray;
using standin::makeBoolean;
using standin::makeDictionary;
using standin::makeInteger;
using standin::makeReal;
using standin::makeString;
using testing_support::bytes;

const char *const controller = "AppleHPMARMSPMI";

class RegistryReaderTest : public testing_support::StandinTest {
protected:
    // Reads the walk, and holds the reading to what the report may hold.
    static explain::RegistryWalk read()
    {
        explain::RegistryWalk walk = explain::readRegistryWalk(kIOMainPortDefault);
        EXPECT_LE(standin::audit().peakHeld, mostReferencesHeld);
        return walk;
    }

    static std::string readText() { return explain_testing::walkText(read()); }

    // The one property of the one entry that carries it, read back.
    static PropertyValue readOne(standin::ValuePtr value, const char *key = "VDOs")
    {
        standin::reset();
        standin::setProperty(entry(controller), key, std::move(value));
        explain::RegistryWalk walk = read();
        EXPECT_EQ(walk.entries.size(), 1U);
        if (walk.entries.empty() || walk.entries[0].properties.size() != 1) {
            ADD_FAILURE() << "the property was not read";
            return PropertyValue();
        }
        EXPECT_EQ(walk.entries[0].properties[0].first, key);
        return walk.entries[0].properties[0].second;
    }

    static std::string readOneText(standin::ValuePtr value, const char *key = "VDOs")
    {
        return explain_testing::valueText(readOne(std::move(value), key));
    }
};

TEST_F(RegistryReaderTest, ScalarsReadAsTheReportReadsThem)
{
    EXPECT_EQ(readOneText(bytes({0x2c, 0x91, 0x01, 0x00})), "data 4: 2c 91 01 00\n");
    EXPECT_EQ(readOneText(bytes({})), "data 0:\n");
    PropertyValue data = readOne(testing_support::bytesOfLength(4096));
    EXPECT_EQ(data.length, 4096);
    ASSERT_EQ(data.bytes.size(), 4096U); // whole, not the report's first 128
    EXPECT_EQ(data.bytes[4095], 4095 % 256);

    EXPECT_EQ(readOneText(makeInteger(-1)), "integer -1\n");
    EXPECT_EQ(readOneText(standin::makeUnsigned(0xFFFFFFFFFFFFFFF0ULL)), "integer -16\n");
    EXPECT_EQ(readOneText(makeInteger(std::numeric_limits<std::int64_t>::min())),
              "integer -9223372036854775808\n");
    // A real keeps its value; its integer is what the report prints for it.
    EXPECT_EQ(readOneText(makeReal(2.75)), "real 2.75 2\n");
    EXPECT_EQ(readOneText(makeReal(2.0)), "real 2 2\n");
    EXPECT_EQ(readOneText(makeReal(-1e300)), "real -1.0000000000000001e+300 "
                                             "-9223372036854775808\n");
    PropertyValue notANumber = readOne(makeReal(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_EQ(notANumber.kind, PropertyValue::Kind::real);
    EXPECT_TRUE(std::isnan(notANumber.real));
    EXPECT_EQ(notANumber.integer, 0);

    EXPECT_EQ(readOneText(makeBoolean(true)), "boolean true\n");
    EXPECT_EQ(readOneText(makeBoolean(false)), "boolean false\n");
    EXPECT_EQ(readOneText(standin::makeDate(1.0)), "other 42\n");
}

TEST_F(RegistryReaderTest, StringsConvertWithinTheReportsLimit)
{
    EXPECT_EQ(readOneText(makeString("Source"), "PowerRole"), "string \"Source\"\n");
    EXPECT_EQ(readOneText(makeString("caf\xc3\xa9 \xf0\x9f\x98\x80")),
              "string \"caf\xc3\xa9 \xf0\x9f\x98\x80\"\n");
    EXPECT_EQ(readOne(makeString(std::string(511, 'a'))).text.size(), 511U);
    EXPECT_EQ(readOneText(makeString(std::string(512, 'a'))), "unconvertible string\n");
    EXPECT_EQ(readOneText(standin::makeUtf16String(u"ok\xD800")), "unconvertible string\n");
    // A zero character ends the text, as it ends the report's.
    EXPECT_EQ(readOneText(standin::makeUtf16String(std::u16string(u"ab\0cd", 5))),
              "string \"ab\"\n");
}

TEST_F(RegistryReaderTest, DictionariesGiveTheirCountAndTheMembersLookedFor)
{
    // The SOP' component's Metadata of an electronically marked cable, and
    // a key nothing looks for.
    auto metadata = makeDictionary({
        {"bcdDevice", makeInteger(400)},
        {"VDOs", makeArray({bytes({0x22, 0x05, 0x60, 0x1c}), bytes({0x38, 0x09, 0x00, 0x00})})},
        {"Product Type Description", makeString("Passive Cable")},
        {"Product ID", makeInteger(2928)},
        {"Vendor ID", makeInteger(1314)},
        {"VDO Count", makeInteger(4)},
        {"Product Type", makeInteger(3)},
        {"Pin Configuration", makeDictionary({{"a", makeInteger(1)}})},
    });
    EXPECT_EQ(readOneText(metadata, "Metadata"), "dictionary 8\n"
                                                 "  VDOs: array 2\n"
                                                 "    - data 4: 22 05 60 1c\n"
                                                 "    - data 4: 38 09 00 00\n"
                                                 "  Vendor ID: integer 1314\n"
                                                 "  Product ID: integer 2928\n"
                                                 "  bcdDevice: integer 400\n"
                                                 "  Product Type: integer 3\n"
                                                 "  Product Type Description: string "
                                                 "\"Passive Cable\"\n"
                                                 "  VDO Count: integer 4\n");
    EXPECT_EQ(readOneText(makeDictionary(std::vector<std::pair<std::string, standin::ValuePtr>>{
                              {"Vendor ID (SOP)", makeInteger(11961)},
                              {"Product ID (SOP)", makeInteger(4387)}}),
                          "Metadata"),
              "dictionary 2\n"
              "  Vendor ID (SOP): integer 11961\n"
              "  Product ID (SOP): integer 4387\n");
    EXPECT_EQ(readOneText(makeDictionary(standin::DictionaryItems{}), "Metadata"),
              "dictionary 0\n");
    // Containers below a member are only counted.
    EXPECT_EQ(readOneText(
                  makeDictionary({{"VDOs", makeArray({makeArray({}),
                                                      makeDictionary(standin::DictionaryItems{})})},
                                  {"Vendor ID", makeDictionary({{"x", makeInteger(1)}})}}),
                  "Metadata"),
              "dictionary 2\n"
              "  VDOs: array 2\n"
              "    - array 0 (size only)\n"
              "    - dictionary 0 (size only)\n"
              "  Vendor ID: dictionary 1 (size only)\n");
}

TEST_F(RegistryReaderTest, ArraysGiveEveryItemAndContainersInsideBySize)
{
    EXPECT_EQ(readOneText(makeArray(
                  {bytes({1, 2}), makeInteger(0x0001912c), makeString("s"), makeBoolean(true),
                   makeReal(0.5), makeArray({makeInteger(1), makeInteger(2)}),
                   makeDictionary({{"VDOs", makeInteger(1)}}), standin::makeDate(0)})),
              "array 8\n"
              "  - data 2: 01 02\n"
              "  - integer 102700\n"
              "  - string \"s\"\n"
              "  - boolean true\n"
              "  - real 0.5 0\n"
              "  - array 2 (size only)\n"
              "  - dictionary 1 (size only)\n"
              "  - other 42\n");
    EXPECT_EQ(readOneText(makeArray({})), "array 0\n");
}

TEST_F(RegistryReaderTest, EntriesComeInTheReportsOrderWithTheirPathsAndOwnProbedProperties)
{
    standin::EntryId first = entry(controller);
    standin::EntryId hal = entry("AppleHPMDeviceHALType3", "AppleHPMDeviceHALType3@C");
    standin::EntryId port = entry("AppleHPMInterfaceType10", "Port-USB-C@1");
    standin::EntryId cc = entry("IOPortTransportStateCC", "CC");
    standin::EntryId second = entry(controller);
    standin::EntryId other = entry("AppleHPMDeviceHALType3", "AppleHPMDeviceHALType3@6");
    link(first, hal);
    link(hal, port);
    link(port, cc);
    link(second, other);
    link(first, entry("IOPowerConnection"), "IOPower"); // another plane: not walked
    // Set out of the report's order, with keys that are not probed.
    standin::setProperty(cc, "SourceCapabilities", bytes({0x2c, 0x91, 0x01, 0x00}));
    standin::setProperty(cc, "Metadata", makeDictionary(standin::DictionaryItems{}));
    standin::setProperty(cc, "VDMs", makeInteger(7));
    standin::setProperty(cc, "IOUserClientClass", makeString("IOPortTransportUserClient"));
    standin::setProperty(port, "Description", makeString("Port-USB-C@1"));

    EXPECT_EQ(readText(),
              "0 [AppleHPMARMSPMI] /AppleHPMARMSPMI\n"
              "  1 [AppleHPMDeviceHALType3] /AppleHPMARMSPMI /AppleHPMDeviceHALType3@C\n"
              "    2 [AppleHPMInterfaceType10] /AppleHPMARMSPMI "
              "/AppleHPMDeviceHALType3@C /Port-USB-C@1\n"
              "      3 [IOPortTransportStateCC] /AppleHPMARMSPMI "
              "/AppleHPMDeviceHALType3@C /Port-USB-C@1 /CC\n"
              "        VDMs: integer 7\n"
              "        Metadata: dictionary 0\n"
              "        SourceCapabilities: data 4: 2c 91 01 00\n"
              "0 [AppleHPMARMSPMI] /AppleHPMARMSPMI\n"
              "  1 [AppleHPMDeviceHALType3] /AppleHPMARMSPMI "
              "/AppleHPMDeviceHALType3@6\n");
}

TEST_F(RegistryReaderTest, EveryProbedKeyIsReadAndNoOther)
{
    standin::EntryId service = entry(controller);
    for (std::uint32_t i = 0; i < propertyKeyCount; ++i) {
        standin::setProperty(service, propertyKeys[i], makeInteger(i));
    }
    standin::setProperty(service, "vdos", makeInteger(99));
    explain::RegistryWalk walk = read();
    ASSERT_EQ(walk.entries.size(), 1U);
    ASSERT_EQ(walk.entries[0].properties.size(), 26U);
    for (std::uint32_t i = 0; i < propertyKeyCount; ++i) {
        EXPECT_EQ(walk.entries[0].properties[i].first, propertyKeys[i]);
        EXPECT_EQ(walk.entries[0].properties[i].second.integer, i);
    }
}

// "DataRole" 2 and "DataRoleDescription" "Host": a number's words, when
// the registry gives them beside it as text.
TEST_F(RegistryReaderTest, ANumbersDescriptionIsReadBesideIt)
{
    standin::EntryId service = entry(controller);
    standin::setProperty(service, "DataRole", makeInteger(2));
    standin::setProperty(service, "DataRoleDescription", makeString("Host"));
    standin::setProperty(service, "PowerRole", makeString("Sink"));
    standin::setProperty(service, "PowerRoleDescription", makeString("not a number's"));
    standin::setProperty(service, "SpecRevision", makeInteger(3));
    standin::setProperty(service, "SpecRevisionDescription", makeInteger(3));
    explain::RegistryWalk walk = read();
    ASSERT_EQ(walk.entries.size(), 1U);
    EXPECT_EQ(walk.entries[0].descriptions,
              (std::vector<std::pair<std::string, std::string>>{{"DataRole", "Host"}}));
    EXPECT_EQ(walk.entries[0].properties.size(), 3U);
}

TEST_F(RegistryReaderTest, TheWalkStopsAtDepthEight)
{
    standin::EntryId above = entry(controller);
    for (int level = 1; level <= 12; ++level) {
        standin::EntryId below = entry("Level", "L" + std::to_string(level));
        standin::setProperty(below, "VDMs", makeInteger(level));
        // Reading its members at depth 8 holds no more than the report would.
        standin::setProperty(below, "Metadata", makeDictionary({{"VDOs", makeArray({})}}));
        link(above, below);
        above = below;
    }
    explain::RegistryWalk walk = read();
    ASSERT_EQ(walk.entries.size(), 9U);
    EXPECT_EQ(walk.entries.back().depth, 8U);
    EXPECT_EQ(walk.entries.back().path.size(), 9U);
    EXPECT_EQ(walk.entries.back().path.back(), "L8");
    EXPECT_EQ(walk.entries.back().properties.at(0).second.integer, 8);
}

TEST_F(RegistryReaderTest, AnEntryWithTwoParentsIsReadUnderEachAndACycleUntilTheDepthLimit)
{
    standin::EntryId service = entry(controller);
    standin::EntryId left = entry("Side", "left");
    standin::EntryId right = entry("Side", "right");
    standin::EntryId shared = entry("Shared", "shared");
    standin::setProperty(shared, "PDRevision", makeInteger(3));
    link(service, left);
    link(service, right);
    link(left, shared);
    link(right, shared);
    EXPECT_EQ(readText(), "0 [AppleHPMARMSPMI] /AppleHPMARMSPMI\n"
                          "  1 [Side] /AppleHPMARMSPMI /left\n"
                          "    2 [Shared] /AppleHPMARMSPMI /left /shared\n"
                          "      PDRevision: integer 3\n"
                          "  1 [Side] /AppleHPMARMSPMI /right\n"
                          "    2 [Shared] /AppleHPMARMSPMI /right /shared\n"
                          "      PDRevision: integer 3\n");

    startOver();
    service = entry(controller);
    standin::EntryId loop = entry("Loop", "loop");
    link(service, loop);
    link(loop, service);
    explain::RegistryWalk walk = read();
    ASSERT_EQ(walk.entries.size(), 9U);
    for (unsigned depth = 0; depth < 9; ++depth) {
        EXPECT_EQ(walk.entries[depth].depth, depth);
        EXPECT_EQ(walk.entries[depth].path.back(), depth % 2 == 0 ? controller : "loop");
    }
}

TEST_F(RegistryReaderTest, NamesLongerThanTheSystemsBufferAreCutAt127Bytes)
{
    standin::addEntry(controller, std::string(200, 'n'));
    explain::RegistryWalk walk = read();
    ASSERT_EQ(walk.entries.size(), 1U);
    EXPECT_EQ(walk.entries[0].path[0], std::string(127, 'n'));
}

TEST_F(RegistryReaderTest, EachFailureLeavesOutOnlyWhatItConcerns)
{
    standin::EntryId service = entry(controller);
    standin::EntryId port = entry("AppleHPMInterfaceType10", "Port-USB-C@1");
    standin::EntryId cc = entry("IOPortTransportStateCC", "CC");
    standin::EntryId sop = entry("IOPortTransportComponentCCUSBPDSOPp", "SOP'");
    link(service, port);
    link(port, cc);
    link(port, sop);
    link(cc, entry("IOPortTransportComponentCCUSBPDSOP", "SOP"));
    standin::setProperty(port, "PowerRole", makeString("Sink"));
    standin::setProperty(port, "DataRole", makeString("Device"));
    standin::setProperty(
        sop, "Metadata",
        makeDictionary({{"Vendor ID", makeInteger(1314)}, {"Product ID", makeInteger(2928)}}));
    const std::string whole = readText();

    standin::Faults &faults = standin::faults();
    faults.add(FaultRule(Call::childIterator).forEntry(cc));
    faults.add(FaultRule(Call::nameRead).forEntry(port));
    faults.add(FaultRule(Call::classRead).forEntry(sop));
    faults.add(FaultRule(Call::propertyLookup).forEntry(port).forDetail("PowerRole"));
    faults.add(FaultRule(Call::keyStringCreate).forDetail("DataRole"));
    faults.add(FaultRule(Call::dictionaryLookup).forEntry(sop).forDetail("Vendor ID"));
    EXPECT_NE(readText(), whole);
    EXPECT_EQ(readText(), "0 [AppleHPMARMSPMI] /AppleHPMARMSPMI\n"
                          "  1 [AppleHPMInterfaceType10] /AppleHPMARMSPMI /\n"
                          "    2 [IOPortTransportStateCC] /AppleHPMARMSPMI / /CC\n"
                          "    2 [] /AppleHPMARMSPMI / /SOP'\n"
                          "      Metadata: dictionary 2\n"
                          "        Product ID: integer 2928\n");

    startOver();
    entry(controller);
    standin::faults().add(FaultRule(Call::serviceLookup).forDetail(controller));
    EXPECT_TRUE(read().entries.empty());
}

TEST_F(RegistryReaderTest, TheBuiltInSampleIsReadAsTheReportWalksIt)
{
    ASSERT_FALSE(snapshot::loadBuiltInSample().has_value());
    explain::RegistryWalk walk = read();
    std::string report = output(printReport);
    std::string section = report.substr(0, report.find(testing_support::powerHeader));

    // Each entry line of the report's first section against the walk's
    // entry at the same place, each probe line against its property.
    std::size_t at = 0;
    std::size_t entryIndex = 0;
    std::size_t propertyIndex = 0;
    std::size_t probes = 0;
    while (at < section.size()) {
        std::size_t end = section.find('\n', at);
        std::string line = section.substr(at, end - at);
        at = end + 1;
        std::size_t spaces = line.find_first_not_of(' ');
        if (spaces == std::string::npos) {
            continue;
        }
        std::string rest = line.substr(spaces);
        if (rest[0] == '[') {
            ASSERT_LT(entryIndex, walk.entries.size()) << line;
            const explain::WalkedEntry &walked = walk.entries[entryIndex++];
            EXPECT_EQ(spaces, 2 * walked.depth) << line;
            EXPECT_EQ(walked.path.size(), walked.depth + 1);
            EXPECT_EQ(rest.rfind("[" + walked.className + "] " + walked.path.back(), 0), 0U)
                << line;
            if (entryIndex > 1) {
                EXPECT_EQ(walk.entries[entryIndex - 2].properties.size(), propertyIndex);
            }
            propertyIndex = 0;
        } else if (rest.rfind(">>> ", 0) == 0) {
            ASSERT_GT(entryIndex, 0U);
            const explain::WalkedEntry &walked = walk.entries[entryIndex - 1];
            ASSERT_LT(propertyIndex, walked.properties.size()) << line;
            EXPECT_EQ(rest.rfind(">>> " + walked.properties[propertyIndex++].first + ": ", 0), 0U)
                << line;
            ++probes;
        }
    }
    EXPECT_EQ(entryIndex, walk.entries.size());
    if (entryIndex > 0) {
        EXPECT_EQ(walk.entries[entryIndex - 1].properties.size(), propertyIndex);
    }
    EXPECT_GT(walk.entries.size(), 10U);
    EXPECT_GT(probes, 10U);
    EXPECT_TRUE(walk.notes.empty());
}

} // namespace
