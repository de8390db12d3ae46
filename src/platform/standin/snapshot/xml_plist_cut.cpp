#include "platform/standin/snapshot/xml_plist_cut.h"

#include <optional>
#include <vector>

namespace snapshot {
namespace {

const std::size_t none = std::string_view::npos;
// As deep as the shape check lets libplist go.
const std::size_t deepestElements = 1024;
// Enough of a key or string to tell the keys that matter and name an entry.
const std::size_t longestKeptText = 1024;

const char *const classKey = "IOObjectClass";
const char *const nameKey = "IORegistryEntryName";
const char *const childrenKey = "IORegistryEntryChildren";

enum class Element { plist, dict, array, key, string, data, date, integer, real, boolean };

struct ElementName {
    std::string_view name;
    Element element;
};

constexpr ElementName elementNames[] = {
    {"plist", Element::plist},  {"dict", Element::dict},       {"array", Element::array},
    {"key", Element::key},      {"string", Element::string},   {"data", Element::data},
    {"date", Element::date},    {"integer", Element::integer}, {"real", Element::real},
    {"true", Element::boolean}, {"false", Element::boolean},
};

bool isContainer(Element element) { return element == Element::dict || element == Element::array; }

bool holdsText(Element element) { return element != Element::plist && !isContainer(element); }

// What each open element of the path is to a registry snapshot.
enum class Role { plist, entries, planes, entry, value };

bool keepsWholeUnits(Role role) { return role != Role::value; }

struct Frame {
    Element element = Element::plist;
    std::string_view tag;      // as written, for messages
    std::size_t start = 0;     // where its "<" stands
    std::size_t lastWhole = 0; // where its last whole member ends
    std::string key;           // the key it stands under in a dictionary
    std::size_t members = 0;
    std::size_t properties = 0; // members but the keys an entry line gives
    bool keyPending = false;
    std::string pendingKey;
    std::optional<std::string> className;
    std::optional<std::string> name;
    bool containersOnly = true; // every member a dictionary or an array
    bool ioKeysOnly = true;     // every key beginning with "IO"
    std::string text;           // a key's or a string's text, up to a bound
};

struct Fault {
    std::size_t at;
    std::string what;
};

bool isEntryLineKey(const std::string &key)
{
    return key == classKey || key == nameKey || key == childrenKey || key == "IORegistryEntryID" ||
           key == "IORegistryEntryLocation";
}

class CutScanner {
public:
    CutScanner(std::string_view text, std::size_t firstLine) : text_(text), firstLine_(firstLine) {}

    XmlReading scan()
    {
        XmlReading reading;
        try {
            bool ended = walk(text_.substr(0, 3) == "\xef\xbb\xbf" ? 3 : 0);
            if (ended) {
                return reading; // whole: libplist's reason lies in a value
            }
            if (stack_.empty()) {
                throw Fault{unfinished_ != none ? unfinished_ : lastPrinted(),
                            "expected a property list's first value before the text ends"};
            }
            close(reading);
        } catch (const Fault &fault) {
            reading.outcome = XmlReading::Outcome::fault;
            reading.problem = position(fault.at) + ": " + fault.what;
        }
        return reading;
    }

private:
    // Reads up to the end of the document (true) or of the text (false).
    bool walk(std::size_t at)
    {
        for (;;) {
            std::size_t open = text_.find('<', at);
            readText(at, open == none ? text_.size() : open, open == none);
            if (open == none) {
                return false;
            }
            std::size_t end = readMarkup(open);
            if (end == none) {
                unfinished_ = open;
                return false;
            }
            if (documentEnded_) {
                return true;
            }
            at = end;
        }
    }

    // Text between markup: a value's text, or white space.
    void readText(std::size_t from, std::size_t to, bool textEnds)
    {
        if (from >= to) {
            return;
        }
        std::string_view chunk = text_.substr(from, to - from);
        if (stack_.empty() || !holdsText(stack_.back().element)) {
            std::size_t printed = chunk.find_first_not_of(" \t\r\n");
            if (printed != none) {
                throw Fault{from + printed, expectedElementsIn()};
            }
            return;
        }
        for (std::size_t amp = chunk.find('&'); amp != none; amp = chunk.find('&', amp + 1)) {
            std::size_t semicolon = chunk.find(';', amp);
            if (semicolon == none && textEnds) {
                break; // cut inside the reference
            }
            std::string_view name =
                chunk.substr(amp + 1, semicolon == none ? none : semicolon - amp - 1);
            if (semicolon == none || !knownReference(name)) {
                throw Fault{from + amp, "expected a character reference (&lt; &gt; &amp; "
                                        "&quot; &apos; or &#N;) after \"&\""};
            }
        }
        keepText(chunk);
    }

