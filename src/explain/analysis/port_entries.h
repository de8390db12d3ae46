// Which captured entries make up each port: the ports the capture lists,
// with everything below them, and the entries found without their port
// attached to the port they name.
#ifndef PORTPROBE_EXPLAIN_PORT_ENTRIES_H
#define PORTPROBE_EXPLAIN_PORT_ENTRIES_H

#include <string>
#include <vector>

#include "explain/analysis/port_story.h"
#include "explain/input/port_capture.h"

namespace explain {

// An entry below a port, with the names from the port down to it
// ("Port-USB-C@1", "CC", "SOP'").
struct FoundEntry {
    const CapturedEntry *entry = nullptr;
    std::vector<std::string> path;
};

// What an entry is, by its class, else by the names it gives itself.
enum class EntryRole {
    other,
    cc,
    partner,   // SOP
    cablePlug, // SOP'
    powerSource,
    usb2,
    usb3,
    cio,
    displayPort,
    usbDevice
};
EntryRole roleOf(const CapturedEntry &entry);

struct PortEntries {
    PortStory story;                     // named, typed and numbered; the rest is filled later
    const CapturedEntry *port = nullptr; // null when the port is known by name only
    std::vector<FoundEntry> below;       // depth first, in capture order
};

// The port's name: "PortDescription", else "Description", else its name
// and location ("Port-USB-C@1"), else its name; an entry without a name
// (of unknown class) is named by its "PortTypeDescription" and "PortNumber".
std::string portName(const CapturedEntry &port);

// An entry's name as ioreg shows it: "name@location", or the name.
std::string shownName(const CapturedEntry &entry);

// The ports of the capture in its order, then ports known only by the
// entries that name them. Linear in the capture (the loose entries look
// their port up by name).
std::vector<PortEntries> findPorts(const PortCapture &capture);

} // namespace explain

#endif
