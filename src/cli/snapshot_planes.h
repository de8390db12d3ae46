// What the tools say of the planes their snapshots were read in. Both take
// captures of the same three planes, so that the captures of one machine can
// be given to either; each says which of them it does not show, and which
// tool does.
#ifndef PORTPROBE_CLI_SNAPSHOT_PLANES_H
#define PORTPROBE_CLI_SNAPSHOT_PLANES_H

#include <string>
#include <utility>
#include <vector>

#include "cli/command_line.h"
#include "platform/standin/snapshot/snapshot_loader.h"

namespace cli {

// The planes whose captures the tools take: IOService, IOPort and IOPower.
extern const std::vector<std::string> capturePlanes;

// What one tool makes of the planes.
struct PlaneUse {
    // Each plane of capturePlanes that the tool reads but does not show,
    // with what to say of a snapshot read in it: why, and which tool shows it.
    std::vector<std::pair<std::string, std::string>> unshown;
};

// The lines to say on standard error, each after "PROGRAM: ", of how the
// snapshots (given as named, read as the loader read them, in the same
// order) were read, in the order of the snapshots:
//
// - "warning: -p PLANE: ..." once for a plane named that is none of
//   capturePlanes, which is read but shown by neither tool;
// - "warning: FILE: ..." for a capture named with -p as one plane but
//   showing another;
// - "FILE: ..." for a capture whose plane neither -p nor its contents gave,
//   when there are several snapshots and it links entries: it took the
//   default;
// - "FILE: ..." for a plane of a map of planes that is none of them;
// - "FILE: ..." for a capture of one plane that the tool does not show.
// Each line is said once.
std::vector<std::string> planeNotes(const PlaneUse &use, const std::vector<SnapshotArgument> &given,
                                    const std::vector<snapshot::SnapshotPlanes> &read);

} // namespace cli

#endif
