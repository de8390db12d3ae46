// A port's data links: the transports it supports, has provisioned and
// runs, the USB link and the devices on it, Thunderbolt and DisplayPort.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "explain/analysis/captured_values.h"
#include "explain/analysis/port_facts.h"

namespace explain {

namespace {

bool holds(const std::vector<std::string> &names, const char *name)
{
    for (const std::string &one : names) {
        if (one == name) {
            return true;
        }
    }
    return false;
}

// "480 Mbps (High Speed)" is 480, "5 Gbps" 5000; null for "None".
std::optional<std::int64_t> rateOfDescription(const std::string &text)
{
    const char *start = text.c_str();
    char *end = nullptr;
    const double number = std::strtod(start, &end);
    if (end == start || !(number > 0 && number <= 1.0e6)) { // NaN fails too
        return std::nullopt;
    }
    const std::string unit(end);
    if (unit.compare(0, 5, " Gbps") == 0) {
        return static_cast<std::int64_t>(std::llround(number * 1000));
    }
    if (unit.compare(0, 5, " Mbps") == 0) {
        return static_cast<std::int64_t>(std::llround(number));
    }
    return std::nullopt;
}

UsbDevice readDevice(const FoundEntry &found)
{
    const std::vector<DictionaryMember> &properties = found.entry->properties;
    UsbDevice device;
    device.entry = found.path;
    device.vendorId = id16Of(memberOf(properties, "idVendor"));
    device.productId = id16Of(memberOf(properties, "idProduct"));
    device.manufacturer = textOf(memberOf(properties, "USB Vendor Name"));
    device.product = textOf(memberOf(properties, "USB Product Name"));
    device.deviceClass = integerOf(memberOf(properties, "bDeviceClass"));
    device.bcdUsb = integerOf(memberOf(properties, "bcdUSB"));
    return device;
}

// The device a transport's "Metadata" describes, when no device entry is
// below it.
std::optional<UsbDevice> metadataDevice(const FoundEntry &found)
{
    const PropertyValue *metadata = memberOf(found.entry->properties, "Metadata");
    if (!holdsMembers(metadata) || memberOf(metadata, "Vendor ID") == nullptr) {
        return std::nullopt;
    }
    UsbDevice device;
    device.entry = found.path;
    device.vendorId = id16Of(memberOf(metadata, "Vendor ID"));
    device.productId = id16Of(memberOf(metadata, "Product ID"));
    device.manufacturer = textOf(memberOf(metadata, "Manufacturer"));
    device.product = textOf(memberOf(metadata, "Product"));
    device.deviceClass = integerOf(memberOf(metadata, "Device Class"));
    return device;
}

bool isBelow(const std::vector<std::string> &path, const std::vector<std::string> &parent)
{
    return path.size() > parent.size() && std::equal(parent.begin(), parent.end(), path.begin());
}

} // namespace

PortData readPortData(const PortEntries &port)
{
    PortData data;
    if (port.port != nullptr) {
        const std::vector<DictionaryMember> &properties = port.port->properties;
        data.supported = stringsOf(memberOf(properties, "TransportsSupported"));
        data.provisioned = stringsOf(memberOf(properties, "TransportsProvisioned"));
        data.active = stringsOf(memberOf(properties, "TransportsActive"));
    }
    const bool activeKnown =
        port.port != nullptr && memberOf(port.port->properties, "TransportsActive") != nullptr;
    const FoundEntry *usbTransport = nullptr;
    const char *usbName = nullptr;
    for (const FoundEntry &found : port.below) {
        const EntryRole role = roleOf(*found.entry);
        const std::optional<bool> entryActive = flagOf(memberOf(found.entry->properties, "Active"));
        auto running = [&](const char *name) {
            return activeKnown ? holds(data.active, name) : entryActive.value_or(false);
        };
        if ((role == EntryRole::usb3 && running("USB3")) ||
            (role == EntryRole::usb2 && running("USB2") && usbName == nullptr)) {
            usbTransport = &found;
            usbName = role == EntryRole::usb3 ? "USB 3" : "USB 2";
        } else if (role == EntryRole::cio && !data.thunderbolt) {
            ThunderboltLink link;
            link.entry = found.path;
            link.active =
                activeKnown ? std::optional<bool>(holds(data.active, "CIO")) : entryActive;
            const PropertyValue *generation = memberOf(found.entry->properties, "Generation");
            const PropertyValue *speed = memberOf(found.entry->properties, "CableSpeed");
            link.generation = generation && generation->kind == PropertyValue::Kind::integer
                                  ? StoryJson(generation->integer)
                                  : StoryJson(nullptr);
            link.cableSpeed = speed && speed->kind == PropertyValue::Kind::integer
                                  ? StoryJson(speed->integer)
                                  : StoryJson(nullptr);
            data.thunderbolt = link;
        } else if (role == EntryRole::displayPort && !data.displayPort) {
            const std::vector<DictionaryMember> &properties = found.entry->properties;
            DisplayPortLink link;
            link.entry = found.path;
            if (std::optional<std::string> hpd =
                    textOf(memberOf(properties, "HPD_StateDescription"))) {
                if (*hpd == "High" || *hpd == "Low") {
                    link.hpd = *hpd == "High";
                    link.hpdFrom = {found.path, "HPD_StateDescription"};
                }
            }
            link.lanes = integerOf(memberOf(properties, "LaneCount"));
            link.maxLanes = integerOf(memberOf(properties, "MaxLaneCount"));
            link.linkRate = textOf(memberOf(properties, "LinkRateDescription"));
            link.pinAssignment = nullptr;
            data.displayPort = link;
        }
    }
    if (port.port != nullptr) {
        const std::vector<DictionaryMember> &properties = port.port->properties;
        const std::optional<bool> asserted = flagOf(memberOf(properties, "HPDAsserted"));
        const PropertyValue *pins = memberOf(properties, "DisplayPortPinAssignment");
        if (!data.displayPort && (asserted || pins != nullptr)) {
            data.displayPort = DisplayPortLink();
            data.displayPort->pinAssignment = nullptr;
        }
        if (data.displayPort) {
            if (!data.displayPort->hpd && asserted) {
                data.displayPort->hpd = asserted;
                data.displayPort->hpdFrom = {{port.story.name}, "HPDAsserted"};
            }
            if (pins != nullptr && pins->kind == PropertyValue::Kind::integer) {
                data.displayPort->pinAssignment = pins->integer;
            } else if (pins != nullptr && pins->kind == PropertyValue::Kind::boolean &&
                       pins->contentsKnown) {
                data.displayPort->pinAssignment = pins->boolean;
            }
        }
    }
    if (usbTransport != nullptr) {
        UsbLink link;
        link.entry = usbTransport->path;
        link.generation = usbName;
        const std::vector<DictionaryMember> &properties = usbTransport->entry->properties;
        if (std::optional<std::string> rate = textOf(memberOf(properties, "DataRateDescription"))) {
            link.rateMbps = rateOfDescription(*rate);
        }
        for (const FoundEntry &found : port.below) {
            if (roleOf(*found.entry) == EntryRole::usbDevice &&
                isBelow(found.path, usbTransport->path)) {
                link.devices.push_back(readDevice(found));
            }
        }
        if (link.devices.empty()) {
            if (std::optional<UsbDevice> device = metadataDevice(*usbTransport)) {
                link.devices.push_back(*device);
            }
        }
        if (!link.rateMbps && !link.devices.empty()) {
            const PropertyValue *speed = nullptr;
            for (const FoundEntry &found : port.below) {
                if (roleOf(*found.entry) == EntryRole::usbDevice &&
                    isBelow(found.path, usbTransport->path)) {
                    speed = memberOf(found.entry->properties, "UsbLinkSpeed");
                    break;
                }
            }
            if (std::optional<std::int64_t> bits = integerOf(speed); bits && *bits > 0) {
                link.rateMbps = *bits / 1000000;
            }
        }
        data.usb = link;
    }
    return data;
}

} // namespace explain
