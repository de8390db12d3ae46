// portprobe-explain as a user runs it: its options, what it prints on each
// stream and its exit status.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "explain/output/usb_ids.h"
#include "support/golden_file.h"
#include "support/process_run.h"
#include "support/scratch_path.h"

namespace {

using testing_support::ProcessRun;

const std::string usbIds = PORTPROBE_FIXTURES "/usb.ids";

ProcessRun explainRun(const std::string &arguments, const std::string &stdoutRedirect = "")
{
    return testing_support::runProcess(PORTPROBE_EXPLAIN_BINARY, arguments, stdoutRedirect);
}

std::string scratchFile(const std::string &purpose, const std::string &text)
{
    std::string path = testing_support::scratchPath(purpose);
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

TEST(ExplainProgramTest, HelpAndVersionGoToStandardOutput)
{
    ProcessRun help = explainRun("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: portprobe-explain", 0), 0u) << help.out;
    EXPECT_EQ(help.err, "");

    ProcessRun version = explainRun("--json --version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "portprobe-explain " PORTPROBE_VERSION_TEXT "\n");
}

TEST(ExplainProgramTest, BadUsageAndBadInputGetOneLineAndNothingElse)
{
    struct Case {
        std::string arguments;
        std::string message; // the whole of standard error
    };
    const std::string report =
        scratchFile("report", "=== Walking from AppleHPMARMSPMI in IOService "
                              "plane ===\n\n[A] a\nnot a report line\n");
    const std::string binary = scratchFile("binary", std::string("\x00\x01", 2));
    const std::string tryHelp = " (try portprobe-explain --help)";
    const Case cases[] = {
        {"--bogus", "portprobe-explain: unknown option --bogus" + tryHelp},
        {"--report", "portprobe-explain: --report needs a file" + tryHelp},
        {"--json=1", "portprobe-explain: --json takes no value" + tryHelp},
        {"--usb-ids /nonexistent/usb.ids",
         "portprobe-explain: /nonexistent/usb.ids: cannot open: No such file or directory"},
        {"--usb-ids '" + binary + "'",
         "portprobe-explain: " + binary + ": holds no vendor line of a usb.ids file"},
        {"--usb-ids '" + usbIds + "' /nonexistent.plist",
         "portprobe-explain: /nonexistent.plist: cannot open: No such file or directory"},
        {"--usb-ids '" + usbIds + "' --report /nonexistent.txt",
         "portprobe-explain: /nonexistent.txt: cannot open: No such file or directory"},
        {"--usb-ids '" + usbIds + "' --report '" PORTPROBE_FIXTURES "'",
         "portprobe-explain: " PORTPROBE_FIXTURES ": cannot read: Is a directory"},
        {"--usb-ids '" + usbIds + "' --report '" + report + "'",
         "portprobe-explain: " + report +
             ":4: expected an entry or probe line, not \"not a report line\""},
        {"--usb-ids '" + usbIds + "' --report - <'" + report + "'",
         "portprobe-explain: standard input:4: expected an entry or probe line, not \"not a report "
         "line\""},
        {"--usb-ids '" + usbIds + "' - <'" + binary + "'",
         "portprobe-explain: standard input:1: expected an entry line"},
    };
    for (const Case &c : cases) {
        ProcessRun run = explainRun(c.arguments);
        EXPECT_EQ(run.status, 2) << c.arguments;
        EXPECT_EQ(run.out, "") << c.arguments;
        EXPECT_EQ(run.err.substr(0, c.message.size()), c.message) << c.arguments;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    }
}

TEST(ExplainProgramTest, SaysOnStandardErrorWhatItShowsAndWhatItLeavesOut)
{
    const std::string sampleNotice =
        "portprobe-explain: note: this is the built-in sample registry, not this machine's; for "
        "a Mac's, capture it there with 'ioreg -a -l > service.plist' and run "
        "'portprobe-explain service.plist'\n";
    const std::string sample = PORTPROBE_SAMPLE;
    const std::string fixtures = PORTPROBE_FIXTURES;
    const std::string service = fixtures + "/service.plist";
    const std::string port = fixtures + "/port.plist";
    const std::string power = fixtures + "/power.plist";
    const std::string battery = fixtures + "/battery.plist";
    const std::string noPowerManager =
        "portprobe-explain: note: the snapshots hold no power manager (class AppleSmartBattery), "
        "so what it knows of the charger is left out; capture it on the Mac with 'ioreg -a -r -n "
        "AppleSmartBattery > battery.plist' and give battery.plist as well\n";
    const std::string reportLimits =
        "portprobe-explain: standard input: a report shows a dictionary or an array by its size "
        "alone: what it holds (\"Metadata\" and array-valued \"VDOs\" among them) is not in the "
        "report\n"
        "portprobe-explain: standard input: a report shows the first 128 bytes of a data value: "
        "the rest of a longer one is not in the report\n"
        "portprobe-explain: standard input: a report shows a boolean as \"<type 21>\": whether "
        "it is true or false is not in the report\n";
    const struct {
        std::string arguments;
        std::string err;
    } cases[] = {
        {"", sampleNotice},
        {"'" + sample + "'", ""},
        {"- <'" + sample + "'", ""},
        // Notes on a report go where notes on snapshots go.
        {"--report - <'" PORTPROBE_FIXTURES "/../golden/sample-report.txt'", reportLimits},
        {"'" + port + "' '" + battery + "'", ""},
        {"'" + port + "'", noPowerManager},
        {"'" + service + "' -p IOPower '" + power + "' -p IOPower '" + power + "'",
         "portprobe-explain: " + power +
             ": the IOPower plane adds nothing to the explanation; portprobe-replay reports it\n" +
             noPowerManager},
        {"-p IOpower '" + service + "' '" + battery + "'",
         "portprobe-explain: warning: -p IOpower: captures are read in the IOService, IOPort and "
         "IOPower planes; IOpower is not shown\n"
         "portprobe-explain: warning: " +
             service +
             ": read as the IOpower plane, as -p says, but it is a capture of the IOService plane "
             "(it holds a port controller and no IOPowerConnection entry)\n"},
    };
    for (const auto &c : cases) {
        ProcessRun run = explainRun("--usb-ids '" + usbIds + "' " + c.arguments);
        EXPECT_EQ(run.status, 0) << c.arguments;
        EXPECT_EQ(run.err, c.err) << c.arguments;
        EXPECT_NE(run.out, "") << c.arguments;
    }
    // Without --usb-ids the first list found where the system's packages put
    // one names the vendors; without any, standard error says they are left
    // out.
    bool listFound = false;
    for (const std::string &path : explain::usualUsbIdsPaths()) {
        listFound = listFound || std::ifstream(path).good();
    }
    ProcessRun plain = explainRun("'" + sample + "'");
    EXPECT_EQ(plain.status, 0);
    EXPECT_EQ(plain.err.find("vendor names are left out") != std::string::npos, !listFound)
        << plain.err;
}

TEST(ExplainProgramTest, ExplainsAReportFromStandardInputAsTheRegistryTellsIt)
{
    // The sample's report piped in tells the sample's story; the notes on
    // what a report cannot hold are the JSON's, not the text's.
    std::string command = std::string("'") + PORTPROBE_BINARY + "' 2>/dev/null | '" +
                          PORTPROBE_EXPLAIN_BINARY + "' --usb-ids '" + usbIds + "' --report -";
    std::string text = testing_support::commandOutput(command + " 2>/dev/null");
    EXPECT_EQ(text.find("Note: "), std::string::npos) << text;
    EXPECT_NE(text.find("Request for PDO 4 (Fixed 20.00 V 5.00 A)"), std::string::npos) << text;
    EXPECT_NE(text.find("\n  Port-USB-C@3 (AppleHPMInterfaceType10)"), std::string::npos);
    std::string json = testing_support::commandOutput(command + " --json 2>/dev/null");
    EXPECT_NE(json.find("\"standard input: a report shows the first 128 bytes of a data value: "),
              std::string::npos)
        << json;
}

TEST(ExplainProgramTest, ASnapshotGivenAsAReportIsToldToBeOne)
{
    const std::string fixtures = PORTPROBE_FIXTURES;
    const std::string ioregText = scratchFile(
        "ioreg", "Here is mine:\n+-o Root  <class IORegistryEntry, id 0x100000100, retain 20>\n");
    const std::string binary = scratchFile("binary", std::string("bplist00\x01\x02", 10));
    const std::string advice = ", not a portprobe report: drop --report to read it as one\n";
    const struct {
        std::string arguments;
        std::string err;
    } cases[] = {
        {"--report '" + fixtures + "/port.plist'",
         fixtures + "/port.plist: this looks like a registry snapshot (a property list)" + advice},
        {"--report - <'" + fixtures + "/battery.plist'",
         "standard input: this looks like a registry snapshot (a property list)" + advice},
        {"--report '" + binary + "'",
         binary + ": this looks like a registry snapshot (a property list)" + advice},
        {"--report '" + ioregText + "'",
         ioregText + ": this looks like a registry snapshot (ioreg text)" + advice},
    };
    for (const auto &c : cases) {
        ProcessRun run = explainRun("--usb-ids '" + usbIds + "' " + c.arguments);
        EXPECT_EQ(run.status, 2) << c.arguments;
        EXPECT_EQ(run.out, "") << c.arguments;
        EXPECT_EQ(run.err, "portprobe-explain: " + c.err) << c.arguments;
    }
    // The notes on snapshots are the JSON's too.
    ProcessRun json = explainRun("--json --usb-ids '" + usbIds + "' '" + fixtures + "/port.plist'");
    EXPECT_EQ(json.status, 0);
    EXPECT_NE(json.out.find("\"note: the snapshots hold no power manager (class "
                            "AppleSmartBattery)"),
              std::string::npos)
        << json.out;
}

TEST(ExplainProgramTest, CheckEndsWithStatus3AfterEverythingWhenAFindingIsAConcern)
{
    // The sample's request made to name PDO 7 of 5: a problem.
    std::string report = testing_support::commandOutput(std::string("'") + PORTPROBE_BINARY + "'");
    const std::string request = "RequestDataObject: <data 4 bytes> f4 d1 07 43";
    ASSERT_NE(report.find(request), std::string::npos);
    report.replace(report.find(request), request.size(),
                   "RequestDataObject: <data 4 bytes> f4 d1 07 73");
    const std::string path = scratchFile("check-report", report);
    const std::string options = "--usb-ids '" + usbIds + "' --report '" + path + "'";

    ProcessRun plain = explainRun(options);
    EXPECT_EQ(plain.status, 0);
    ProcessRun checked = explainRun("--check " + options);
    EXPECT_EQ(checked.status, 3);
    EXPECT_EQ(checked.out, plain.out);
    EXPECT_NE(checked.out.find("[request_out_of_range]"), std::string::npos) << checked.out;
    ProcessRun json = explainRun("--check --json " + options);
    EXPECT_EQ(json.status, 3);
    EXPECT_NE(json.out.find("\"code\": \"request_out_of_range\""), std::string::npos);
}

TEST(ExplainProgramTest, ACaptureOfPartOfTheRegistryTellsWhatItHolds)
{
    const std::string entry = "<key>IOObjectClass</key><string>%s</string>"
                              "<key>IORegistryEntryName</key><string>%s</string>";
    auto dict = [&entry](const std::string &className, const std::string &name,
                         const std::string &more) {
        std::string text = entry;
        text.replace(text.find("%s"), 2, className);
        text.replace(text.find("%s"), 2, name);
        return "<dict>" + text + more + "</dict>";
    };
    const std::string option =
        "<dict><key>Voltage (mV)</key><integer>5000</integer><key>Max Current (mA)</key>"
        "<integer>3000</integer></dict>";
    const std::string source = dict("IOPortFeaturePowerSource", "TypeC",
                                    "<key>ParentPortTypeDescription</key><string>USB-C</string>"
                                    "<key>Description</key><string>Port-USB-C@2/Power In/TypeC"
                                    "</string><key>PowerSourceOptions</key><array>" +
                                        option + "</array>");
    struct Case {
        const char *what;
        std::string plist;
        const char *plane;
        const char *firstLines;
    };
    const Case cases[] = {
        {"the IOPort plane alone",
         dict("IORegistryEntry", "Root",
              "<key>IORegistryEntryChildren</key><array>" +
                  dict("AppleHPMInterfaceType10", "Port-USB-C",
                       "<key>PortTypeDescription</key><string>USB-C</string><key>"
                       "ConnectionActive</key><false/>") +
                  "</array>"),
         "IOPort", "Port-USB-C (USB-C): idle\n"},
        {"the power manager alone",
         "<array>" +
             dict("AppleSmartBattery", "AppleSmartBattery",
                  "<key>ExternalConnected</key><false/>") +
             "</array>",
         "IOService",
         "Charging: no external power is connected: the Mac runs on its battery\n\n"
         "Power manager AppleSmartBattery"},
        {"entries matched by class", "<array>" + source + "</array>", "IOService",
         "Charging: no port shows a contract, and the capture holds no power manager: what the "
         "Mac draws is not known\n\n"
         "Port-USB-C@2 (USB-C): state unknown, known only by the entries that name it\n"},
    };
    for (const Case &one : cases) {
        const std::string path =
            scratchFile("part", "<plist version=\"1.0\">" + one.plist + "</plist>");
        std::string arguments = "--usb-ids '" + usbIds + "' -p ";
        arguments += one.plane;
        arguments += " '" + path + "'";
        ProcessRun run = explainRun(arguments);
        EXPECT_EQ(run.status, 0) << one.what << run.err;
        EXPECT_EQ(run.out.rfind(one.firstLines, 0), 0U) << one.what << "\n" << run.out;
    }
}

// A paste of property lines without their entry line: what the entry is,
// its keys say, and the explanation says what it took it for.
TEST(ExplainProgramTest, EntriesOfUnknownClassAreTakenForWhatTheirKeysSay)
{
    // Said on standard error, as every note on the input.
    const std::string taken = "portprobe-explain: took an entry of unknown class (the capture "
                              "does not hold its class) for ";
    const struct {
        const char *what;
        std::string paste;
        std::vector<std::string> shown;
        std::string said; // on standard error
    } cases[] = {
        {"the power manager, by its adapter",
         "      \"AdapterDetails\" = {\"Watts\"=100,\"AdapterVoltage\"=20000,\"Current\"=5000}\n"
         "      \"ExternalConnected\" = Yes\n",
         {"Power manager\n  State:   external power connected\n"},
         taken + "the power manager, by its \"AdapterDetails\"\n"},
        {"a port, by its type",
         "\"PortTypeDescription\" = \"USB-C\"\n\"PortNumber\" = 2\n\"ConnectionActive\" = Yes\n",
         {"Port-USB-C@2 (USB-C): connected\n"},
         taken + "a port, by its \"PortTypeDescription\"\n"},
        {"an entry below a port, by its description",
         "\"Description\" = \"Port-USB-C@1/Power In/USB-PD\"\n\"PowerSourceName\" = \"USB-PD\"\n",
         {"Port-USB-C@1: state unknown, known only by the entries that name it\n"},
         taken +
             "an entry below a port, by its \"Description\" \"Port-USB-C@1/Power In/USB-PD\"\n"},
        {"nothing",
         "\"Foo\" = 1\n",
         {},
         "portprobe-explain: left out an entry of unknown class (the capture does not hold its "
         "class) with 1 property: it carries none of the keys of the power manager, a port or an "
         "entry below a port\n"},
    };
    for (const auto &one : cases) {
        const std::string path = scratchFile("unknown", one.paste);
        std::string arguments = "--usb-ids '" + usbIds + "' '";
        arguments += path + "'";
        ProcessRun run = explainRun(arguments);
        EXPECT_EQ(run.status, 0) << one.what << run.err;
        for (const std::string &shown : one.shown) {
            EXPECT_NE(run.out.find(shown), std::string::npos) << one.what << "\n" << run.out;
        }
        EXPECT_NE(run.err.find(one.said), std::string::npos) << one.what << "\n" << run.err;
        EXPECT_EQ(run.out.find("took an entry"), std::string::npos) << one.what;
        EXPECT_EQ(run.out.find("registry ID"), std::string::npos) << one.what << "\n" << run.out;
    }
}

// The stand-in makes an ID for an entry that a capture gives none; that
// number is no entry's own, and is never shown as one.
TEST(ExplainProgramTest, ARegistryIdIsShownOnlyWhenTheCaptureHoldsIt)
{
    auto capture = [](const std::string &managerId, const std::string &portId) {
        return "<plist><array><dict><key>IOObjectClass</key><string>AppleSmartBattery</string>" +
               managerId +
               "<key>ExternalConnected</key><true/></dict><dict><key>IOObjectClass</key>"
               "<string>AppleHPMInterfaceType10</string><key>PortTypeDescription</key>"
               "<string>USB-C</string><key>Description</key><string>Port-USB-C@1</string>" +
               portId + "</dict></array></plist>";
    };
    const std::string withId = scratchFile(
        "with-id", capture("<key>IORegistryEntryID</key><integer>4294971113</integer>",
                           "<key>IORegistryEntryID</key><integer>4294968798</integer>"));
    const std::string withoutId = scratchFile("without-id", capture("", ""));
    // A second file first makes the stand-in's numbers differ from a lone file's.
    const std::string other = scratchFile("other", "<plist><dict><key>IOObjectClass</key>"
                                                   "<string>Other</string></dict></plist>");
    const std::string options = "--usb-ids '" + usbIds + "' ";
    ProcessRun shown = explainRun(options + "'" + withId + "'");
    EXPECT_NE(shown.out.find("Power manager AppleSmartBattery (registry ID 0x100000ee9)\n"),
              std::string::npos)
        << shown.out;
    const std::string lone = "'" + withoutId + "'";
    std::string afterAnother = "'" + other + "' ";
    afterAnother += lone;
    for (const std::string &files : {lone, afterAnother}) {
        ProcessRun text = explainRun(options + files);
        EXPECT_EQ(text.status, 0) << text.err;
        EXPECT_NE(text.out.find("Power manager AppleSmartBattery\n"), std::string::npos)
            << text.out;
        EXPECT_EQ(text.out.find("registry ID"), std::string::npos) << text.out;
        std::string jsonArguments = options + "--json ";
        jsonArguments += files;
        ProcessRun json = explainRun(jsonArguments);
        EXPECT_EQ(json.status, 0) << json.err;
        EXPECT_EQ(json.out.find("\"registry_id\": 8"), std::string::npos) << json.out;
        EXPECT_NE(json.out.find("\"registry_id\": null"), std::string::npos) << json.out;
    }
    ProcessRun json = explainRun(options + "--json '" + withId + "'");
    EXPECT_EQ(json.out.find("\"registry_id\": null"), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"registry_id\": 4294971113"), std::string::npos) << json.out;
}

TEST(ExplainProgramTest, AnExplanationThatCannotBeWrittenFailsWithAMessage)
{
    ProcessRun full = explainRun("--usb-ids '" + usbIds + "'", ">/dev/full");
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err.substr(full.err.find('\n') + 1),
              "portprobe-explain: write error: No space left on device\n");
}

} // namespace
