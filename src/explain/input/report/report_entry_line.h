// An entry line after its indentation: "[class] name", then optionally
// " (UserClient: X)" and " [Y]". Class, name and annotation texts may hold
// the very brackets and words that delimit them; the reading taken is the
// one a real registry makes likely: classes are identifiers, so the class
// ends at the first "] ", and the annotations are the last ones on the line.
#ifndef PORTPROBE_EXPLAIN_REPORT_ENTRY_LINE_H
#define PORTPROBE_EXPLAIN_REPORT_ENTRY_LINE_H

#include <optional>
#include <string_view>

namespace explain::report_reading {

struct EntryLine {
    std::string_view className;
    std::string_view name;
    std::optional<std::string_view> userClient;
    std::optional<std::string_view> bundle;
    // The name read still holds " (UserClient: " or " [", so another
    // reading would have given it a different name.
    bool nameAmbiguous = false;
};

// Nothing when text is no entry line of a report, or when its texts are
// longer than a report prints them.
std::optional<EntryLine> readEntryLine(std::string_view text);

} // namespace explain::report_reading

#endif
