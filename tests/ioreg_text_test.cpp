// `ioreg` text read as a snapshot: the text of a registry reads into the
// registry its property list holds (the sample and generated ones, reported
// and explained alike), what pasting does to it is undone and said once,
// and what the grammar does not allow is refused with its line.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <plist/plist.h>

#include "platform/standin/snapshot/snapshot_loader.h"
#include "platform/standin/standin.h"
#include "platform/standin/utf.h"
#include "report/property_keys.h"
#include "support/golden_file.h"
#include "support/ioreg_text_writer.h"
#include "support/process_run.h"
#include "support/report_fixture.h"
#include "support/scratch_path.h"
#include "support/snapshot_forms.h"

namespace {

using testing_support::fromXml;
using testing_support::ioregText;
using testing_support::Plist;
using testing_support::readFile;
using testing_support::registryDump;
using testing_support::Snapshot;
using testing_support::textReadyCopy;
using testing_support::TwoForms;
using testing_support::twoForms;
using testing_support::writeScratch;

// A registry of random shape and values, seeded: controllers with entries
// below them, several named with a location, values of every kind text can
// hold, probed keys among the others, and IDs shared across the two planes.
Plist generatedRegistry(unsigned seed)
{
    std::mt19937 random(seed);
    auto below = [&random](unsigned bound) { return static_cast<unsigned>(random() % bound); };
    std::uint64_t nextId = 0x100000100;
    std::function<plist_t(unsigned)> value = [&](unsigned depth) -> plist_t {
        switch (below(depth > 2 ? 5 : 7)) {
        case 0: return plist_new_uint(random() % 3 == 0 ? -std::uint64_t(random()) : random());
        case 1: return plist_new_string(("text " + std::to_string(below(1000))).c_str());
        case 2: return plist_new_bool(below(2));
        case 3: {
            std::string bytes(below(9), '\0');
            for (char &byte : bytes) {
                byte = static_cast<char>(below(2) == 0 ? 'A' + below(26) : below(256));
            }
            return plist_new_data(bytes.data(), bytes.size());
        }
        case 4: return plist_new_string("");
        case 5: {
            plist_t array = plist_new_array();
            for (unsigned i = below(4); i > 0; --i) {
                plist_array_append_item(array, value(depth + 1));
            }
            return array;
        }
        default: {
            plist_t dictionary = plist_new_dict();
            for (unsigned i = below(4); i > 0; --i) {
                plist_dict_set_item(dictionary, ("k" + std::to_string(i)).c_str(),
                                    value(depth + 1));
            }
            return dictionary;
        }
        }
    };
    std::vector<plist_t> all;
    std::function<plist_t(unsigned, const char *)> entry = [&](unsigned level,
                                                               const char *className) {
        plist_t node = plist_new_dict();
        plist_dict_set_item(node, "IOObjectClass", plist_new_string(className));
        std::string name = "E" + std::to_string(below(100));
        if (below(3) == 0) {
            name += "@" + std::to_string(below(9));
        }
        plist_dict_set_item(node, "IORegistryEntryName", plist_new_string(name.c_str()));
        plist_dict_set_item(node, "IORegistryEntryID", plist_new_uint(nextId++));
        for (unsigned i = below(5); i > 0; --i) {
            std::string key = below(2) == 0 ? propertyKeys[below(propertyKeyCount)]
                                            : "Other " + std::to_string(below(50));
            plist_dict_set_item(node, key.c_str(), value(1));
        }
        if (level < 4) {
            plist_t children = plist_new_array();
            for (unsigned i = below(4); i > 0; --i) {
                plist_array_append_item(
                    children, entry(level + 1, below(3) == 0 ? "IOPortTransportComponentCCUSBPDSOPp"
                                                             : "IOService"));
            }
            plist_dict_set_item(node, "IORegistryEntryChildren", children);
        }
        all.push_back(node);
        return node;
    };
    plist_t service = plist_new_array();
    for (unsigned i = 1 + below(3); i > 0; --i) {
        plist_array_append_item(service, entry(1, "AppleHPMARMSPMI"));
    }
    // The power plane links some of the same entries again, by ID alone.
    plist_t power = plist_new_array();
    for (plist_t node : all) {
        if (below(4) == 0) {
            plist_t link = plist_new_dict();
            plist_dict_set_item(link, "IOObjectClass",
                                plist_copy(plist_dict_get_item(node, "IOObjectClass")));
            plist_dict_set_item(link, "IORegistryEntryID",
                                plist_copy(plist_dict_get_item(node, "IORegistryEntryID")));
            plist_array_append_item(power, link);
        }
    }
    plist_t planes = plist_new_dict();
    plist_dict_set_item(planes, "IOService", service);
    plist_dict_set_item(planes, "IOPower", power);
    return Plist(planes);
}

class IoregTextTest : public testing_support::StandinTest {
protected:
    struct Loaded {
        std::string error;
        std::vector<std::string> notes;
        std::string report;
        std::string registry;
    };

