// Reads the text that `ioreg` writes (with or without -l, whole or cut at a
// terminal's width, one tree or several) into the property list that
// `ioreg -a` writes for the same entries: an array of root entries, each a
// dictionary of "IOObjectClass", "IORegistryEntryName",
// "IORegistryEntryLocation" (the "@..." of the name, when there is one),
// "IORegistryEntryID", the properties and "IORegistryEntryChildren".
//
// A line of the text is one of
// - an entry line: the tree's drawing ("| " or two spaces a level), "+-o ",
//   the name, and "<class CLASS, id 0xID, ...>";
// - below an entry line, its properties: "{" and "}" four columns right of
//   its "+-o", between them one `"KEY" = VALUE` a line, six columns right;
//   a dictionary or array opened at the end of a property's line may run
//   over the lines below it, one member a line, up to its closing "}" or ")"
//   (see ioreg_text_value_lines.h);
// - a property line outside "{" and "}", at any column: after an entry line
//   that has none, a property of that entry; anywhere else (grep output,
//   lines copied from inside an entry, a window that begins inside one),
//   a property of an entry of unknown class whose line is not in the text,
//   one such entry for the lines up to the next entry line or "}" (a key met
//   again begins another);
// - the tree's drawing alone, or nothing;
// - the first line of a property list ("<?xml", "<plist", "<!DOCTYPE"),
//   which ends the text: the rest is read as that property list;
// - outside the entries' properties, prose or another command's output,
//   which ends the tree it follows and is skipped: within a tree, a line
//   that starts with neither "|" nor a space; outside the trees, anything
//   else.
// A property line cut at a terminal's width is left out, and so is one that
// reads whole but is exactly as wide as a line that was surely cut. An entry
// line cut there keeps its entry, without what the cut took: its ID, its
// class, its name. The first entry line, at any column, starts a tree; later
// ones nest by their column, and one with no open entry to its left starts
// a tree of its own, as each match of `ioreg -r` does.
//
// Cut anywhere, the text keeps what came whole before the cut: properties
// that stop without their "}" (at the text's end, before prose, or at the
// next entry line), a value that never closes (left out), an entry line
// that lost its class at the end (left out). One note says where each cut
// is. Tabs in the tree's drawing are read as a terminal's, every 8 columns,
// and when the text does not read so, as an editor's, every 4 or 2.
#ifndef PORTPROBE_STANDIN_SNAPSHOT_IOREG_TEXT_READER_H
#define PORTPROBE_STANDIN_SNAPSHOT_IOREG_TEXT_READER_H

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/standin/snapshot/ioreg_text_values.h"

namespace snapshot {

struct IoregText {
    PlistTree roots; // an array of entry dictionaries
    // What was undone or left out, each said once.
    std::vector<std::string> notes;
    // The line of each entry dictionary.
    std::unordered_map<const void *, std::size_t> entryLines;
    // Where a property list begins in the text, when one does: its byte
    // offset (at the start of its line) and its line.
    std::optional<std::size_t> propertyListAt;
    std::size_t propertyListLine = 0;
};

// True when the bytes start as a property list does (binary, or XML after
// any byte order mark and white space), or are empty; text otherwise.
bool looksLikePropertyList(std::string_view bytes);

// Reads the text; entries and values nest at most deepest levels in all.
// Returns what is wrong as "LINE: what was expected: the start of the line".
// Text that holds no entry line, no property line and no property list is
// refused.
std::optional<std::string> readIoregText(std::string_view text, unsigned deepest, IoregText &out);

// "LINE: what: the start of the line", for a problem found on that line.
std::string textLineProblem(std::string_view text, std::size_t line, const std::string &what);

// The line of the entry that "1.2.3" (root 1, its child 2, its child 3)
// names, or 0.
std::size_t lineOfEntryPath(const IoregText &read, std::string_view path);

} // namespace snapshot

#endif
