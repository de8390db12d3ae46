#include "explain/analysis/port_entries.h"

#include <unordered_map>

#include "explain/analysis/captured_values.h"
#include "explain/analysis/utf8_text.h"

namespace explain {

namespace {

struct ClassRole {
    const char *className;
    EntryRole role;
};

constexpr ClassRole classRoles[] = {
    {"IOPortTransportStateCC", EntryRole::cc},
    {"IOPortTransportComponentCCUSBPDSOP", EntryRole::partner},
    {"IOPortTransportComponentCCUSBPDSOPp", EntryRole::cablePlug},
    {"IOPortFeaturePowerSource", EntryRole::powerSource},
    {"IOPortTransportStateUSB2", EntryRole::usb2},
    {"IOPortTransportStateUSB3", EntryRole::usb3},
    {"IOPortTransportStateCIO", EntryRole::cio},
    {"IOPortTransportStateDisplayPort", EntryRole::displayPort},
    {"IOUSBHostDevice", EntryRole::usbDevice},
};

struct NameRole {
    const char *name;
    EntryRole role;
};

// Names the entries give themselves ("ComponentName",
// "TransportTypeDescription"), for classes this program does not know.
constexpr NameRole nameRoles[] = {
    {"SOP", EntryRole::partner},
    {"SOP'", EntryRole::cablePlug},
    {"CC", EntryRole::cc},
    {"USB2", EntryRole::usb2},
    {"USB3", EntryRole::usb3},
    {"CIO", EntryRole::cio},
    {"DisplayPort", EntryRole::displayPort},
};

void collectBelow(const CapturedEntry &entry, std::vector<std::string> &path,
                  std::vector<FoundEntry> &found)
{
    for (const CapturedEntry &child : entry.children) {
        path.push_back(shownName(child));
        found.push_back({&child, path});
        collectBelow(child, path, found);
        path.pop_back();
    }
}

// The port a loose entry names by its "Description" ("Port-USB-C@1/CC"),
// else by its parent port's type and number ("Port-USB-C@1").
std::string namedPort(const CapturedEntry &entry, std::vector<std::string> &pathBelow)
{
    for (const char *key : {"Description", "TransportDescription"}) {
        if (std::optional<std::string> description = textOf(memberOf(entry.properties, key))) {
            const std::size_t slash = description->find('/');
            if (slash != std::string::npos && slash > 0) {
                std::string rest = description->substr(slash + 1);
                std::size_t from = 0;
                while (from <= rest.size()) {
                    const std::size_t next = rest.find('/', from);
                    const std::size_t end = next == std::string::npos ? rest.size() : next;
                    if (end > from) {
                        pathBelow.push_back(rest.substr(from, end - from));
                    }
                    from = end + 1;
                }
                return description->substr(0, slash);
            }
        }
    }
    const std::optional<std::string> type =
        textOf(memberOf(entry.properties, "ParentPortTypeDescription"));
    const std::optional<std::int64_t> number =
        integerOf(memberOf(entry.properties, "ParentPortNumber"));
    if (type && number) {
        pathBelow.push_back(shownName(entry));
        return "Port-" + *type + "@" + std::to_string(*number);
    }
    return std::string();
}

} // namespace

EntryRole roleOf(const CapturedEntry &entry)
{
    for (const ClassRole &known : classRoles) {
        if (entry.className == known.className) {
            return known.role;
        }
    }
    if (memberOf(entry.properties, "PowerSourceName") != nullptr) {
        return EntryRole::powerSource;
    }
    if (memberOf(entry.properties, "idVendor") != nullptr &&
        memberOf(entry.properties, "bcdUSB") != nullptr) {
        return EntryRole::usbDevice;
    }
    for (const char *key : {"ComponentName", "TransportTypeDescription"}) {
        if (std::optional<std::string> name = textOf(memberOf(entry.properties, key))) {
            for (const NameRole &known : nameRoles) {
                if (*name == known.name) {
                    return known.role;
                }
            }
        }
    }
    return EntryRole::other;
}

std::string shownName(const CapturedEntry &entry)
{
    std::string name = validUtf8(entry.name);
    if (!entry.location.empty()) {
        name += "@" + validUtf8(entry.location);
    }
    return name;
}

std::string portName(const CapturedEntry &port)
{
    for (const char *key : {"PortDescription", "Description"}) {
        if (std::optional<std::string> name = textOf(memberOf(port.properties, key))) {
            if (!name->empty()) {
                return *name;
            }
        }
    }
    std::string shown = shownName(port);
    if (!shown.empty()) {
        return shown;
    }
    // An entry of unknown class has no name: its type and number make the
    // name a Mac gives such a port.
    const std::optional<std::string> type =
        textOf(memberOf(port.properties, "PortTypeDescription"));
    const std::optional<std::int64_t> number = integerOf(memberOf(port.properties, "PortNumber"));
    if (type && number) {
        return "Port-" + *type + "@" + std::to_string(*number);
    }
    return type ? "Port-" + *type : std::string("a port without a name");
}

std::vector<PortEntries> findPorts(const PortCapture &capture)
{
    std::vector<PortEntries> ports;
    std::unordered_map<std::string, std::size_t> byName;
    for (const CapturedEntry &port : capture.ports) {
        PortEntries found;
        found.port = &port;
        PortStory &story = found.story;
        story.name = portName(port);
        story.className = validUtf8(port.className);
        story.registryId = port.registryId;
        story.type = textOf(memberOf(port.properties, "PortTypeDescription"));
        story.number = integerOf(memberOf(port.properties, "PortNumber"));
        story.connected = flagOf(memberOf(port.properties, "ConnectionActive"));
        std::vector<std::string> path{story.name};
        collectBelow(port, path, found.below);
        byName.emplace(story.name, ports.size());
        ports.push_back(std::move(found));
    }
    for (const CapturedEntry &entry : capture.loose) {
        std::vector<std::string> pathBelow;
        const std::string name = namedPort(entry, pathBelow);
        if (name.empty()) {
            continue;
        }
        auto known = byName.find(name);
        if (known == byName.end()) {
            PortEntries found;
            found.story.name = name;
            found.story.nameOnly = true;
            found.story.type = textOf(memberOf(entry.properties, "ParentPortTypeDescription"));
            found.story.number = integerOf(memberOf(entry.properties, "ParentPortNumber"));
            known = byName.emplace(name, ports.size()).first;
            ports.push_back(std::move(found));
        }
        std::vector<std::string> path{name};
        path.insert(path.end(), pathBelow.begin(), pathBelow.end());
        if (path.size() == 1) {
            path.push_back(shownName(entry));
        }
        std::vector<FoundEntry> &below = ports[known->second].below;
        below.push_back({&entry, path});
        collectBelow(entry, path, below);
    }
    return ports;
}

} // namespace explain
