#include "replay/replay_options.h"

#include "cli/command_line.h"

const char *const replayUsage =
    "usage: portprobe-replay [SNAPSHOT]... [-p PLANE SNAPSHOT]...\n"
    "\n"
    "Prints the portprobe report of a registry captured on a Mac. A SNAPSHOT is a\n"
    "property list, XML or binary, the text that 'ioreg' writes, or '-' for\n"
    "standard input: a capture of one plane, as 'ioreg -a -l' writes it, or a map\n"
    "from plane names to each plane's root entries. A capture is read in the plane\n"
    "-p names, else in the one it shows it is of (IOPower when it holds\n"
    "IOPowerConnection entries, IOPort when its root's children are ports), else\n"
    "in IOService. Several captures of one machine are reported together:\n"
    "\n"
    "  ioreg -a -l > service.plist\n"
    "  ioreg -a -l -p IOPower > power.plist\n"
    "  portprobe-replay service.plist power.plist\n"
    "\n"
    "The report walks the IOService and IOPower planes; the ports of the IOPort\n"
    "plane and the power manager are for portprobe-explain. Without a snapshot\n"
    "it reports the built-in sample registry.\n"
    "\n"
    "Options:\n"
    "  -p PLANE SNAPSHOT  read SNAPSHOT as a capture of PLANE (IOService, IOPower\n"
    "                     or IOPort)\n"
    "  -h, --help         show this help\n"
    "  --version          show the program's name and version\n";

ReplayOptions parseReplayOptions(int argc, const char *const argv[])
{
    static const std::vector<cli::OptionSpec> table = {
        {"--help", "-h", 0, ""},
        {"--version", nullptr, 0, ""},
        {"-p", nullptr, 2, "a plane and a snapshot"},
    };
    const cli::CommandLine line = cli::splitCommandLine(argc, argv, table);
    ReplayOptions options;
    std::string problem = line.problem;
    for (const cli::CommandWord &word : line.words) {
        if (cli::isOption(word, "--help")) {
            options.action = ReplayOptions::Action::help;
            return options;
        }
        if (cli::isOption(word, "--version")) {
            options.action = ReplayOptions::Action::version;
            return options;
        }
        std::string snapshotProblem = cli::takeSnapshot(word, options.snapshots);
        if (!snapshotProblem.empty()) {
            problem = std::move(snapshotProblem);
            break;
        }
    }
    if (!problem.empty()) {
        options.action = ReplayOptions::Action::usageError;
        options.problem = problem;
    }
    return options;
}
