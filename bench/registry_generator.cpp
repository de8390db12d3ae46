#include "registry_generator.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <unordered_map>
#include <utility>
#include <vector>

#include <plist/plist.h>

#include "platform/standin/standin.h"
#include "platform/standin/utf.h"
#include "support/ioreg_text_writer.h"

namespace bench {
namespace {

using standin::EntryId;
using standin::ValuePtr;

const char *const controllerClass = "AppleHPMARMSPMI";
const char *const servicePlane = "IOService";
const char *const powerPlane = "IOPower";

// splitmix64: small, fast and the same everywhere, unlike the standard
// library's distributions, so a seed names one registry on every machine.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    // From low to high, both included.
    std::size_t between(std::size_t low, std::size_t high)
    {
        return low + static_cast<std::size_t>(next() % (high - low + 1));
    }
    bool percent(unsigned chance) { return next() % 100 < chance; }

private:
    std::uint64_t state_;
};

enum class Shape { number, signedNumber, string, data, dictionary, array, boolean };

struct ProbedKey {
    const char *key;
    Shape shape;
    std::size_t shortest; // data only
    std::size_t longest;
};

// The report's 26 keys, each with the kind of value a machine gives it.
const ProbedKey probedKeys[] = {
    {"VDMs", Shape::array, 0, 0},
    {"VDOs", Shape::array, 0, 0},
    {"Metadata", Shape::dictionary, 0, 0},
    {"PDRevision", Shape::number, 0, 0},
    {"SpecRevision", Shape::number, 0, 0},
    {"PortPartnerIdentity", Shape::data, 12, 24},
    {"CableIdentity", Shape::data, 16, 20},
    {"PDContract", Shape::dictionary, 0, 0},
    {"PowerRole", Shape::string, 0, 0},
    {"DataRole", Shape::string, 0, 0},
    {"VCONNSource", Shape::boolean, 0, 0},
    {"SourceCapabilities", Shape::data, 4, 28},
    {"SinkCapabilities", Shape::data, 4, 28},
    {"RequestDataObject", Shape::data, 4, 4},
    {"ActiveContract", Shape::dictionary, 0, 0},
    {"AlternateMode", Shape::string, 0, 0},
    {"SVIDs", Shape::array, 0, 0},
    {"Modes", Shape::array, 0, 0},
    {"DisplayPortStatus", Shape::data, 4, 4},
    {"DisplayPortConfig", Shape::data, 4, 4},
    {"RawVDM", Shape::data, 4, 28},
    {"VDMResponse", Shape::signedNumber, 0, 0},
    {"VDMHistory", Shape::data, 64, 512},
    {"MessageLog", Shape::data, 128, 2048},
    {"PDMessageLog", Shape::data, 100, 1024},
    {"TraceBuffer", Shape::data, 256, 1024},
};
const std::size_t probedKeyCount = sizeof probedKeys / sizeof probedKeys[0];

// Properties that entries carry and the report does not show; they make the
// property tables as full as a machine's are.
const ProbedKey otherKeys[] = {
    {"IOClass", Shape::string, 0, 0},
    {"IOProviderClass", Shape::string, 0, 0},
    {"IOMatchCategory", Shape::string, 0, 0},
    {"IOProbeScore", Shape::number, 0, 0},
    {"PortNumber", Shape::number, 0, 0},
    {"Built-In", Shape::boolean, 0, 0},
    {"PortType", Shape::number, 0, 0},
    {"ConnectionActive", Shape::boolean, 0, 0},
    {"TransportsSupported", Shape::array, 0, 0},
    {"IOPowerManagement", Shape::dictionary, 0, 0},
    {"UUID", Shape::string, 0, 0},
    {"ComponentAddress", Shape::data, 4, 8},
};
const std::size_t otherKeyCount = sizeof otherKeys / sizeof otherKeys[0];

const char *const shortTexts[] = {"Sink",        "Source",         "DFP",           "UFP",
                                  "DisplayPort", "Thunderbolt",    "USB4",          "Dual Role",
                                  "Connected",   "com.apple.port", "Kábel Ünïcode", "充电器"};

class Builder {
public:
    Builder(std::size_t entries, std::uint64_t seed) : random_(seed), budget_(entries) {}