    static bool knownReference(std::string_view name)
    {
        if (name == "lt" || name == "gt" || name == "amp" || name == "quot" || name == "apos") {
            return true;
        }
        if (name.size() < 2 || name[0] != '#') {
            return false;
        }
        bool hex = name[1] == 'x';
        std::string_view digits = name.substr(hex ? 2 : 1);
        return !digits.empty() &&
               digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") == none;
    }

    void keepText(std::string_view chunk)
    {
        Frame &frame = stack_.back();
        if (frame.element == Element::key || frame.element == Element::string) {
            std::size_t room = longestKeptText - std::min(longestKeptText, frame.text.size());
            frame.text.append(chunk.substr(0, room));
        }
    }

    // Reads the markup at open; returns where it ends, or none when the text
    // ends inside it.
    std::size_t readMarkup(std::size_t open)
    {
        std::string_view rest = text_.substr(open);
        if (rest.substr(0, 4) == "<!--") {
            return after(text_.find("-->", open + 4), 3);
        }
        if (rest.substr(0, 9) == "<![CDATA[") {
            if (stack_.empty() || !holdsText(stack_.back().element)) {
                throw Fault{open, expectedElementsIn()};
            }
            std::size_t end = text_.find("]]>", open + 9);
            if (end != none) {
                keepText(text_.substr(open + 9, end - open - 9));
            }
            return after(end, 3);
        }
        if (rest.substr(0, 2) == "<?") {
            return after(text_.find("?>", open + 2), 2);
        }
        if (rest.substr(0, 2) == "<!") {
            return skipDeclaration(open);
        }
        std::size_t end = tagEnd(open);
        if (end == none) {
            return none;
        }
        std::string_view tag = text_.substr(open + 1, end - open - 1);
        if (!tag.empty() && tag.front() == '/') {
            closeElement(open, end + 1, tag.substr(1));
        } else {
            bool empty = !tag.empty() && tag.back() == '/';
            std::string_view name = tag.substr(0, tag.find_first_of(" \t\r\n/"));
            openElement(open, end + 1, name, empty);
        }
        return end + 1;
    }

    static std::size_t after(std::size_t found, std::size_t length)
    {
        return found == none ? none : found + length;
    }

    // The end of a tag, stepping over quoted attribute values.
    std::size_t tagEnd(std::size_t open) const
    {
        for (std::size_t at = open + 1; at < text_.size(); ++at) {
            char c = text_[at];
            if (c == '>') {
                return at;
            }
            if (c == '<') {
                throw Fault{open, "expected \">\" ending the tag begun here"};
            }
            if (c == '"' || c == '\'') {
                at = text_.find(c, at + 1);
                if (at == none) {
                    return none;
                }
            }
        }
        return none;
    }

    std::size_t skipDeclaration(std::size_t open) const
    {
        std::size_t at = open + 2;
        for (; at < text_.size(); ++at) {
            char c = text_[at];
            if (c == '>') {
                return at + 1;
            }
            if (c == '[') {
                std::size_t close = text_.find("]>", at);
                return after(close, 2);
            }
            if (c == '"' || c == '\'') {
                at = text_.find(c, at + 1);
                if (at == none) {
                    return none;
                }
            }
        }
        return none;
    }

    std::string expectedElementsIn() const
    {
        if (stack_.empty()) {
            return "expected a property list's elements, not text";
        }
        return "expected elements only inside <" + std::string(stack_.back().tag) + ">, not text";
    }

    void openElement(std::size_t open, std::size_t end, std::string_view name, bool empty)
    {
        std::optional<Element> element;
        for (const ElementName &known : elementNames) {
            if (known.name == name) {
                element = known.element;
            }
        }
        if (!element) {
            throw Fault{open, "expected an element of a property list (plist, dict, array, key, "
                              "string, data, date, integer, real, true or false), not <" +
                                  std::string(name) + ">"};
        }
        checkPlace(open, *element, name);
        if (*element == Element::key && stack_.back().element == Element::dict &&
            stack_.back().keyPending) {
            element = Element::string; // libplist reads a key after a key as its string value
        }
        if (stack_.size() + 1 > deepestElements) {
            throw Fault{open, "expected elements nested at most 1024 deep"};
        }
        Frame frame;
        frame.element = *element;
        frame.tag = name;
        frame.start = open;
        frame.lastWhole = end;
        if (!stack_.empty() && stack_.back().element == Element::dict && *element != Element::key) {
            frame.key = stack_.back().pendingKey;
        }
        stack_.push_back(std::move(frame));
        if (empty) {
            finish(end);
        }
    }

