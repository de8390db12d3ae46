#include "platform/standin/snapshot/ioreg_text_reader.h"

#include <optional>
#include <set>

#include <plist/plist.h>

#include "platform/standin/snapshot/ioreg_text_entry_line.h"
#include "platform/standin/snapshot/ioreg_text_lines.h"
#include "platform/standin/snapshot/ioreg_text_value_lines.h"

namespace snapshot {
namespace {

const char *const classKey = "IOObjectClass";
const char *const nameKey = "IORegistryEntryName";
const char *const locationKey = "IORegistryEntryLocation";
const char *const idKey = "IORegistryEntryID";
const char *const childrenKey = "IORegistryEntryChildren";
const char *const wholeLines = "`ioreg -lw0` writes lines whole";
// Terminals are wider than this; shorter lines are never taken for cut.
const std::size_t narrowest = 20;
// Where an editor's tabs may stop, after a terminal's 8.
const std::size_t otherTabStops[] = {4, 2};

struct Refusal {
    std::size_t line;
    std::string what;
};

std::string plural(std::size_t count, const char *one, const char *many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// What a line holds after the tree's drawing, and the column it starts at.
std::size_t contentColumn(std::string_view text)
{
    std::size_t at = text.find_first_not_of(" |");
    return at == std::string_view::npos ? text.size() : at;
}

// A property line, whole or cut: `"KEY" = ...` or `"KEY"=...`, or a quote
// and a key that the line's end cuts.
bool isPropertyLine(std::string_view content)
{
    if (content.empty() || content.front() != '"') {
        return false;
    }
    std::size_t close = content.find('"', 1);
    if (close == std::string_view::npos) {
        return true;
    }
    std::size_t equals = content.find_first_not_of(" \t", close + 1);
    return equals == std::string_view::npos || content[equals] == '=';
}

// The start of a property list, on a line of its own.
bool startsPropertyList(std::string_view stripped)
{
    return startsWith(stripped, "<?xml") || startsWith(stripped, "<plist") ||
           startsWith(stripped, "<!DOCTYPE");
}

// A line that may have been cut at the terminal's width although its value
// reads whole: one exactly as wide as a line that was surely cut.
struct Suspect {
    plist_t dictionary; // null for an empty value, which was left out anyway
    std::string_view key;
    std::size_t width;
};

// Where the text stopped inside something it had begun: said once, when
// everything has been read.
struct Cut {
    enum class Inside { properties, value, entryLine, propertyLine };
    Inside inside;
    std::size_t line;      // the last line read there
    plist_t dictionary;    // the entry whose properties stop
    std::string entry;     // how the note names it
    std::string valueKey;  // the property whose value is cut
    std::size_t valueLine; // where that value begins
    bool textEnds;         // at the text's end, rather than before other text
};

// A line that may have been cut at the terminal's width, or where the paste
// ends: which, the next line of its tree tells.
struct MaybeCut {
    std::size_t line = 0; // 0: none
    std::size_t width = 0;
    bool entry = false;        // an entry line rather than a property line
    bool entryCounted = false; // the entry is counted among those kept cut
    bool classLost = false;
    plist_t list = nullptr; // the entries' list it was added to
};

class TextReader {
public:
    TextReader(std::string_view text, unsigned deepest, std::size_t tabStop)
        : text_(text), lines_(text, tabStop), deepest_(deepest)
    {
    }

    void read(IoregText &out)
    {
        out.roots.reset(plist_new_array());
        roots_ = out.roots.get();
        entryLines_ = &out.entryLines;
        TextLine line;
        std::size_t first = 0;
        while (!propertyListLine_ && lines_.next(line)) {
            first = first == 0 ? line.number : first;
            readLine(line);
        }
        if (propertyListLine_) {
            out.propertyListAt = propertyListAt_;
            out.propertyListLine = propertyListLine_;
        } else {
            endTree(true);
        }
        if (plist_array_get_size(roots_) == 0 && !out.propertyListAt) {
            throw Refusal{first == 0 ? 1 : first,
                          std::string("expected ") + entryLineForm +
                              ", a property line (\"KEY\" = VALUE) or a property list in the "
                              "text: it holds none" +
                              (droppedLine_ != 0
                                   ? " but an entry line cut before its class, at line " +
                                         std::to_string(droppedLine_)
                                   : std::string())};
        }
        leaveOutSuspects();
        gatherNotes(out.notes);
    }

    bool sawTabs() const { return lines_.sawTabs(); }

private:
    enum class Block { none, open, closed };
    struct OpenEntry {
        std::size_t depth; // its "+-o" is at column 2 * depth
        plist_t dictionary;
        plist_t children;
        std::size_t line;
        std::size_t blockLine;
        Block block;
        bool braceless; // property lines followed its line without "{"
    };
    // Property lines without their entry line: one entry of unknown class.
    struct Headless {
        plist_t dictionary = nullptr; // made with its first property
        std::size_t line = 0;         // its first line
        bool block = false;           // begun with "{", so "}" ends it
    };
    struct OpenValue {
        std::optional<SpreadValue> value;
        plist_t dictionary = nullptr; // where it goes; null: a headless entry still to make
        std::string key;
        std::size_t line = 0;
        std::size_t width = 0;
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
        if (openValue_.value && !drawingOnly && readValueLine(line)) {
            return;
        }
        OpenEntry *top = stack_.empty() ? nullptr : &stack_.back();

        if (top != nullptr && top->block == Block::open) {
            if (!rest.empty() && rest.front() == '"' && columns == 2 * top->depth + 6) {
                confirmCut();
                readProperty(line, columns, top->dictionary);
                return;
            }
            if (rest == "}" && columns == 2 * top->depth + 4) {
                confirmCut();
                top->block = Block::closed;
                lastWasEntry_ = false;
                return;
            }
            if (drawingOnly) {
                return;
            }
            bool drawn = text.front() == '|' || text.front() == ' ';
            if (drawn && !startsWith(rest, "+-o ")) {
                throw Refusal{line.number, "expected a property (\"KEY\" = VALUE) or \"}\" "
                                           "closing the properties begun at line " +
                                               std::to_string(top->blockLine)};
            }
            // An entry line, prose or a fence: the properties stop here.
            cutProperties(*top, false);
            top->block = Block::closed;
        }
        if (startsWith(rest, "+-o ")) {
            confirmCut();
            endHeadless(false);
            readEntry(line, columns / 2, rest.substr(4));
            return;
        }
        if (drawingOnly) {
            return;
        }
        std::size_t column = contentColumn(text);
        std::string_view content = text.substr(column);
        if (content == "}" && top != nullptr && top->braceless && top->block == Block::none) {
            // Its properties, copied without their "{", end here.
            confirmCut();
            top->block = Block::closed;
            return;
        }
        if (content == "}" && top == nullptr && headless_.line != 0) {
            // The end of the properties whose lines these were.
            confirmCut();
            endHeadless(true);
            return;
        }
        if (isPropertyLine(content)) {
            confirmCut();
            readLooseProperty(line, column);
            return;
        }
        bool looksDrawn = text.front() == '|' || text.front() == ' ';
        std::string_view stripped = text.substr(text.find_first_not_of(' '));
        if (startsWith(stripped, "```") || startsWith(stripped, "~~~")) {
            endTree(false);
            fenced_ = true;
            return;
        }
        if (startsPropertyList(stripped)) {
            // Read as a property list from here on.
            endTree(false);
            propertyListAt_ = static_cast<std::size_t>(line.raw.data() - text_.data());
            propertyListLine_ = line.number;
            return;
        }
        if (content == "{" && top == nullptr && !headless_.block) {
            // The properties of an entry whose line is not in the text.
            endHeadless(false);
            headless_.block = true;
            headless_.line = line.number;
            lastLine_ = line.number;
            return;
        }
        if (rest == "{" && top != nullptr) {
            if (!lastWasEntry_ || top->block != Block::none || top->braceless ||
                columns != 2 * top->depth + 4) {
                throw Refusal{line.number, "expected \"{\" only on the line after an entry "
                                           "line, four columns right of its \"+-o\""};
            }
            confirmCut();
            top->block = Block::open;
            top->blockLine = line.number;
            lastLine_ = line.number;
            lastWasEntry_ = false;
            return;
        }
        if (looksDrawn && top != nullptr) {
            throw Refusal{line.number, std::string("expected ") + entryLineForm +
                                           ", \"{\", a property or the tree's drawing alone"};
        }
        // Prose or other output: it ends the tree above it.
        endTree(false);
        ++skipped_;
    }

    // Ends every open entry and the entry without its line, saying what
    // they were cut in: at the text's end, or before other text.
    void endTree(bool textEnds)
    {
        if (openValue_.value) {
            plist_t owner =
                openValue_.dictionary != nullptr ? openValue_.dictionary : headless_.dictionary;
            cuts_.push_back(Cut{Cut::Inside::value, lastLine_, owner, entryNamed(owner),
                                openValue_.key, openValue_.line, textEnds});
            openValue_ = OpenValue();
            maybeCut_ = MaybeCut();
        } else if (!stack_.empty() && stack_.back().block == Block::open) {
            cutProperties(stack_.back(), textEnds);
        } else if (headless_.block) {
            cutHeadless(textEnds);
        } else if (maybeCut_.line != 0 && !maybeCut_.entry) {
            // A last property line cut where no "}" was to come.
            cuts_.push_back(Cut{Cut::Inside::propertyLine, maybeCut_.line, nullptr, std::string(),
                                std::string(), 0, textEnds});
        } else if (maybeCut_.line != 0 && maybeCut_.classLost) {
            // A last entry line that lost its class holds nothing to go by.
            cuts_.push_back(Cut{Cut::Inside::entryLine, maybeCut_.line, nullptr, std::string(),
                                std::string(), 0, textEnds});
            dropLastEntry();
        }
        maybeCut_ = MaybeCut();
        stack_.clear();
        // Lines without their entry line go on past prose (grep's "--"
        // between matches among it); only their "{" block ends here.
        if (headless_.block) {
            headless_ = Headless();
        }
        lastWasEntry_ = false;
    }

    void cutProperties(const OpenEntry &entry, bool textEnds)
    {
        cuts_.push_back(Cut{Cut::Inside::properties, lastLine_, entry.dictionary,
                            entryNamed(entry.dictionary), std::string(), 0, textEnds});
        maybeCut_ = MaybeCut();
    }

    void cutHeadless(bool textEnds)
    {
        cuts_.push_back(Cut{Cut::Inside::properties, lastLine_, headless_.dictionary,
                            headlessName(headless_.line), std::string(), 0, textEnds});
        maybeCut_ = MaybeCut();
    }

    static std::string headlessName(std::size_t line)
    {
        return "the entry whose entry line is not in the text (from line " + std::to_string(line) +
               ")";
    }

    // The lines since the last entry line belong to no entry any more.
    void endHeadless(bool closed)
    {
        if (headless_.block && !closed) {
            cutHeadless(false);
        }
        headless_ = Headless();
    }

    // The line that may have been cut was followed by more of its tree: it
    // was cut at the terminal's width.
    void confirmCut()
    {
        if (maybeCut_.line == 0) {
            return;
        }
        if (maybeCut_.width >= narrowest) {
            cutWidths_.insert(maybeCut_.width);
        }
        if (!maybeCut_.entry) {
            ++cut_;
        }
        maybeCut_ = MaybeCut();
    }

    // An entry line cut where the text ends holds nothing a reader can use:
    // it is left out.
    void dropLastEntry()
    {
        plist_t list = maybeCut_.list == nullptr ? roots_ : maybeCut_.list;
        uint32_t size = plist_array_get_size(list);
        if (size == 0) {
            return;
        }
        entryLines_->erase(plist_array_get_item(list, size - 1));
        plist_array_remove_item(list, size - 1);
        droppedLine_ = maybeCut_.line;
        if (maybeCut_.entryCounted) {
            --keptCutEntries_;
            --keptWithoutClass_;
        }
    }

    std::string entryNamed(plist_t dictionary) const
    {
        if (dictionary == nullptr) {
            return headlessName(headless_.line);
        }
        if (headlessDictionaries_.count(dictionary) != 0) {
            auto line = entryLines_->find(dictionary);
            return headlessName(line == entryLines_->end() ? 0 : line->second);
        }
        auto text = [dictionary](const char *key) {
            plist_t node = plist_dict_get_item(dictionary, key);
            uint64_t length = 0;
            const char *value = node == nullptr ? nullptr : plist_get_string_ptr(node, &length);
            return value == nullptr ? std::string() : std::string(value, length);
        };
        std::string name = text(nameKey);
        if (plist_dict_get_item(dictionary, locationKey) != nullptr) {
            name += "@" + text(locationKey);
        }
        if (!name.empty()) {
            return name;
        }
        std::string className = text(classKey);
        return className.empty() ? std::string("an entry of unknown class") : className;
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
        EntryLine entry;
        if (auto problem = readEntryLine(rest, entry)) {
            throw Refusal{line.number, *problem};
        }
        plist_t dictionary = plist_new_dict();
        PlistTree owner(dictionary);
        plist_dict_set_item(dictionary, classKey,
                            plist_new_string(std::string(entry.className.value_or("")).c_str()));
        if (entry.lost != EntryLine::Lost::nameClassAndId) {
            plist_dict_set_item(dictionary, nameKey,
                                plist_new_string(std::string(entry.name).c_str()));
        }
        if (entry.location) {
            plist_dict_set_item(dictionary, locationKey,
                                plist_new_string(std::string(*entry.location).c_str()));
        }
        if (entry.id) {
            plist_dict_set_item(dictionary, idKey, plist_new_uint(*entry.id));
        }
        plist_t parent = nullptr;
        if (stack_.empty()) {
            plist_array_append_item(roots_, owner.release());
        } else {
            OpenEntry &above = stack_.back();
            if (above.children == nullptr) {
                above.children = plist_new_array();
                plist_dict_set_item(above.dictionary, childrenKey, above.children);
            }
            parent = above.children;
            plist_array_append_item(parent, owner.release());
        }
        (*entryLines_)[dictionary] = line.number;
        const bool classLost = !entry.className;
        if (entry.lost != EntryLine::Lost::nothing) {
            ++keptCutEntries_;
            keptWithoutClass_ += classLost ? 1 : 0;
        }
        if (entry.cut) {
            maybeCut_ =
                MaybeCut{line.number, line.width, true, entry.lost != EntryLine::Lost::nothing,
                         classLost,   parent};
        }
        lastLine_ = line.number;
        stack_.push_back(OpenEntry{depth, dictionary, nullptr, line.number, 0, Block::none, false});
        lastWasEntry_ = true;
    }

    // A property line outside an entry's "{" and "}": the entry line above
    // it had none, or its entry line is not in the text.
    void readLooseProperty(const TextLine &line, std::size_t column)
    {
        OpenEntry *top = stack_.empty() ? nullptr : &stack_.back();
        if (top != nullptr && top->block == Block::none) {
            if (!top->braceless) {
                top->braceless = true;
                ++bracelessEntries_;
                bracelessLine_ = bracelessLine_ == 0 ? top->line : bracelessLine_;
            }
            readProperty(line, column, top->dictionary);
            return;
        }
        if (top != nullptr) {
            // After the "}" of the entry above: not its own.
            stack_.clear();
        }
        if (headless_.line == 0) {
            headless_.line = line.number;
        }
        readProperty(line, column, nullptr);
    }

    // The entry without its line that a property goes to: a key it holds
    // already belongs to another such entry.
    plist_t headlessFor(const std::string &key)
    {
        if (headless_.dictionary != nullptr &&
            plist_dict_get_item(headless_.dictionary, key.c_str()) != nullptr) {
            headless_.dictionary = nullptr;
            headless_.line = lastLine_;
        }
        if (headless_.dictionary == nullptr) {
            headless_.dictionary = plist_new_dict();
            plist_dict_set_item(headless_.dictionary, classKey, plist_new_string(""));
            plist_array_append_item(roots_, headless_.dictionary);
            (*entryLines_)[headless_.dictionary] = headless_.line;
            headlessDictionaries_.insert(headless_.dictionary);
            ++headlessEntries_;
        }
        ++headlessLines_;
        return headless_.dictionary;
    }

    // Reads the property at column into dictionary, or, when that is null,
    // into the entry without its line.
    void readProperty(const TextLine &line, std::size_t column, plist_t dictionary)
    {
        lastLine_ = line.number;
        lastWasEntry_ = false;
        // Nested as deep as the entry whose property it is.
        unsigned budget = deepest_ - static_cast<unsigned>(std::max<std::size_t>(stack_.size(), 1));
        std::string_view text = line.text.substr(column);
        PropertyLine property = readPropertyLine(text, budget);
        switch (property.outcome) {
        case PropertyLine::Outcome::bad:
            throw Refusal{line.number, "expected " + property.expected};
        case PropertyLine::Outcome::cut: {
            std::string_view value = text.substr(property.valueAt);
            if (property.valueAt != 0 && (value == "{" || value == "(")) {
                openValue_ = OpenValue();
                openValue_.value.emplace(value.front(), column, budget);
                openValue_.dictionary = dictionary;
                openValue_.key = property.key;
                openValue_.line = line.number;
                openValue_.width = line.width;
                return;
            }
            maybeCut_ = MaybeCut{line.number, line.width, false, false, false, nullptr};
            return;
        }
        case PropertyLine::Outcome::empty:
            if (line.width >= narrowest) {
                suspects_.push_back(Suspect{nullptr, {}, line.width});
            }
            return;
        case PropertyLine::Outcome::value: break;
        }
        const std::string &key = property.key;
        checkKey(line, key);
        if (dictionary == nullptr) {
            dictionary = headlessFor(key);
        }
        plist_dict_set_item(dictionary, key.c_str(), property.value.release());
        if (line.width >= narrowest) {
            std::size_t fromEnd = text.size() - property.keyAt;
            std::string_view rawKey(line.raw.data() + line.raw.size() - fromEnd, key.size());
            suspects_.push_back(Suspect{dictionary, rawKey, line.width});
        }
    }

    void checkKey(const TextLine &line, const std::string &key) const
    {
        if (key == classKey || key == nameKey || key == locationKey || key == idKey ||
            key == childrenKey) {
            throw Refusal{line.number, "expected a property other than \"" + key +
                                           "\", which the entry line gives"};
        }
    }

    // A line of a value spread over several lines. Returns false when the
    // line is not the value's: the value never closed, and the line is read
    // as any other.
    bool readValueLine(const TextLine &line)
    {
        std::size_t column = contentColumn(line.text);
        std::string_view content = line.text.substr(column);
        OpenValue &open = openValue_;
        switch (open.value->read(content, column)) {
        case SpreadValue::Step::bad:
            throw Refusal{line.number, "expected " + open.value->expected() + " in the value of " +
                                           quoted(open.key) + " begun at line " +
                                           std::to_string(open.line)};
        case SpreadValue::Step::member: lastLine_ = line.number; return true;
        case SpreadValue::Step::notMine:
            // Its first line was cut at the terminal's width after "{" or "(".
            maybeCut_ = MaybeCut{open.line, open.width, false, false, false, nullptr};
            openValue_ = OpenValue();
            return false;
        case SpreadValue::Step::closed: break;
        }
        lastLine_ = line.number;
        if (open.value->spoiled()) {
            ++cut_;
        } else {
            checkKey(line, open.key);
            plist_t dictionary =
                open.dictionary == nullptr ? headlessFor(open.key) : open.dictionary;
            plist_dict_set_item(dictionary, open.key.c_str(), open.value->take().release());
            ++spreadValues_;
        }
        openValue_ = OpenValue();
        return true;
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

    // The properties read of an entry: its keys but those of its line.
    static std::size_t propertiesOf(plist_t dictionary)
    {
        if (dictionary == nullptr) {
            return 0;
        }
        std::size_t count = plist_dict_get_size(dictionary);
        for (const char *key : {classKey, nameKey, locationKey, idKey, childrenKey}) {
            count -= plist_dict_get_item(dictionary, key) != nullptr ? 1 : 0;
        }
        return count;
    }

    std::string cutNote(const Cut &cut) const
    {
        std::string where = cut.textEnds ? "the text ends" : "the tree ends";
        std::string at = " at line " + std::to_string(cut.line);
        std::string before = cut.textEnds ? "" : " (other text follows)";
        switch (cut.inside) {
        case Cut::Inside::entryLine:
            return where + " inside an entry line" + at + before + ": that entry is left out";
        case Cut::Inside::propertyLine:
            return where + " inside a property line" + at + before + ": that property is left out";
        case Cut::Inside::value:
            return where + " inside the value of " + quoted(cut.valueKey) + " begun at line " +
                   std::to_string(cut.valueLine) + ", in the properties of " + cut.entry + at +
                   before + ": " + plural(propertiesOf(cut.dictionary), "property", "properties") +
                   " read, that one and the rest cut";
        case Cut::Inside::properties: break;
        }
        return where + " inside the properties of " + cut.entry + at + before + ": " +
               plural(propertiesOf(cut.dictionary), "property", "properties") +
               " read, the rest cut";
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
                            "of " +
                            std::to_string(lines_.tabStop()) + " columns");
        }
        if (lines_.sawCrlf()) {
            notes.push_back("read CRLF line ends as line feeds");
        }
        if (skipped_ > 0) {
            notes.push_back("skipped " + plural(skipped_, "line", "lines") +
                            " of prose or other output outside the trees");
        }
        if (headlessEntries_ > 0) {
            notes.push_back("read " + plural(headlessLines_, "property line", "property lines") +
                            " without their entry line as " +
                            (headlessEntries_ == 1
                                 ? std::string("an entry of unknown class")
                                 : std::to_string(headlessEntries_) +
                                       " entries of unknown class (a key met again "
                                       "begins another)"));
        }
        if (bracelessEntries_ > 0) {
            notes.push_back("read the property lines after " +
                            plural(bracelessEntries_, "entry line", "entry lines") +
                            " without \"{\" (the first at line " + std::to_string(bracelessLine_) +
                            ") as the properties of the entry above them");
        }
        if (spreadValues_ > 0) {
            notes.push_back("read " + plural(spreadValues_, "value", "values") +
                            " written over several lines as written on one");
        }
        if (cut_ > 0) {
            notes.push_back("left out " + plural(cut_, "property", "properties") +
                            " whose line was cut at the terminal's width; " + wholeLines);
        }
        if (keptCutEntries_ > 0) {
            std::string lost =
                keptWithoutClass_ == keptCutEntries_ ? "their class and ID"
                : keptWithoutClass_ == 0
                    ? "their ID"
                    : "their ID (" + std::to_string(keptWithoutClass_) + " their class too)";
            notes.push_back("kept " + plural(keptCutEntries_, "entry", "entries") +
                            " whose line was cut at the terminal's width before the end of " +
                            lost + "; " + wholeLines);
        }
        for (const Cut &cut : cuts_) {
            notes.push_back(cutNote(cut));
        }
    }

    std::string_view text_;
    TextLines lines_;
    unsigned deepest_;
    plist_t roots_ = nullptr;
    std::unordered_map<const void *, std::size_t> *entryLines_ = nullptr;
    std::vector<OpenEntry> stack_;
    Headless headless_;
    OpenValue openValue_;
    MaybeCut maybeCut_;
    std::size_t lastLine_ = 0;
    std::size_t droppedLine_ = 0; // the last entry line left out as cut
    bool lastWasEntry_ = false;
    bool fenced_ = false;
    std::size_t skipped_ = 0;
    std::size_t cut_ = 0;
    std::size_t keptCutEntries_ = 0;
    std::size_t keptWithoutClass_ = 0;
    std::size_t headlessEntries_ = 0;
    std::size_t headlessLines_ = 0;
    std::set<plist_t> headlessDictionaries_;
    std::size_t bracelessEntries_ = 0;
    std::size_t bracelessLine_ = 0;
    std::size_t spreadValues_ = 0;
    std::vector<Cut> cuts_;
    std::size_t propertyListAt_ = 0;
    std::size_t propertyListLine_ = 0; // 0: no property list begins
    std::set<std::size_t> cutWidths_;
    std::vector<Suspect> suspects_;
};

std::optional<std::string> readWithTabStop(std::string_view text, unsigned deepest,
                                           std::size_t tabStop, IoregText &out,
                                           std::size_t &refusedAt, bool &sawTabs)
{
    TextReader reader(text, deepest, tabStop);
    try {
        reader.read(out);
        return std::nullopt;
    } catch (const Refusal &refusal) {
        out = IoregText();
        refusedAt = refusal.line;
        sawTabs = reader.sawTabs();
        return textLineProblem(text, refusal.line, refusal.what);
    }
}

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
    std::size_t refusedAt = 0;
    bool sawTabs = false;
    auto problem = readWithTabStop(text, deepest, 8, out, refusedAt, sawTabs);
    if (!problem || !sawTabs) {
        return problem;
    }
    // Tabs that do not read as a terminal's: an editor's, at 4 or 2 columns.
    // The first width that reads is taken; failing all, the reading that got
    // furthest says why.
    for (std::size_t tabStop : otherTabStops) {
        std::size_t at = 0;
        bool unused = false;
        IoregText other;
        auto otherProblem = readWithTabStop(text, deepest, tabStop, other, at, unused);
        if (!otherProblem) {
            out = std::move(other);
            return std::nullopt;
        }
        if (at > refusedAt) {
            refusedAt = at;
            problem = std::move(otherProblem);
        }
    }
    return problem;
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