    GeneratedRegistry build()
    {
        while (budget_ > 0) {
            controller();
        }
        return summary_;
    }

private:
    standin::Bytes bytes(std::size_t length)
    {
        standin::Bytes data(length);
        for (std::size_t i = 0; i < length; i += 8) {
            std::uint64_t bits = random_.next();
            for (std::size_t k = i; k < length && k < i + 8; ++k, bits >>= 8) {
                data[k] = static_cast<std::uint8_t>(bits);
            }
        }
        return data;
    }

    ValuePtr number()
    {
        return standin::makeInteger(static_cast<std::int64_t>(random_.between(0, 70000)));
    }

    ValuePtr text()
    {
        // Now and then a string too long for the report's buffer.
        if (random_.percent(2)) {
            return standin::makeString(std::string(random_.between(512, 700), 'x'));
        }
        return standin::makeString(shortTexts[random_.between(0, std::size(shortTexts) - 1)]);
    }

    ValuePtr valueOf(const ProbedKey &key)
    {
        // A few values of an unexpected kind, as firmware sometimes gives.
        if (random_.percent(3)) {
            switch (random_.between(0, 2)) {
            case 0: return standin::makeReal(static_cast<double>(random_.between(0, 4000)) + 0.5);
            case 1: return standin::makeUnsigned(0x8000000000000000ULL | random_.next());
            default: return standin::makeData(bytes(0));
            }
        }
        switch (key.shape) {
        case Shape::number:
            return standin::makeInteger(static_cast<std::int64_t>(random_.between(1, 3)));
        case Shape::signedNumber:
            return standin::makeInteger(static_cast<std::int32_t>(random_.next()));
        case Shape::string: return text();
        case Shape::data:
            return standin::makeData(bytes(random_.between(key.shortest, key.longest)));
        case Shape::boolean: return standin::makeBoolean(random_.percent(50));
        case Shape::dictionary: {
            standin::DictionaryItems items;
            std::size_t count = random_.between(0, 6);
            for (std::size_t i = 0; i < count; ++i) {
                items.emplace_back(standin::makeString("Field" + std::to_string(i)), number());
            }
            return standin::makeDictionary(std::move(items));
        }
        case Shape::array: {
            standin::ArrayItems items;
            std::size_t count = random_.between(0, 7);
            for (std::size_t i = 0; i < count; ++i) {
                items.push_back(random_.percent(50) ? number() : standin::makeData(bytes(4)));
            }
            return standin::makeArray(std::move(items));
        }
        }
        return number();
    }

    void set(EntryId entry, const char *key, ValuePtr value)
    {
        standin::setProperty(entry, key, std::move(value));
        ++summary_.properties;
    }

    // One entry, with its properties; 0 once the registry is full.
    EntryId make(const std::string &className, const std::string &name, const char *userClient,
                 const char *bundle)
    {
        if (budget_ == 0) {
            return 0;
        }
        --budget_;
        ++summary_.entries;
        EntryId entry = standin::addEntry(className, name);
        if (userClient == nullptr && random_.percent(10)) {
            userClient = "IOPortTransportUserClient";
        }
        if (bundle == nullptr && random_.percent(8)) {
            bundle = "com.apple.driver.AppleHPM";
        }
        if (userClient != nullptr) {
            set(entry, "IOUserClientClass", standin::makeString(userClient));
        }
        if (bundle != nullptr) {
            // Rarely not a string, which the report shows as unconvertible.
            set(entry, "CFBundleIdentifier",
                random_.percent(2) ? number() : standin::makeString(bundle));
        }

        // Most entries carry a few probed properties, some none, some many.
        std::size_t draw = random_.between(0, 99);
        std::size_t probed = draw < 20   ? 0
                             : draw < 90 ? random_.between(1, 4)
                                         : random_.between(10, probedKeyCount);
        std::size_t order[probedKeyCount];
        for (std::size_t i = 0; i < probedKeyCount; ++i) {
            order[i] = i;
        }
        for (std::size_t i = 0; i < probed; ++i) {
            std::swap(order[i], order[random_.between(i, probedKeyCount - 1)]);
            set(entry, probedKeys[order[i]].key, valueOf(probedKeys[order[i]]));
        }
        summary_.probed += probed;
        std::size_t others = random_.between(1, 4);
        unsigned chosen = 0; // a bit for each of otherKeys set already
        for (std::size_t i = 0; i < others; ++i) {
            std::size_t pick = random_.between(0, otherKeyCount - 1);
            if ((chosen & (1u << pick)) == 0) {
                chosen |= 1u << pick;
                set(entry, otherKeys[pick].key, valueOf(otherKeys[pick]));
            }
        }
        return entry;
    }

