#include "explain/input/unknown_entries.h"

namespace explain {
namespace {

// Keys of the power manager (AppleSmartBattery) that no port or transport
// carries.
const char *const powerManagerKeys[] = {
    "AdapterDetails",        "AppleRawAdapterDetails", "PortControllerInfo", "FedDetails",
    "PowerTelemetryData",    "PowerOutDetails",        "ChargerData",        "ExternalConnected",
    "ExternalChargeCapable", "BatteryInstalled",
};

const PropertyValue *memberNamed(const CapturedEntry &entry, const char *key)
{
    for (const DictionaryMember &member : entry.properties) {
        if (member.key == key) {
            return &member.value;
        }
    }
    return nullptr;
}

const std::string *textNamed(const CapturedEntry &entry, const char *key)
{
    const PropertyValue *value = memberNamed(entry, key);
    return value != nullptr && value->kind == PropertyValue::Kind::string ? &value->text : nullptr;
}

// "Port-USB-C@1" names a port; "Port-USB-C@1/CC" an entry below it.
bool namesAPort(const std::string &text)
{
    return text.compare(0, 5, "Port-") == 0 && text.size() > 5 && text[5] != '/';
}

} // namespace

Recognition recogniseByKeys(const CapturedEntry &entry)
{
    for (const char *key : powerManagerKeys) {
        if (memberNamed(entry, key) != nullptr) {
            return Recognition{Recognition::Taken::powerManager, key, std::string()};
        }
    }
    if (memberNamed(entry, "PortTypeDescription") != nullptr) {
        return Recognition{Recognition::Taken::port, "PortTypeDescription", std::string()};
    }
    if (memberNamed(entry, "ParentPortTypeDescription") != nullptr) {
        return Recognition{Recognition::Taken::belowPort, "ParentPortTypeDescription",
                           std::string()};
    }
    for (const char *key : {"Description", "TransportDescription"}) {
        const std::string *text = textNamed(entry, key);
        if (text == nullptr || !namesAPort(*text)) {
            continue;
        }
        bool below = text->find('/') != std::string::npos;
        if (!below && std::string(key) == "TransportDescription") {
            continue; // a transport's, not the port's own
        }
        return Recognition{below ? Recognition::Taken::belowPort : Recognition::Taken::port, key,
                           *text};
    }
    return Recognition();
}

std::string recognitionNote(const Recognition &recognition, const CapturedEntry &entry)
{
    const std::string what = "an entry of unknown class (the capture does not hold its class)";
    const std::string by = "\"" + recognition.key + "\"" +
                           (recognition.value.empty() ? "" : " \"" + recognition.value + "\"");
    switch (recognition.taken) {
    case Recognition::Taken::powerManager:
        return "took " + what + " for the power manager, by its " + by;
    case Recognition::Taken::port: return "took " + what + " for a port, by its " + by;
    case Recognition::Taken::belowPort:
        return "took " + what + " for an entry below a port, by its " + by;
    case Recognition::Taken::nothing: break;
    }
    return "left out " + what + " with " + std::to_string(entry.properties.size()) +
           (entry.properties.size() == 1 ? " property" : " properties") +
           ": it carries none of the keys of the power manager, a port or an entry below a port";
}

} // namespace explain
