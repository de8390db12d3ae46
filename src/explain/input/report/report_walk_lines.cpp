#include "explain/input/report/report_reader.h"

#include "explain/input/report/report_entry_line.h"
#include "explain/input/report/report_format.h"
#include "report/property_keys.h"

namespace explain::report_reading {

using namespace report_format;

// Entry and probe lines up to the first blank line or the end.
void ReportReader::readWalk(Section section)
{
    section_ = section;
    std::vector<WalkedEntry> &entries = section == Section::service ? walk_.entries : checked_;
    std::vector<std::string> path;
    while (!atEnd() && !isBlank(line())) {
        if (text_.lines[at_].outside) {
            // Where the lines that have the report's quoting prefix or
            // indentation stop, so does the report.
            if (entries.empty()) {
                fail("expected the " +
                     std::string(startsWith(text_.decoration, ">") ? "quoting prefix "
                                                                   : "indentation ") +
                     excerptOf(text_.decoration) + " that the report's first line has");
            }
            endsBefore(section == Section::service
                           ? "within its first section, where the lines with the report's "
                             "prefix stop: entries after that line, if the registry had any, are "
                             "not in the report"
                           : "within its IOPower section; its first section is whole");
        }
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

void ReportReader::readEntry(std::vector<WalkedEntry> &entries, std::vector<std::string> &path,
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
    auto read = readEntryLine(text);
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

void ReportReader::readProbe(WalkedEntry &entry, std::string_view text)
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

// Whether the line at index can follow a probe line of key index key on
// an entry at depth: the end, a later probe line of the same entry, an
// entry line at most one level deeper, or the empty lines before the
// next header.
bool ReportReader::followsProbe(std::size_t index, unsigned depth, std::size_t key) const
{
    if (atEnd(index)) {
        return true;
    }
    const std::string_view text = text_.lines[index].text;
    if (isBlank(text)) {
        const std::string_view header = section_ == Section::service ? powerHeader : interestHeader;
        return atEnd(index + 1) || (isBlank(text_.lines[index + 1].text) &&
                                    (atEnd(index + 2) || text_.lines[index + 2].text == header));
    }
    const std::size_t spaces = leadingSpaces(text);
    std::string_view rest = text.substr(spaces);
    if (startsWith(rest, "[")) {
        return spaces % 2 == 0 && spaces / 2 <= depth + 1 && readEntryLine(rest).has_value();
    }
    if (spaces != indentOf(depth + 1) || !startsWith(rest, probeMarker)) {
        return false;
    }
    rest.remove_prefix(probeMarker.size());
    const std::size_t colon = rest.find(": ");
    auto later = probedKeyIndex(rest.substr(0, colon));
    return colon != std::string_view::npos && later && *later > key;
}
} // namespace explain::report_reading