    // A child in the service plane, which the report prints in its first section.
    EntryId child(EntryId parent, const std::string &className, const std::string &name,
                  const char *userClient = nullptr, const char *bundle = nullptr)
    {
        EntryId entry = make(className, name, userClient, bundle);
        if (entry != 0) {
            standin::addChild(parent, entry, servicePlane);
            ++summary_.entryLines;
        }
        return entry;
    }

    void controller()
    {
        EntryId root = make(controllerClass, controllerClass, "AppleHPMUserClient",
                            "com.apple.driver.AppleHPM");
        ++summary_.controllers;
        summary_.entryLines += 2; // once in each plane
        child(root, "AppleHPMUserClient", "AppleHPMUserClient");
        std::vector<EntryId> devices;
        std::size_t deviceCount = random_.between(1, 2);
        for (std::size_t d = 0; d < deviceCount; ++d) {
            char name[64];
            std::snprintf(name, sizeof name, "AppleHPMDeviceHALType3@%zX",
                          static_cast<std::size_t>(random_.between(0x8, 0x3f)));
            EntryId device = child(root, "AppleHPMDeviceHALType3", name);
            if (device == 0) {
                break;
            }
            devices.push_back(device);
            std::size_t portCount = random_.between(1, 3);
            for (std::size_t p = 1; p <= portCount; ++p) {
                port(device, p);
            }
        }
        // The power plane: the controller's power connection and its devices.
        EntryId connection = make("IOPowerConnection", "IOPowerConnection", nullptr, nullptr);
        if (connection != 0) {
            standin::addChild(root, connection, powerPlane);
            ++summary_.entryLines;
            for (EntryId device : devices) {
                standin::addChild(connection, device, powerPlane);
                ++summary_.entryLines;
            }
        }
    }

    void port(EntryId device, std::size_t number)
    {
        EntryId port =
            child(device, "AppleHPMInterfaceType10", "Port-USB-C@" + std::to_string(number),
                  "IOAccessoryManagerUserClient", "com.apple.driver.AppleHPM");
        if (port == 0) {
            return;
        }
        EntryId cc = child(port, "IOPortTransportStateCC", "CC", "IOPortTransportUserClient");
        if (cc != 0) {
            EntryId sop = child(cc, "IOPortTransportComponentCCUSBPDSOP", "SOP");
            if (sop != 0 && random_.percent(50)) {
                featureChain(sop);
            }
            if (random_.percent(60)) {
                child(cc, "IOPortTransportComponentCCUSBPDSOPp", "SOP'");
            }
            if (random_.percent(30)) {
                child(cc, "IOPortTransportComponentCCUSBPDSOPpp", "SOP''");
            }
        }
        child(port, "IOPortTransportStateUSB2", "USB2");
        if (random_.percent(70)) {
            EntryId usb3 = child(port, "IOPortTransportStateUSB3", "USB3");
            if (usb3 != 0 && random_.percent(50)) {
                child(usb3, "IOPortTransportComponentUSB3", "USB3-Link");
            }
        }
        if (random_.percent(40)) {
            EntryId dp = child(port, "IOPortTransportStateDisplayPort", "DisplayPort");
            if (dp != 0) {
                child(dp, "IOPortTransportComponentDisplayPortAltMode", "AltMode");
            }
        }
        child(port, "AppleHPMPortPowerManager", "PowerManager");
    }

