#include "replay/replay_options.h"

#include <cstring>

const char *const replayUsage =
    "usage: portprobe-replay SNAPSHOT [-p PLANE SNAPSHOT]...\n"
    "\n"
    "Prints the portprobe report of a registry captured on a Mac. A SNAPSHOT is a\n"
    "property list, XML or binary: a capture of one plane as written by\n"
    "'ioreg -a -l' (the IOService plane, unless -p names another), or a map from\n"
    "plane names to each plane's root entries. Captures of several planes of one\n"
    "machine are reported together:\n"
    "\n"
    "  ioreg -a -l > service.plist\n"
    "  ioreg -a -l -p IOPower > power.plist\n"
    "  portprobe-replay service.plist -p IOPower power.plist\n"
    "\n"
    "Options:\n"
    "  -p PLANE SNAPSHOT  read SNAPSHOT as a capture of PLANE\n"
    "  -h, --help         show this help\n"
    "  --version          show the program's name and version\n";

ReplayOptions parseReplayOptions(int argc, const char *const argv[])
{
    ReplayOptions options;
    auto usageError = [&options](std::string problem) {
        options.action = ReplayOptions::Action::usageError;
        options.problem = std::move(problem);
        return options;
    };
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const char *argument = argv[i];
        if (optionsEnded || argument[0] != '-' || std::strcmp(argument, "-") == 0) {
            options.snapshots.push_back({argument, ""});
        } else if (std::strcmp(argument, "--") == 0) {
            optionsEnded = true;
        } else if (std::strcmp(argument, "-h") == 0 || std::strcmp(argument, "--help") == 0) {
            options.action = ReplayOptions::Action::help;
            return options;
        } else if (std::strcmp(argument, "--version") == 0) {
            options.action = ReplayOptions::Action::version;
            return options;
        } else if (std::strcmp(argument, "-p") == 0) {
            if (i + 2 >= argc) {
                return usageError("-p needs a plane and a snapshot");
            }
            if (argv[i + 1][0] == '\0') {
                return usageError("-p needs a plane name");
            }
            options.snapshots.push_back({argv[i + 2], argv[i + 1]});
            i += 2;
        } else {
            return usageError(std::string("unknown option ") + argument);
        }
    }
    if (options.snapshots.empty()) {
        return usageError("no snapshot given");
    }
    return options;
}
