#include "support/snapshot_forms.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "platform/standin/standin.h"
#include "platform/standin/utf.h"
#include "support/golden_file.h"
#include "support/ioreg_text_writer.h"
#include "support/scratch_path.h"

namespace testing_support {
namespace {

std::string valueDump(const standin::ValuePtr &value)
{
    switch (value->kind()) {
    case standin::Kind::data: {
        std::string out = "<";
        for (std::uint8_t byte : *value->as<standin::Bytes>()) {
            out += std::to_string(byte) + " ";
        }
        return out + ">";
    }
    case standin::Kind::number: return std::to_string(value->as<standin::Number>()->integer);
    case standin::Kind::string:
        return "\"" + standin::utf8ForDisplay(*value->as<std::u16string>()) + "\"";
    case standin::Kind::boolean: return *value->as<bool>() ? "true" : "false";
    case standin::Kind::array: {
        std::string out = "(";
        for (const auto &item : *value->as<standin::ArrayItems>()) {
            out += valueDump(item) + ",";
        }
        return out + ")";
    }
    case standin::Kind::dictionary: {
        std::vector<std::string> items;
        for (const auto &item : *value->as<standin::DictionaryItems>()) {
            items.push_back(valueDump(item.first) + "=" + valueDump(item.second));
        }
        std::sort(items.begin(), items.end());
        std::string out = "{";
        for (const std::string &item : items) {
            out += item + ",";
        }
        return out + "}";
    }
    case standin::Kind::date: return "date";
    case standin::Kind::set: {
        std::vector<std::string> members;
        for (const auto &member : value->as<standin::SetItems>()->members) {
            members.push_back(valueDump(member));
        }
        std::sort(members.begin(), members.end());
        std::string out = "[";
        for (const std::string &member : members) {
            out += member + ",";
        }
        return out + "]";
    }
    }
    return "?";
}

// How the dump names an entry: by the registry ID a snapshot gave it, so
// that two loads that made their entries in another order dump alike.
std::string entryKey(const standin::Registry &registry, standin::EntryId id)
{
    const standin::Entry &entry = registry.entry(id);
    if (entry.registryIdGiven) {
        char text[32];
        snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(entry.registryId));
        return text;
    }
    if (entry.className == "IORegistryEntry" && entry.name == "Root") {
        return "root";
    }
    return "#" + std::to_string(id);
}

} // namespace

std::string writeScratch(const std::string &purpose, const std::string &bytes)
{
    std::string path = testing_support::scratchPath(purpose);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

Plist fromXml(const std::string &xml)
{
    plist_t root = nullptr;
    plist_from_xml(xml.data(), static_cast<uint32_t>(xml.size()), &root);
    return Plist(root);
}

std::string xmlOf(plist_t root)
{
    char *bytes = nullptr;
    uint32_t length = 0;
    plist_to_xml(root, &bytes, &length);
    std::string xml(bytes, length);
    plist_to_xml_free(bytes);
    return xml;
}

// Every entry of the stand-in's registry, its properties, its locations and
// its children in the planes a snapshot can fill, entries in the order of
// their names above.
std::string registryDump()
{
    const standin::Registry &registry = standin::registry();
    std::vector<std::string> blocks;
    for (standin::EntryId id = 1; id <= registry.size(); ++id) {
        const standin::Entry &entry = registry.entry(id);
        std::string out =
            entryKey(registry, id) + " [" + entry.className + "] " + entry.name + "\n";
        std::vector<std::string> properties;
        for (const auto &property : entry.properties) {
            properties.push_back("  " + standin::utf8ForDisplay(property.first) + " = " +
                                 valueDump(property.second) + "\n");
        }
        std::sort(properties.begin(), properties.end());
        for (const std::string &property : properties) {
            out += property;
        }
        for (const char *name : {"IOService", "IOPower", "IOPort"}) {
            standin::PlaneId plane = 0;
            if (!registry.findPlane(name, plane)) {
                continue;
            }
            std::string children;
            for (standin::EntryId child : registry.children(id, plane)) {
                children += " " + entryKey(registry, child);
            }
            if (!children.empty()) {
                out += std::string("  ") + name + ":" + children + "\n";
            }
            for (const auto &[where, location] : entry.locations) {
                if (where == plane) {
                    out += std::string("  ") + name + " location " + location + "\n";
                }
            }
        }
        blocks.push_back(out);
    }
    std::sort(blocks.begin(), blocks.end());
    std::string out;
    for (const std::string &block : blocks) {
        out += block;
    }
    return out;
}

TwoForms twoForms(plist_t snapshot)
{
    Plist ready(textReadyCopy(snapshot));
    TwoForms forms{xmlOf(ready.get()), {}};
    plist_t service = plist_dict_get_item(ready.get(), "IOService");
    if (service == nullptr) {
        forms.texts.push_back({ioregText(ready.get()), ""});
        return forms;
    }
    forms.texts.push_back({ioregText(service), ""});
    for (const char *name : {"IOPower", "IOPort"}) {
        plist_t plane = plist_dict_get_item(ready.get(), name);
        if (plane != nullptr && plist_array_get_size(plane) > 0) {
            forms.texts.push_back({ioregText(plane), name});
        }
    }
    return forms;
}

} // namespace testing_support
