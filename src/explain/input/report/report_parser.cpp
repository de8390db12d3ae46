#include "explain/input/report/report_parser.h"

#include <algorithm>
#include <new>
#include <optional>
#include <utility>

#include "explain/input/report/report_entry_line.h"
#include "explain/input/report/report_format.h"
#include "explain/input/report/report_lines.h"
#include "explain/input/report/report_values.h"
#include "explain/input/report/report_view.h"
#include "report/property_keys.h"

namespace explain {
namespace {

using namespace report_format;
using report_reading::isBlank;
using report_reading::ReportLine;
using report_reading::ReportLines;

// Thrown inside the reader only: a line that breaks the grammar.
struct LineError {
    std::size_t line;
    std::string message;
};

// Thrown inside the reader only: the input ended where the report goes on.
struct InputEnded {};

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

std::size_t leadingSpaces(std::string_view text)
{
    return std::min(text.find_first_not_of(' '), text.size());
}

// The spaces before the lines of a level.
std::size_t indentOf(std::size_t level) { return 2 * level; }

// The sections that hold entries: the first feeds the walk, the second is
// only checked.
enum class Section { service, power };

class ReportReader {
public:
    explicit ReportReader(ReportLines lines) : text_(std::move(lines)) {}

    RegistryWalk read()
    {
        try {
            readSections();
        } catch (const InputEnded &) {
        } catch (const LineError &error) {
            // A paste cut in the middle of a line leaves that line without
            // its line feed; it is dropped rather than refused.
            if (text_.lastLineWhole || error.line != text_.lines.back().number ||
                text_.lines.size() == 1) {
                throw;
            }
            note("line " + std::to_string(error.line) +
                 ", the report's last, ends without a line feed and does not read as a whole "
                 "line (" +
                 error.message + "): it was cut short and is left out");
        }
        walk_.notes = std::move(text_.notes);
        for (std::string &limit : notesOnWhatReportsCannotHold(walk_)) {
            walk_.notes.push_back(std::move(limit));
        }
        return std::move(walk_);
    }

    std::size_t lineNumber() const
    {
        return at_ < text_.lines.size() ? text_.lines[at_].number
                                        : (text_.lines.empty() ? 1 : text_.lines.back().number);
    }

private:
    bool atEnd() const { return at_ >= text_.lines.size(); }
    bool atEnd(std::size_t index) const { return index >= text_.lines.size(); }
    std::string_view line() const { return text_.lines[at_].text; }
    [[noreturn]] void fail(const std::string &message) const
    {
        throw LineError{lineNumber(), message};
    }
    void note(std::string text) { text_.notes.push_back(std::move(text)); }

    // Where the input stops before the report's end: after the first
    // section's walk the rest is never needed, so a report cut there, or
    // pasted with its first section alone, is read with a note.
    [[noreturn]] void ended(const std::string &where)
    {
        const std::size_t last = text_.lines.back().number;
        note("the report ends at line " + std::to_string(last) + ", " + where);
        throw InputEnded{};
    }

    void endedInFirstSection()
    {
        ended("within its first section (the IOPower section does not follow): it may have "
              "been cut short, and entries after that line, if the registry had any, are not in "
              "the report");
    }

    void readSections()
    {
        if (line() != serviceHeader) {
            fail("expected the report's first line " + quoted(serviceHeader));
        }
        ++at_;
        if (atEnd()) {
            endedInFirstSection();
        }
        expectEmpty("an empty line after the first section's header");
        if (!atEnd() && line() == noControllers) {
            note("the report's first section says " + quoted(noControllers) +
                 ": the registry lookup failed, and the report shows no entries");
            ++at_;
        } else {
            readWalk(Section::service);
        }
        if (atEnd()) {
            endedInFirstSection();
        }
        expectSectionBreak(powerHeader, "IOPower");
        expectEmpty("an empty line after the IOPower section's header");
        readWalk(Section::power);
        if (atEnd()) {
            ended("within its IOPower section (the notification section does not follow); its "
                  "first section is whole");
        }
        expectSectionBreak(interestHeader, "notification");
        readInterestLines();
    }

