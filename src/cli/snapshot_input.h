// Reads a snapshot named on the command line into a loader: a file, or
// standard input for "-".
#ifndef PORTPROBE_CLI_SNAPSHOT_INPUT_H
#define PORTPROBE_CLI_SNAPSHOT_INPUT_H

#include <optional>
#include <string>

#include "platform/standin/snapshot/snapshot_loader.h"

namespace cli {

// Adds the snapshot at path ("-": standard input) to loader as a capture of
// plane. Returns what is wrong, without naming the input, or nothing.
std::optional<std::string> addSnapshot(snapshot::SnapshotLoader &loader, const std::string &path,
                                       const std::string &plane);

} // namespace cli

#endif