    static Loaded load(const std::vector<Snapshot> &snapshots)
    {
        startOver();
        snapshot::SnapshotLoader loader;
        Loaded loaded;
        for (const Snapshot &snapshot : snapshots) {
            if (auto error = loader.add(snapshot.bytes, snapshot.plane)) {
                loaded.error = *error;
                return loaded;
            }
        }
        loader.commit();
        loaded.notes = loader.notes();
        loaded.registry = registryDump();
        loaded.report = report();
        return loaded;
    }

    static Loaded load(const std::string &bytes) { return load({{bytes, ""}}); }

    // Checks that the text forms load as the property list does.
    static void expectSameRegistry(const TwoForms &forms)
    {
        Loaded fromXml = load(forms.xml);
        Loaded fromText = load(forms.texts);
        ASSERT_EQ(fromXml.error, "");
        ASSERT_EQ(fromText.error, "");
        EXPECT_EQ(fromText.registry, fromXml.registry);
        EXPECT_EQ(fromText.report, fromXml.report);
        EXPECT_EQ(fromText.notes, std::vector<std::string>());
    }
};

TEST_F(IoregTextTest, TheSampleAsTextIsTheRegistryItsPropertyListHolds)
{
    Plist sample = fromXml(readFile(PORTPROBE_SAMPLE));
    TwoForms forms = twoForms(sample.get());
    expectSameRegistry(forms);
    EXPECT_NE(forms.texts[0].bytes.find("+-o Port-USB-C@1  <class"), std::string::npos);
}

TEST_F(IoregTextTest, GeneratedRegistriesAsTextAreTheRegistriesTheirPropertyListsHold)
{
    for (unsigned seed = 1; seed <= 20; ++seed) {
        SCOPED_TRACE(seed);
        Plist registry = generatedRegistry(seed);
        expectSameRegistry(twoForms(registry.get()));
    }
}

TEST_F(IoregTextTest, ExplainSaysTheSameOfTheTextAsOfThePropertyList)
{
    Plist sample = fromXml(readFile(PORTPROBE_SAMPLE));
    TwoForms forms = twoForms(sample.get());
    std::string xml = writeScratch("xml", forms.xml);
    std::string service = writeScratch("service.txt", forms.texts[0].bytes);
    // portprobe-explain reads no IOPower plane: the text of the IOPort plane is third.
    ASSERT_EQ(forms.texts.size(), 3u);
    std::string port = writeScratch("port.txt", forms.texts[2].bytes);
    for (const char *format : {"", "--json "}) {
        auto fromXml = testing_support::runProcess(PORTPROBE_EXPLAIN_BINARY, format + xml);
        std::string arguments = format + service;
        arguments += " -p IOPort " + port;
        auto fromText = testing_support::runProcess(PORTPROBE_EXPLAIN_BINARY, arguments);
        EXPECT_EQ(fromXml.status, 0);
        EXPECT_EQ(fromText.status, 0);
        EXPECT_EQ(fromText.out, fromXml.out);
        EXPECT_EQ(fromText.err, "");
        EXPECT_NE(fromText.out.find("Port-USB-C"), std::string::npos);
    }
}

TEST_F(IoregTextTest, EveryValueFormReadsAsItsPropertyListValue)
{
    const struct {
        std::string text;
        std::string xml;
    } cases[] = {
        {"268435456", "<integer>268435456</integer>"},
        {"18446744072797564220", "<integer>-911987396</integer>"},
        {"18446744073709551615", "<integer>-1</integer>"},
        {"0x1f", "<integer>31</integer>"},
        {"\"8A6D631D-C21C\"", "<string>8A6D631D-C21C</string>"},
        {"\"\"", "<string></string>"},
        {"\"caf\xc3\xa9 (a, b) {c} <d>\"", "<string>caf\xc3\xa9 (a, b) {c} &lt;d&gt;</string>"},
        {"Yes", "<true/>"},
        {"No", "<false/>"},
        {"<2311>", "<data>IxE=</data>"},
        {"<>", "<data></data>"},
        {"<\"APP \">", "<data>QVBQIA==</data>"},
        {"(\"CC\",\"USB2\")", "<array><string>CC</string><string>USB2</string></array>"},
        {"()", "<array/>"},
        {"{}", "<dict/>"},
        {"{\"sbu1\"=3,\"tx1\"=Yes}",
         "<dict><key>sbu1</key><integer>3</integer><key>tx1</key><true/></dict>"},
        {"{\"AdapterPower\"=,\"Watts\"=60}", "<dict><key>Watts</key><integer>60</integer></dict>"},
        {"{\"a\"=}", "<dict/>"},
        {"({\"UsbHvcMenu\"=({\"Index\"=0,\"MaxVoltage\"=5000},{})},<00ff>)",
         "<array><dict><key>UsbHvcMenu</key><array><dict><key>Index</key><integer>0</integer>"
         "<key>MaxVoltage</key><integer>5000</integer></dict><dict/></array></dict>"
         "<data>AP8=</data></array>"},
    };
    for (const auto &one : cases) {
        SCOPED_TRACE(one.text);
        Loaded fromText =
            load("+-o E  <class C, id 0x1>\n    {\n      \"k\" = " + one.text + "\n    }\n");
        Loaded fromXml = load("<plist><dict><key>IOObjectClass</key><string>C</string>"
                              "<key>IORegistryEntryName</key><string>E</string>"
                              "<key>IORegistryEntryID</key><integer>1</integer><key>k</key>" +
                              one.xml + "</dict></plist>");
        ASSERT_EQ(fromText.error, "");
        EXPECT_EQ(fromText.registry, fromXml.registry);
    }
}

TEST_F(IoregTextTest, AnEntryLineGivesClassNameLocationAndId)
{
    Loaded loaded = load("+-o Port-MagSafe 3@1  <class AppleHPMInterfaceType11, id 0x10000069a, "
                         "registered, matched, active, busy 0 (650 ms), retain 9>\n"
                         "  +-o USB-PD [*]  <class IOPortFeaturePowerSource, id 0x2>\n"
                         "  +-o Old  <class IOService, registered, retain 9>\n"
                         "  +-o Cut  <class IOService, id 0x3, regis\n");
    ASSERT_EQ(loaded.error, "");
    EXPECT_EQ(loaded.registry, "#3 [IOService] Old\n"
                               "0x10000069a [AppleHPMInterfaceType11] Port-MagSafe 3\n"
                               "  IOService: 0x2 #3 0x3\n"
                               "  IOService location 1\n"
                               "0x2 [IOPortFeaturePowerSource] USB-PD [*]\n"
                               "0x3 [IOService] Cut\n"
                               "root [IORegistryEntry] Root\n"
                               "  IOService: 0x10000069a\n");
    // The same ID in a property list is the same entry.
    snapshot::SnapshotLoader loader;
    ASSERT_FALSE(loader.add("+-o A@1  <class C, id 0x10>\n"));
    EXPECT_FALSE(loader.add("<plist><dict><key>IOObjectClass</key><string>C</string><key>"
                            "IORegistryEntryName</key><string>A</string><key>IORegistryEntryID"
                            "</key><integer>16</integer></dict></plist>"));
    // The entry, and the registry's root that holds it.
    EXPECT_EQ(loader.entryCount(), 2u);
}

// The sample's service plane, as pasted in the ways people paste.
TEST_F(IoregTextTest, PasteDamageIsUndoneAndSaidOnce)
{
    Plist sample = fromXml(readFile(PORTPROBE_SAMPLE));
    TwoForms forms = twoForms(sample.get());
    const std::string clean = forms.texts[0].bytes;
    std::string expected = load(clean).registry;

    auto eachLine = [&clean](const std::function<std::string(const std::string &)> &change) {
        std::string out;
        std::size_t start = 0;
        for (std::size_t end; (end = clean.find('\n', start)) != std::string::npos;
             start = end + 1) {
            out += change(clean.substr(start, end - start)) + "\n";
        }
        return out;
    };
    auto tabs = [](const std::string &line) {
        // Spaces up to each multiple of 8 columns, as a terminal copies them.
        std::string out;
        std::size_t drawing = line.find_first_not_of(" |");
        for (std::size_t at = 0; at < line.size(); ++at) {
            if (at < drawing && line[at] == ' ' && (at + 1) % 8 == 0 &&
                line.compare(at - 7 + (at >= 7 ? 0 : 7), 1, " ") == 0) {
                std::size_t run = out.size();
                while (run > 0 && out[run - 1] == ' ' && out.size() - run < 7) {
                    --run;
                }
                out.resize(run);
                out += '\t';
            } else {
                out += line[at];
            }
        }
        return out;
    };
    const struct {
        std::string name;
        std::string text;
        std::vector<std::string> notes;
    } cases[] = {
        {"fence", "```text\n" + clean + "```\n", {"read the text inside a code fence"}},
        {"quoting",
         eachLine([](const std::string &line) { return "> " + line; }),
         {"took off the \"> \" that quotes the lines"}},
        {"tabs",
         eachLine(tabs),
         {"read tabs in the tree's drawing as spaces to the next multiple of 8 columns"}},
        {"crlf",
         eachLine([](const std::string &line) { return line + "\r"; }),
         {"read CRLF line ends as line feeds"}},
        {"prose",
         "Here is what ioreg says:\n\n" + clean + "\nThanks!\n$ uname -a\n",
         {"skipped 3 lines of prose or other output outside the trees"}},
    };
    for (const auto &one : cases) {
        SCOPED_TRACE(one.name);
        Loaded loaded = load(one.text);
        ASSERT_EQ(loaded.error, "");
        EXPECT_EQ(loaded.registry, expected);
        EXPECT_EQ(loaded.notes, one.notes);
    }
}

TEST_F(IoregTextTest, ProseBetweenTreesEndsATreeAndTheNextEntryStartsOne)
{
    Loaded loaded = load("+-o A  <class C, id 0x1>\n  +-o B  <class C, id 0x2>\n"
                         "and then with -r -n D:\n"
                         "  +-o D  <class C, id 0x3>\n    +-o E  <class C, id 0x4>\n");
    ASSERT_EQ(loaded.error, "");
    EXPECT_EQ(loaded.registry, "0x1 [C] A\n  IOService: 0x2\n0x2 [C] B\n"
                               "0x3 [C] D\n  IOService: 0x4\n0x4 [C] E\n"
                               "root [IORegistryEntry] Root\n  IOService: 0x1 0x3\n");
    EXPECT_EQ(loaded.notes, std::vector<std::string>(
                                {"skipped 1 line of prose or other output outside the trees"}));
}

TEST_F(IoregTextTest, LinesCutAtTheTerminalsWidthLeaveOutTheirPropertiesOnly)
{
    const char *const lines[] = {
        "+-o A  <class C, id 0x1, registered, matched, active, busy 0>",
        "  | {",
        "  |   \"Short\" = 1",
        "  |   \"Whole\" = (1,2,3,4,5,6,7,8,9,10)",
        "  |   \"LongList\" = (1,2,3,4,5,6,7,8,9,10,11,12)",
        "  |   \"LongText\" = \"abcdefghijklmnopqrstuvwxyz\"",
        "  |   \"LongNumber\" = 12345678901234567890123",
        "  |   \"A very long key that is cut somewhere\" = 1",
        "  | }",
        "  | ",
        "  +-o B  <class C, id 0x2>",
    };
    std::string text;
    for (const std::string line : lines) {
        text += line.substr(0, 40) + "\n";
    }
    Loaded loaded = load(text);
    ASSERT_EQ(loaded.error, "");
    EXPECT_EQ(loaded.registry, "0x1 [C] A\n  Short = 1\n  Whole = (1,2,3,4,5,6,7,8,9,10,)\n"
                               "  IOService: 0x2\n0x2 [C] B\n"
                               "root [IORegistryEntry] Root\n  IOService: 0x1\n");
    // LongNumber reads whole but is as wide as the cut lines: it may be cut.
    EXPECT_EQ(loaded.notes,
              std::vector<std::string>({"left out 4 properties whose line was cut at the "
                                        "terminal's width; `ioreg -lw0` writes lines whole"}));
}

TEST_F(IoregTextTest, TextOutsideTheGrammarIsRefusedWithItsLine)
{
    const std::string entry = "+-o A  <class C, id 0x1>\n";
    const std::string open = entry + "  | {\n";
    const struct {
        std::string text;
        std::string message;
    } cases[] = {
        {"garbage\x01\x02",
         "1: expected an entry line (\"+-o NAME  <class CLASS, id 0xID, ...>\"), a property line "
         "(\"KEY\" = VALUE) or a property list in the text: it holds none; the line reads "
         "\"garbage\\x01\\x02\""},
        {open + "  |   \"k\" = 1\n  |   \"k\" = maybe\n  | }\n",
         "4: expected a value: a number, \"text\", Yes, No, <data>, (an array) or {a "
         "dictionary}; the line reads \"  |   \"k\" = maybe\""},
        {open + "  |   \"k\" = 1 2\n", "3: expected the end of the line after the value; the "
                                       "line reads \"  |   \"k\" = 1 2\""},
        {open + "  |   \"k\" = \"say \"hi\"\"\n",
         "3: expected the end of the line after the value; the line reads \"  |   \"k\" = \"say "
         "\"hi\"\"\""},
        {open + "  |   \"k\" = (1;2)\n", "3: expected \",\" or \")\" after an array's value; the "
                                         "line reads \"  |   \"k\" = (1;2)\""},
        {open + "  |   \"k\" = {\"a\"=1;}\n",
         "3: expected \",\" or \"}\" after a dictionary's value; the line reads \"  |   \"k\" = "
         "{\"a\"=1;}\""},
        {open + "  |   \"k\" = {a=1}\n",
         "3: expected a double-quoted key; the line reads \"  |   \"k\" = {a=1}\""},
        {open + "  |   \"k\" = <123>\n", "3: expected an even number of hex digits in data; the "
                                         "line reads \"  |   \"k\" = <123>\""},
        {open + "  |   \"k\" = <12zz>\n",
         "3: expected hex digits or \">\" in data; the line reads \"  |   \"k\" = <12zz>\""},
        {open + "  |   \"k\" = 18446744073709551616\n",
         "3: expected a number below 2^64; the line reads \"  |   \"k\" = 18446744073709551616\""},
        {open + "  |   \"k\" 1\n",
         "3: expected \" = \" after the key; the line reads \"  |   \"k\" 1\""},
        {open + "  |   \"k\" = \"\xff\"\n",
         "3: expected text in UTF-8; the line reads \"  |   \"k\" = \"\xff\"\""},
        {open + "  |   \"IOObjectClass\" = \"D\"\n",
         "3: expected a property other than \"IOObjectClass\", which the entry line gives; the "
         "line reads \"  |   \"IOObjectClass\" = \"D\"\""},
        {open + "  |  \"k\" = 1\n",
         "3: expected a property (\"KEY\" = VALUE) or \"}\" closing the properties begun at line "
         "2; the line reads \"  |  \"k\" = 1\""},
        {entry + "  {\n", "2: expected \"{\" only on the line after an entry line, four "
                          "columns right of its \"+-o\"; the line reads \"  {\""},
        {entry + "      +-o B  <class C, id 0x2>\n",
         "2: expected an entry at most one level right of the entry above it, at line 1; the "
         "line reads \"      +-o B  <class C, id 0x2>\""},
        {entry + "  | garbage\n", "2: expected an entry line (\"+-o NAME  <class CLASS, id 0xID, "
                                  "...>\"), \"{\", a property or the tree's drawing alone; the "
                                  "line reads \"  | garbage\""},
        {"+-o A  <class AppleHPMInt\n",
         "1: expected an entry line (\"+-o NAME  <class CLASS, id 0xID, ...>\"), a property line "
         "(\"KEY\" = VALUE) or a property list in the text: it holds none but an entry line cut "
         "before its class, at line 1; the line reads \"+-o A  <class AppleHPMInt\""},
        {"+-o A  <class C,x>\n", "1: expected \", \" or \">\" after the class of an entry line "
                                 "(\"+-o NAME  <class CLASS, id 0xID, ...>\"); the line reads "
                                 "\"+-o A  <class C,x>\""},

        {"+-o A  <class C, id 0x1G>\n",
         "1: expected hex digits and \",\" or \">\" after \"id 0x\"; the line reads \"+-o A  "
         "<class C, id 0x1G>\""},
        {"+-o A  <class C, id 0x11111111111111111>\n",
         "1: expected an entry ID of at most 16 hex digits; the line reads \"+-o A  <class C, "
         "id 0x11111111111111111>\""},
        {"Look:\n+-o A  <class C, id 0x1>\n+-o B  <class D, id 0x1>\n",
         "3: entry ID 1 is [D] B here but [C] A before; the line reads \"+-o B  <class D, id "
         "0x1>\""},
        {"+-o " + std::string(128, 'n') + "  <class C, id 0x1>\n",
         "1: the entry name is 128 bytes long; at most 127 fit; the line reads \"+-o "
         "nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn...\""},
    };
    snapshot::SnapshotLoader loader;
    for (const auto &bad : cases) {
        EXPECT_EQ(loader.add(bad.text).value_or("accepted"), bad.message) << bad.text;
    }
    EXPECT_EQ(loader.entryCount(), 0u);
}

TEST_F(IoregTextTest, NestingBeyondTheLoadersLimitIsRefusedWithItsLine)
{
    std::string deep;
    for (std::size_t level = 0; level < 257; ++level) {
        deep += std::string(2 * level, ' ') + "+-o E  <class C>\n";
    }
    std::string values = "+-o E  <class C>\n    {\n      \"k\" = " + std::string(256, '(') +
                         std::string(256, ')') + "\n    }\n";
    snapshot::SnapshotLoader loader;
    EXPECT_EQ(loader.add(deep).value_or("accepted").substr(0, 54),
              "257: expected entries nested at most 256 levels deep; ");
    EXPECT_EQ(loader.add(values).value_or("accepted").substr(0, 50),
              "3: expected values nested at most 255 levels deep ");
    EXPECT_FALSE(loader.add(deep.substr(0, deep.rfind("+-o"))));
}

TEST(IoregTextPrograms, NotesGoToStandardErrorAndFailuresNameFileAndLine)
{
    std::string pasted = writeScratch("pasted.txt", "> +-o A  <class AppleHPMARMSPMI, id 0x1>\r\n");
    std::string bad = writeScratch("bad.txt", "+-o A  <class C, id 0x1>\n  | garbage\n");
    auto replay = testing_support::runProcess(PORTPROBE_REPLAY_BINARY, pasted);
    EXPECT_EQ(replay.status, 0);
    EXPECT_NE(replay.out.find("[AppleHPMARMSPMI] A\n"), std::string::npos);
    EXPECT_EQ(replay.err, "portprobe-replay: " + pasted +
                              ": took off the \"> \" that quotes the lines\nportprobe-replay: " +
                              pasted + ": read CRLF line ends as line feeds\n");
    auto explain = testing_support::runProcess(PORTPROBE_EXPLAIN_BINARY, "--json " + pasted);
    EXPECT_EQ(explain.status, 0);
    EXPECT_NE(explain.out.find(": read CRLF line ends as line feeds\""), std::string::npos);
    EXPECT_EQ(explain.err, "portprobe-explain: " + pasted +
                               ": took off the \"> \" that quotes the lines\nportprobe-explain: " +
                               pasted + ": read CRLF line ends as line feeds\n");
    for (const char *program : {PORTPROBE_REPLAY_BINARY, PORTPROBE_EXPLAIN_BINARY}) {
        std::string arguments = pasted;
        arguments += " " + bad;
        auto refused = testing_support::runProcess(program, arguments);
        EXPECT_EQ(refused.status, 2);
        EXPECT_EQ(refused.out, "");
        EXPECT_NE(refused.err.find(bad + ":2: expected an entry line"), std::string::npos)
            << refused.err;
    }
}

} // namespace
