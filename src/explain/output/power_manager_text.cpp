#include "explain/output/power_manager_text.h"

#include <cinttypes>
#include <cstdio>
#include <utility>

#include "explain/analysis/captured_values.h"
#include "explain/output/story_text.h"
#include "pd/field_table.h"

namespace explain {

namespace {

std::string volts(std::int64_t millivolts) { return pd::trimmedDecimals(millivolts) + " V"; }
std::string amps(std::int64_t milliamps) { return pd::trimmedDecimals(milliamps) + " A"; }
std::string wattsOfMilli(std::int64_t milliwatts) { return pd::trimmedDecimals(milliwatts) + " W"; }

// An adapter's own words on one line: control characters would break it.
std::string oneLine(const std::string &text)
{
    std::string line = text;
    for (char &c : line) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            c = ' ';
        }
    }
    return line;
}

std::string joined(const std::vector<std::string> &parts, const char *separator)
{
    std::string text;
    for (const std::string &part : parts) {
        text += (text.empty() ? "" : separator) + part;
    }
    return text;
}

std::string stateText(const PowerManagerStory &manager)
{
    std::vector<std::string> head;
    if (manager.externalConnected) {
        head.emplace_back(*manager.externalConnected ? "external power connected"
                                                     : "no external power");
    }
    std::vector<std::string> battery;
    // A Mac without a battery: the answer line says so, once, and nothing
    // here speaks of charging.
    if (manager.batteryInstalled != false) {
        if (manager.fullyCharged == true) {
            head.emplace_back("fully charged");
        } else if (manager.charging) {
            head.emplace_back(*manager.charging ? "charging" : "not charging");
        }
        if (manager.chargePercent) {
            battery.push_back("battery at " + std::to_string(*manager.chargePercent) + "%");
        }
        if (manager.minutesToFull) {
            battery.push_back(std::to_string(*manager.minutesToFull) + " min to full");
        }
        if (manager.batteryCurrentMa) {
            const std::int64_t current = *manager.batteryCurrentMa;
            battery.push_back(current > 0 ? amps(current) + " into the battery"
                              : current < 0
                                  ? pd::trimmedDecimals(current).substr(1) + " A out of the battery"
                                  : std::string("no battery current"));
        }
        for (const auto &[key, code] :
             {std::make_pair("NotChargingReason", manager.notChargingReason),
              std::make_pair("SlowChargingReason", manager.slowChargingReason)}) {
            if (code.value_or(0) != 0) {
                battery.push_back(std::string(key) + " " + std::to_string(*code));
            }
        }
    }
    if (head.empty() && !battery.empty()) {
        head.emplace_back("external power unknown");
    }
    std::string text = joined(head, ", ");
    if (!battery.empty()) {
        text += "; " + joined(battery, ", ");
    }
    return text;
}

std::string menuText(const AdapterFacts &adapter)
{
    std::string text;
    for (const AdapterMenuEntry &entry : adapter.menu) {
        text += text.empty() ? "" : ", ";
        if (entry.index) {
            text += std::to_string(*entry.index) + ": ";
        }
        text += (entry.voltageMv ? volts(*entry.voltageMv) : std::string("? V")) + " " +
                (entry.maxCurrentMa ? amps(*entry.maxCurrentMa) : std::string("? A"));
        if (entry.voltageMv && entry.maxCurrentMa) {
            if (std::optional<std::int64_t> power =
                    milliProduct(*entry.voltageMv, *entry.maxCurrentMa)) {
                text += " (" + wattsOfMilli(*power) + ")";
            }
        }
    }
    return text;
}

std::string adapterText(const AdapterFacts &adapter)
{
    std::string text =
        adapter.watts ? std::to_string(*adapter.watts) + " W adapter" : "adapter of unknown power";
    if (adapter.description) {
        text += " (" + oneLine(*adapter.description) + ")";
    }
    std::vector<std::string> state;
    if (adapter.inUse) {
        state.emplace_back(*adapter.inUse ? "in use" : "not chosen");
    }
    if (adapter.voltageMv && adapter.currentMa) {
        state.push_back("at " + pd::twoDecimals(*adapter.voltageMv) + " V " +
                        pd::twoDecimals(*adapter.currentMa) + " A");
    }
    if (!state.empty()) {
        text += ", " + joined(state, ", ");
    }
    std::vector<std::string> who;
    if (adapter.name || adapter.manufacturer) {
        who.push_back(oneLine(adapter.name.value_or("")) +
                      (adapter.name && adapter.manufacturer ? " by " : "") +
                      (adapter.manufacturer
                           ? (adapter.name ? "" : "by ") + oneLine(*adapter.manufacturer)
                           : std::string()));
    }
    if (adapter.model) {
        who.push_back("model " + oneLine(*adapter.model));
    }
    if (adapter.firmware) {
        who.push_back("firmware " + oneLine(*adapter.firmware));
    }
    if (!who.empty()) {
        text += ": " + joined(who, ", ");
    }
    if (adapter.powerTier) {
        text += "; power tier " + std::to_string(*adapter.powerTier);
    }
    if (!adapter.menu.empty()) {
        text += "; its menu: " + menuText(adapter);
    }
    if (adapter.menuIndex && *adapter.menuIndex != adapterNotChosen) {
        text += "; entry " + std::to_string(*adapter.menuIndex) + " chosen";
        if (adapter.beyondMenu) {
            text += ", beyond the menu";
        } else if (!adapter.menuEntry && !adapter.menu.empty()) {
            text += ", not in the menu";
        }
    }
    return text;
}

bool saysWho(const FedPartner &partner)
{
    return partner.vendorId.value_or(0) != 0 || partner.productId.value_or(0) != 0;
}

