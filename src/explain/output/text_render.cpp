#include "explain/output/text_render.h"

#include <cinttypes>
#include <cstdio>

namespace explain {

namespace {

const char *const indentUnit = "  ";

void appendLine(std::string &out, int level, const std::string &text)
{
    for (int i = 0; i < level; ++i) {
        out += indentUnit;
    }
    out += text;
    out += '\n';
}

std::string joined(const std::vector<std::string> &names, std::size_t from, std::size_t to)
{
    std::string text;
    for (std::size_t i = from; i < to && i < names.size(); ++i) {
        if (!text.empty()) {
            text += '/';
        }
        text += names[i];
    }
    return text;
}

// Names a property's entry as seen from its port or controller: the names
// below it, or its own name when it is that entry.
std::string entryBelow(const std::vector<std::string> &entry, std::size_t baseLength)
{
    if (entry.size() <= baseLength) {
        return entry.empty() ? std::string() : entry.back();
    }
    return joined(entry, baseLength, entry.size());
}

std::string objectList(const std::vector<std::uint32_t> &objects)
{
    std::string text;
    for (std::uint32_t object : objects) {
        char word[12];
        std::snprintf(word, sizeof word, " %08" PRIx32, object);
        text += word;
    }
    return text;
}

// An empty Metadata dictionary says nothing; idle ports and transports carry
// one on every entry.
bool saysNothing(const PropertyExplanation &property)
{
    return property.kind == "metadata" && property.lines.empty() && property.notes.empty() &&
           property.objects.empty();
}

void appendProperty(std::string &out, int level, const PropertyExplanation &property,
                    std::size_t baseLength, bool withNotes)
{
    std::string heading = entryBelow(property.entry, baseLength) + " " + property.key + ":";
    if (!property.objects.empty()) {
        heading += objectList(property.objects);
        appendLine(out, level, heading);
    } else if (property.lines.size() == 1) {
        appendLine(out, level, heading + " " + property.lines.front());
        if (withNotes) {
            for (const std::string &note : property.notes) {
                appendLine(out, level + 1, "note: " + note);
            }
        }
        return;
    } else {
        appendLine(out, level, heading);
    }
    for (const std::string &line : property.lines) {
        appendLine(out, level + 1, line);
    }
    if (withNotes) {
        for (const std::string &note : property.notes) {
            appendLine(out, level + 1, "note: " + note);
        }
    }
}

void appendPort(std::string &out, const PortExplanation &port, std::size_t controllerLength)
{
    std::string heading = "Port " + (port.entry.empty() ? std::string() : port.entry.back()) +
                          " (" + port.className + ")";
    if (port.entry.size() > controllerLength + 1) {
        heading += ", under " + joined(port.entry, controllerLength, port.entry.size() - 1);
    }
    bool anything = !port.notes.empty();
    for (const PropertyExplanation &property : port.properties) {
        anything = anything || !saysNothing(property);
    }
    if (!anything) {
        appendLine(out, 1, heading + ": nothing to explain");
        return;
    }
    appendLine(out, 1, heading);
    std::size_t portLength = port.entry.size();
    for (const PropertyExplanation &property : port.properties) {
        if (!saysNothing(property)) {
            // A port's notes repeat its properties' notes, each with its
            // entry and key, so they are said once, at the end.
            appendProperty(out, 2, property, portLength, false);
        }
    }
    if (!port.notes.empty()) {
        appendLine(out, 2, "Notes:");
        for (const std::string &note : port.notes) {
            appendLine(out, 3, note);
        }
    }
}

} // namespace

std::string explanationText(const Explanation &explanation)
{
    std::string out;
    for (const std::string &note : explanation.notes) {
        appendLine(out, 0, "Note: " + note);
    }
    if (!explanation.notes.empty()) {
        out += '\n';
    }
    if (explanation.controllers.empty()) {
        appendLine(out, 0, "No port controller found.");
        return out;
    }
    bool first = true;
    for (const ControllerExplanation &controller : explanation.controllers) {
        if (!first) {
            out += '\n';
        }
        first = false;
        std::string name = controller.entry.empty() ? std::string() : controller.entry.back();
        appendLine(out, 0, "Controller " + name + " (" + controller.className + ")");
        std::size_t controllerLength = controller.entry.size();
        for (const PropertyExplanation &property : controller.properties) {
            if (!saysNothing(property)) {
                appendProperty(out, 1, property, controllerLength, true);
            }
        }
        if (controller.ports.empty()) {
            appendLine(out, 1, "No port.");
        }
        for (const PortExplanation &port : controller.ports) {
            appendPort(out, port, controllerLength);
        }
    }
    return out;
}

} // namespace explain