    void checkPlace(std::size_t open, Element element, std::string_view name) const
    {
        const std::string shown = "<" + std::string(name) + ">";
        if (stack_.empty()) {
            if (element == Element::key) {
                throw Fault{open, "expected a value or <plist>, not <key>"};
            }
            return;
        }
        const Frame &parent = stack_.back();
        if (holdsText(parent.element)) {
            throw Fault{open,
                        "expected text inside <" + std::string(parent.tag) + ">, not " + shown};
        }
        if (element == Element::plist) {
            throw Fault{open, "expected <plist> only around the whole list"};
        }
        if (parent.element == Element::dict) {
            if (!parent.keyPending && element != Element::key) {
                throw Fault{open, "expected <key> before each value of a dictionary, not " + shown};
            }
        } else if (element == Element::key) {
            throw Fault{open, "expected <key> only inside <dict>"};
        }
    }

    void closeElement(std::size_t open, std::size_t end, std::string_view name)
    {
        std::string_view trimmed = name.substr(0, name.find_first_of(" \t\r\n"));
        if (stack_.empty()) {
            throw Fault{open, "expected no closing tag here, not </" + std::string(trimmed) + ">"};
        }
        const Frame &frame = stack_.back();
        if (trimmed != frame.tag) {
            throw Fault{open, "expected </" + std::string(frame.tag) + "> closing the <" +
                                  std::string(frame.tag) + "> at " + position(frame.start) +
                                  ", not </" + std::string(trimmed) + ">"};
        }
        finish(end);
    }

    // The element on top of the stack is whole, ending at end.
    void finish(std::size_t end)
    {
        Frame done = std::move(stack_.back());
        stack_.pop_back();
        if (stack_.empty()) {
            documentEnded_ = true; // libplist reads the first value and no further
            return;
        }
        Frame &parent = stack_.back();
        if (done.element == Element::key) {
            parent.keyPending = true;
            parent.pendingKey = std::move(done.text);
            return;
        }
        ++parent.members;
        parent.lastWhole = end;
        if (parent.element == Element::plist) {
            documentEnded_ = true;
            return;
        }
        if (parent.element != Element::dict) {
            return;
        }
        const std::string &key = parent.pendingKey;
        if (key == classKey && done.element == Element::string) {
            parent.className = done.text;
        } else if (key == nameKey && done.element == Element::string) {
            parent.name = done.text;
        }
        parent.properties += isEntryLineKey(key) ? 0 : 1;
        parent.containersOnly = parent.containersOnly && isContainer(done.element);
        parent.ioKeysOnly = parent.ioKeysOnly && key.compare(0, 2, "IO") == 0;
        parent.keyPending = false;
        parent.pendingKey.clear();
    }

    // A top-level dictionary is a map of planes when it has no class and
    // every member (the one cut included) is a container under a key
    // beginning with "IO", as plane names do; an entry otherwise.
    Role topDictionaryRole(std::size_t index) const
    {
        const Frame &frame = stack_[index];
        if (frame.className) {
            return Role::entry;
        }
        bool containers = frame.containersOnly;
        bool ioKeys = frame.ioKeysOnly;
        bool any = frame.members > 0;
        if (index + 1 < stack_.size() && stack_[index + 1].element != Element::key) {
            const Frame &open = stack_[index + 1];
            containers = containers && isContainer(open.element);
            ioKeys = ioKeys && open.key.compare(0, 2, "IO") == 0;
            any = true;
        }
        return containers && ioKeys && any ? Role::planes : Role::entry;
    }

    std::vector<Role> roles() const
    {
        std::vector<Role> roles;
        for (std::size_t i = 0; i < stack_.size(); ++i) {
            const Frame &frame = stack_[i];
            Role above = i == 0 ? Role::plist : roles.back();
            bool top =
                i == 0 || (i == 1 && above == Role::plist && stack_[0].element == Element::plist);
            Role role = Role::value;
            if (frame.element == Element::plist) {
                role = Role::plist;
            } else if (top) {
                role = frame.element == Element::array  ? Role::entries
                       : frame.element == Element::dict ? topDictionaryRole(i)
                                                        : Role::value;
            } else if (above == Role::entries) {
                role = frame.element == Element::dict ? Role::entry : Role::value;
            } else if (above == Role::planes) {
                role = frame.element == Element::dict    ? Role::entry
                       : frame.element == Element::array ? Role::entries
                                                         : Role::value;
            } else if (above == Role::entry) {
                role = frame.key == childrenKey && frame.element == Element::array ? Role::entries
                                                                                   : Role::value;
            }
            roles.push_back(role);
        }
        return roles;
    }