    void expectEmpty(const std::string &what)
    {
        if (atEnd()) {
            ended("before its next section; its first section is whole");
        }
        if (!isBlank(line())) {
            fail("expected " + what);
        }
        ++at_;
    }

    // Two empty lines, then the header.
    void expectSectionBreak(std::string_view header, const char *section)
    {
        const std::string before = std::string("before the ") + section + " section's header";
        expectEmpty("an empty line " + before);
        if (atEnd()) {
            ended("before its " + std::string(section) + " section; its first section is whole");
        }
        if (!isBlank(line())) {
            // One empty line inside a walk, where a report has none.
            --at_;
            fail("expected an entry or probe line, or two empty lines " + before);
        }
        ++at_;
        if (atEnd()) {
            ended("before its " + std::string(section) + " section; its first section is whole");
        }
        if (line() != header) {
            fail("expected the " + std::string(section) + " section's header " + quoted(header));
        }
        ++at_;
    }

    void readInterestLines()
    {
        while (!atEnd()) {
            readInterestLine(generalInterest);
            if (atEnd()) {
                ended("in its notification section, between the two lines of one service; its "
                      "first section is whole");
            }
            readInterestLine(busyInterest);
        }
    }

    void readInterestLine(std::string_view opening)
    {
        std::string_view rest = line();
        const std::string expected = "expected " + quoted(std::string(opening) + "STATUS SUCCESS") +
                                     " or " + quoted(std::string(opening) + "STATUS FAILED");
        if (!startsWith(rest, opening)) {
            fail(expected);
        }
        rest.remove_prefix(opening.size());
        auto status = report_reading::readDigits(rest, 16);
        if (!status || *status > 0xffffffffULL) {
            fail(expected + ", with a 32-bit STATUS in lower-case hexadecimal");
        }
        if (rest != (*status == 0 ? " SUCCESS" : " FAILED")) {
            fail(expected + ": SUCCESS for status 0 and FAILED for any other");
        }
        ++at_;
    }

    // Entry and probe lines up to the first blank line or the end.
    void readWalk(Section section)
    {
        section_ = section;
        std::vector<WalkedEntry> &entries = section == Section::service ? walk_.entries : checked_;
        std::vector<std::string> path;
        while (!atEnd() && !isBlank(line())) {
            const std::string_view text = line();
            const std::size_t spaces = leadingSpaces(text);
            const std::string_view rest = text.substr(spaces);
            if (startsWith(rest, "[")) {
                readEntry(entries, path, spaces, rest);
            } else if (startsWith(rest, probeMarker)) {
                if (entries.empty()) {
                    fail("expected an entry line before any probe line");
                }
                const unsigned depth = entries.back().depth;
                if (spaces != indentOf(depth + 1)) {
                    fail("expected a probe line of the entry above, indented by " +
                         std::to_string(indentOf(depth + 1)) + " spaces");
                }
                readProbe(entries.back(), rest.substr(probeMarker.size()));
            } else {
                fail("expected an entry or probe line");
            }
        }
        if (section == Section::power) {
            checked_.clear();
        }
    }

