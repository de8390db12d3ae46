#include "explain/explain_options.h"

#include <utility>

namespace explain {

const char *const explainUsage =
    "usage: portprobe-explain [--json] [--check] [--usb-ids FILE] [SNAPSHOT]...\n"
    "                         [-p PLANE SNAPSHOT]...\n"
    "       portprobe-explain [--json] [--check] [--usb-ids FILE] --report FILE\n"
    "\n"
    "Says in plain words what the USB Power Delivery objects of the port\n"
    "controllers mean: what each partner offers and was asked for, the partner's\n"
    "and the cable's identity, roles, alternate modes and DisplayPort state, with\n"
    "notes on anything contradictory. It reads the registry, registry snapshots\n"
    "(as portprobe-replay does; '-' is standard input) or, with --report, a\n"
    "portprobe report. Without either it reads the built-in sample registry where\n"
    "there is no registry of the system's.\n"
    "\n"
    "Captures of one Mac are given together. The IOService plane holds the ports\n"
    "and the power manager; the IOPort plane holds the ports alone, and the power\n"
    "manager is then a capture of its own:\n"
    "\n"
    "  ioreg -a -l > service.plist\n"
    "  portprobe-explain service.plist\n"
    "\n"
    "  ioreg -a -l -p IOPort > port.plist\n"
    "  ioreg -a -r -n AppleSmartBattery > battery.plist\n"
    "  portprobe-explain port.plist battery.plist\n"
    "\n"
    "Options:\n"
    "  --json             print a JSON document instead of text\n"
    "  --check            exit with status 3 when any finding is a warning or a problem\n"
    "  --usb-ids FILE     take vendor names from FILE (usb.ids format); by default\n"
    "                     from the first usb.ids found in the usual places\n"
    "  --report FILE      explain the portprobe report in FILE ('-': standard input)\n"
    "  -p PLANE SNAPSHOT  read SNAPSHOT as a capture of PLANE (IOService, IOPort or\n"
    "                     IOPower); without it, the plane the capture shows, else\n"
    "                     IOService\n"
    "  -h, --help         show this help\n"
    "  --version          show the version\n";

ExplainOptions parseExplainOptions(int argc, const char *const argv[], bool snapshotsAllowed)
{
    static const std::vector<cli::OptionSpec> table = {
        {"--help", "-h", 0, ""},
        {"--version", nullptr, 0, ""},
        {"--json", nullptr, 0, ""},
        {"--check", nullptr, 0, ""},
        {"--usb-ids", nullptr, 1, "a file"},
        {"--report", nullptr, 1, "a file"},
        {"-p", nullptr, 2, "a plane and a snapshot"},
    };
    const cli::CommandLine line = cli::splitCommandLine(argc, argv, table);
    ExplainOptions options;
    std::string problem = line.problem;
    for (const cli::CommandWord &word : line.words) {
        if (cli::isOption(word, "--help")) {
            options.action = ExplainOptions::Action::help;
            return options;
        }
        if (cli::isOption(word, "--version")) {
            options.action = ExplainOptions::Action::version;
            return options;
        }
        if (cli::isOption(word, "--json")) {
            options.json = true;
        } else if (cli::isOption(word, "--check")) {
            options.check = true;
        } else if (cli::isOption(word, "--usb-ids")) {
            options.usbIdsPath = word.values[0];
        } else if (cli::isOption(word, "--report")) {
            options.reportPath = word.values[0];
        } else {
            std::string snapshotProblem = cli::takeSnapshot(word, options.snapshots);
            if (!snapshotProblem.empty()) {
                problem = std::move(snapshotProblem);
                break;
            }
        }
    }
    if (problem.empty() && !options.snapshots.empty()) {
        if (options.reportPath) {
            problem = "--report reads a report, not snapshots as well";
        } else if (!snapshotsAllowed) {
            problem = "snapshots are read only where there is no registry of the system's; this "
                      "build explains the registry, or a report";
        }
    }
    if (!problem.empty()) {
        options.action = ExplainOptions::Action::usageError;
        options.problem = std::move(problem);
    }
    return options;
}

} // namespace explain
