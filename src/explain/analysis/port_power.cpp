// A port's power sources ("Power In" and its IOPortFeaturePowerSource
// children): what each offers, which won, and the contract it made.
#include <algorithm>

#include "explain/analysis/captured_values.h"
#include "explain/analysis/port_facts.h"

namespace explain {

namespace {

const char *const winnerMark = " [*]";
const char *const optionClassPrefix = "IOPortFeaturePowerSourceOption";

bool endsWith(const std::string &text, const std::string &tail)
{
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::optional<PowerOption> readOption(const PropertyValue &value)
{
    if (value.kind != PropertyValue::Kind::dictionary) {
        return std::nullopt;
    }
    PowerOption option;
    option.type = "unknown";
    if (std::optional<std::string> className = textOf(memberOf(value.members, "Class"))) {
        const std::string prefix = optionClassPrefix;
        std::string kind = className->compare(0, prefix.size(), prefix) == 0
                               ? className->substr(prefix.size())
                               : *className;
        std::transform(kind.begin(), kind.end(), kind.begin(), [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        });
        option.type = kind.empty() ? "unknown" : kind;
    }
    option.voltageMv = integerOf(memberOf(value.members, "Voltage (mV)"));
    option.maxCurrentMa = integerOf(memberOf(value.members, "Max Current (mA)"));
    option.maxPowerMw = integerOf(memberOf(value.members, "Max Power (mW)"));
    if (!option.maxPowerMw && option.voltageMv && option.maxCurrentMa) {
        option.maxPowerMw = milliProduct(*option.voltageMv, *option.maxCurrentMa);
    }
    return option;
}

PowerSource readSource(const FoundEntry &found)
{
    const CapturedEntry &entry = *found.entry;
    PowerSource source;
    source.entry = found.path;
    std::string name = entry.name;
    source.winning = endsWith(name, winnerMark);
    if (source.winning) {
        name.resize(name.size() - std::string(winnerMark).size());
    }
    source.name = textOf(memberOf(entry.properties, "PowerSourceName")).value_or(name);
    source.priority = integerOf(memberOf(entry.properties, "Priority"));
    if (const PropertyValue *options = memberOf(entry.properties, "PowerSourceOptions");
        options != nullptr && options->kind == PropertyValue::Kind::array) {
        for (const PropertyValue &item : options->items) {
            if (std::optional<PowerOption> option = readOption(item)) {
                source.options.push_back(*option);
            }
        }
    }
    // A set comes in no order, and captures list options in any order.
    std::stable_sort(source.options.begin(), source.options.end(),
                     [](const PowerOption &a, const PowerOption &b) {
                         return a.voltageMv.value_or(INT64_MAX) < b.voltageMv.value_or(INT64_MAX);
                     });
    if (const PropertyValue *winner = memberOf(entry.properties, "WinningPowerSourceOption");
        holdsMembers(winner)) {
        source.winningOption = readOption(*winner);
        source.winning = true;
    }
    return source;
}

} // namespace

std::optional<PortPower> readPortPower(const PortEntries &port)
{
    bool powerIn = false;
    PortPower power;
    for (const FoundEntry &found : port.below) {
        if (roleOf(*found.entry) == EntryRole::powerSource) {
            power.sources.push_back(readSource(found));
        } else if (found.entry->className == "IOPortFeaturePowerIn" && !powerIn) {
            powerIn = true;
            power.active = flagOf(memberOf(found.entry->properties, "Active"));
        }
    }
    if (!powerIn && power.sources.empty()) {
        return std::nullopt;
    }
    // An inactive "Power In" takes no power: a source's mark and winning
    // option are left from an earlier contract.
    if (power.active == false) {
        for (PowerSource &source : power.sources) {
            if (source.winning) {
                power.staleWinners.push_back(source.name);
                source.winning = false;
                source.winningOption.reset();
            }
        }
        return power;
    }
    for (const PowerSource &source : power.sources) {
        if (source.winning && source.winningOption) {
            PowerContract contract;
            contract.voltageMv = source.winningOption->voltageMv;
            contract.currentMa = source.winningOption->maxCurrentMa;
            contract.powerMw = source.winningOption->maxPowerMw;
            contract.source = source.name;
            contract.entry = source.entry;
            power.contract = contract;
            break;
        }
    }
    return power;
}

} // namespace explain