    // Whether the frame keeps anything when cut at its last whole unit.
    bool keepsSomething(const Frame &frame, Role role) const
    {
        return role == Role::entry ? frame.className.has_value() || frame.properties > 0
                                   : frame.members > 0;
    }

    void close(XmlReading &reading)
    {
        const std::vector<Role> role = roles();
        std::size_t cut = stack_.size() - 1;
        while (cut > 0 && !keepsWholeUnits(role[cut])) {
            --cut;
        }
        // An entry that kept nothing whole is left out with what follows it.
        while (cut > 0 && role[cut] == Role::entry && !keepsSomething(stack_[cut], role[cut])) {
            --cut;
            while (cut > 0 && !keepsWholeUnits(role[cut])) {
                --cut;
            }
        }
        bool kept = false;
        for (std::size_t i = 0; i <= cut; ++i) {
            kept = kept || (role[i] != Role::plist && keepsSomething(stack_[i], role[i]));
        }
        if (!kept) {
            throw Fault{lastPrinted(), "expected a whole entry before the property list ends"};
        }
        const Frame &last = stack_[cut];
        reading.closed.assign(text_.substr(0, last.lastWhole));
        std::size_t around = 0;
        for (std::size_t i = cut + 1; i-- > 0;) {
            if (role[i] == Role::entry && !stack_[i].className) {
                reading.closed += "<key>IOObjectClass</key><string></string>";
            }
            around += role[i] == Role::entry && i != cut ? 1 : 0;
            reading.closed += "</" + std::string(stack_[i].tag) + ">";
        }
        reading.outcome = XmlReading::Outcome::cut;
        reading.note = note(last, role[cut], around);
    }

    std::string note(const Frame &last, Role role, std::size_t around) const
    {
        auto count = [](std::size_t n, const char *one, const char *many) {
            return std::to_string(n) + " " + (n == 1 ? one : many);
        };
        std::string note = "the property list ends inside ";
        const std::string at = " at line " + std::to_string(lineOf(lastPrinted())) + ": ";
        switch (role) {
        case Role::entry: {
            std::string entry = last.name ? *last.name
                                : last.className && !last.className->empty()
                                    ? *last.className
                                    : "an entry of unknown class";
            note += "the properties of " + entry + at +
                    count(last.properties, "property", "properties") + " read, the rest cut";
            break;
        }
        case Role::planes:
            note += "its map of planes" + at + count(last.members, "plane", "planes") +
                    " read whole, the rest cut";
            break;
        default:
            note += "a list of entries" + at + count(last.members, "entry", "entries") +
                    " read whole, the rest cut";
            break;
        }
        if (around > 0) {
            note += "; of the " + count(around, "entry", "entries") +
                    " it lies in, what follows the list of children is cut too";
        }
        return note;
    }

    std::size_t lastPrinted() const
    {
        std::size_t at = text_.find_last_not_of(" \t\r\n");
        return at == none ? 0 : at;
    }

    std::size_t lineOf(std::size_t offset) const
    {
        std::size_t line = firstLine_;
        for (std::size_t at = text_.find('\n'); at != none && at < offset;
             at = text_.find('\n', at + 1)) {
            ++line;
        }
        return line;
    }

    // "LINE:COLUMN", the column counted in characters from 1.
    std::string position(std::size_t offset) const
    {
        std::size_t lineStart = text_.rfind('\n', offset == 0 ? 0 : offset - 1);
        lineStart = lineStart == none || offset == 0 ? 0 : lineStart + 1;
        std::size_t column = 1;
        for (std::size_t at = lineStart; at < offset && at < text_.size(); ++at) {
            column += (static_cast<unsigned char>(text_[at]) & 0xc0) != 0x80 ? 1 : 0;
        }
        return std::to_string(lineOf(offset)) + ":" + std::to_string(column);
    }

    std::string_view text_;
    std::size_t firstLine_;
    std::vector<Frame> stack_;
    bool documentEnded_ = false;
    std::size_t unfinished_ = none; // markup the text ends inside
};

} // namespace

XmlReading readCutXml(std::string_view text, std::size_t firstLine)
{
    return CutScanner(text, firstLine).scan();
}

} // namespace snapshot
