// The reader of a report's grammar, shared by the files that each read one
// part of it: the sections and their headers (report_reader.cpp), the entry
// and probe lines of a walk (report_walk_lines.cpp), and the values that may
// run over several lines, dumps and strings (report_value_lines.cpp).
#ifndef PORTPROBE_EXPLAIN_REPORT_READER_H
#define PORTPROBE_EXPLAIN_REPORT_READER_H

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "explain/input/report/report_lines.h"
#include "explain/input/walk_model.h"

namespace explain::report_reading {

// Thrown inside the reader only: a line that breaks the grammar.
struct LineError {
    std::size_t line;
    std::string message;
};

// Thrown inside the reader only: the input ended where the report goes on.
struct InputEnded {};

inline std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

inline bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

inline std::size_t leadingSpaces(std::string_view text)
{
    return std::min(text.find_first_not_of(' '), text.size());
}

// The spaces before the lines of a level.
inline std::size_t indentOf(std::size_t level) { return 2 * level; }

// The sections that hold entries: the first feeds the walk, the second is
// only checked.
enum class Section { service, power };

class ReportReader {
public:
    explicit ReportReader(ReportLines lines) : text_(std::move(lines)) {}

    // Throws LineError where the lines break the grammar.
    RegistryWalk read();

    std::size_t lineNumber() const;

private:
    bool atEnd() const { return at_ >= text_.lines.size(); }
    bool atEnd(std::size_t index) const { return index >= text_.lines.size(); }
    std::string_view line() const { return text_.lines[at_].text; }
    [[noreturn]] void fail(const std::string &message) const;
    void note(std::string text) { text_.notes.push_back(std::move(text)); }

    // Sections (report_reader.cpp).
    [[noreturn]] void ended(const std::string &where);
    bool textFollows() const;
    [[noreturn]] void endsBefore(const std::string &where);
    void endedInFirstSection();
    void readSections();
    void expectEmpty(const std::string &what);
    void expectSectionBreak(std::string_view header, const char *section);
    void readInterestLines();
    void readInterestLine(std::string_view opening);

    // Entry and probe lines (report_walk_lines.cpp).
    void readWalk(Section section);
    void readEntry(std::vector<WalkedEntry> &entries, std::vector<std::string> &path,
                   std::size_t spaces, std::string_view text);
    void readProbe(WalkedEntry &entry, std::string_view text);
    bool followsProbe(std::size_t index, unsigned depth, std::size_t key) const;

    // Values (report_value_lines.cpp).
    std::optional<PropertyValue> readValue(const WalkedEntry &entry, std::string_view key,
                                           std::string_view text);
    bool lastLineCut(std::size_t index) const;
    void readDump(std::string_view key, std::string_view text, PropertyValue &value);
    void dumpCut(std::string_view key, const PropertyValue &value, const std::string &what);
    void trailingSpaceMissing();
    std::optional<PropertyValue> readString(const WalkedEntry &entry, std::string_view key,
                                            std::string_view text);
    PropertyValue closedString(std::string_view key, std::size_t first, std::size_t last,
                               std::string content);

    ReportLines text_;
    std::size_t at_ = 0;
    Section section_ = Section::service;
    std::optional<std::size_t> lastKey_;
    bool trailingSpacesNoted_ = false;
    bool firstSectionWhole_ = false; // its walk has been read to its end
    RegistryWalk walk_;
    std::vector<WalkedEntry> checked_; // the IOPower section's, discarded
};

} // namespace explain::report_reading

#endif
