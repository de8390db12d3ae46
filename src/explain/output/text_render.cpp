#include "explain/output/text_render.h"

#include <cinttypes>
#include <cstdio>
#include <map>
#include <tuple>
#include <utility>

#include "explain/output/power_manager_text.h"
#include "explain/output/story_text.h"

namespace explain {

namespace {

const char *const indentUnit = "  ";

void appendIndent(std::string &out, int level)
{
    for (int i = 0; i < level; ++i) {
        out += indentUnit;
    }
}

void appendLine(std::string &out, int level, const std::string &text)
{
    appendIndent(out, level);
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

void appendObjectList(std::string &out, const std::vector<std::uint32_t> &objects)
{
    for (std::uint32_t object : objects) {
        char word[14];
        const int length = std::snprintf(word, sizeof word, " 0x%08" PRIx32, object);
        out.append(word, static_cast<std::size_t>(length));
    }
}

// An empty Metadata dictionary says nothing; idle ports and transports carry
// one on every entry.
bool saysNothing(const PropertyExplanation &property)
{
    return property.kind == "metadata" && property.lines.empty() && property.notes.empty() &&
           property.objects.empty();
}

// "CC/SOP' SourceCapabilities": the property's entry below its group, and
// its key.
void appendPropertyName(std::string &out, const PropertyExplanation &property,
                        std::size_t baseLength)
{
    const std::vector<std::string> &entry = property.entry;
    if (entry.size() <= baseLength) {
        if (!entry.empty()) {
            out += entry.back();
        }
    } else {
        for (std::size_t i = baseLength; i < entry.size(); ++i) {
            if (i > baseLength) {
                out += '/';
            }
            out += entry[i];
        }
    }
    out += ' ';
    out += property.key;
}

// The decodings already shown in a group, by kind and objects, each with
// the property that showed it. The properties outlive the group's writing.
struct ShownDecoding {
    const std::string *kind;
    const std::vector<std::uint32_t> *objects;
    bool operator<(const ShownDecoding &other) const
    {
        return std::tie(*kind, *objects) < std::tie(*other.kind, *other.objects);
    }
};
using ShownDecodings = std::map<ShownDecoding, const PropertyExplanation *>;

// Notes are not shown here: they are said once, at the end of the group.
void appendProperty(std::string &out, int level, const PropertyExplanation &property,
                    std::size_t baseLength, ShownDecodings &shown)
{
    appendIndent(out, level);
    appendPropertyName(out, property, baseLength);
    out += ':';
    if (!property.objects.empty()) {
        appendObjectList(out, property.objects);
        auto [first, isNew] =
            shown.emplace(ShownDecoding{&property.kind, &property.objects}, &property);
        if (!isNew && !property.lines.empty()) {
            out += " (decoded above, as ";
            appendPropertyName(out, *first->second, baseLength);
            out += ")\n";
            return;
        }
    } else if (property.lines.size() == 1) {
        out += ' ';
        out += property.lines.front();
        out += '\n';
        return;
    }
    out += '\n';
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
            std::string led;
            appendPropertyName(led, property, baseLength);
            led += ": ";
            led += note;
            notes.push_back(std::move(led));
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

// The story: the answer to what the Mac draws, each port, then the power
// manager, then the properties of ports that no controller's walk shows.
void appendStories(std::string &out, const Explanation &explanation)
{
    if (explanation.charging) {
        out += chargingLine(*explanation.charging) + "\n";
    }
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
    // The notes on the input as a whole are the program's to say, on
    // standard error: the text is the explanation alone.
    std::string out;
    if (const std::string machine = machineWords(explanation.machine); !machine.empty()) {
        appendLine(out, 0, "Machine: " + machine);
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
