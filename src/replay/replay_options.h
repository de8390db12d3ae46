// The command line of portprobe-replay.
#ifndef PORTPROBE_REPLAY_REPLAY_OPTIONS_H
#define PORTPROBE_REPLAY_REPLAY_OPTIONS_H

#include <string>
#include <vector>

#include "cli/command_line.h"

using SnapshotArgument = cli::SnapshotArgument;

struct ReplayOptions {
    enum class Action { report, help, version, usageError };
    Action action = Action::report;
    std::string problem;                     // what is wrong with a usage error
    std::vector<SnapshotArgument> snapshots; // none: the built-in sample
};

// Reads [SNAPSHOT]... [-p PLANE SNAPSHOT]... in any order, -h, --help and
// --version; "--" ends the options and "-" is standard
// input, which can be read once.
ReplayOptions parseReplayOptions(int argc, const char *const argv[]);

extern const char *const replayUsage;

#endif
