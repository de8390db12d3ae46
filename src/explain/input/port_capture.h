// What portprobe-explain reads about the ports beyond the port controllers'
// walk: each port with everything below it, entries found without their
// port, and the power manager. Every property is kept, containers in full,
// because the facts people ask about (the charger's offer, the contract,
// the cable, the links) sit in properties the report does not probe.
// Nothing here touches the platform.
#ifndef PORTPROBE_EXPLAIN_PORT_CAPTURE_H
#define PORTPROBE_EXPLAIN_PORT_CAPTURE_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "explain/input/walk_model.h"

namespace explain {

// One registry entry, every property it carries (containers read whole, a
// set as an array marked unordered) and its subtree in the plane it was
// found in.
struct CapturedEntry {
    std::string className;
    std::string name;     // the registry name, without its location
    std::string location; // its location in that plane; empty when it has none
    std::optional<std::uint64_t> registryId;
    std::vector<DictionaryMember> properties; // in the order they were read
    std::vector<CapturedEntry> children;
};

struct PortCapture {
    // Entries carrying "PortTypeDescription", each with its subtree: the
    // root's children in the "IOPort" plane, then any port the "IOService"
    // plane holds that the "IOPort" plane did not (by registry ID).
    std::vector<CapturedEntry> ports;
    // Entries that name a port ("ParentPortTypeDescription") but were found
    // outside every port above, each with its subtree: a capture of
    // matched entries alone, or of a plane without the ports.
    std::vector<CapturedEntry> loose;
    // Every "AppleSmartBattery" service, its properties only, then every
    // entry of unknown class taken for the power manager.
    std::vector<CapturedEntry> powerManagers;
    // What each entry of unknown class was taken for, and why (see
    // unknown_entries.h); on a Mac there are none.
    std::vector<std::string> notes;
    // What names the machine: the root's "OS Build Version" and
    // "IOKitBuildVersion", and the platform entry's "model". Only those keys
    // are read: the platform entry also holds the machine's serial number
    // and UUID, which are never read.
    std::vector<DictionaryMember> machine;
};

} // namespace explain

#endif