std::string partnerText(const FedPartner &partner)
{
    std::string text = "port controller " + std::to_string(partner.index) + ": ";
    std::vector<std::string> facts;
    if (partner.vendorName) {
        facts.push_back(oneLine(*partner.vendorName) + " (" + pd::hex16(*partner.vendorId) + ")");
    } else if (partner.vendorId.value_or(0) != 0) {
        facts.push_back("vendor " + pd::hex16(*partner.vendorId));
    }
    if (partner.productId.value_or(0) != 0) {
        const std::string product = "product " + pd::hex16(*partner.productId);
        if (facts.empty()) {
            facts.push_back(product);
        } else {
            facts.back() += " " + product;
        }
    }
    if (partner.connected) {
        facts.emplace_back(*partner.connected ? "connected" : "not connected");
    }
    text += facts.empty() ? "nothing said of it" : joined(facts, ", ");
    if (!saysWho(partner)) {
        return text;
    }
    std::vector<std::string> details;
    if (partner.pdRevision) {
        details.push_back("PD revision " + std::to_string(*partner.pdRevision));
    }
    if (partner.powerRole) {
        details.push_back("power role " + std::to_string(*partner.powerRole));
    }
    if (partner.dualRolePower) {
        details.emplace_back(*partner.dualRolePower ? "dual-role power" : "not dual-role power");
    }
    if (!details.empty()) {
        text += "; " + joined(details, ", ");
    }
    if (!partner.port.empty()) {
        text += "; on " + partner.port + " (" + partner.tieBasis + ")";
    }
    return text;
}

void appendPartners(std::string &out, const std::vector<FedPartner> &partners)
{
    // Port controllers with nothing connected share one line.
    std::vector<std::string> idle;
    for (const FedPartner &partner : partners) {
        if (partner.connected == false && !saysWho(partner)) {
            idle.push_back(std::to_string(partner.index));
        } else {
            out += labelled("Partner", partnerText(partner));
        }
    }
    if (idle.size() == 1) {
        out += labelled("Partner", "port controller " + idle.front() + ": not connected");
    } else if (!idle.empty()) {
        const std::string last = idle.back();
        idle.pop_back();
        out += labelled("Partner", "port controllers " + joined(idle, ", ") + " and " + last +
                                       ": not connected");
    }
}

std::string outputText(const PowerOutput &output)
{
    std::string text = "port controller " + std::to_string(output.index) + " supplies ";
    std::vector<std::string> terms;
    if (output.voltageMv.value_or(0) > 0) {
        terms.push_back(volts(*output.voltageMv));
    }
    if (output.currentMa.value_or(0) > 0) {
        terms.push_back(amps(*output.currentMa));
    }
    text += joined(terms, " ");
    if (output.powerMw) {
        text += terms.empty() ? wattsOfMilli(*output.powerMw)
                              : " (" + wattsOfMilli(*output.powerMw) + ")";
    }
    return text + " to a device";
}

std::string inputText(const PowerManagerStory &manager)
{
    std::string terms;
    if (manager.inputVoltageMv && manager.inputCurrentMa) {
        terms = pd::twoDecimals(*manager.inputVoltageMv) + " V " +
                pd::twoDecimals(*manager.inputCurrentMa) + " A";
    }
    if (manager.inputPowerMw) {
        return wattsOfMilli(*manager.inputPowerMw) + " measured" +
               (terms.empty() ? "" : " at " + terms);
    }
    return terms.empty() ? terms : terms + " measured";
}

} // namespace

std::string chargingLine(const ChargingSummary &summary)
{
    return "Charging: " + summary.text + "\n";
}

void appendPowerManager(std::string &out, const PowerManagerStory &manager)
{
    // An entry of unknown class has no name.
    std::string heading = "Power manager" + (manager.name.empty() ? "" : " " + manager.name);
    if (manager.registryId) {
        char id[32];
        std::snprintf(id, sizeof id, "0x%" PRIx64, *manager.registryId);
        heading += std::string(" (registry ID ") + id + ")";
    }
    out += heading + "\n";
    if (const std::string state = stateText(manager); !state.empty()) {
        out += labelled("State", state);
    }
    for (const AdapterFacts &adapter : manager.adapters) {
        out += labelled("Adapter", adapterText(adapter));
    }
    for (const std::string &record : manager.emptyAdapterRecords) {
        out += labelled("Adapter", "the adapter record is empty (" + record + ")");
    }
    appendPartners(out, manager.partners);
    for (const PowerOutput &output : manager.outputs) {
        out += labelled("Output", outputText(output));
    }
    for (const PortControllerFacts &controller : manager.portControllers) {
        std::string text = "port controller " + std::to_string(controller.index) + ": ";
        if (controller.live) {
            text += "live contract";
            text += " (" + wattsOfMilli(controller.maxPowerMw.value_or(0)) + " at most)";
        } else if (!controller.pdos.empty()) {
            text += "no live contract; the PDOs are left from an earlier charger";
        } else {
            text += "no contract";
        }
        out += labelled("Charger", text);
        for (const std::string &line : controller.pdoLines) {
            out += "             " + line + "\n";
        }
        if (!controller.requestLine.empty()) {
            out += "             " + controller.requestLine + "\n";
        }
    }
    if (const std::string input = inputText(manager); !input.empty()) {
        out += labelled("Input", input);
    }
    if (!manager.tiedPort.empty()) {
        out += labelled("Port", "compared with " + manager.tiedPort + ", " + manager.tieBasis);
    }
    for (const Verdict &verdict : manager.verdicts) {
        out += verdictLine(verdict);
    }
    for (const std::string &note : manager.notes) {
        out += labelled("Read", note);
    }
}

} // namespace explain
