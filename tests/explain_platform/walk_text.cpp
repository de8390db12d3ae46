#include "walk_text.h"

#include <cstdio>
#include <utility>

namespace explain_testing {
namespace {

using Kind = explain::PropertyValue::Kind;

void appendValue(std::string &out, const explain::PropertyValue &value, const std::string &indent)
{
    char number[64];
    switch (value.kind) {
    case Kind::data:
        out += "data " + std::to_string(value.length) + ":";
        for (std::uint8_t byte : value.bytes) {
            std::snprintf(number, sizeof number, " %02x", static_cast<unsigned>(byte));
            out += number;
        }
        break;
    case Kind::integer: out += "integer " + std::to_string(value.integer); break;
    case Kind::real:
        std::snprintf(number, sizeof number, "real %.17g ", value.real);
        out += number + std::to_string(value.integer);
        break;
    case Kind::string: out += "string \"" + value.text + "\""; break;
    case Kind::unconvertibleString: out += "unconvertible string"; break;
    case Kind::boolean: out += value.boolean ? "boolean true" : "boolean false"; break;
    case Kind::dictionary: out += "dictionary " + std::to_string(value.count); break;
    case Kind::array: out += "array " + std::to_string(value.count); break;
    case Kind::other: out += "other " + std::to_string(value.typeId); break;
    }
    if (!value.contentsKnown) {
        out += " (size only)";
    }
    if (value.unordered) {
        out += " (unordered)";
    }
    out += "\n";
    for (const explain::DictionaryMember &member : value.members) {
        out += indent + "  " + member.key + ": ";
        appendValue(out, member.value, indent + "  ");
    }
    for (const explain::PropertyValue &item : value.items) {
        out += indent + "  - ";
        appendValue(out, item, indent + "  ");
    }
}

void appendEntry(std::string &out, const explain::CapturedEntry &entry, const std::string &indent)
{
    out += indent + "[" + entry.className + "] " + entry.name;
    if (!entry.location.empty()) {
        out += " @" + entry.location;
    }
    out += entry.registryId ? " id " + std::to_string(*entry.registryId) : " no id";
    out += "\n";
    for (const explain::DictionaryMember &property : entry.properties) {
        out += indent + "  " + property.key + ": ";
        appendValue(out, property.value, indent + "  ");
    }
    for (const explain::CapturedEntry &child : entry.children) {
        appendEntry(out, child, indent + "    ");
    }
}

} // namespace

std::string captureText(const explain::PortCapture &capture)
{
    std::string out;
    for (const auto &group :
         {std::make_pair("port", &capture.ports), std::make_pair("loose", &capture.loose),
          std::make_pair("power manager", &capture.powerManagers)}) {
        for (const explain::CapturedEntry &entry : *group.second) {
            out += std::string(group.first) + ":\n";
            appendEntry(out, entry, "  ");
        }
    }
    for (const explain::DictionaryMember &member : capture.machine) {
        out += "machine: " + member.key + ": ";
        appendValue(out, member.value, "  ");
    }
    return out;
}

std::string valueText(const explain::PropertyValue &value)
{
    std::string out;
    appendValue(out, value, "");
    return out;
}

std::string walkText(const explain::RegistryWalk &walk)
{
    std::string out;
    for (const explain::WalkedEntry &entry : walk.entries) {
        std::string indent(std::size_t{2} * entry.depth, ' ');
        out += indent + std::to_string(entry.depth) + " [" + entry.className + "]";
        for (const std::string &name : entry.path) {
            out += " /" + name;
        }
        out += "\n";
        for (const auto &property : entry.properties) {
            out += indent + "  " + property.first + ": ";
            appendValue(out, property.second, indent + "  ");
        }
    }
    for (const std::string &note : walk.notes) {
        out += "note: " + note + "\n";
    }
    return out;
}

} // namespace explain_testing
