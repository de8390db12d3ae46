#include "explain/output/json_render.h"

#include <charconv>
#include <cstdint>

#include "explain/output/power_manager_json.h"
#include "explain/output/story_json.h"

namespace explain {

namespace {

const int documentVersion = 2;

// "0x0001912c"
void appendObjectText(std::string &out, std::uint32_t object)
{
    static constexpr char digits[] = "0123456789abcdef";
    char text[10] = {'0', 'x'};
    for (unsigned i = 0; i < 8; ++i) {
        text[2 + i] = digits[(object >> (28 - 4 * i)) & 0xfU];
    }
    out.append(text, sizeof text);
}

std::string objectText(std::uint32_t object)
{
    std::string text;
    appendObjectText(text, object);
    return text;
}

Json propertyDocument(const PropertyExplanation &property)
{
    Json document = Json::object();
    document["entry"] = property.entry.names();
    document["class"] = property.className;
    document["key"] = property.key;
    document["kind"] = property.kind;
    if (!property.objects.empty()) {
        Json objects = Json::array();
        for (std::uint32_t object : property.objects) {
            objects.push_back(objectText(object));
        }
        document["objects"] = std::move(objects);
    }
    document["decoded"] = property.decoded;
    if (!property.description.empty()) {
        document["description"] = property.description;
    }
    document["notes"] = property.notes;
    return document;
}

Json propertiesDocument(const std::vector<PropertyExplanation> &properties)
{
    Json list = Json::array();
    for (const PropertyExplanation &property : properties) {
        list.push_back(propertyDocument(property));
    }
    return list;
}

// The documents of one port of the walk and one controller.
Json walkPortDocument(const PortExplanation &port)
{
    Json document = Json::object();
    document["entry"] = port.entry;
    document["class"] = port.className;
    document["properties"] = propertiesDocument(port.properties);
    document["notes"] = port.notes;
    return document;
}

Json controllerDocument(const ControllerExplanation &controller)
{
    Json ports = Json::array();
    for (const PortExplanation &port : controller.ports) {
        ports.push_back(walkPortDocument(port));
    }
    Json document = Json::object();
    document["entry"] = controller.entry;
    document["class"] = controller.className;
    document["properties"] = propertiesDocument(controller.properties);
    document["ports"] = std::move(ports);
    return document;
}

Json storyPortDocument(const Explanation &explanation, const PortAccount &port)
{
    return portDocument(port.story, propertiesDocument(propertiesOf(explanation, port)));
}

Json powerManagerMember(const Explanation &explanation)
{
    return explanation.powerManagers.empty()
               ? Json(nullptr)
               : powerManagerDocument(explanation.powerManagers.front());
}

std::string dumped(const Json &value)
{
    return value.dump(2, ' ', false, Json::error_handler_t::replace);
}

// Appends text, each line after the first indented by `indent` more.
void appendIndented(std::string &out, const std::string &text, const char *indent)
{
    std::size_t from = 0;
    while (true) {
        const std::size_t end = text.find('\n', from);
        if (end == std::string::npos) {
            out.append(text, from, std::string::npos);
            return;
        }
        out.append(text, from, end + 1 - from);
        out += indent;
        from = end + 1;
    }
}

// A member of the document's top level, as a whole dump would write it.
void appendMember(std::string &out, const char *name, const Json &value, bool last)
{
    out += "  \"";
    out += name;
    out += "\": ";
    appendIndented(out, dumped(value), "  ");
    out += last ? "\n" : ",\n";
}

// The writers below give the text that dump(2) gives for the same document
// at a depth whose indentation is `indent`. They write the properties, most
// of a document, straight from the explanation: neither copied into JSON
// nodes nor dumped twice over (a walk port's properties are written both in
// its story and in its controller).

// Printable ASCII other than the quote and the backslash stands for itself
// in JSON text.
bool needsNoEscape(const std::string &text)
{
    for (char c : text) {
        if (c < ' ' || c > '~' || c == '"' || c == '\\') {
            return false;
        }
    }
    return true;
}

void appendString(std::string &out, const std::string &text)
{
    if (needsNoEscape(text)) {
        out += '"';
        out += text;
        out += '"';
        return;
    }
    out += Json(text).dump(-1, ' ', false, Json::error_handler_t::replace);
}

template <typename Number>
void appendNumber(std::string &out, Number number)
{
    char digits[24];
    const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, number);
    out.append(digits, end.ptr);
}

// dump(2)'s text of value at a depth indented by `width` spaces, written
// node by node rather than dumped and indented again.
void appendJson(std::string &out, const Json &value, std::size_t width)
{
    switch (value.type()) {
    case Json::value_t::object:
    case Json::value_t::array: {
        const bool object = value.is_object();
        if (value.empty()) {
            out += object ? "{}" : "[]";
            return;
        }
        out += object ? "{\n" : "[\n";
        bool first = true;
        for (auto item = value.begin(); item != value.end(); ++item) {
            if (!first) {
                out += ",\n";
            }
            first = false;
            out.append(width + 2, ' ');
            if (object) {
                appendString(out, item.key());
                out += ": ";
            }
            appendJson(out, item.value(), width + 2);
        }
        out += '\n';
        out.append(width, ' ');
        out += object ? '}' : ']';
        return;
    }
    case Json::value_t::string: appendString(out, value.get_ref<const std::string &>()); return;
    case Json::value_t::number_integer: appendNumber(out, value.get<std::int64_t>()); return;
    case Json::value_t::number_unsigned: appendNumber(out, value.get<std::uint64_t>()); return;
    case Json::value_t::boolean: out += value.get<bool>() ? "true" : "false"; return;
    case Json::value_t::null: out += "null"; return;
    case Json::value_t::number_float:
    case Json::value_t::binary:
    case Json::value_t::discarded: break;
    }
    out += dumped(value); // a scalar: one line
}

void appendValue(std::string &out, const Json &value, const std::string &indent)
{
    appendJson(out, value, indent.size());
}

void appendStrings(std::string &out, const std::vector<std::string> &items,
                   const std::string &indent)
{
    if (items.empty()) {
        out += "[]";
        return;
    }
    out += "[\n";
    for (std::size_t i = 0; i < items.size(); ++i) {
        out += indent;
        out += "  ";
        appendString(out, items[i]);
        out += i + 1 < items.size() ? ",\n" : "\n";
    }
    out += indent;
    out += "]";
}

// The start of an object's member: its indentation and name.
void appendName(std::string &out, const std::string &indent, const char *name)
{
    out += indent;
    out += '"';
    out += name;
    out += "\": ";
}

// The same after the member before it.
void appendNextName(std::string &out, const std::string &indent, const char *name)
{
    out += ",\n";
    appendName(out, indent, name);
}

// The text of the last entry path written: the properties of one entry come
// together, and their path is escaped once for them all.
struct WrittenEntry {
    const EntryPath *entry = nullptr;
    std::string text;
};

void appendProperty(std::string &out, const PropertyExplanation &property,
                    const std::string &indent, WrittenEntry &written)
{
    const std::string inner = indent + "  ";
    out += "{\n";
    appendName(out, inner, "entry");
    if (written.entry == nullptr || *written.entry != property.entry) {
        written.text.clear();
        appendStrings(written.text, property.entry, inner);
        written.entry = &property.entry;
    }
    out += written.text;
    appendNextName(out, inner, "class");
    appendString(out, property.className);
    appendNextName(out, inner, "key");
    appendString(out, property.key);
    appendNextName(out, inner, "kind");
    appendString(out, property.kind);
    if (!property.objects.empty()) {
        appendNextName(out, inner, "objects");
        out += "[\n";
        for (std::size_t i = 0; i < property.objects.size(); ++i) {
            out += inner;
            out += "  \"";
            appendObjectText(out, property.objects[i]);
            out += i + 1 < property.objects.size() ? "\",\n" : "\"\n";
        }
        out += inner;
        out += "]";
    }
    appendNextName(out, inner, "decoded");
    appendValue(out, property.decoded, inner);
    if (!property.description.empty()) {
        appendNextName(out, inner, "description");
        appendString(out, property.description);
    }
    appendNextName(out, inner, "notes");
    appendStrings(out, property.notes, inner);
    out += "\n";
    out += indent;
    out += "}";
}

void appendProperties(std::string &out, const std::vector<PropertyExplanation> &properties,
                      const std::string &indent)
{
    if (properties.empty()) {
        out += "[]";
        return;
    }
    const std::string inner = indent + "  ";
    WrittenEntry written;
    out += "[\n";
    for (std::size_t i = 0; i < properties.size(); ++i) {
        out += inner;
        appendProperty(out, properties[i], inner, written);
        out += i + 1 < properties.size() ? ",\n" : "\n";
    }
    out += indent;
    out += "]";
}

// Every member of object, each followed by ",\n": members written after them
// follow.
void appendLeadingMembers(std::string &out, const Json &object, const std::string &indent)
{
    for (const auto &member : object.items()) {
        out += indent;
        appendString(out, member.key());
        out += ": ";
        appendValue(out, member.value(), indent);
        out += ",\n";
    }
}

void appendWalkPort(std::string &out, const PortExplanation &port, const std::string &indent)
{
    const std::string inner = indent + "  ";
    out += "{\n";
    appendName(out, inner, "entry");
    appendStrings(out, port.entry, inner);
    appendNextName(out, inner, "class");
    appendString(out, port.className);
    appendNextName(out, inner, "properties");
    appendProperties(out, port.properties, inner);
    appendNextName(out, inner, "notes");
    appendStrings(out, port.notes, inner);
    out += "\n";
    out += indent;
    out += "}";
}

// A controller as its item of the top-level "controllers" array.
void appendController(std::string &out, const ControllerExplanation &controller)
{
    const std::string indent = "    ";
    const std::string inner = indent + "  ";
    out += "{\n";
    appendName(out, inner, "entry");
    appendStrings(out, controller.entry, inner);
    appendNextName(out, inner, "class");
    appendString(out, controller.className);
    appendNextName(out, inner, "properties");
    appendProperties(out, controller.properties, inner);
    appendNextName(out, inner, "ports");
    if (controller.ports.empty()) {
        out += "[]";
    } else {
        const std::string portIndent = inner + "  ";
        out += "[\n";
        for (std::size_t i = 0; i < controller.ports.size(); ++i) {
            out += portIndent;
            appendWalkPort(out, controller.ports[i], portIndent);
            out += i + 1 < controller.ports.size() ? ",\n" : "\n";
        }
        out += inner;
        out += "]";
    }
    out += "\n";
    out += indent;
    out += "}";
}

// A port's story as its item of the top-level "ports" array.
void appendStoryPort(std::string &out, const Explanation &explanation, const PortAccount &port)
{
    const std::string indent = "    ";
    const std::string inner = indent + "  ";
    out += "{\n";
    appendLeadingMembers(out, portStoryDocument(port.story), inner);
    appendName(out, inner, "properties");
    appendProperties(out, propertiesOf(explanation, port), inner);
    out += "\n";
    out += indent;
    out += "}";
}

// An array member whose items are written (as text at the depth of an
// item) one at a time, so that the document is never held whole; the
// buffer keeps its room from one item to the next.
template <typename Items, typename AppendItem>
void appendArrayMember(std::string &out, const char *name, const Items &items,
                       AppendItem appendItem, const TextSink &sink)
{
    out += "  \"";
    out += name;
    out += "\": ";
    if (items.empty()) {
        out += "[],\n";
        return;
    }
    out += "[\n";
    for (std::size_t i = 0; i < items.size(); ++i) {
        out += "    ";
        appendItem(out, items[i]);
        out += i + 1 < items.size() ? ",\n" : "\n";
        sink(out);
        out.clear();
    }
    out += "  ],\n";
}

} // namespace