    void readEntry(std::vector<WalkedEntry> &entries, std::vector<std::string> &path,
                   std::size_t spaces, std::string_view text)
    {
        if (spaces % 2 != 0) {
            fail("expected an entry line indented by an even number of spaces");
        }
        const std::size_t depth = spaces / 2;
        if (depth > deepestLevel) {
            fail("expected an entry at depth 8 or less (16 spaces at most)");
        }
        if (entries.empty() && depth != 0) {
            fail("expected an entry at depth 0 (without indentation) first");
        }
        if (!entries.empty() && depth > entries.back().depth + 1) {
            fail("expected an entry at most one level below the one before (indented by " +
                 std::to_string(indentOf(entries.back().depth + 1)) + " spaces at most)");
        }
        auto read = report_reading::readEntryLine(text);
        if (!read) {
            fail("expected an entry line \"[class] name\", each name at most 127 bytes, "
                 "optionally with \" (UserClient: X)\" and \" [Y]\"");
        }
        if (read->nameAmbiguous && section_ == Section::service) {
            note("line " + std::to_string(lineNumber()) + ": read the entry name as " +
                 quoted(read->name) +
                 ", taking the last \" (UserClient: ...)\" and \" [...]\" on the line as its "
                 "annotations");
        }
        path.resize(depth);
        path.emplace_back(read->name);
        WalkedEntry entry;
        entry.depth = static_cast<unsigned>(depth);
        entry.path = path;
        entry.className = std::string(read->className);
        entries.push_back(std::move(entry));
        lastKey_ = std::nullopt;
        ++at_;
    }

    void readProbe(WalkedEntry &entry, std::string_view text)
    {
        const std::size_t colon = text.find(": ");
        if (colon == std::string_view::npos) {
            fail("expected a probe line \">>> KEY: VALUE\"");
        }
        const std::string_view key = text.substr(0, colon);
        auto index = probedKeyIndex(key);
        if (!index) {
            fail("expected one of the 26 probed keys, not " + quoted(key));
        }
        if (lastKey_ && *index <= *lastKey_) {
            fail(quoted(key) +
                 " out of order: a report lists an entry's keys in a fixed order, "
                 "and this one comes before " +
                 quoted(propertyKeys[*lastKey_]));
        }
        lastKey_ = index;
        if (auto value = readValue(entry, key, text.substr(colon + 2))) {
            entry.properties.emplace_back(std::string(key), std::move(*value));
        }
    }

    // The value, and the lines after the probe line that it takes up. Nothing
    // when the input ended inside a value that cannot be read in part.
    std::optional<PropertyValue> readValue(const WalkedEntry &entry, std::string_view key,
                                           std::string_view text)
    {
        PropertyValue value;
        if (startsWith(text, "<data ")) {
            readDump(key, text, value);
            return value;
        }
        if (startsWith(text, "\"")) {
            return readString(entry, key, text);
        }
        if (text == "<unconvertible string>") {
            value.kind = PropertyValue::Kind::unconvertibleString;
        } else if (auto keys = report_reading::readCount(text, "<dict with ", " keys>")) {
            value.kind = PropertyValue::Kind::dictionary;
            value.count = static_cast<std::int64_t>(*keys);
            value.contentsKnown = false;
        } else if (auto items = report_reading::readCount(text, "<array with ", " items>")) {
            value.kind = PropertyValue::Kind::array;
            value.count = static_cast<std::int64_t>(*items);
            value.contentsKnown = false;
        } else if (auto type = report_reading::readCount(text, "<type ", ">", UINT64_MAX)) {
            if (*type == booleanTypeId) {
                value.kind = PropertyValue::Kind::boolean;
                value.contentsKnown = false;
            } else {
                value.kind = PropertyValue::Kind::other;
                value.typeId = static_cast<unsigned long>(*type);
            }
        } else if (auto number = report_reading::readNumber(text)) {
            if (number->hexadecimal != static_cast<std::uint64_t>(number->decimal)) {
                fail("the number's decimal " + std::to_string(number->decimal) +
                     " and hexadecimal do not agree: a report prints both from the same 64 "
                     "bits, so one of them was changed");
            }
            value.kind = PropertyValue::Kind::integer;
            value.integer = number->decimal;
        } else {
            fail("expected a value as a report prints it: \"%lld (0x%llx)\", \"text\", "
                 "\"<data N bytes> \" and its bytes, \"<dict with N keys>\", "
                 "\"<array with N items>\", \"<type N>\" or \"<unconvertible string>\"");
        }
        ++at_;
        return value;
    }

    bool lastLineCut(std::size_t index) const
    {
        return !text_.lastLineWhole && index + 1 == text_.lines.size();
    }

