#include "explain/output/text_render.h"

#include <cinttypes>
#include <cstdio>
#include <map>
#include <utility>

#include "explain/output/story_text.h"

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
        char word[14];
        std::snprintf(word, sizeof word, " 0x%08" PRIx32, object);
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

// The decodings already shown in a group, by kind and objects, each with
// the name of the property that showed it.
using ShownDecodings = std::map<std::pair<std::string, std::vector<std::uint32_t>>, std::string>;

// Notes are not shown here: they are said once, at the end of the group.
void appendProperty(std::string &out, int level, const PropertyExplanation &property,
                    std::size_t baseLength, ShownDecodings &shown)
{
    const std::string name = entryBelow(property.entry, baseLength) + " " + property.key;
    std::string heading = name + ":";
    if (!property.objects.empty()) {
        heading += objectList(property.objects);
        auto [first, isNew] = shown.emplace(std::make_pair(property.kind, property.objects), name);
        if (!isNew && !property.lines.empty()) {
            appendLine(out, level, heading + " (decoded above, as " + first->second + ")");
            return;
        }
        appendLine(out, level, heading);
    } else if (property.lines.size() == 1) {
        appendLine(out, level, heading + " " + property.lines.front());
        return;
    } else {
        appendLine(out, level, heading);
    }
    for (const std::string &line : property.lines) {
        appendLine(out, level + 1, line);
    }
}

// Every note of the properties, each led by its entry and key.
std::vector<std::string> notesOf(const std::vector<PropertyExplanation> &properties,
                                 std::size_t baseLength)
{
    std::vector<std::string> notes;
    for (const PropertyExplanation &property : properties) {
        for (const std::string &note : property.notes) {
            notes.push_back(entryBelow(property.entry, baseLength) + " " + property.key + ": " +
                            note);
        }
    }
    return notes;
}

void appendNotes(std::string &out, int level, const std::vector<std::string> &notes)
{
    if (notes.empty()) {
        return;
    }
    appendLine(out, level, notes.size() == 1 ? "Note:" : "Notes:");
    for (const std::string &note : notes) {
        appendLine(out, level + 1, note);
    }
}

void appendPort(std::string &out, const PortExplanation &port, std::size_t controllerLength)
{
    std::string heading =
        (port.entry.empty() ? std::string() : port.entry.back()) + " (" + port.className + ")";
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
    ShownDecodings shown;
    for (const PropertyExplanation &property : port.properties) {
        if (!saysNothing(property)) {
            appendProperty(out, 2, property, portLength, shown);
        }
    }
    // A port's notes are its properties' notes, each with its entry and key.
    appendNotes(out, 2, port.notes);
}

// Controllers of the same name and class are told apart by their order.
std::vector<std::string> controllerHeadings(const std::vector<ControllerExplanation> &controllers)
{
    std::vector<std::string> headings;
    std::map<std::string, std::size_t> total;
    for (const ControllerExplanation &controller : controllers) {
        std::string name = controller.entry.empty() ? std::string() : controller.entry.back();
        std::string heading = "Controller " + name;
        if (controller.className != name) {
            heading += " (" + controller.className + ")";
        }
        ++total[heading];
        headings.push_back(std::move(heading));
    }
    std::map<std::string, std::size_t> seen;
    for (std::string &heading : headings) {
        const std::size_t count = total[heading];
        if (count > 1) {
            const std::size_t index = ++seen[heading];
            heading += ", " + std::to_string(index) + " of " + std::to_string(count);
        }
    }
    return headings;
}

// The story: each port, then the power manager, then the properties of
// ports that no controller's walk shows.
void appendStories(std::string &out, const Explanation &explanation)
{
    for (const PortAccount &port : explanation.ports) {
        appendPortStory(out, port.story);
    }
    // A blank line between blocks, never before the first.
    bool written = !explanation.ports.empty();
    for (const PowerManagerStory &manager : explanation.powerManagers) {
        if (written) {
            out += '\n';
        }
        written = true;
        appendPowerManager(out, manager);
    }
    for (const PortAccount &port : explanation.ports) {
        bool anything = false;
        for (const PropertyExplanation &property : port.ownProperties) {
            anything = anything || !saysNothing(property);
        }
        if (port.walkPort || !anything) {
            continue;
        }
        out += '\n';
        appendLine(out, 0, "Properties of " + port.story.name);
        ShownDecodings shown;
        for (const PropertyExplanation &property : port.ownProperties) {
            if (!saysNothing(property)) {
                appendProperty(out, 1, property, 1, shown);
            }
        }
        appendNotes(out, 1, notesOf(port.ownProperties, 1));
    }
}

} // namespace

void writeExplanationText(const Explanation &explanation, const TextSink &sink)
{
    std::string out;
    for (const std::string &note : explanation.notes) {
        appendLine(out, 0, "Note: " + note);
    }
    if (!explanation.notes.empty()) {
        out += '\n';
    }
    const bool stories = !explanation.ports.empty() || !explanation.powerManagers.empty();
    if (explanation.controllers.empty() && !stories) {
        appendLine(out, 0, "No port found.");
        sink(out);
        return;
    }
    appendStories(out, explanation);
    sink(out);
    out.clear();
    bool first = !stories;
    const std::vector<std::string> headings = controllerHeadings(explanation.controllers);
    for (std::size_t c = 0; c < explanation.controllers.size(); ++c) {
        const ControllerExplanation &controller = explanation.controllers[c];
        if (!first) {
            out += '\n';
        }
        first = false;
        appendLine(out, 0, headings[c]);
        std::size_t controllerLength = controller.entry.size();
        ShownDecodings shown;
        for (const PropertyExplanation &property : controller.properties) {
            if (!saysNothing(property)) {
                appendProperty(out, 1, property, controllerLength, shown);
            }
        }
        appendNotes(out, 1, notesOf(controller.properties, controllerLength));
        if (controller.ports.empty()) {
            appendLine(out, 1, "No port.");
        }
        for (const PortExplanation &port : controller.ports) {
            appendPort(out, port, controllerLength);
        }
        sink(out);
        out.clear();
    }
}

std::string explanationText(const Explanation &explanation)
{
    std::string out;
    writeExplanationText(explanation, [&out](const std::string &piece) { out += piece; });
    return out;
}

} // namespace explain
