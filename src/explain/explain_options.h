// The command line of portprobe-explain.
#ifndef PORTPROBE_EXPLAIN_EXPLAIN_OPTIONS_H
#define PORTPROBE_EXPLAIN_EXPLAIN_OPTIONS_H

#include <optional>
#include <string>
#include <vector>

#include "cli/command_line.h"

namespace explain {

using SnapshotArgument = cli::SnapshotArgument;

struct ExplainOptions {
    enum class Action { explain, help, version, usageError };
    Action action = Action::explain;
    std::string problem; // what is wrong, with a usage error

    bool json = false;
    bool check = false; // --check: status 3 when a verdict is a warning or a problem
    std::optional<std::string> usbIdsPath; // --usb-ids FILE
    std::optional<std::string> reportPath; // --report FILE ("-": standard input)
    // SNAPSHOT [-p PLANE SNAPSHOT]... ("-": standard input)
    std::vector<SnapshotArgument> snapshots;
};

// Reads [--json] [--usb-ids FILE] (--report FILE | SNAPSHOT [-p PLANE
// SNAPSHOT]...), -h/--help and --version, in any order, a value after a space
// or "="; an option given twice takes its last value; "--" ends the
// options. snapshotsAllowed is false where there is no snapshot loader (on
// the system's registry), and snapshot arguments are then a usage error.
ExplainOptions parseExplainOptions(int argc, const char *const argv[], bool snapshotsAllowed);

extern const char *const explainUsage;

} // namespace explain

#endif
