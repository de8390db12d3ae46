#include "explain/analysis/power_adapters.h"

#include <algorithm>

#include "explain/analysis/captured_values.h"
#include "pd/field_table.h"

namespace explain {

namespace {

const char *const detailsKey = "AdapterDetails";
const char *const rawKey = "AppleRawAdapterDetails";
// The most an SPR contract's voltage may be; above it a contract is EPR.
const std::int64_t sprMaxMv = 20000;

std::string volts(std::int64_t millivolts) { return pd::trimmedDecimals(millivolts) + " V"; }

// A value that says nothing: zero, false, empty, or a container of such.
bool saysNothing(const PropertyValue &value)
{
    switch (value.kind) {
    case PropertyValue::Kind::integer: return value.integer == 0;
    case PropertyValue::Kind::real: return value.real == 0.0;
    case PropertyValue::Kind::boolean: return value.contentsKnown && !value.boolean;
    case PropertyValue::Kind::string: return value.text.empty();
    case PropertyValue::Kind::data:
        return value.length == static_cast<std::int64_t>(value.bytes.size()) &&
               std::all_of(value.bytes.begin(), value.bytes.end(),
                           [](std::uint8_t byte) { return byte == 0; });
    case PropertyValue::Kind::array:
        return value.contentsKnown &&
               std::all_of(value.items.begin(), value.items.end(), saysNothing);
    case PropertyValue::Kind::dictionary:
        return value.contentsKnown && std::all_of(value.members.begin(), value.members.end(),
                                                  [](const DictionaryMember &member) {
                                                      return saysNothing(member.value);
                                                  });
    case PropertyValue::Kind::unconvertibleString:
    case PropertyValue::Kind::other: return false;
    }
    return false;
}

// A string without the spaces around it ("70W USB-C Power Adapter "); null
// when nothing is left.
std::optional<std::string> trimmedText(const PropertyValue *value)
{
    std::optional<std::string> text = textOf(value);
    if (!text) {
        return std::nullopt;
    }
    const auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    const auto first = std::find_if_not(text->begin(), text->end(), isSpace);
    const auto last = std::find_if_not(text->rbegin(), text->rend(), isSpace).base();
    if (first >= last) {
        return std::nullopt;
    }
    return std::string(first, last);
}

AdapterFacts readAdapter(const PropertyValue &details, const char *key)
{
    AdapterFacts adapter;
    adapter.key = key;
    adapter.watts = integerOf(memberOf(&details, "Watts"));
    adapter.voltageMv = integerOf(memberOf(&details, "AdapterVoltage"));
    adapter.currentMa = integerOf(memberOf(&details, "Current"));
    adapter.menuIndex = integerOf(memberOf(&details, "UsbHvcHvcIndex"));
    adapter.name = trimmedText(memberOf(&details, "Name"));
    adapter.manufacturer = trimmedText(memberOf(&details, "Manufacturer"));
    adapter.model = trimmedText(memberOf(&details, "Model"));
    adapter.firmware = trimmedText(memberOf(&details, "FwVersion"));
    adapter.description = trimmedText(memberOf(&details, "Description"));
    adapter.powerTier = integerOf(memberOf(&details, "AdapterPowerTier"));
    if (const PropertyValue *menu = memberOf(&details, "UsbHvcMenu");
        menu != nullptr && menu->kind == PropertyValue::Kind::array) {
        for (const PropertyValue &item : menu->items) {
            if (item.kind != PropertyValue::Kind::dictionary) {
                continue;
            }
            AdapterMenuEntry entry;
            entry.index = integerOf(memberOf(&item, "Index"));
            entry.voltageMv = integerOf(memberOf(&item, "MaxVoltage"));
            entry.maxCurrentMa = integerOf(memberOf(&item, "MaxCurrent"));
            adapter.menu.push_back(entry);
        }
    }
    std::optional<std::int64_t> highest;
    for (const AdapterMenuEntry &entry : adapter.menu) {
        if (adapter.menuIndex && entry.index == adapter.menuIndex && !adapter.menuEntry) {
            adapter.menuEntry = entry;
        }
        if (entry.voltageMv && (!highest || *entry.voltageMv > *highest)) {
            highest = entry.voltageMv;
        }
    }
    adapter.beyondMenu = adapter.menuIndex && *adapter.menuIndex != adapterNotChosen &&
                         !adapter.menuEntry && highest && adapter.voltageMv &&
                         *adapter.voltageMv > *highest;
    return adapter;
}

// "the 140 W adapter in use"
std::string adapterWords(const AdapterFacts &adapter)
{
    std::string words = "the ";
    if (adapter.watts) {
        words += std::to_string(*adapter.watts) + " W ";
    }
    words += "adapter";
    if (adapter.inUse == true) {
        words += " in use";
    }
    return words;
}

void menuVerdicts(const AdapterFacts &adapter, PowerManagerStory &story)
{
    if (!adapter.menuIndex || *adapter.menuIndex == adapterNotChosen || adapter.menuEntry ||
        adapter.menu.empty()) {
        return;
    }
    const std::string index = std::to_string(*adapter.menuIndex);
    const std::string entries =
        std::to_string(adapter.menu.size()) + (adapter.menu.size() == 1 ? " entry" : " entries");
    if (adapter.beyondMenu) {
        std::int64_t highest = 0;
        for (const AdapterMenuEntry &entry : adapter.menu) {
            highest = std::max(highest, entry.voltageMv.value_or(0));
        }
        const std::string kind = *adapter.voltageMv > sprMaxMv ? "an EPR contract" : "a contract";
        story.verdicts.push_back({"contract_beyond_menu",
                                  Severity::info,
                                  adapterWords(adapter) + ": " + kind + " at " +
                                      volts(*adapter.voltageMv) + ", beyond the adapter's " +
                                      volts(highest) + " fixed menu (UsbHvcHvcIndex " + index +
                                      "; the menu has " + entries + ")",
                                  {{{story.name}, adapter.key}}});
        return;
    }
    story.verdicts.push_back({"menu_entry_missing",
                              Severity::warning,
                              adapterWords(adapter) + ": UsbHvcHvcIndex " + index +
                                  " names no entry of its menu (" + entries + ")",
                              {{{story.name}, adapter.key}}});
}

} // namespace

bool sameAdapter(const AdapterFacts &a, const AdapterFacts &b)
{
    return a.watts == b.watts && a.voltageMv == b.voltageMv && a.currentMa == b.currentMa &&
           a.menu == b.menu && a.menuIndex == b.menuIndex && a.name == b.name &&
           a.manufacturer == b.manufacturer && a.model == b.model && a.firmware == b.firmware &&
           a.description == b.description && a.powerTier == b.powerTier;
}

void readAdapters(const std::vector<DictionaryMember> &properties, PowerManagerStory &story)
{
    std::optional<AdapterFacts> details;
    if (const PropertyValue *value = memberOf(properties, detailsKey);
        value != nullptr && value->kind == PropertyValue::Kind::dictionary &&
        value->contentsKnown) {
        if (saysNothing(*value)) {
            story.emptyAdapterRecords.emplace_back(detailsKey);
        } else {
            details = readAdapter(*value, detailsKey);
            details->inUse = true;
        }
    }
    std::vector<AdapterFacts> raw;
    if (const PropertyValue *list = memberOf(properties, rawKey);
        list != nullptr && list->kind == PropertyValue::Kind::array) {
        for (std::size_t i = 0; i < list->items.size(); ++i) {
            const PropertyValue &item = list->items[i];
            if (item.kind != PropertyValue::Kind::dictionary || !item.contentsKnown) {
                continue;
            }
            if (saysNothing(item)) {
                story.emptyAdapterRecords.push_back(std::string(rawKey) + "[" + std::to_string(i) +
                                                    "]");
            } else {
                raw.push_back(readAdapter(item, rawKey));
            }
        }
    }
    if (details) {
        // "AdapterDetails" is the adapter in use; a raw record equal to it
        // is that adapter, and the others are not in use.
        story.adapters.push_back(*details);
        bool seen = false;
        for (AdapterFacts &adapter : raw) {
            if (!seen && sameAdapter(adapter, *details)) {
                seen = true;
                continue;
            }
            adapter.inUse = false;
            story.adapters.push_back(adapter);
        }
        story.adapter = details;
    } else {
        // Without it, the one raw adapter the power manager chose.
        std::size_t chosen = 0;
        for (const AdapterFacts &adapter : raw) {
            chosen += adapter.menuIndex && *adapter.menuIndex != adapterNotChosen ? 1 : 0;
        }
        for (AdapterFacts &adapter : raw) {
            if (adapter.menuIndex == adapterNotChosen) {
                adapter.inUse = false;
            } else if (adapter.menuIndex && chosen == 1) {
                adapter.inUse = true;
                story.adapter = adapter;
            }
            story.adapters.push_back(adapter);
        }
    }
    for (const AdapterFacts &adapter : story.adapters) {
        menuVerdicts(adapter, story);
    }
}

} // namespace explain