    void readDump(std::string_view key, std::string_view text, PropertyValue &value)
    {
        value.kind = PropertyValue::Kind::data;
        auto length = report_reading::readDumpHead(text);
        if (!length) {
            fail("expected \"<data N bytes> \" and the bytes");
        }
        value.length = *length;
        const auto shown = static_cast<std::size_t>(std::min(*length, bytesShown));
        value.bytes.reserve(shown);
        const std::string rowShape = "up to 16 bytes as \"xx \"";
        if (text.empty() && shown == 0) {
            trailingSpaceMissing();
        } else if (!startsWith(text, " ")) {
            fail("expected \"<data N bytes> \" and the bytes");
        } else {
            text.remove_prefix(1);
        }
        for (bool first = true; first || value.bytes.size() < shown; first = false) {
            if (!first) {
                ++at_;
                if (atEnd()) {
                    dumpCut(key, value, "the report ends");
                    return;
                }
                text = line();
                if (!startsWith(text, dumpIndent)) {
                    fail("expected the next line of the dump of " + quoted(key) +
                         ": 8 spaces and " + rowShape);
                }
                text.remove_prefix(dumpIndent.size());
            }
            const std::size_t wanted = std::min(bytesPerLine, shown - value.bytes.size());
            report_reading::DumpRow row = report_reading::readDumpRow(text, wanted, value.bytes);
            const bool lastRow = value.bytes.size() - row.bytesRead + wanted == shown;
            bool rowWhole = row.bytesRead == wanted;
            if (rowWhole && lastRow && *length > bytesShown) {
                rowWhole = !row.trailingSpaceMissing &&
                           text == "... (" + std::to_string(*length) + " total)";
                text = rowWhole ? std::string_view() : text;
            }
            if (!rowWhole || !text.empty()) {
                if (lastLineCut(at_)) {
                    dumpCut(key, value, "the report's last line is cut short");
                    return;
                }
                fail("expected " + std::to_string(wanted) + " bytes as \"xx \" on this line of " +
                     "the dump of " + quoted(key) +
                     (lastRow && *length > bytesShown
                          ? ", then \"... (" + std::to_string(*length) + " total)\""
                          : std::string()) +
                     ", and nothing after them");
            }
            if (row.trailingSpaceMissing) {
                trailingSpaceMissing();
            }
        }
        ++at_;
    }

    void dumpCut(std::string_view key, const PropertyValue &value, const std::string &what)
    {
        if (section_ == Section::service) {
            note("line " + std::to_string(lineNumber()) + ": " + what + " in the dump of " +
                 quoted(key) + ": " + std::to_string(value.bytes.size()) + " of its " +
                 std::to_string(value.length) + " bytes are in the report");
        }
        at_ = text_.lines.size();
    }

    void trailingSpaceMissing()
    {
        if (!trailingSpacesNoted_) {
            trailingSpacesNoted_ = true;
            note("line " + std::to_string(lineNumber()) +
                 ": a dump line lacks the space a report prints after its last byte (a "
                 "terminal's copy drops trailing spaces); such lines are read as if it were "
                 "there");
        }
    }

    // A string is printed unescaped, so its text may hold quotes and line
    // feeds. It ends at the first line that ends with a quote and is
    // followed by a line the report could print next; its text is never
    // longer than 511 bytes, which bounds the search. When no such line
    // comes, the first line that ends with a quote ends it after all, and
    // the line after it is where the report breaks.
    std::optional<PropertyValue> readString(const WalkedEntry &entry, std::string_view key,
                                            std::string_view text)
    {
        const std::size_t first = at_;
        std::string content;
        std::optional<std::pair<std::size_t, std::size_t>> firstClosing; // line, text length
        text.remove_prefix(1);
        for (std::size_t index = first;; ++index) {
            if (index != first) {
                if (atEnd(index)) {
                    if (firstClosing) {
                        break;
                    }
                    at_ = text_.lines.size();
                    if (section_ == Section::service) {
                        note("line " + std::to_string(text_.lines[first].number) +
                             ": the report ends inside the string value of " + quoted(key) +
                             ", which is left out");
                    }
                    return std::nullopt;
                }
                text = text_.lines[index].text;
                content += '\n';
            }
            const bool closes = !text.empty() && text.back() == '"';
            content.append(text.substr(0, closes ? text.size() - 1 : text.size()));
            if (content.size() > longestString) {
                if (firstClosing) {
                    break;
                }
                at_ = first;
                fail("expected the string value of " + quoted(key) +
                     " to close with a quote within the 511 bytes a report shows of a string");
            }
            if (closes && followsProbe(index + 1, entry.depth, *lastKey_)) {
                return closedString(key, first, index, std::move(content));
            }
            if (closes && !firstClosing) {
                firstClosing = std::make_pair(index, content.size());
            }
            content.append(closes ? "\"" : "");
        }
        content.resize(firstClosing->second);
        return closedString(key, first, firstClosing->first, std::move(content));
    }

