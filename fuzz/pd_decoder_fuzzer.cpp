// Builds a walk from the fuzzer's bytes: entries of any depth, of the port
// and transport names and classes that decide grouping and whose identity
// an answer is, carrying values of every kind and odd shape (data of any
// length with a report's cut, numbers past 32 bits and negative, mixed
// arrays, dictionaries with the identity fields, booleans and containers
// known by their size only, text that is not UTF-8) under the keys the
// explanation decodes. Every 32-bit object of the input is also given to
// each object decoder directly. Requires that nothing crashes or throws,
// that every property has a kind and a decoded value, that every document
// dumps, and that each port's notes are its properties' notes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "explain/analysis/explanation.h"
#include "pd/identity.h"
#include "pd/pdo.h"
#include "pd/property_decoders.h"
#include "pd/vdm.h"

namespace {

using explain::PropertyValue;

const char *const keys[] = {
    "VDMs",
    "VDOs",
    "Metadata",
    "PDRevision",
    "SpecRevision",
    "PortPartnerIdentity",
    "CableIdentity",
    "PDContract",
    "PowerRole",
    "DataRole",
    "VCONNSource",
    "SourceCapabilities",
    "SinkCapabilities",
    "RequestDataObject",
    "ActiveContract",
    "AlternateMode",
    "SVIDs",
    "Modes",
    "DisplayPortStatus",
    "DisplayPortConfig",
    "RawVDM",
    "VDMResponse",
    "VDMHistory",
    "MessageLog",
    "PDMessageLog",
    "TraceBuffer",
};

const char *const metadataKeys[] = {
    "Vendor ID",       "Product ID",       "bcdDevice", "Product Type", "Product Type Description",
    "Vendor ID (SOP)", "Product ID (SOP)", "VDOs",      "VDO Count",
};

const char *const names[] = {"AppleHPMARMSPMI",
                             "Port-USB-C@1",
                             "Port-MagSafe 3@1",
                             "CC",
                             "SOP",
                             "SOP'",
                             "SOP''",
                             "Port-",
                             "USB3",
                             ""};

const char *const classes[] = {"AppleHPMARMSPMI",
                               "IOPortTransportStateCC",
                               "IOPortTransportComponentCCUSBPDSOP",
                               "IOPortTransportComponentCCUSBPDSOPp",
                               "IOPortTransportComponentCCUSBPDSOPpp",
                               "AppleHPMInterfaceType10"};

const std::size_t mostEntries = 64;
const std::size_t mostProperties = 12;
const int deepestValue = 3;

template <std::size_t N>
const char *pick(FuzzedDataProvider &input, const char *const (&choices)[N])
{
    return choices[input.ConsumeIntegralInRange<std::size_t>(0, N - 1)];
}

PropertyValue makeValue(FuzzedDataProvider &input, int depth);

PropertyValue makeData(FuzzedDataProvider &input)
{
    PropertyValue value;
    value.kind = PropertyValue::Kind::data;
    // Mostly whole 32-bit objects, sometimes any length.
    std::size_t length = input.ConsumeIntegralInRange<std::size_t>(0, 40);
    if (input.ConsumeBool()) {
        length *= 4;
    }
    value.bytes = input.ConsumeBytes<std::uint8_t>(length);
    value.length = static_cast<std::int64_t>(value.bytes.size());
    // A report's cut: fewer bytes known than the value holds.
    if (input.ConsumeIntegralInRange<int>(0, 7) == 0) {
        value.length += input.ConsumeIntegralInRange<std::int64_t>(-8, 400);
    }
    return value;
}

PropertyValue makeValue(FuzzedDataProvider &input, int depth)
{
    PropertyValue value;
    switch (input.ConsumeIntegralInRange<int>(0, 9)) {
    case 0:
    case 1: return makeData(input);
    case 2:
        value.kind = PropertyValue::Kind::integer;
        value.integer = input.ConsumeBool() ? input.ConsumeIntegral<std::uint32_t>()
                                            : input.ConsumeIntegral<std::int64_t>();
        break;
    case 3:
        value.kind = PropertyValue::Kind::real;
        value.real = input.ConsumeFloatingPoint<double>();
        value.integer = input.ConsumeIntegral<std::int64_t>();
        break;
    case 4:
        value.kind = input.ConsumeBool() ? PropertyValue::Kind::string
                                         : PropertyValue::Kind::unconvertibleString;
        value.text = input.ConsumeRandomLengthString(700);
        break;
    case 5:
        value.kind = PropertyValue::Kind::boolean;
        value.boolean = input.ConsumeBool();
        value.contentsKnown = input.ConsumeBool();
        break;
    case 6:
    case 7: {
        value.kind = PropertyValue::Kind::array;
        const std::size_t items = input.ConsumeIntegralInRange<std::size_t>(0, 8);
        for (std::size_t i = 0; i < items && depth < deepestValue; ++i) {
            value.items.push_back(input.ConsumeBool() ? makeData(input)
                                                      : makeValue(input, depth + 1));
        }
        value.count = static_cast<std::int64_t>(value.items.size());
        if (input.ConsumeIntegralInRange<int>(0, 5) == 0) {
            value.items.clear();
            value.contentsKnown = false;
            value.count = input.ConsumeIntegralInRange<std::int64_t>(-1, 20);
        }
        break;
    }
    case 8: {
        value.kind = PropertyValue::Kind::dictionary;
        const std::size_t members = input.ConsumeIntegralInRange<std::size_t>(0, 8);
        for (std::size_t i = 0; i < members && depth < deepestValue; ++i) {
            value.members.push_back({pick(input, metadataKeys), makeValue(input, depth + 1)});
        }
        value.count = static_cast<std::int64_t>(value.members.size());
        if (input.ConsumeIntegralInRange<int>(0, 5) == 0) {
            value.members.clear();
            value.contentsKnown = false;
            value.count = input.ConsumeIntegralInRange<std::int64_t>(-1, 20);
        }
        break;
    }
    default:
        value.kind = PropertyValue::Kind::other;
        value.typeId = input.ConsumeIntegral<unsigned long>();
        break;
    }
    return value;
}

explain::RegistryWalk makeWalk(FuzzedDataProvider &input)
{
    explain::RegistryWalk walk;
    std::vector<std::string> path;
    const std::size_t entries = input.ConsumeIntegralInRange<std::size_t>(0, mostEntries);
    for (std::size_t i = 0; i < entries && input.remaining_bytes() > 0; ++i) {
        explain::WalkedEntry entry;
        entry.depth = input.ConsumeIntegralInRange<unsigned>(0, 9);
        path.resize(entry.depth < path.size() ? entry.depth : path.size());
        path.push_back(input.ConsumeBool() ? std::string(pick(input, names))
                                           : input.ConsumeRandomLengthString(12));
        entry.path = path;
        entry.className = input.ConsumeBool() ? std::string(pick(input, classes))
                                              : input.ConsumeRandomLengthString(12);
        const std::size_t properties = input.ConsumeIntegralInRange<std::size_t>(0, mostProperties);
        for (std::size_t p = 0; p < properties; ++p) {
            entry.properties.emplace_back(pick(input, keys), makeValue(input, 0));
        }
        walk.entries.push_back(std::move(entry));
    }
    if (input.ConsumeBool()) {
        walk.notes.push_back(input.ConsumeRandomLengthString(40));
    }
    return walk;
}

void require(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

void checkProperty(const explain::PropertyExplanation &property, std::size_t &notes)
{
    require(!property.kind.empty());
    require(!property.decoded.is_discarded());
    explain::Json document = {{"entry", property.entry},     {"class", property.className},
                              {"key", property.key},         {"kind", property.kind},
                              {"decoded", property.decoded}, {"lines", property.lines},
                              {"notes", property.notes}};
    static_cast<void>(document.dump()); // throws, and so aborts, on invalid UTF-8
    notes += property.notes.size();
}

// Every object decoder, straight on one object.
void decodeObject(std::uint32_t object, const std::vector<std::uint32_t> &objects)
{
    static_cast<void>(pd::decodePdo(object, pd::PowerRole::source, 1));
    static_cast<void>(pd::decodePdo(object, pd::PowerRole::sink, 1));
    static_cast<void>(pd::decodeRequestObject(object, std::nullopt));
    for (std::size_t i = 0; i < objects.size() && i < 4; ++i) {
        static_cast<void>(pd::decodeRequestObject(object, objects[i]).json.dump());
    }
    static_cast<void>(pd::decodeDisplayPortStatus(object).json.dump());
    static_cast<void>(pd::decodeDisplayPortConfig(object).json.dump());
    static_cast<void>(pd::decodeRevisionObject(object).json.dump());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    std::vector<std::uint32_t> objects;
    for (std::size_t at = 0; at + 4 <= size && objects.size() < 16; at += 4) {
        objects.push_back(static_cast<std::uint32_t>(data[at]) |
                          static_cast<std::uint32_t>(data[at + 1]) << 8 |
                          static_cast<std::uint32_t>(data[at + 2]) << 16 |
                          static_cast<std::uint32_t>(data[at + 3]) << 24);
    }
    for (std::uint32_t object : objects) {
        decodeObject(object, objects);
    }
    static_cast<void>(pd::decodePdoList(objects, pd::PowerRole::source).json.dump());
    static_cast<void>(pd::decodeIdentity(objects, pd::IdentitySide::partner, nullptr).json.dump());
    static_cast<void>(
        pd::decodeIdentity(objects, pd::IdentitySide::cablePlug, nullptr).json.dump());
    static_cast<void>(pd::decodeVdm(objects, nullptr).json.dump());
    static_cast<void>(pd::decodeSvids(objects, nullptr).json.dump());
    static_cast<void>(pd::decodeModes(objects, true).json.dump());

    const explain::RegistryWalk walk = makeWalk(input);
    // Vendor names of any bytes, as a usb.ids file might hold.
    const std::string vendorName = input.ConsumeRandomLengthString(16);
    const explain::VendorNames vendors =
        [&vendorName](std::uint16_t id) -> std::optional<std::string> {
        if (id % 3 == 0) {
            return std::nullopt;
        }
        return vendorName;
    };
    const explain::Explanation explanation = explain::explainWalk(walk, vendors);
    for (const explain::ControllerExplanation &controller : explanation.controllers) {
        std::size_t notes = 0;
        for (const explain::PropertyExplanation &property : controller.properties) {
            checkProperty(property, notes);
        }
        for (const explain::PortExplanation &port : controller.ports) {
            std::size_t portPropertyNotes = 0;
            for (const explain::PropertyExplanation &property : port.properties) {
                checkProperty(property, portPropertyNotes);
            }
            require(port.notes.size() == portPropertyNotes);
            static_cast<void>(explain::Json(port.notes).dump());
        }
    }
    static_cast<void>(explain::Json(explanation.notes).dump());
    return 0;
}
