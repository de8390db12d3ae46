// Each port's story, joined with the walk's port of the same name, and the
// power manager's view, with the verdicts drawn from them.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <tuple>
#include <unordered_map>

#include "explain/analysis/captured_values.h"
#include "explain/analysis/charging_summary.h"
#include "explain/analysis/explanation.h"
#include "explain/analysis/port_facts.h"
#include "explain/analysis/port_verdicts.h"
#include "explain/analysis/power_manager.h"
#include "explain/analysis/power_manager_ties.h"
#include "explain/analysis/property_explainer.h"
#include "report/property_keys.h"

namespace explain {

namespace {

// The probed properties of the port's own entries, explained as the walk's
// are: on a machine whose port controllers the walk does not reach, these
// are what the evidence shows.
std::vector<PropertyExplanation> capturedProperties(const PortEntries &port,
                                                    const VendorNames &vendors, PropertyViews views)
{
    RegistryWalk walk;
    auto add = [&walk](const CapturedEntry &entry, const std::vector<std::string> &path) {
        WalkedEntry walked;
        walked.depth = static_cast<unsigned>(path.size() - 1);
        walked.path = path;
        walked.className = entry.className;
        for (const char *key : propertyKeys) {
            for (const DictionaryMember &member : entry.properties) {
                if (member.key == key) {
                    walked.properties.emplace_back(member.key, member.value);
                    break;
                }
            }
        }
        for (const auto &[key, value] : walked.properties) {
            const std::optional<std::string> words =
                value.kind == PropertyValue::Kind::integer
                    ? textOf(memberOf(entry.properties, key + "Description"))
                    : std::nullopt;
            if (words && !words->empty()) {
                walked.descriptions.emplace_back(key, *words);
            }
        }
        walk.entries.push_back(std::move(walked));
    };
    if (port.port != nullptr) {
        add(*port.port, {port.story.name});
    }
    for (const FoundEntry &found : port.below) {
        add(*found.entry, found.path);
    }
    std::vector<std::size_t> all(walk.entries.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
        all[i] = i;
    }
    GroupFacts facts = gatherFacts(walk, all);
    facts.rootPathSize = 1;
    std::vector<PropertyExplanation> properties;
    for (const WalkedEntry &entry : walk.entries) {
        explainEntry(entry, facts, vendors, properties, views);
    }
    return properties;
}

// What ports are ordered by: the type, then the number, that the port gives
// or, without them, that its name "Port-TYPE@NUMBER" shows; a port with
// neither comes last, by its name.
struct PortOrder {
    bool typeless = true;
    std::string type;
    std::int64_t number = INT64_MAX;
    const std::string *name = nullptr;
    bool operator<(const PortOrder &other) const
    {
        return std::tie(typeless, type, number, *name) <
               std::tie(other.typeless, other.type, other.number, *other.name);
    }
};

PortOrder portOrder(const PortStory &story)
{
    PortOrder order;
    order.name = &story.name;
    const std::string prefix = "Port-";
    const std::size_t at = story.name.rfind('@');
    const bool named = story.name.compare(0, prefix.size(), prefix) == 0 &&
                       at != std::string::npos && at > prefix.size();
    if (story.type) {
        order.type = *story.type;
    } else if (named) {
        order.type = story.name.substr(prefix.size(), at - prefix.size());
    }
    order.typeless = order.type.empty();
    if (story.number) {
        order.number = *story.number;
    } else if (named) {
        const std::string digits = story.name.substr(at + 1);
        if (!digits.empty() && digits.size() < 10 &&
            digits.find_first_not_of("0123456789") == std::string::npos) {
            order.number = std::strtoll(digits.c_str(), nullptr, 10);
        }
    }
    return order;
}

} // namespace

void explainPorts(const PortCapture &capture, const VendorNames &vendorNames,
                  Explanation &explanation)
{
    const VendorNames validNames = withValidNames(vendorNames);
    explanation.notes.insert(explanation.notes.end(), capture.notes.begin(), capture.notes.end());
    // The walk's ports by name; an index is cleared once a port of the
    // capture has taken it.
    std::unordered_map<std::string, std::optional<PortAccount::WalkPort>> walkPorts;
    for (std::size_t c = 0; c < explanation.controllers.size(); ++c) {
        const std::vector<PortExplanation> &ports = explanation.controllers[c].ports;
        for (std::size_t p = 0; p < ports.size(); ++p) {
            if (!ports[p].entry.empty()) {
                walkPorts.emplace(ports[p].entry.back(), PortAccount::WalkPort{c, p});
            }
        }
    }
    for (const PortEntries &found : findPorts(capture)) {
        PortAccount account;
        account.story = found.story;
        PortStory &story = account.story;
        story.partner = readPartner(found, validNames);
        story.cable = readCable(found, validNames);
        story.power = readPortPower(found);
        if (story.cable && story.power && story.power->contract) {
            boundCableByContract(*story.cable, *story.power->contract);
        }
        if (story.power) {
            for (const std::string &source : story.power->staleWinners) {
                explanation.notes.push_back(
                    story.name + ": its Power In is inactive, so the \" [*]\" of " + source +
                    " is a stale mark left from an earlier contract; no "
                    "contract is live");
            }
        }
        story.data = readPortData(found);
        std::size_t pathLength = 1;
        const std::vector<PropertyExplanation> *properties = &account.ownProperties;
        if (auto joined = walkPorts.find(story.name); joined != walkPorts.end() && joined->second) {
            const PortExplanation &walkPort =
                explanation.controllers[joined->second->controller].ports[joined->second->port];
            account.walkPort = joined->second;
            properties = &walkPort.properties;
            pathLength = walkPort.entry.size();
            joined->second.reset();
        } else {
            account.ownProperties = capturedProperties(found, validNames, explanation.views);
        }
        story.verdicts = portVerdicts(story);
        for (Verdict &verdict : propertyVerdicts(*properties, pathLength)) {
            story.verdicts.push_back(std::move(verdict));
        }
        explanation.ports.push_back(std::move(account));
    }
    // Ports the walk reaches and the capture does not (a report, or firmware
    // without the IOPort plane): what their properties say.
    for (std::size_t c = 0; c < explanation.controllers.size(); ++c) {
        const std::vector<PortExplanation> &ports = explanation.controllers[c].ports;
        for (std::size_t p = 0; p < ports.size(); ++p) {
            const PortExplanation &port = ports[p];
            auto joined = walkPorts.find(port.entry.empty() ? std::string() : port.entry.back());
            if (joined == walkPorts.end() || !joined->second || joined->second->controller != c ||
                joined->second->port != p) {
                continue;
            }
            PortAccount account;
            account.story.name = joined->first;
            account.story.className = port.className;
            account.walkPort = joined->second;
            account.story.verdicts = propertyVerdicts(port.properties, port.entry.size());
            explanation.ports.push_back(std::move(account));
        }
    }
    std::stable_sort(explanation.ports.begin(), explanation.ports.end(),
                     [](const PortAccount &a, const PortAccount &b) {
                         return portOrder(a.story) < portOrder(b.story);
                     });
    explanation.machine = readMachineFacts(capture.machine);
    for (const CapturedEntry &entry : capture.powerManagers) {
        PowerManagerStory manager = readPowerManager(entry, validNames);
        tiePowerManager(manager, explanation.ports);
        explanation.powerManagers.push_back(std::move(manager));
    }
    if (explanation.powerManagers.size() > 1) {
        explanation.notes.push_back(
            std::to_string(explanation.powerManagers.size()) +
            " power managers were found; the JSON document shows the first");
    }
    explanation.charging = summarizeCharging(
        explanation.ports,
        explanation.powerManagers.empty() ? nullptr : &explanation.powerManagers.front());
}

const std::vector<PropertyExplanation> &propertiesOf(const Explanation &explanation,
                                                     const PortAccount &port)
{
    if (port.walkPort && port.walkPort->controller < explanation.controllers.size()) {
        const ControllerExplanation &controller =
            explanation.controllers[port.walkPort->controller];
        if (port.walkPort->port < controller.ports.size()) {
            return controller.ports[port.walkPort->port].properties;
        }
    }
    return port.ownProperties;
}

bool anyConcern(const Explanation &explanation)
{
    auto concerning = [](const std::vector<Verdict> &verdicts) {
        for (const Verdict &verdict : verdicts) {
            if (verdict.severity != Severity::info) {
                return true;
            }
        }
        return false;
    };
    for (const PortAccount &port : explanation.ports) {
        if (concerning(port.story.verdicts)) {
            return true;
        }
    }
    for (const PowerManagerStory &manager : explanation.powerManagers) {
        if (concerning(manager.verdicts)) {
            return true;
        }
    }
    return false;
}

} // namespace explain
