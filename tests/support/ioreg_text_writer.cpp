#include "support/ioreg_text_writer.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace testing_support {
namespace {

const char *const nameKey = "IORegistryEntryName";
const char *const locationKey = "IORegistryEntryLocation";
const char *const idKey = "IORegistryEntryID";
const char *const childrenKey = "IORegistryEntryChildren";

std::string stringOf(plist_t node)
{
    uint64_t length = 0;
    const char *text = plist_get_string_ptr(node, &length);
    return text == nullptr ? std::string() : std::string(text, length);
}

template <class Visit>
void forEachItem(plist_t dictionary, Visit visit)
{
    plist_dict_iter iterator = nullptr;
    plist_dict_new_iter(dictionary, &iterator);
    for (;;) {
        char *key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(dictionary, iterator, &key, &value);
        if (value == nullptr) {
            std::free(key);
            break;
        }
        visit(std::string(key), value);
        std::free(key);
    }
    std::free(iterator);
}

bool isEntry(plist_t node)
{
    return plist_get_node_type(node) == PLIST_DICT &&
           plist_dict_get_item(node, "IOObjectClass") != nullptr;
}

void forEachEntry(plist_t entries, const std::function<void(plist_t)> &visit);

void visitTree(plist_t entry, const std::function<void(plist_t)> &visit)
{
    visit(entry);
    if (plist_t children = plist_dict_get_item(entry, childrenKey)) {
        forEachEntry(children, visit);
    }
}

void forEachEntry(plist_t entries, const std::function<void(plist_t)> &visit)
{
    if (plist_get_node_type(entries) == PLIST_DICT) {
        visitTree(entries, visit);
        return;
    }
    for (uint32_t i = 0; i < plist_array_get_size(entries); ++i) {
        visitTree(plist_array_get_item(entries, i), visit);
    }
}

void forEachPlane(plist_t snapshot, const std::function<void(plist_t)> &visit)
{
    if (plist_get_node_type(snapshot) == PLIST_ARRAY || isEntry(snapshot)) {
        forEachEntry(snapshot, visit);
        return;
    }
    forEachItem(snapshot, [&](const std::string &, plist_t roots) { forEachEntry(roots, visit); });
}

void leaveOutRealsAndDates(plist_t node)
{
    if (plist_get_node_type(node) == PLIST_ARRAY) {
        for (uint32_t i = plist_array_get_size(node); i-- > 0;) {
            plist_t item = plist_array_get_item(node, i);
            plist_type type = plist_get_node_type(item);
            if (type == PLIST_REAL || type == PLIST_DATE) {
                plist_array_remove_item(node, i);
            } else {
                leaveOutRealsAndDates(item);
            }
        }
    } else if (plist_get_node_type(node) == PLIST_DICT) {
        std::vector<std::string> gone;
        forEachItem(node, [&](const std::string &key, plist_t item) {
            plist_type type = plist_get_node_type(item);
            if (type == PLIST_REAL || type == PLIST_DATE) {
                gone.push_back(key);
            } else if (key != childrenKey) {
                leaveOutRealsAndDates(item);
            }
        });
        for (const std::string &key : gone) {
            plist_dict_remove_item(node, key.c_str());
        }
    }
}

struct Written {
    std::string text;
    std::size_t width;

    void line(const std::string &content)
    {
        text += width == 0 || content.size() <= width ? content : content.substr(0, width);
        text += '\n';
    }
};

std::string valueText(plist_t node)
{
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return value != 0 ? "Yes" : "No";
    }
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return std::to_string(value);
    }
    case PLIST_STRING: return "\"" + stringOf(node) + "\"";
    case PLIST_DATA: {
        uint64_t length = 0;
        const char *bytes = plist_get_data_ptr(node, &length);
        bool printable = length > 0;
        for (uint64_t i = 0; i < length; ++i) {
            auto byte = static_cast<unsigned char>(bytes[i]);
            printable = printable && byte >= 0x20 && byte < 0x7f && byte != '"';
        }
        if (printable) {
            return "<\"" + std::string(bytes, length) + "\">";
        }
        std::string hex = "<";
        for (uint64_t i = 0; i < length; ++i) {
            char digits[3];
            std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(bytes[i]));
            hex += digits;
        }
        return hex + ">";
    }
    case PLIST_ARRAY: {
        std::string out = "(";
        for (uint32_t i = 0; i < plist_array_get_size(node); ++i) {
            out += (i == 0 ? "" : ",") + valueText(plist_array_get_item(node, i));
        }
        return out + ")";
    }
    case PLIST_DICT: {
        std::string out = "{";
        forEachItem(node, [&](const std::string &key, plist_t item) {
            out += (out.size() == 1 ? "\"" : ",\"") + key + "\"=" + valueText(item);
        });
        return out + "}";
    }
    default: return "";
    }
}

