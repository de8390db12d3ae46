// Which Mac a capture came from: its model, its macOS build and its kernel,
// as the registry names them. Nothing that identifies the one machine (its
// serial number, its UUID) is read or kept.
#ifndef PORTPROBE_EXPLAIN_MACHINE_FACTS_H
#define PORTPROBE_EXPLAIN_MACHINE_FACTS_H

#include <optional>
#include <string>
#include <vector>

#include "explain/input/walk_model.h"

namespace explain {

struct MachineFacts {
    std::optional<std::string> model;   // the platform entry's "model": "Mac15,6"
    std::optional<std::string> osBuild; // the root's "OS Build Version": "26A434"
    std::optional<std::string> kernel;  // the root's "IOKitBuildVersion", whole
};

// The facts among the members read from the root and the platform entry,
// each unknown when missing or not text. "model" is data holding a string
// that ends at its first zero byte.
MachineFacts readMachineFacts(const std::vector<DictionaryMember> &members);

// "Mac15,6; macOS build 26A434; kernel Darwin 27.0.0 (RELEASE_ARM64_T6030)":
// the known facts, the kernel by its version and the build's last word
// (which names the chip); empty when none is known.
std::string machineWords(const MachineFacts &machine);

} // namespace explain

#endif
