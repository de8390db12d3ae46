// The command line of portprobe-replay.
#ifndef PORTPROBE_REPLAY_REPLAY_OPTIONS_H
#define PORTPROBE_REPLAY_REPLAY_OPTIONS_H

#include <string>
#include <vector>

struct SnapshotArgument {
    std::string path;
    std::string plane; // empty: the snapshot's own planes, or "IOService"
};

struct ReplayOptions {
    enum class Action { report, help, version, usageError };
    Action action = Action::report;
    std::string problem; // what is wrong with a usage error
    std::vector<SnapshotArgument> snapshots;
};

// Reads SNAPSHOT [-p PLANE SNAPSHOT]... (a snapshot may also follow -p
// first), -h, --help and --version; "--" ends the options.
ReplayOptions parseReplayOptions(int argc, const char *const argv[]);

extern const char *const replayUsage;

#endif
