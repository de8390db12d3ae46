// Captures that are pieces, as people paste them: text and property lists
// cut anywhere, property lines without their entry line, windows that begin
// deep in a tree, values written over several lines, an editor's tabs, lines
// cut at 100 columns and a property list after prose. Each form on the
// sample's own text and on captures of the shapes real pastes have: what is
// read is what came whole (the same text closed by hand reads the same
// registry), and one note says where the capture was cut.
#include <algorithm>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <plist/plist.h>

#include "platform/standin/snapshot/snapshot_loader.h"
#include "platform/standin/standin.h"
#include "support/golden_file.h"
#include "support/ioreg_text_writer.h"
#include "support/report_fixture.h"
#include "support/snapshot_forms.h"

namespace {

using Lines = std::vector<std::string>;

Lines linesOf(const std::string &text)
{
    Lines lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::string joined(const Lines &lines, std::size_t from = 0, std::size_t to = std::string::npos)
{
    std::string text;
    for (std::size_t i = from; i < std::min(to, lines.size()); ++i) {
        text += lines[i] + "\n";
    }
    return text;
}

// The index of the first line holding what, from from on.
std::size_t lineWith(const Lines &lines, const std::string &what, std::size_t from = 0)
{
    for (std::size_t i = from; i < lines.size(); ++i) {
        if (lines[i].find(what) != std::string::npos) {
            return i;
        }
    }
    ADD_FAILURE() << "no line holds " << what;
    return lines.size();
}

bool hasNote(const std::vector<std::string> &notes, const std::string &note)
{
    return std::find(notes.begin(), notes.end(), note) != notes.end();
}

std::string notesText(const std::vector<std::string> &notes)
{
    std::string text;
    for (const std::string &note : notes) {
        text += note + "\n";
    }
    return text;
}

// The members of a one-line container's text ("{"k"=v,...}" or "(v,...)"),
// split at its own commas: not inside quotes, data or a nested container.
Lines membersOf(const std::string &container)
{
    Lines members;
    std::string member;
    int depth = 0;
    bool quoted = false;
    for (std::size_t at = 1; at + 1 < container.size(); ++at) {
        char c = container[at];
        quoted = c == '"' ? !quoted : quoted;
        if (!quoted) {
            depth += c == '{' || c == '(' || c == '<'   ? 1
                     : c == '}' || c == ')' || c == '>' ? -1
                                                        : 0;
        }
        if (c == ',' && depth == 0 && !quoted) {
            members.push_back(member);
            member.clear();
        } else {
            member += c;
        }
    }
    if (!member.empty()) {
        members.push_back(member);
    }
    return members;
}

// A value as a poster spreads it: each container opened on its line, one
// member a line (with a comma after every member but the last when commas
// is true), closed on a line of its own.
std::string spread(const std::string &value, const std::string &indent, bool commas)
{
    if (value.size() < 3 || (value.front() != '{' && value.front() != '(')) {
        return value;
    }
    const bool dictionary = value.front() == '{';
    Lines members = membersOf(value);
    std::string out(1, value.front());
    out += "\n";
    for (std::size_t i = 0; i < members.size(); ++i) {
        const std::string inner = indent + "  ";
        std::string member = members[i];
        if (dictionary) {
            std::size_t equals = member.find("\"=") + 1;
            std::string key = member.substr(0, equals);
            key += " = ";
            key += spread(member.substr(equals + 1), inner, commas);
            member = std::move(key);
        } else {
            member = spread(member, inner, commas);
        }
        out += inner;
        out += member;
        out += commas && i + 1 < members.size() ? ",\n" : "\n";
    }
    return out + indent + (dictionary ? "}" : ")");
}

class IoregPasteTest : public testing_support::StandinTest {
protected:
    struct Loaded {
        std::string error;
        std::vector<std::string> notes;
        std::string registry;
        std::string report;
    };

    static Loaded load(const std::string &bytes)
    {
        startOver();
        snapshot::SnapshotLoader loader;
        Loaded loaded;
        if (auto error = loader.add(bytes)) {
            loaded.error = *error;
            return loaded;
        }
        loader.commit();
        loaded.notes = loader.notes();
        loaded.registry = testing_support::registryDump();
        loaded.report = report();
        return loaded;
    }

    // The sample's service plane, as `ioreg -lw0` writes it, and as
    // `ioreg -a` does.
    static const Lines &sample()
    {
        static const Lines lines = [] {
            testing_support::Plist plist =
                testing_support::fromXml(testing_support::readFile(PORTPROBE_SAMPLE));
            return linesOf(testing_support::twoForms(plist.get()).texts[0].bytes);
        }();
        return lines;
    }
    static std::string sampleServiceXml()
    {
        testing_support::Plist plist =
            testing_support::fromXml(testing_support::readFile(PORTPROBE_SAMPLE));
        testing_support::Plist ready(testing_support::textReadyCopy(plist.get()));
        return testing_support::xmlOf(plist_dict_get_item(ready.get(), "IOService"));
    }

    // A cut text reads as the same text closed by hand does.
    static void expectReadAsClosed(const std::string &cut, const std::string &closed,
                                   const std::string &note)
    {
        Loaded fromCut = load(cut);
        Loaded fromClosed = load(closed);
        ASSERT_EQ(fromCut.error, "");
        ASSERT_EQ(fromClosed.error, "");
        EXPECT_EQ(fromCut.registry, fromClosed.registry);
        EXPECT_EQ(fromCut.report, fromClosed.report);
        EXPECT_TRUE(hasNote(fromCut.notes, note)) << notesText(fromCut.notes);
    }
};

TEST_F(IoregPasteTest, TextCutAnywhereKeepsWhatCameWholeBeforeTheCut)
{
    const Lines &s = sample();
    const std::size_t battery = lineWith(s, "+-o AppleSmartBattery  <class");
    const std::size_t telemetry = lineWith(s, "\"PowerTelemetryData\"", battery);
    const std::string closer = std::string(s[battery].find("+-o") + 4, ' ') + "}\n";
    const std::string before = joined(s, 0, battery);
    const std::string spread = joined(s, 0, telemetry) +
                               "              \"PowerTelemetryData\" = {\n"
                               "                \"SystemVoltageIn\" = 19850,\n"
                               "                \"SystemCur";
    const std::string line = std::to_string(telemetry + 1);
    const std::string properties = std::to_string(telemetry - battery - 2);
    const struct {
        const char *what;
        std::string cut;
        std::string closed;
        std::string note;
    } cases[] = {
        {"after a whole property", joined(s, 0, telemetry + 1),
         joined(s, 0, telemetry + 1) + closer,
         "the text ends inside the properties of AppleSmartBattery at line " + line + ": " +
             std::to_string(telemetry - battery - 1) + " properties read, the rest cut"},
        {"inside a value", joined(s, 0, telemetry) + s[telemetry].substr(0, 60),
         joined(s, 0, telemetry) + closer,
         "the text ends inside the properties of AppleSmartBattery at line " + line + ": " +
             properties + " properties read, the rest cut"},
        {"before a closing fence and prose", "```\n" + joined(s, 0, telemetry) + "```\nThanks!\n",
         joined(s, 0, telemetry) + closer,
         "the tree ends inside the properties of AppleSmartBattery at line " +
             std::to_string(telemetry + 1) + " (other text follows): " + properties +
             " properties read, the rest cut"},
        {"inside a value over several lines", spread, joined(s, 0, telemetry) + closer,
         "the text ends inside the value of \"PowerTelemetryData\" begun at line " +
             std::to_string(telemetry + 1) + ", in the properties of AppleSmartBattery at line " +
             std::to_string(telemetry + 3) + ": " + properties +
             " properties read, that one and the rest cut"},
        {"inside an entry line's ID", before + s[battery].substr(0, s[battery].find("id 0x") + 7),
         before + s[battery].substr(0, s[battery].find(", id 0x")) + ">\n",
         "kept 1 entry whose line was cut at the terminal's width before the end of their ID; "
         "`ioreg -lw0` writes lines whole"},
        {"inside an entry line's class",
         before + s[battery].substr(0, s[battery].find("<class") + 12), before,
         "the text ends inside an entry line at line " + std::to_string(battery + 1) +
             ": that entry is left out"},
    };
    for (const auto &one : cases) {
        SCOPED_TRACE(one.what);
        expectReadAsClosed(one.cut, one.closed, one.note);
    }
}

TEST_F(IoregPasteTest, ValuesSpreadOverSeveralLinesReadAsOnOne)
{
    // The battery's containers pretty-printed, with commas and without.
    const Lines &s = sample();
    const std::size_t battery = lineWith(s, "+-o AppleSmartBattery  <class");
    Loaded whole = load(joined(s));
    for (bool commas : {true, false}) {
        SCOPED_TRACE(commas);
        Lines spreadLines = s;
        std::size_t spreadCount = 0;
        for (const char *key :
             {"\"AdapterDetails\"", "\"AppleRawAdapterDetails\"", "\"PowerTelemetryData\""}) {
            std::string &line = spreadLines[lineWith(s, key, battery)];
            std::size_t value = line.find(" = ") + 3;
            line = line.substr(0, value) +
                   spread(line.substr(value), std::string(line.find('"'), ' '), commas);
            ++spreadCount;
        }
        Loaded read = load(joined(spreadLines));
        ASSERT_EQ(read.error, "");
        EXPECT_EQ(read.registry, whole.registry);
        EXPECT_EQ(read.notes, std::vector<std::string>({"read " + std::to_string(spreadCount) +
                                                        " values written over several lines as "
                                                        "written on one"}));
    }
}

TEST_F(IoregPasteTest, PropertyLinesWithoutTheirEntryLineAreOneEntryOfUnknownClass)
{
    // `ioreg -rn AppleSmartBattery | grep -E "Adapter|Fed|Telemetry"` of the
    // sample: the battery's own lines, as an entry of no class.
    const Lines &s = sample();
    const std::size_t battery = lineWith(s, "+-o AppleSmartBattery  <class");
    Lines grepped;
    for (std::size_t i = battery; i < s.size(); ++i) {
        for (const char *word : {"Adapter", "Fed", "Telemetry"}) {
            if (s[i].find(word) != std::string::npos) {
                grepped.push_back(s[i]);
                break;
            }
        }
    }
    ASSERT_EQ(grepped.size(), 5U);
    Loaded whole = load(joined(s));
    std::string expected = "#1 [] \n";
    for (const std::string &dumped : linesOf(whole.registry)) {
        for (const char *key :
             {"  AdapterDetails =", "  AppleRawAdapterDetails =", "  FedDetails =",
              "  PowerOutDetails =", "  PowerTelemetryData ="}) {
            if (dumped.rfind(key, 0) == 0) {
                expected += dumped + "\n";
            }
        }
    }
    expected += "root [IORegistryEntry] Root\n  IOService: #1\n";
    Loaded read = load("$ ioreg -rn AppleSmartBattery | grep -E \"Adapter|Fed|Telemetry\"\n" +
                       joined(grepped) + "--\n");
    ASSERT_EQ(read.error, "");
    EXPECT_EQ(read.registry, expected);
    EXPECT_EQ(read.notes,
              std::vector<std::string>(
                  {"skipped 2 lines of prose or other output outside the trees",
                   "read 5 property lines without their entry line as an entry of unknown class"}));
}

// The shapes of real posts, built from what they hold.
TEST_F(IoregPasteTest, PastedPiecesOfThePowerManagerReadAsTheirShapesSay)
{
    const std::string adapter =
        "{\"Watts\"=100,\"AdapterVoltage\"=20000,\"Current\"=4990,\"UsbHvcHvcIndex\"=3,"
        "\"Description\"=\"pd charger\"}";
    const std::string telemetry =
        "{\"SystemPowerIn\"=14362,\"SystemVoltageIn\"=19715,\"SystemCurrentIn\"=728}";
    const std::string entryLine = "+-o AppleSmartBattery  <class AppleSmartBattery, id "
                                  "0x1000002d7, registered, matched, active, busy 0 (0 ms), "
                                  "retain 7>\n";
    const std::string dumped =
        "  AdapterDetails = {\"AdapterVoltage\"=20000,\"Current\"=4990,"
        "\"Description\"=\"pd charger\",\"UsbHvcHvcIndex\"=3,\"Watts\"=100,}\n"
        "  PowerTelemetryData = {\"SystemCurrentIn\"=728,\"SystemPowerIn\"="
        "14362,\"SystemVoltageIn\"=19715,}\n";
    const struct {
        const char *what;
        std::string text;
        std::string registry;
        std::vector<std::string> notes;
    } cases[] = {
        {"grep output at six columns, with grep's own lines and prose",
         "=== Mac model ===\nhw.model: Mac14,6\n      \"AdapterDetails\" = " + adapter +
             "\n--\nbattery.txt:      \"IsCharging\" = Yes\n      \"PowerTelemetryData\" = " +
             telemetry + "\n",
         "#1 [] \n" + dumped + "root [IORegistryEntry] Root\n  IOService: #1\n",
         {"skipped 4 lines of prose or other output outside the trees",
          "read 2 property lines without their entry line as an entry of unknown class"}},
        {"the same key twice: two entries",
         "      \"ExternalConnected\" = No\nplugged in:\n      \"ExternalConnected\" = Yes\n",
         "#1 [] \n  ExternalConnected = false\n#3 [] \n  ExternalConnected = true\n"
         "root [IORegistryEntry] Root\n  IOService: #1 #3\n",
         {"skipped 1 line of prose or other output outside the trees",
          "read 2 property lines without their entry line as 2 entries of unknown class (a key "
          "met again begins another)"}},
        {"an entry line added above the lines, without \"{\", at column 0",
         entryLine + "\"AdapterDetails\" = " + adapter + "\n\"PowerTelemetryData\" = " + telemetry +
             "\n",
         "0x1000002d7 [AppleSmartBattery] AppleSmartBattery\n" + dumped +
             "root [IORegistryEntry] Root\n  IOService: 0x1000002d7\n",
         {"read the property lines after 1 entry line without \"{\" (the first at line 1) as the "
          "properties of the entry above them"}},
        {"the same, copied with the \"}\" but not the \"{\"",
         entryLine + "\"AdapterDetails\" = " + adapter + "\n\"PowerTelemetryData\" = " + telemetry +
             "\n}\n",
         "0x1000002d7 [AppleSmartBattery] AppleSmartBattery\n" + dumped +
             "root [IORegistryEntry] Root\n  IOService: 0x1000002d7\n",
         {"read the property lines after 1 entry line without \"{\" (the first at line 1) as the "
          "properties of the entry above them"}},
        {"a value pretty-printed over several lines, with and without commas",
         entryLine + "    {\n      \"AdapterDetails\" = " + adapter +
             "\n      \"PowerTelemetryData\" = {\n        \"SystemPowerIn\" = 14362,\n"
             "        \"SystemVoltageIn\" = 19715,\n        \"SystemCurrentIn\" = 728\n      }\n"
             "      \"UsbHvcMenu\" = (\n        {\n          \"Index\" = 0\n          "
             "\"MaxVoltage\" = 5000\n        },\n        (1,2)\n      )\n    }\n",
         "0x1000002d7 [AppleSmartBattery] AppleSmartBattery\n" + dumped +
             "  UsbHvcMenu = ({\"Index\"=0,\"MaxVoltage\"=5000,},(1,2,),)\n"
             "root [IORegistryEntry] Root\n  IOService: 0x1000002d7\n",
         {"read 2 values written over several lines as written on one"}},
        {"a line cut at the terminal's width right after \"{\"",
         entryLine + "    {\n      \"AdapterDetails\" = {\n      \"PowerTelemetryData\" = " +
             telemetry + "\n    }\n",
         "0x1000002d7 [AppleSmartBattery] AppleSmartBattery\n  PowerTelemetryData = "
         "{\"SystemCurrentIn\"=728,\"SystemPowerIn\"=14362,\"SystemVoltageIn\"=19715,}\n"
         "root [IORegistryEntry] Root\n  IOService: 0x1000002d7\n",
         {"left out 1 property whose line was cut at the terminal's width; `ioreg -lw0` writes "
          "lines whole"}},
    };
    for (const auto &one : cases) {
        SCOPED_TRACE(one.what);
        Loaded read = load(one.text);
        ASSERT_EQ(read.error, "");
        EXPECT_EQ(read.registry, one.registry);
        EXPECT_EQ(read.notes, one.notes);
    }
}

TEST_F(IoregPasteTest, AWindowThatBeginsDeepStartsItsTreeAtItsFirstEntryLine)
{
    // `grep -A 34 Port-MagSafe` of the sample's text: the port's entry line
    // deep in the tree, its properties, and the start of its first child's.
    const Lines &s = sample();
    const std::size_t port = lineWith(s, "+-o Port-MagSafe 3@1");
    const std::size_t child = lineWith(s, "+-o ", port + 1);
    ASSERT_LT(child + 2, port + 34);
    const std::string window = joined(s, port, port + 35);
    const std::string closer = std::string(s[child].find("+-o") + 4, ' ') + "}\n";
    const std::string note = "the text ends inside the properties of CC at line 35: " +
                             std::to_string(port + 33 - child) + " properties read, the rest cut";
    expectReadAsClosed(window, window + closer, note);
    // The port is the tree's root, its child below it.
    Loaded read = load(window);
    EXPECT_NE(read.registry.find("root [IORegistryEntry] Root\n  IOService: 0x10000066d\n"),
              std::string::npos)
        << read.registry;

    // Built from a real window: the bars of four levels before it, a child,
    // and an entry line left of the first, which is a root too.
    const std::string bars = "| |   | ";
    Loaded built = load(bars + "+-o Port-MagSafe 3@1  <class AppleHPMInterfaceType11, id 0x10>\n" +
                        bars + "  +-o Power In  <class IOPortFeaturePowerIn, id 0x11>\n" + bars +
                        "      {\n" + bars + "        \"Active\" = No\n" + bars + "      }\n" +
                        "| |   +-o Port-USB-C@1  <class AppleHPMInterfaceType10, id 0x12>\n");
    ASSERT_EQ(built.error, "");
    EXPECT_EQ(built.registry,
              "0x10 [AppleHPMInterfaceType11] Port-MagSafe 3\n  IOService: 0x11\n"
              "  IOService location 1\n0x11 [IOPortFeaturePowerIn] Power In\n  Active = false\n"
              "0x12 [AppleHPMInterfaceType10] Port-USB-C\n  IOService location 1\n"
              "root [IORegistryEntry] Root\n  IOService: 0x10 0x12\n");
    // One that begins inside an entry's properties: they are an entry of
    // their own, and the next entry line starts a tree.
    Loaded inside = load("| |   |   \"Description\" = \"Port-USB-C@1/CC\"\n| |   | }\n| |   |\n"
                         "| |   +-o SOP  <class IOPortTransportComponentCCUSBPDSOP, id 0x13>\n");
    ASSERT_EQ(inside.error, "");
    EXPECT_EQ(inside.registry, "#1 [] \n  Description = \"Port-USB-C@1/CC\"\n"
                               "0x13 [IOPortTransportComponentCCUSBPDSOP] SOP\n"
                               "root [IORegistryEntry] Root\n  IOService: #1 0x13\n");
}

TEST_F(IoregPasteTest, AnEditorsTabsAndLinesCutAt100ColumnsRead)
{
    const Lines &s = sample();
    Loaded whole = load(joined(s));
    // Every run of four spaces in the drawing, at a multiple of 4, a tab.
    Lines tabbed;
    for (const std::string &line : s) {
        std::size_t drawing = std::min(line.find_first_not_of(" |"), line.size());
        std::string out;
        std::size_t at = 0;
        for (; at + 4 <= drawing; at += 4) {
            std::string run = line.substr(at, 4);
            out += run == "    " ? "\t" : run;
        }
        tabbed.push_back(out + line.substr(at));
    }
    Loaded fromTabs = load(joined(tabbed));
    ASSERT_EQ(fromTabs.error, "");
    EXPECT_EQ(fromTabs.registry, whole.registry);
    EXPECT_EQ(fromTabs.notes, std::vector<std::string>({"read tabs in the tree's drawing as spaces "
                                                        "to the next multiple of 4 columns"}));

    // Cut at 100 columns: deep entry lines lose their ID, long values their
    // property; every entry stays, and nothing is read that is not whole.
    Lines narrow;
    std::size_t cutEntries = 0;
    for (const std::string &line : s) {
        narrow.push_back(line.substr(0, 100));
        cutEntries += line.find("+-o ") != std::string::npos && line.find(", registered") > 100;
    }
    ASSERT_GT(cutEntries, 0U);
    Loaded fromNarrow = load(joined(narrow));
    ASSERT_EQ(fromNarrow.error, "");
    std::set<std::string> wholeLines;
    for (const std::string &dumped : linesOf(whole.registry)) {
        wholeLines.insert(dumped);
    }
    std::size_t entries = 0;
    for (const std::string &dumped : linesOf(fromNarrow.registry)) {
        if (dumped.rfind("  ", 0) != 0) {
            ++entries;
        } else if (dumped.find(" = ") != std::string::npos) {
            EXPECT_EQ(wholeLines.count(dumped), 1U) << dumped;
        }
    }
    EXPECT_EQ(entries, standin::registry().size());
    EXPECT_EQ(entries, static_cast<std::size_t>(std::count_if(
                           wholeLines.begin(), wholeLines.end(),
                           [](const std::string &line) { return line.rfind("  ", 0) != 0; })));
    EXPECT_TRUE(hasNote(fromNarrow.notes, "kept " + std::to_string(cutEntries) +
                                              " entries whose line was cut at the terminal's "
                                              "width before the end of their ID; `ioreg -lw0` "
                                              "writes lines whole"))
        << notesText(fromNarrow.notes);
}

TEST_F(IoregPasteTest, APropertyListCutShortIsReadUpToItsLastWholeValue)
{
    // The sample's service plane as `ioreg -a` writes it, cut inside the
    // battery's properties: what is read is what the whole list holds.
    const std::string xml = sampleServiceXml();
    Loaded whole = load(xml);
    ASSERT_EQ(whole.error, "");
    const std::size_t cutAt = xml.find("<key>AdapterDetails</key>") + 80;
    Loaded cut = load(xml.substr(0, cutAt));
    ASSERT_EQ(cut.error, "");
    std::set<std::string> wholeLines;
    for (const std::string &dumped : linesOf(whole.registry)) {
        wholeLines.insert(dumped);
    }
    bool batteryRead = false;
    for (const std::string &dumped : linesOf(cut.registry)) {
        if (dumped.rfind("  IOService: ", 0) != 0) {
            EXPECT_EQ(wholeLines.count(dumped), 1U) << dumped;
        }
        batteryRead = batteryRead || dumped == "  ExternalConnected = true";
    }
    EXPECT_TRUE(batteryRead);
    EXPECT_EQ(cut.registry.find("AdapterDetails"), std::string::npos);
    const std::size_t lastPrinted = xml.find_last_not_of(" \t\n", cutAt - 1);
    const std::size_t lines = static_cast<std::size_t>(
        std::count(xml.begin(), xml.begin() + static_cast<std::ptrdiff_t>(lastPrinted), '\n') + 1);
    EXPECT_EQ(cut.notes,
              std::vector<std::string>({"the property list ends inside the properties of "
                                        "AppleSmartBattery at line " +
                                        std::to_string(lines) +
                                        ": 13 properties read, the rest cut; of the 4 entries it "
                                        "lies in, what follows the list of children is cut too"}));

    // `ioreg -a -r -n AppleSmartBattery`, keys in alphabetical order, cut
    // before "IOObjectClass" and inside a dictionary value.
    const std::string head =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<array>\n<dict>\n"
        "\t<key>AdapterDetails</key>\n\t<dict>\n\t\t<key>Watts</key>\n\t\t<integer>100</integer>\n"
        "\t</dict>\n\t<key>AppleRawAdapterDetails</key>\n\t<array>\n\t\t<dict>\n"
        "\t\t\t<key>Watts</key>\n\t\t\t<integer>60</integer>\n\t\t</dict>\n\t\t<dict>\n"
        "\t\t\t<key>Wat";
    Loaded battery = load(head);
    ASSERT_EQ(battery.error, "");
    EXPECT_EQ(battery.registry, "#1 [] \n  AdapterDetails = {\"Watts\"=100,}\n"
                                "root [IORegistryEntry] Root\n  IOService: #1\n");
    EXPECT_EQ(battery.notes, std::vector<std::string>({"the property list ends inside the "
                                                       "properties of an entry of unknown class "
                                                       "at line 17: 1 property read, the rest "
                                                       "cut"}));
    // Inside a list of entries, after two whole ones.
    const std::string two = "<plist><array><dict><key>IOObjectClass</key><string>A</string></dict>"
                            "<dict><key>IOObjectClass</key><string>B</string></dict><dic";
    Loaded list = load(two);
    ASSERT_EQ(list.error, "");
    EXPECT_EQ(list.registry,
              "#1 [A] A\n#3 [B] B\nroot [IORegistryEntry] Root\n  IOService: #1 #3\n");
    EXPECT_EQ(list.notes, std::vector<std::string>({"the property list ends inside a list of "
                                                    "entries at line 1: 2 entries read whole, "
                                                    "the rest cut"}));
}

TEST_F(IoregPasteTest, APropertyListAfterProseIsFoundWhereItBegins)
{
    const std::string xml = sampleServiceXml();
    Loaded whole = load(xml);
    Loaded pasted = load("=== Mac model ===\nhw.model: Mac14,6\n```xml\n" + xml + "```\nThanks\n");
    ASSERT_EQ(pasted.error, "");
    EXPECT_EQ(pasted.registry, whole.registry);
    EXPECT_EQ(pasted.notes,
              std::vector<std::string>({"read the text inside a code fence",
                                        "skipped 2 lines of prose or other output outside the "
                                        "trees",
                                        "read the property list that begins at line 4"}));
    // Its faults name their line in the whole text.
    Loaded bad = load("Chip: Apple M1 Max\n<plist>\n<dict><key>k</key><foo/></dict></plist>\n");
    EXPECT_EQ(bad.error, "3:19: expected an element of a property list (plist, dict, array, key, "
                         "string, data, date, integer, real, true or false), not <foo>");
}

} // namespace
