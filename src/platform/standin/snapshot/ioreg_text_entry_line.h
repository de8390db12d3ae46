// Reads the entry line of `ioreg` text, after its "+-o ":
//
//   NAME@LOCATION  <class CLASS, id 0xID, registered, ...>
//
// A line cut at a terminal's width (or where a paste ends) keeps what it
// holds whole: cut in its details, it loses nothing; cut inside its ID, it
// has no ID; cut inside its class, it has no class; cut before "<class ",
// neither its name nor its class is known (what stands there may be cut).
#ifndef PORTPROBE_STANDIN_SNAPSHOT_IOREG_TEXT_ENTRY_LINE_H
#define PORTPROBE_STANDIN_SNAPSHOT_IOREG_TEXT_ENTRY_LINE_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace snapshot {

extern const char *const entryLineForm; // how a message names an entry line

struct EntryLine {
    enum class Lost {
        nothing, // whole, or cut after its class and ID
        id,      // cut inside its ID, or before the text says whether it has one
        classAndId,
        nameClassAndId, // cut before "<class "
    };
    std::string_view name; // without "@LOCATION"; empty when lost
    std::optional<std::string_view> location;
    std::optional<std::string_view> className;
    std::optional<std::uint64_t> id;
    bool cut = false; // it ends before its ">"
    Lost lost = Lost::nothing;
};

// Reads rest, the line after "+-o ". Returns what is wrong, for a line that
// is no entry line even cut ("expected ..."), or nothing.
std::optional<std::string> readEntryLine(std::string_view rest, EntryLine &line);

} // namespace snapshot

#endif
