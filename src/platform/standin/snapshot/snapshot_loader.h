// Reads registry snapshots (property lists, XML or binary, or the text that
// `ioreg` writes) into the stand-in's registry. Two layouts are read:
//
// 1. a capture of one plane: an entry dictionary, or an array of them;
// 2. a map of planes: plane names to that plane's root entries, each a
//    dictionary or an array of dictionaries, read in the order listed.
//
// An entry holds "IOObjectClass", optionally "IORegistryEntryName" (the class
// when absent), "IORegistryEntryID", "IORegistryEntryLocation" and
// "IORegistryEntryChildren"; every other key is one of its properties. The ID
// and the location are the entry's own, as the system reports them: the ID
// is what IORegistryEntryGetRegistryEntryID gives (an entry without one gets
// one the stand-in makes, which no snapshot ID can clash with), the location
// what IORegistryEntryGetLocationInPlane gives in the plane it was written
// in. Occurrences that share an ID, in any plane or snapshot, are one entry:
// the first gives its class, name and properties, the first in each plane
// lists its children there (and gives its location there), and every later
// one is only a link, which is how several parents and cycles are written.
//
// The registry's root: a top-level entry of class "IORegistryEntry" named
// "Root" (what `ioreg -a -p PLANE` writes) is the root itself, its children
// the root's children in that plane. Any other top-level entry (a capture of
// matched entries, `ioreg -a -r -c CLASS`, or a plane's roots in a map of
// planes) becomes a child of the root in its plane, so that a reader that
// starts from the root finds every entry a snapshot holds.
//
// Text is read as the capture of one plane that `ioreg -a` would write for
// it (see ioreg_text_reader.h); its problems name their line. An XML list
// cut short is read as far as it is whole (see xml_plist_cut.h), and any
// other fault of one names its line and column; a binary list that cannot
// be read names its byte. An entry whose "IOObjectClass" is the empty string
// is an entry of unknown class, as pieces of captures hold (lines pasted
// without their entry line, a list cut before an entry's class).
#ifndef PORTPROBE_STANDIN_SNAPSHOT_LOADER_H
#define PORTPROBE_STANDIN_SNAPSHOT_LOADER_H

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/standin/value.h"

namespace snapshot {

// Gathers snapshots and checks them whole before anything reaches the
// registry, so that bad input leaves the registry as it was.
class SnapshotLoader {
public:
    // Adds one snapshot. plane names the plane of a one-plane capture
    // ("IOService" when empty). Returns what is wrong, or nothing; a snapshot
    // that is refused adds nothing.
    std::optional<std::string> add(std::string_view bytes, const std::string &plane = "");
    // Reads the file and adds it; the message does not name the file.
    std::optional<std::string> addFile(const std::string &path, const std::string &plane = "");

    // Adds every entry and link to the stand-in's registry. Returns the IDs
    // that the registry made for the entries the snapshots gave none (and
    // for the root when none wrote it with its ID): numbers of the stand-in,
    // not of the Mac, which a tool must not show as the entries' own.
    std::unordered_set<std::uint64_t> commit() const;

    std::size_t entryCount() const { return entries_.size(); }

    // What was undone or left out in reading the snapshots added (paste
    // damage, lines cut at a terminal's width), in the order found; said
    // once each per snapshot.
    const std::vector<std::string> &notes() const { return notes_; }

private:
    struct Entry {
        std::string className;
        std::string name;
        std::vector<std::pair<std::string, standin::ValuePtr>> properties;
        std::optional<std::uint64_t> registryId;
        std::vector<std::pair<std::string, std::string>> locations; // plane, location
        bool isRoot = false;
    };
    struct Link {
        std::string plane;
        std::size_t parent;
        std::size_t child;
    };
    class Reader;

    // Adds the snapshot in bytes. With owner, whose contents the bytes are,
    // the owner is emptied as soon as the bytes are parsed.
    std::optional<std::string> addBytes(std::string_view bytes, std::string *owner,
                                        const std::string &plane);
    void addText(std::string_view text, const std::string &plane);
    void addPropertyListAfterText(std::string_view list, std::size_t firstLine,
                                  const std::string &plane);

    std::vector<Entry> entries_;
    std::unordered_map<std::uint64_t, std::size_t> byId_;
    std::set<std::pair<std::string, std::size_t>> listed_;
    std::vector<Link> links_;
    std::optional<std::size_t> root_; // the registry's root, once a snapshot needs it
    bool rootWritten_ = false;        // whether a snapshot wrote the root itself
    std::set<std::pair<std::string, std::size_t>> rootChildren_; // plane, child
    std::vector<std::string> notes_;
};

// The message for a problem of the snapshot named file: "FILE:LINE: ..."
// when the problem names its line, "FILE: ..." otherwise.
std::string snapshotProblem(const std::string &file, const std::string &problem);

// Loads the sample registry built into the program.
std::optional<std::string> loadBuiltInSample();

} // namespace snapshot

#endif