Json explanationDocument(const Explanation &explanation)
{
    Json controllers = Json::array();
    for (const ControllerExplanation &controller : explanation.controllers) {
        controllers.push_back(controllerDocument(controller));
    }
    Json ports = Json::array();
    for (const PortAccount &port : explanation.ports) {
        ports.push_back(storyPortDocument(explanation, port));
    }
    Json document = Json::object();
    document["format"] = "portprobe-explain";
    document["version"] = documentVersion;
    document["source"] = explanation.source;
    document["machine"] = machineDocument(explanation.machine);
    document["charging_summary"] = chargingSummaryDocument(explanation.charging);
    document["ports"] = std::move(ports);
    document["power_manager"] = powerManagerMember(explanation);
    document["controllers"] = std::move(controllers);
    document["notes"] = explanation.notes;
    return document;
}

// Written member by member, each port and controller as it is made: the
// same text as explanationDocument's dump, without holding that document.
void writeExplanationJson(const Explanation &explanation, const TextSink &sink)
{
    std::string out = "{\n";
    appendMember(out, "format", "portprobe-explain", false);
    appendMember(out, "version", documentVersion, false);
    appendMember(out, "source", explanation.source, false);
    appendMember(out, "machine", machineDocument(explanation.machine), false);
    appendMember(out, "charging_summary", chargingSummaryDocument(explanation.charging), false);
    appendArrayMember(
        out, "ports", explanation.ports,
        [&explanation](std::string &text, const PortAccount &port) {
            appendStoryPort(text, explanation, port);
        },
        sink);
    appendMember(out, "power_manager", powerManagerMember(explanation), false);
    appendArrayMember(out, "controllers", explanation.controllers, appendController, sink);
    appendMember(out, "notes", explanation.notes, true);
    out += "}\n";
    sink(out);
}

std::string explanationJson(const Explanation &explanation)
{
    std::string out;
    writeExplanationJson(explanation, [&out](const std::string &piece) { out += piece; });
    return out;
}

} // namespace explain