    // Levels 5 to 8 below the controller: the deepest the report prints.
    void featureChain(EntryId sop)
    {
        EntryId source = child(sop, "IOPortFeaturePowerSource", "PowerSource");
        EntryId contract = source != 0 ? child(source, "IOPortFeatureContract", "Contract") : 0;
        if (contract == 0) {
            return;
        }
        std::size_t objects = random_.between(0, 3);
        for (std::size_t i = 0; i < objects; ++i) {
            EntryId object =
                child(contract, "IOPortFeaturePowerDataObject", "PDO@" + std::to_string(i + 1));
            if (object != 0 && random_.percent(30)) {
                child(object, "IOPortFeatureVoltage", "Voltage");
            }
        }
    }

    Random random_;
    std::size_t budget_;
    GeneratedRegistry summary_;
};

// Writing snapshots -----------------------------------------------------

std::string utf8(const std::u16string &units)
{
    auto text = standin::utf8FromUtf16(units);
    if (!text) {
        throw std::invalid_argument("a generated string has no UTF-8 form");
    }
    return *text;
}

plist_t nodeOf(const standin::Value &value)
{
    switch (value.kind()) {
    case standin::Kind::data: {
        const auto &bytes = *value.as<standin::Bytes>();
        return plist_new_data(reinterpret_cast<const char *>(bytes.data()), bytes.size());
    }
    case standin::Kind::number: {
        const auto &number = *value.as<standin::Number>();
        return number.isReal ? plist_new_real(number.real)
                             : plist_new_uint(static_cast<std::uint64_t>(number.integer));
    }
    case standin::Kind::string: return plist_new_string(utf8(*value.as<std::u16string>()).c_str());
    case standin::Kind::dictionary: {
        plist_t dictionary = plist_new_dict();
        for (const auto &item : *value.as<standin::DictionaryItems>()) {
            plist_dict_set_item(dictionary, utf8(*item.first->as<std::u16string>()).c_str(),
                                nodeOf(*item.second));
        }
        return dictionary;
    }
    case standin::Kind::array: {
        plist_t array = plist_new_array();
        for (const auto &item : *value.as<standin::ArrayItems>()) {
            plist_array_append_item(array, nodeOf(*item));
        }
        return array;
    }
    case standin::Kind::boolean: return plist_new_bool(*value.as<bool>() ? 1 : 0);
    case standin::Kind::date: {
        double seconds = value.as<standin::Date>()->secondsSince2001;
        return plist_new_date(static_cast<std::int32_t>(seconds), 0);
    }
    case standin::Kind::set: {
        // Written as `ioreg -a` writes a set: an array.
        plist_t array = plist_new_array();
        for (const auto &member : value.as<standin::SetItems>()->members) {
            plist_array_append_item(array, nodeOf(*member));
        }
        return array;
    }
    }
    return plist_new_bool(0);
}

class SnapshotWriter {
public:
    explicit SnapshotWriter(const standin::Registry &registry)
        : registry_(registry), written_(registry.size() + 1, false)
    {
    }

    plist_t plane(const char *name)
    {
        plist_t roots = plist_new_array();
        standin::PlaneId plane = 0;
        if (!registry_.findPlane(name, plane)) {
            return roots;
        }
        listed_.assign(registry_.size() + 1, false);
        for (EntryId root : registry_.entriesOfClass(controllerClass)) {
            plist_array_append_item(roots, entry(root, plane));
        }
        return roots;
    }

private:
    // The first occurrence of an entry holds its properties; the first in
    // each plane lists its children there; any other is only a link.
    plist_t entry(EntryId id, standin::PlaneId plane)
    {
        const standin::Entry &found = registry_.entry(id);
        plist_t node = plist_new_dict();
        plist_dict_set_item(node, "IOObjectClass", plist_new_string(found.className.c_str()));
        plist_dict_set_item(node, "IORegistryEntryName", plist_new_string(found.name.c_str()));
        plist_dict_set_item(node, "IORegistryEntryID", plist_new_uint(id));
        if (!written_[id]) {
            written_[id] = true;
            for (const auto &property : found.properties) {
                plist_dict_set_item(node, utf8(property.first).c_str(), nodeOf(*property.second));
            }
        }
        const auto &children = registry_.children(id, plane);
        if (!listed_[id] && !children.empty()) {
            listed_[id] = true;
            plist_t list = plist_new_array();
            for (EntryId child : children) {
                plist_array_append_item(list, entry(child, plane));
            }
            plist_dict_set_item(node, "IORegistryEntryChildren", list);
        }
        return node;
    }