    PropertyValue closedString(std::string_view key, std::size_t first, std::size_t last,
                               std::string content)
    {
        if (last != first && section_ == Section::service) {
            note("line " + std::to_string(text_.lines[first].number) + ": the string value of " +
                 quoted(key) + " holds line feeds; it is read up to line " +
                 std::to_string(text_.lines[last].number) +
                 ", the first that ends with a quote and is followed by a report line");
        }
        at_ = last + 1;
        PropertyValue value;
        value.kind = PropertyValue::Kind::string;
        value.text = std::move(content);
        return value;
    }

    // Whether the line at index can follow a probe line of key index key on
    // an entry at depth: the end, a later probe line of the same entry, an
    // entry line at most one level deeper, or the empty lines before the
    // next header.
    bool followsProbe(std::size_t index, unsigned depth, std::size_t key) const
    {
        if (atEnd(index)) {
            return true;
        }
        const std::string_view text = text_.lines[index].text;
        if (isBlank(text)) {
            const std::string_view header =
                section_ == Section::service ? powerHeader : interestHeader;
            return atEnd(index + 1) ||
                   (isBlank(text_.lines[index + 1].text) &&
                    (atEnd(index + 2) || text_.lines[index + 2].text == header));
        }
        const std::size_t spaces = leadingSpaces(text);
        std::string_view rest = text.substr(spaces);
        if (startsWith(rest, "[")) {
            return spaces % 2 == 0 && spaces / 2 <= depth + 1 &&
                   report_reading::readEntryLine(rest).has_value();
        }
        if (spaces != indentOf(depth + 1) || !startsWith(rest, probeMarker)) {
            return false;
        }
        rest.remove_prefix(probeMarker.size());
        const std::size_t colon = rest.find(": ");
        auto later = probedKeyIndex(rest.substr(0, colon));
        return colon != std::string_view::npos && later && *later > key;
    }

    ReportLines text_;
    std::size_t at_ = 0;
    Section section_ = Section::service;
    std::optional<std::size_t> lastKey_;
    bool trailingSpacesNoted_ = false;
    RegistryWalk walk_;
    std::vector<WalkedEntry> checked_; // the IOPower section's, discarded
};

} // namespace

std::variant<RegistryWalk, ReportParseError> parseReport(std::string_view input)
{
    try {
        auto lines = report_reading::readReportLines(input);
        if (auto *error = std::get_if<ReportParseError>(&lines)) {
            return std::move(*error);
        }
        if (std::get<ReportLines>(lines).lines.empty()) {
            return ReportParseError{1, "the report holds only blank lines"};
        }
        ReportReader reader(std::move(std::get<ReportLines>(lines)));
        try {
            return reader.read();
        } catch (const LineError &error) {
            return ReportParseError{error.line, error.message};
        } catch (const std::bad_alloc &) {
            return ReportParseError{reader.lineNumber(), "not enough memory to read the report"};
        }
    } catch (const std::bad_alloc &) {
        return ReportParseError{1, "not enough memory to read the report"};
    }
}

} // namespace explain
