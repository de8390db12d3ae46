// Captured ports, their subtrees and power managers built directly, for
// the tests of the ports' stories.
#ifndef PORTPROBE_TESTS_EXPLAIN_CAPTURE_BUILDER_H
#define PORTPROBE_TESTS_EXPLAIN_CAPTURE_BUILDER_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "explain/input/port_capture.h"
#include "walk_builder.h"

namespace capture_builder {

using explain::CapturedEntry;
using explain::DictionaryMember;
using explain::PropertyValue;
using Members = std::vector<DictionaryMember>;

inline CapturedEntry node(std::string className, std::string name, Members properties,
                          std::vector<CapturedEntry> children = {}, std::string location = "")
{
    CapturedEntry entry;
    entry.className = std::move(className);
    entry.name = std::move(name);
    entry.location = std::move(location);
    entry.properties = std::move(properties);
    entry.children = std::move(children);
    return entry;
}

inline PropertyValue strings(std::vector<std::string> texts)
{
    std::vector<PropertyValue> items;
    items.reserve(texts.size());
    for (std::string &text : texts) {
        items.push_back(walk_builder::text(std::move(text)));
    }
    return walk_builder::array(std::move(items));
}

// Captures hold "Max Power (mW)" mostly, not always: withPower false leaves it out.
inline PropertyValue fixedOption(std::int64_t millivolts, std::int64_t milliamps,
                                 bool withPower = true)
{
    using walk_builder::number;
    PropertyValue option = walk_builder::dictionary(
        {{"Class", walk_builder::text("IOPortFeaturePowerSourceOptionFixed")},
         {"Voltage (mV)", number(millivolts)},
         {"Max Current (mA)", number(milliamps)}});
    if (withPower) {
        option.members.push_back({"Max Power (mW)", number(millivolts * milliamps / 1000)});
        option.count = static_cast<std::int64_t>(option.members.size());
    }
    return option;
}

// A power source; the winner gets " [*]" and its winning option.
inline CapturedEntry source(const std::string &name, std::vector<PropertyValue> options,
                            const PropertyValue *winningOption = nullptr)
{
    PropertyValue set = walk_builder::array(std::move(options));
    set.unordered = true;
    Members members{{"PowerSourceName", walk_builder::text(name)},
                    {"PowerSourceOptions", set},
                    {"Metadata", walk_builder::dictionary({})}};
    if (winningOption != nullptr) {
        members.push_back({"WinningPowerSourceOption", *winningOption});
    }
    return node("IOPortFeaturePowerSource", winningOption != nullptr ? name + " [*]" : name,
                std::move(members));
}

inline PropertyValue vdoArray(const std::vector<std::uint32_t> &vdos)
{
    std::vector<PropertyValue> items;
    items.reserve(vdos.size());
    for (std::uint32_t vdo : vdos) {
        items.push_back(walk_builder::objects({vdo}));
    }
    return walk_builder::array(std::move(items));
}

// A passive cable VDO: speed code (3 USB4 Gen 3), current code (1 3 A,
// 2 5 A), voltage code (0 20 V ... 3 50 V), EPR claimed, about 1 m.
inline std::uint32_t passiveCableVdo(unsigned speed, unsigned current, unsigned voltage, bool epr)
{
    return 0x11080000U | (epr ? 1U << 17 : 0U) | (1U << 13) | (voltage << 9) | (current << 5) |
           speed;
}

// The product VDO's top half is the product ID (0x0b70 unless given).
inline CapturedEntry cablePlug(std::uint32_t idHeader, std::uint32_t cableVdo,
                               std::uint32_t productVdo = 0x0b700190)
{
    return node(
        "IOPortTransportComponentCCUSBPDSOPp", "SOP'",
        {{"Metadata", walk_builder::dictionary(
                          {{"VDOs", vdoArray({idHeader, 0x938, productVdo, cableVdo})},
                           {"Product Type Description", walk_builder::text("Passive Cable")}})}});
}

inline CapturedEntry partner()
{
    return node(
        "IOPortTransportComponentCCUSBPDSOP", "SOP",
        {{"Specification Revision", walk_builder::number(3)},
         {"Metadata", walk_builder::dictionary(
                          {{"Vendor ID", walk_builder::number(0x2eb9)},
                           {"Product ID", walk_builder::number(0x1123)},
                           {"VDOs", vdoArray({0x4c402eb9, 0x1f5a, 0x11230110, 0x65000011})}})}});
}

inline CapturedEntry port(const std::string &location, Members extra,
                          std::vector<CapturedEntry> children)
{
    Members members{{"PortTypeDescription", walk_builder::text("USB-C")},
                    {"PortNumber", walk_builder::number(std::stoll(location))},
                    {"Description", walk_builder::text("Port-USB-C@" + location)}};
    for (DictionaryMember &member : extra) {
        members.push_back(std::move(member));
    }
    return node("AppleHPMInterfaceType10", "Port-USB-C", std::move(members), std::move(children),
                location);
}

// An adapter's "UsbHvcMenu": each entry's voltage and current in mV and
// mA, indexed from 0.
inline PropertyValue hvcMenu(const std::vector<std::pair<std::int64_t, std::int64_t>> &entries)
{
    std::vector<PropertyValue> items;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        items.push_back(
            walk_builder::dictionary({{"Index", walk_builder::number(static_cast<std::int64_t>(i))},
                                      {"MaxVoltage", walk_builder::number(entries[i].first)},
                                      {"MaxCurrent", walk_builder::number(entries[i].second)}}));
    }
    return walk_builder::array(std::move(items));
}

// An adapter record as "AdapterDetails" and "AppleRawAdapterDetails" hold
// it, with the members given after the usual ones.
inline PropertyValue adapterRecord(std::int64_t watts, std::int64_t millivolts,
                                   std::int64_t milliamps, std::int64_t index, PropertyValue menu,
                                   Members extra = {})
{
    Members members{{"Watts", walk_builder::number(watts)},
                    {"AdapterVoltage", walk_builder::number(millivolts)},
                    {"Current", walk_builder::number(milliamps)},
                    {"UsbHvcHvcIndex", walk_builder::number(index)},
                    {"UsbHvcMenu", std::move(menu)},
                    {"FamilyCode", walk_builder::number(-536854518)}};
    for (DictionaryMember &member : extra) {
        members.push_back(std::move(member));
    }
    return walk_builder::dictionary(std::move(members));
}

inline CapturedEntry powerManager(Members properties)
{
    return node("AppleSmartBattery", "AppleSmartBattery", std::move(properties));
}

} // namespace capture_builder

#endif