    const standin::Registry &registry_;
    std::vector<bool> written_;
    std::vector<bool> listed_;
};

// A binary property list (bplist00) of a tree. libplist's own writer keeps
// its objects in a hash table of a fixed 4,096 buckets, which makes writing a
// registry of 100,000 entries take minutes; this one writes each object once,
// sharing only equal strings, in time proportional to the tree.
class BinaryWriter {
public:
    std::string write(plist_t root)
    {
        std::uint64_t top = object(root);
        const std::uint64_t tableAt = out_.size();
        const unsigned offsetWidth = tableAt > 0xffffffffULL ? 8 : 4;
        for (std::uint64_t offset : offsets_) {
            bigEndian(offset, offsetWidth);
        }
        out_.append(6, '\0');
        out_ += static_cast<char>(offsetWidth);
        out_ += static_cast<char>(refWidth);
        bigEndian(offsets_.size(), 8);
        bigEndian(top, 8);
        bigEndian(tableAt, 8);
        return std::move(out_);
    }

private:
    static constexpr unsigned refWidth = 4;

    void bigEndian(std::uint64_t value, unsigned width)
    {
        for (unsigned i = width; i-- > 0;) {
            out_ += static_cast<char>((value >> (8 * i)) & 0xff);
        }
    }

    // A marker with its count: in its low four bits, or after it as an integer.
    void marker(unsigned kind, std::uint64_t count)
    {
        if (count < 15) {
            out_ += static_cast<char>(kind << 4 | count);
            return;
        }
        out_ += static_cast<char>(kind << 4 | 0xf);
        out_ += static_cast<char>(0x13);
        bigEndian(count, 8);
    }

    std::uint64_t begin()
    {
        offsets_.push_back(out_.size());
        if (offsets_.size() > 0xffffffffULL) {
            throw std::length_error("too many objects for four-byte references");
        }
        return offsets_.size() - 1;
    }

    std::uint64_t string(const std::string &text)
    {
        auto shared = strings_.find(text);
        if (shared != strings_.end()) {
            return shared->second;
        }
        std::uint64_t index = begin();
        bool ascii = true;
        for (char c : text) {
            ascii = ascii && static_cast<unsigned char>(c) < 0x80;
        }
        if (ascii) {
            marker(0x5, text.size());
            out_ += text;
        } else {
            auto units = standin::utf16FromUtf8(text);
            if (!units) {
                throw std::invalid_argument("a generated string is not valid UTF-8");
            }
            marker(0x6, units->size());
            for (char16_t unit : *units) {
                bigEndian(unit, 2);
            }
        }
        strings_.emplace(text, index);
        return index;
    }

    void references(const std::vector<std::uint64_t> &objects)
    {
        for (std::uint64_t object : objects) {
            bigEndian(object, refWidth);
        }
    }

