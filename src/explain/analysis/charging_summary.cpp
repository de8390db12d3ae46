#include "explain/analysis/charging_summary.h"

#include <algorithm>

#include "explain/analysis/captured_values.h"
#include "pd/field_table.h"

namespace explain {

namespace {

// From this charge on the battery is nearly full: a Mac tops it up slowly.
const std::int64_t nearlyFullPercent = 90;
// A draw of at least this share of the contract is at the contract.
const double atContractShare = 0.9;

std::string watts(std::int64_t milliwatts) { return pd::trimmedDecimals(milliwatts) + " W"; }
std::string amps(std::int64_t milliamps) { return pd::trimmedDecimals(milliamps) + " A"; }

bool holdsVerdict(const PortStory &story, const char *code)
{
    return std::any_of(story.verdicts.begin(), story.verdicts.end(),
                       [code](const Verdict &verdict) { return verdict.code == code; });
}

// The one live contract: the one port with a contract, else the power
// manager's one live port controller.
struct LiveContract {
    std::optional<std::int64_t> powerMw;
    std::string where; // " on Port-USB-C@1"
    const PortStory *port = nullptr;
    std::optional<std::int64_t> offeredMw; // the most the charger offers
};

LiveContract liveContract(const std::vector<PortAccount> &ports, const PowerManagerStory *manager)
{
    LiveContract live;
    std::size_t contracts = 0;
    for (const PortAccount &account : ports) {
        if (account.story.power && account.story.power->contract) {
            live.port = &account.story;
            ++contracts;
        }
    }
    if (contracts == 1) {
        const PortPower &power = *live.port->power;
        live.powerMw = power.contract->powerMw;
        live.where = " on " + live.port->name;
        for (const PowerSource &source : power.sources) {
            if (source.entry != power.contract->entry) {
                continue;
            }
            for (const PowerOption &option : source.options) {
                if (option.maxPowerMw &&
                    (!live.offeredMw || *option.maxPowerMw > *live.offeredMw)) {
                    live.offeredMw = option.maxPowerMw;
                }
            }
        }
    } else {
        live.port = nullptr;
        if (contracts == 0 && manager != nullptr) {
            const PortControllerFacts *only = nullptr;
            std::size_t count = 0;
            for (const PortControllerFacts &controller : manager->portControllers) {
                if (controller.live) {
                    only = &controller;
                    ++count;
                }
            }
            if (count == 1) {
                live.powerMw = only->maxPowerMw;
                live.where = " (port controller " + std::to_string(only->index) + ")";
            }
        }
    }
    if (!live.offeredMw && manager != nullptr && manager->adapter && manager->adapter->watts) {
        live.offeredMw = milliProduct(*manager->adapter->watts, 1000000);
    }
    return live;
}

std::optional<std::int64_t> drawingOf(const PowerManagerStory &manager)
{
    if (manager.inputPowerMw) {
        return manager.inputPowerMw;
    }
    if (manager.inputVoltageMv && manager.inputCurrentMa) {
        return milliProduct(*manager.inputVoltageMv, *manager.inputCurrentMa);
    }
    return std::nullopt;
}

// " (battery at 78%, 41 min to full)", the charge led by lead; empty when
// neither is known.
std::string batteryWords(const PowerManagerStory &manager, const char *lead)
{
    std::string words;
    if (manager.chargePercent) {
        words = lead + std::to_string(*manager.chargePercent) + "%";
    }
    if (manager.minutesToFull) {
        words +=
            (words.empty() ? "" : ", ") + std::to_string(*manager.minutesToFull) + " min to full";
    }
    return words.empty() ? words : " (" + words + ")";
}

std::string reasonWords(const char *key, const std::optional<std::int64_t> &code)
{
    if (!code || *code == 0) {
        return std::string();
    }
    return std::string(" (") + key + " " + std::to_string(*code) + ", a code whose meaning is " +
           "not published)";
}

// "drawing 27.6 W of a 100 W contract on Port-USB-C@1", as far as known.
std::string measureWords(const std::optional<std::int64_t> &drawing, const LiveContract &live,
                         const PowerManagerStory *manager)
{
    const std::optional<std::int64_t> adapterMw =
        manager != nullptr && manager->adapter && manager->adapter->watts
            ? milliProduct(*manager->adapter->watts, 1000000)
            : std::nullopt;
    std::string of;
    if (live.powerMw) {
        of = "a " + watts(*live.powerMw) + " contract" + live.where;
    } else if (adapterMw) {
        of = "a " + watts(*adapterMw) + " adapter";
    }
    if (drawing) {
        return "drawing " + watts(*drawing) +
               (of.empty() ? "" : (live.powerMw ? " of " : " from ") + of);
    }
    return (of.empty() ? "" : of + "; ") + "what the Mac draws is not in the capture";
}

bool nearlyFull(const PowerManagerStory &manager)
{
    return manager.fullyCharged == true || manager.chargePercent.value_or(0) >= nearlyFullPercent;
}

// Without a power manager: only the ports' contracts and Power In.
ChargingSummary fromPortsAlone(const std::vector<PortAccount> &ports, const LiveContract &live)
{
    ChargingSummary summary;
    summary.contractMw = live.powerMw;
    if (live.powerMw || live.port != nullptr) {
        summary.text = measureWords(std::nullopt, live, nullptr) + " (no power manager captured)";
        return summary;
    }
    bool inactive = false;
    bool otherwise = false;
    for (const PortAccount &account : ports) {
        if (account.story.power) {
            const std::optional<bool> active = account.story.power->active;
            inactive = inactive || active == false;
            otherwise = otherwise || active != false;
        }
    }
    if (inactive && !otherwise) {
        summary.limitedBy = ChargingLimit::noPower;
        summary.text = "no port takes power: every Power In is inactive";
        return summary;
    }
    summary.text =
        "no port shows a contract, and the capture holds no power manager: what the Mac draws "
        "is not known";
    return summary;
}

// Charging, or not known to be otherwise: what holds the draw where it is.
void whileCharging(const PowerManagerStory &manager, const LiveContract &live,
                   ChargingSummary &summary)
{
    std::string &text = summary.text;
    if (nearlyFull(manager)) {
        summary.limitedBy = ChargingLimit::batteryNearlyFull;
        text += manager.fullyCharged == true
                    ? "; the battery is full" + batteryWords(manager, "")
                    : "; the battery is nearly full" + batteryWords(manager, "") +
                          ", so the Mac draws less";
        return;
    }
    const std::string slow = reasonWords("SlowChargingReason", manager.slowChargingReason);
    const std::optional<std::int64_t> limit = live.powerMw ? live.powerMw : live.offeredMw;
    if (!summary.drawingMw) {
        return; // the words say that the draw is not in the capture
    }
    if (!limit) {
        text += "; what limits it is not in the capture" + slow;
        return;
    }
    if (static_cast<double>(*summary.drawingMw) < atContractShare * static_cast<double>(*limit)) {
        summary.limitedBy = ChargingLimit::macAsksLess;
        text += std::string("; the Mac asks for less than the ") +
                (live.powerMw ? "contract" : "adapter") + " allows" + slow +
                batteryWords(manager, "battery at ");
        return;
    }
    if (live.port != nullptr && holdsVerdict(*live.port, "cable_limits_power")) {
        summary.limitedBy = ChargingLimit::cable;
        text += "; the cable holds the contract below the charger's offer (see " + live.port->name +
                ")";
    } else if (live.port != nullptr && holdsVerdict(*live.port, "power_below_offer")) {
        summary.limitedBy = ChargingLimit::macAsksLess;
        text += "; the Mac asked for a contract below the charger's offer";
    } else if (live.offeredMw && *live.offeredMw <= *limit) {
        summary.limitedBy = ChargingLimit::charger;
        text += "; that is the most the charger offers";
    } else {
        text += "; the Mac draws what the contract allows";
    }
}

} // namespace

const char *chargingLimitName(ChargingLimit limit)
{
    switch (limit) {
    case ChargingLimit::batteryNearlyFull: return "battery_nearly_full";
    case ChargingLimit::macAsksLess: return "mac_asks_less";
    case ChargingLimit::charger: return "charger";
    case ChargingLimit::cable: return "cable";
    case ChargingLimit::notCharging: return "not_charging";
    case ChargingLimit::noPower: return "no_power";
    case ChargingLimit::unknown: break;
    }
    return nullptr;
}

std::optional<ChargingSummary> summarizeCharging(const std::vector<PortAccount> &ports,
                                                 const PowerManagerStory *manager)
{
    const LiveContract live = liveContract(ports, manager);
    if (manager == nullptr) {
        const bool anyPower =
            std::any_of(ports.begin(), ports.end(),
                        [](const PortAccount &account) { return account.story.power.has_value(); });
        if (!anyPower) {
            return std::nullopt;
        }
        return fromPortsAlone(ports, live);
    }
    ChargingSummary summary;
    summary.drawingMw = drawingOf(*manager);
    summary.contractMw = live.powerMw;
    const std::string measure = measureWords(summary.drawingMw, live, manager);
    if (manager->batteryInstalled == false) {
        summary.text = "no battery is installed (a desktop Mac), so nothing charges; " + measure;
        return summary;
    }
    if (manager->externalConnected == false) {
        summary.limitedBy = ChargingLimit::noPower;
        summary.text = "no external power is connected: the Mac runs on its battery" +
                       batteryWords(*manager, "at ");
        return summary;
    }
    summary.text = measure;
    if (manager->charging == false) {
        if (nearlyFull(*manager)) {
            summary.limitedBy = ChargingLimit::batteryNearlyFull;
            summary.text += std::string("; not charging: the battery is ") +
                            (manager->fullyCharged == true ? "full" : "nearly full") +
                            batteryWords(*manager, "");
            return summary;
        }
        summary.limitedBy = ChargingLimit::notCharging;
        summary.text += "; not charging" +
                        reasonWords("NotChargingReason", manager->notChargingReason) +
                        batteryWords(*manager, "battery at ");
        if (manager->batteryCurrentMa.value_or(0) < 0) {
            const std::int64_t drain =
                *manager->batteryCurrentMa == INT64_MIN ? INT64_MAX : -*manager->batteryCurrentMa;
            summary.text += "; the battery discharges at " + amps(drain);
        }
        return summary;
    }
    whileCharging(*manager, live, summary);
    return summary;
}

} // namespace explain
