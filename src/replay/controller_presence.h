// Whether the registry holds what the report walks from, so that snapshots
// that hold none (a capture of the IOPort plane, or of the power manager
// alone) are not left to print three headers without a word.
#ifndef PORTPROBE_REPLAY_CONTROLLER_PRESENCE_H
#define PORTPROBE_REPLAY_CONTROLLER_PRESENCE_H

#include <string>
#include <vector>

// The note to say when the registry holds no port controller, with the
// command that explains the snapshots at these paths ("-": standard input)
// instead; empty when it holds one, or when the lookup fails, which the
// report then says itself.
std::string noControllerNote(const std::vector<std::string> &snapshotPaths);

#endif
