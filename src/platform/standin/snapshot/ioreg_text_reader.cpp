#include "platform/standin/snapshot/ioreg_text_reader.h"

#include <set>

#include <plist/plist.h>

#include "platform/standin/snapshot/ioreg_text_lines.h"

namespace snapshot {
namespace {

const char *const classKey = "IOObjectClass";
const char *const nameKey = "IORegistryEntryName";
const char *const locationKey = "IORegistryEntryLocation";
const char *const idKey = "IORegistryEntryID";
const char *const childrenKey = "IORegistryEntryChildren";
const char *const entryLineForm = "an entry line (\"+-o NAME  <class CLASS, id 0xID, ...>\")";
const char *const wholeLines = "`ioreg -lw0` writes lines whole";
// Terminals are wider than this; shorter lines are never taken for cut.
const std::size_t narrowest = 20;

struct Refusal {
    std::size_t line;
    std::string what;
};

std::string plural(std::size_t count, const char *one, const char *many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// A line that may have been cut at the terminal's width although its value
// reads whole: one exactly as wide as a line that was surely cut.
struct Suspect {
    plist_t dictionary; // null for an empty value, which was left out anyway
    std::string_view key;
    std::size_t width;
};

class TextReader {
public:
    TextReader(std::string_view text, unsigned deepest) : lines_(text), deepest_(deepest) {}

    void read(IoregText &out)
    {
        out.roots.reset(plist_new_array());
        roots_ = out.roots.get();
        entryLines_ = &out.entryLines;
        TextLine line;
        std::size_t first = 0;
        while (lines_.next(line)) {
            first = first == 0 ? line.number : first;
            readLine(line);
        }
        if (!stack_.empty() && stack_.back().block == Block::open) {
            throw Refusal{stack_.back().blockLine,
                          "expected \"}\" closing these properties before the text ends"};
        }
        if (plist_array_get_size(roots_) == 0) {
            throw Refusal{first == 0 ? 1 : first,
                          std::string("expected ") + entryLineForm + " in the text: it holds none"};
        }
        leaveOutSuspects();
        gatherNotes(out.notes);
    }

private:
    enum class Block { none, open, closed };
    struct OpenEntry {
        std::size_t depth; // its "+-o" is at column 2 * depth
        plist_t dictionary;
        plist_t children;
        std::size_t line;
        std::size_t blockLine;
        Block block;
    };

    void readLine(const TextLine &line)
    {
        std::string_view text = line.text;
        std::size_t columns = 0;
        while (columns + 1 < text.size() && (text[columns] == '|' || text[columns] == ' ') &&
               text[columns + 1] == ' ') {
            columns += 2;
        }
        std::string_view rest = text.substr(columns);
        bool drawingOnly = rest.find_first_not_of(" |") == std::string_view::npos;
        bool inTree = !stack_.empty();
        OpenEntry *top = inTree ? &stack_.back() : nullptr;

        if (top != nullptr && top->block == Block::open) {
            if (!rest.empty() && rest.front() == '"' && columns == 2 * top->depth + 6) {
                readProperty(line, *top, columns);
            } else if (rest == "}" && columns == 2 * top->depth + 4) {
                top->block = Block::closed;
            } else {
                throw Refusal{line.number, "expected a property (\"KEY\" = VALUE) or \"}\" "
                                           "closing the properties begun at line " +
                                               std::to_string(top->blockLine)};
            }
            lastWasEntry_ = false;
            return;
        }
        if (rest.substr(0, 4) == "+-o ") {
            readEntry(line, columns / 2, rest.substr(4));
            return;
        }
        if (drawingOnly) {
            return;
        }
        bool looksDrawn = text.front() == '|' || text.front() == ' ';
        std::string_view stripped = text.substr(text.find_first_not_of(' '));
        if (stripped.substr(0, 3) == "```" || stripped.substr(0, 3) == "~~~") {
            stack_.clear();
            lastWasEntry_ = false;
            fenced_ = true;
            return;
        }
        if (rest == "{" && top != nullptr) {
            if (!lastWasEntry_ || top->block != Block::none || columns != 2 * top->depth + 4) {
                throw Refusal{line.number, "expected \"{\" only on the line after an entry "
                                           "line, four columns right of its \"+-o\""};
            }
            top->block = Block::open;
            top->blockLine = line.number;
            lastWasEntry_ = false;
            return;
        }
        if (looksDrawn && inTree) {
            throw Refusal{line.number, std::string("expected ") + entryLineForm +
                                           ", \"{\" or the tree's drawing alone"};
        }
        if (looksDrawn && (stripped.front() == '|' || stripped.substr(0, 4) == "+-o ")) {
            throw Refusal{line.number,
                          std::string("expected ") + entryLineForm + " before the tree's drawing"};
        }
        // Outside the trees: prose or other output.
        stack_.clear();
        lastWasEntry_ = false;
        ++skipped_;
    }

    void readEntry(const TextLine &line, std::size_t depth, std::string_view rest)
    {
        while (!stack_.empty() && stack_.back().depth >= depth) {
            stack_.pop_back();
        }
        if (!stack_.empty() && stack_.back().depth + 1 != depth) {
            throw Refusal{line.number, "expected an entry at most one level right of the "
                                       "entry above it, at line " +
                                           std::to_string(stack_.back().line)};
        }
        if (stack_.size() + 1 > deepest_) {
            throw Refusal{line.number, "expected entries nested at most " +
                                           std::to_string(deepest_) + " levels deep"};
        }
        if (rest.find('\0') != std::string_view::npos) {
            throw Refusal{line.number,
                          std::string("expected ") + entryLineForm + " without a zero byte"};
        }
        std::size_t classAt = rest.rfind("<class ");
        while (classAt != std::string_view::npos && classAt > 0 && rest[classAt - 1] != ' ' &&
               rest[classAt - 1] != '\t') {
            classAt = classAt == 0 ? std::string_view::npos : rest.rfind("<class ", classAt - 1);
        }
        if (classAt == std::string_view::npos) {
            throw Refusal{line.number, std::string("expected ") + entryLineForm +
                                           "; cut at the terminal's width? " + wholeLines};
        }
        std::string_view fullName = rest.substr(0, classAt);
        while (!fullName.empty() && (fullName.back() == ' ' || fullName.back() == '\t')) {
            fullName.remove_suffix(1);
        }
        std::string_view details = rest.substr(classAt + 7);
        std::size_t classEnd = details.find_first_of(",>");
        std::string cutShort = std::string("expected the class and ID of ") + entryLineForm +
                               " whole; cut at the terminal's width? " + wholeLines;
        if (classEnd == std::string_view::npos) {
            throw Refusal{line.number, cutShort};
        }
        std::string_view className = details.substr(0, classEnd);
        if (className.empty()) {
            throw Refusal{line.number, std::string("expected a class name in ") + entryLineForm};
        }
        plist_t dictionary = plist_new_dict();
        PlistTree owner(dictionary);
        plist_dict_set_item(dictionary, classKey, plist_new_string(std::string(className).c_str()));
        std::size_t at = fullName.rfind('@');
        std::string_view name = at == std::string_view::npos ? fullName : fullName.substr(0, at);
        plist_dict_set_item(dictionary, nameKey, plist_new_string(std::string(name).c_str()));
        if (at != std::string_view::npos) {
            plist_dict_set_item(dictionary, locationKey,
                                plist_new_string(std::string(fullName.substr(at + 1)).c_str()));
        }
        std::string_view after = details.substr(classEnd);
        if (after.substr(0, 2) == ", ") {
            after.remove_prefix(2);
            std::string_view idStart = "id 0x";
            if (after.size() < idStart.size() && idStart.substr(0, after.size()) == after) {
                throw Refusal{line.number, cutShort};
            }
            if (after.substr(0, idStart.size()) == idStart) {
                plist_dict_set_item(
                    dictionary, idKey,
                    plist_new_uint(readId(line, after.substr(idStart.size()), cutShort)));
            }
        } else if (after.front() != '>') {
            throw Refusal{line.number, cutShort};
        }
        if (rest.back() != '>') {
            cutWidths_.insert(line.width);
        }

        if (stack_.empty()) {
            plist_array_append_item(roots_, owner.release());
        } else {
            OpenEntry &parent = stack_.back();
            if (parent.children == nullptr) {
                parent.children = plist_new_array();
                plist_dict_set_item(parent.dictionary, childrenKey, parent.children);
            }
            plist_array_append_item(parent.children, owner.release());
        }
        (*entryLines_)[dictionary] = line.number;
        stack_.push_back(OpenEntry{depth, dictionary, nullptr, line.number, 0, Block::none});
        lastWasEntry_ = true;
    }

    std::uint64_t readId(const TextLine &line, std::string_view digits, const std::string &cutShort)
    {
        std::uint64_t id = 0;
        std::size_t count = 0;
        for (; count < digits.size(); ++count) {
            char c = digits[count];
            int digit = c >= '0' && c <= '9'   ? c - '0'
                        : c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                               : -1;
            if (digit < 0) {
                break;
            }
            if (count == 16) {
                throw Refusal{line.number, "expected an entry ID of at most 16 hex digits"};
            }
            id = id << 4 | static_cast<unsigned>(digit);
        }
        if (count == digits.size()) {
            throw Refusal{line.number, cutShort};
        }
        if (count == 0 || (digits[count] != ',' && digits[count] != '>')) {
            throw Refusal{line.number, "expected hex digits and \",\" or \">\" after \"id 0x\""};
        }
        return id;
    }

    void readProperty(const TextLine &line, OpenEntry &entry, std::size_t columns)
    {
        unsigned budget = deepest_ - static_cast<unsigned>(stack_.size());
        PropertyLine property = readPropertyLine(line.text.substr(columns), budget);
        switch (property.outcome) {
        case PropertyLine::Outcome::bad:
            throw Refusal{line.number, "expected " + property.expected};
        case PropertyLine::Outcome::cut:
            ++cut_;
            cutWidths_.insert(line.width);
            return;
        case PropertyLine::Outcome::empty:
            if (line.width >= narrowest) {
                suspects_.push_back(Suspect{nullptr, {}, line.width});
            }
            return;
        case PropertyLine::Outcome::value: break;
        }
        const std::string &key = property.key;
        if (key == classKey || key == nameKey || key == locationKey || key == idKey ||
            key == childrenKey) {
            throw Refusal{line.number, "expected a property other than \"" + key +
                                           "\", which the entry line gives"};
        }
        plist_dict_set_item(entry.dictionary, key.c_str(), property.value.release());
        if (line.width >= narrowest) {
            std::size_t fromEnd = line.text.size() - columns - property.keyAt;
            std::string_view rawKey(line.raw.data() + line.raw.size() - fromEnd, key.size());
            suspects_.push_back(Suspect{entry.dictionary, rawKey, line.width});
        }
    }

    void leaveOutSuspects()
    {
        for (const Suspect &suspect : suspects_) {
            if (cutWidths_.count(suspect.width) == 0) {
                continue;
            }
            ++cut_;
            if (suspect.dictionary != nullptr) {
                plist_dict_remove_item(suspect.dictionary, std::string(suspect.key).c_str());
            }
        }
        std::vector<Suspect>().swap(suspects_);
    }

    void gatherNotes(std::vector<std::string> &notes) const
    {
        if (fenced_) {
            notes.push_back("read the text inside a code fence");
        }
        if (lines_.sawQuoting()) {
            notes.push_back("took off the \"> \" that quotes the lines");
        }
        if (lines_.sawTabs()) {
            notes.push_back("read tabs in the tree's drawing as spaces to the next multiple "
                            "of 8 columns");
        }
        if (lines_.sawCrlf()) {
            notes.push_back("read CRLF line ends as line feeds");
        }
        if (skipped_ > 0) {
            notes.push_back("skipped " + plural(skipped_, "line", "lines") +
                            " of prose or other output outside the trees");
        }
        if (cut_ > 0) {
            notes.push_back("left out " + plural(cut_, "property", "properties") +
                            " whose line was cut at the terminal's width; " + wholeLines);
        }
    }

    TextLines lines_;
    unsigned deepest_;
    plist_t roots_ = nullptr;
    std::unordered_map<const void *, std::size_t> *entryLines_ = nullptr;
    std::vector<OpenEntry> stack_;
    bool lastWasEntry_ = false;
    bool fenced_ = false;
    std::size_t skipped_ = 0;
    std::size_t cut_ = 0;
    std::set<std::size_t> cutWidths_;
    std::vector<Suspect> suspects_;
};

} // namespace

bool looksLikePropertyList(std::string_view bytes)
{
    if (bytes.substr(0, 6) == "bplist") {
        return true;
    }
    if (bytes.substr(0, 3) == "\xef\xbb\xbf") {
        bytes.remove_prefix(3);
    }
    std::size_t start = bytes.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos) {
        return bytes.empty();
    }
    bytes.remove_prefix(start);
    return bytes.substr(0, 5) == "<?xml" || bytes.substr(0, 6) == "<plist" ||
           bytes.substr(0, 9) == "<!DOCTYPE";
}

std::optional<std::string> readIoregText(std::string_view text, unsigned deepest, IoregText &out)
{
    try {
        TextReader(text, deepest).read(out);
        return std::nullopt;
    } catch (const Refusal &refusal) {
        out.roots.reset();
        out.entryLines.clear();
        return textLineProblem(text, refusal.line, refusal.what);
    }
}

std::string textLineProblem(std::string_view text, std::size_t line, const std::string &what)
{
    return std::to_string(line) + ": " + what + "; the line reads \"" +
           lineStartForMessage(lineOfText(text, line)) + "\"";
}

std::size_t lineOfEntryPath(const IoregText &read, std::string_view path)
{
    plist_t entries = read.roots.get();
    plist_t entry = nullptr;
    while (!path.empty() && entries != nullptr) {
        std::size_t dot = path.find('.');
        std::string_view step = path.substr(0, dot);
        path.remove_prefix(dot == std::string_view::npos ? path.size() : dot + 1);
        std::uint32_t index = 0;
        for (char c : step) {
            if (c < '0' || c > '9' || index > 100000000) {
                return 0;
            }
            index = index * 10 + static_cast<std::uint32_t>(c - '0');
        }
        if (index == 0 || index > plist_array_get_size(entries)) {
            return 0;
        }
        entry = plist_array_get_item(entries, index - 1);
        entries = plist_dict_get_item(entry, childrenKey);
        if (!path.empty() && entries == nullptr) {
            return 0;
        }
    }
    auto found = read.entryLines.find(entry);
    return found == read.entryLines.end() ? 0 : found->second;
}

} // namespace snapshot