void writeEntry(Written &out, plist_t entry, const std::string &drawing, bool moreSiblings)
{
    std::string className = stringOf(plist_dict_get_item(entry, "IOObjectClass"));
    plist_t nameNode = plist_dict_get_item(entry, nameKey);
    std::string name = nameNode != nullptr ? stringOf(nameNode) : className;
    if (plist_t location = plist_dict_get_item(entry, locationKey)) {
        name += "@" + stringOf(location);
    }
    std::string id;
    if (plist_t idNode = plist_dict_get_item(entry, idKey)) {
        uint64_t value = 0;
        plist_get_uint_val(idNode, &value);
        char hex[32];
        std::snprintf(hex, sizeof hex, "id 0x%" PRIx64 ", ", value);
        id = hex;
    }
    out.line(drawing + "+-o " + name + "  <class " + className + ", " + id +
             "registered, matched, active, busy 0 (12 ms), retain 9>");
    plist_t children = plist_dict_get_item(entry, childrenKey);
    uint32_t childCount = children != nullptr ? plist_array_get_size(children) : 0;
    std::string own = drawing + (moreSiblings ? "| " : "  ") + (childCount > 0 ? "| " : "  ");
    out.line(own + "{");
    forEachItem(entry, [&](const std::string &key, plist_t value) {
        if (key != "IOObjectClass" && key != nameKey && key != locationKey && key != idKey &&
            key != childrenKey) {
            out.line(own + "  \"" + key + "\" = " + valueText(value));
        }
    });
    out.line(own + "}");
    out.line(own);
    for (uint32_t i = 0; i < childCount; ++i) {
        writeEntry(out, plist_array_get_item(children, i), drawing + (moreSiblings ? "| " : "  "),
                   i + 1 < childCount);
    }
}

} // namespace

plist_t textReadyCopy(plist_t snapshot)
{
    plist_t copy = plist_copy(snapshot);
    std::map<uint64_t, std::string> names;
    forEachPlane(copy, [&](plist_t entry) {
        leaveOutRealsAndDates(entry);
        plist_t nameNode = plist_dict_get_item(entry, nameKey);
        if (nameNode != nullptr && plist_dict_get_item(entry, locationKey) == nullptr) {
            std::string name = stringOf(nameNode);
            std::size_t at = name.rfind('@');
            if (at != std::string::npos) {
                plist_dict_set_item(entry, nameKey, plist_new_string(name.substr(0, at).c_str()));
                plist_dict_set_item(entry, locationKey,
                                    plist_new_string(name.substr(at + 1).c_str()));
            }
        }
        plist_t idNode = plist_dict_get_item(entry, idKey);
        if (idNode != nullptr && nameNode != nullptr) {
            uint64_t id = 0;
            plist_get_uint_val(idNode, &id);
            names.emplace(id, stringOf(plist_dict_get_item(entry, nameKey)));
        }
    });
    forEachPlane(copy, [&](plist_t entry) {
        plist_t idNode = plist_dict_get_item(entry, idKey);
        if (idNode != nullptr && plist_dict_get_item(entry, nameKey) == nullptr) {
            uint64_t id = 0;
            plist_get_uint_val(idNode, &id);
            auto found = names.find(id);
            if (found != names.end()) {
                plist_dict_set_item(entry, nameKey, plist_new_string(found->second.c_str()));
            }
        }
    });
    return copy;
}

std::string ioregText(plist_t entries, std::size_t width)
{
    Written out{"", width};
    if (plist_get_node_type(entries) == PLIST_DICT) {
        writeEntry(out, entries, "", false);
    } else {
        for (uint32_t i = 0; i < plist_array_get_size(entries); ++i) {
            writeEntry(out, plist_array_get_item(entries, i), "", false);
        }
    }
    return out.text;
}

} // namespace testing_support