    std::uint64_t object(plist_t node)
    {
        switch (plist_get_node_type(node)) {
        case PLIST_STRING: {
            uint64_t length = 0;
            const char *text = plist_get_string_ptr(node, &length);
            return string(std::string(text, length));
        }
        case PLIST_DICT: {
            std::vector<std::uint64_t> keys;
            std::vector<std::uint64_t> values;
            plist_dict_iter items = nullptr;
            plist_dict_new_iter(node, &items);
            for (;;) {
                char *key = nullptr;
                plist_t value = nullptr;
                plist_dict_next_item(node, items, &key, &value);
                if (value == nullptr) {
                    std::free(key);
                    break;
                }
                keys.push_back(string(key));
                std::free(key);
                values.push_back(object(value));
            }
            std::free(items);
            std::uint64_t index = begin();
            marker(0xd, keys.size());
            references(keys);
            references(values);
            return index;
        }
        case PLIST_ARRAY: {
            std::vector<std::uint64_t> items;
            for (uint32_t i = 0, size = plist_array_get_size(node); i < size; ++i) {
                items.push_back(object(plist_array_get_item(node, i)));
            }
            std::uint64_t index = begin();
            marker(0xa, items.size());
            references(items);
            return index;
        }
        case PLIST_DATA: {
            uint64_t length = 0;
            const char *bytes = plist_get_data_ptr(node, &length);
            std::uint64_t index = begin();
            marker(0x4, length);
            out_.append(bytes == nullptr ? "" : bytes, bytes == nullptr ? 0 : length);
            return index;
        }
        case PLIST_UINT: {
            uint64_t value = 0;
            plist_get_uint_val(node, &value);
            std::uint64_t index = begin();
            out_ += static_cast<char>(0x13);
            bigEndian(value, 8);
            return index;
        }
        case PLIST_REAL: {
            double value = 0;
            plist_get_real_val(node, &value);
            std::uint64_t bits = 0;
            std::memcpy(&bits, &value, sizeof bits);
            std::uint64_t index = begin();
            out_ += static_cast<char>(0x23);
            bigEndian(bits, 8);
            return index;
        }
        case PLIST_BOOLEAN: {
            uint8_t value = 0;
            plist_get_bool_val(node, &value);
            std::uint64_t index = begin();
            out_ += static_cast<char>(value != 0 ? 0x09 : 0x08);
            return index;
        }
        case PLIST_DATE: {
            int32_t seconds = 0;
            int32_t microseconds = 0;
            plist_get_date_val(node, &seconds, &microseconds);
            double value = seconds + microseconds / 1e6;
            std::uint64_t bits = 0;
            std::memcpy(&bits, &value, sizeof bits);
            std::uint64_t index = begin();
            out_ += static_cast<char>(0x33);
            bigEndian(bits, 8);
            return index;
        }
        default: throw std::invalid_argument("a generated node of a kind snapshots do not hold");
        }
    }

    std::string out_ = "bplist00";
    std::vector<std::uint64_t> offsets_;
    std::unordered_map<std::string, std::uint64_t> strings_;
};

} // namespace

GeneratedRegistry generateRegistry(std::size_t entries, std::uint64_t seed)
{
    if (entries == 0) {
        throw std::invalid_argument("a registry needs at least one entry");
    }
    standin::reset();
    return Builder(entries, seed).build();
}

std::string snapshotOfRegistry(SnapshotFormat format)
{
    SnapshotWriter writer(standin::registry());
    if (format == SnapshotFormat::text) {
        plist_t service = writer.plane(servicePlane);
        plist_t ready = testing_support::textReadyCopy(service);
        std::string text = testing_support::ioregText(ready);
        plist_free(ready);
        plist_free(service);
        return text;
    }
    plist_t root = plist_new_dict();
    plist_dict_set_item(root, servicePlane, writer.plane(servicePlane));
    plist_dict_set_item(root, powerPlane, writer.plane(powerPlane));
    char *bytes = nullptr;
    uint32_t length = 0;
    std::string out;
    if (format == SnapshotFormat::xml) {
        plist_to_xml(root, &bytes, &length);
        out.assign(bytes == nullptr ? "" : bytes, bytes == nullptr ? 0 : length);
        plist_to_xml_free(bytes);
    } else {
        out = BinaryWriter().write(root);
    }
    plist_free(root);
    if (out.empty()) {
        throw std::runtime_error("libplist wrote no snapshot");
    }
    return out;
}

} // namespace bench
