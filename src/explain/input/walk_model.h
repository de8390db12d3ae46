// What portprobe-explain reads, wherever it comes from: the entries of the
// port controllers' subtrees in walk order, each with the probed properties
// it carries. The live registry (registry_reader) and a pasted report
// (report_parser) both produce it; nothing here touches the platform.
#ifndef PORTPROBE_EXPLAIN_WALK_MODEL_H
#define PORTPROBE_EXPLAIN_WALK_MODEL_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace explain {

struct DictionaryMember;

// One property value. A report shows less than the registry holds, so a
// value says what of it is known: a container read from a report knows only
// its size, a boolean only that it is one, data at most its first 128 bytes.
struct PropertyValue {
    enum class Kind {
        data,
        integer,
        real,
        string,
        unconvertibleString,
        boolean,
        dictionary,
        array,
        other
    };
    Kind kind = Kind::other;

    // data: the bytes known; length is the whole length, which is more than
    // bytes.size() when a report cut the dump.
    std::vector<std::uint8_t> bytes;
    std::int64_t length = 0;

    // integer: the 64 bits as a signed number, as the report prints them.
    std::int64_t integer = 0;
    // real: the stored value; integer holds it converted as the report does.
    double real = 0.0;
    // string: its UTF-8 text.
    std::string text;
    bool boolean = false;

    // dictionary and array: how many members or items there are.
    std::int64_t count = 0;
    // dictionary: the members read (only those a reader looks for);
    // array: every item, containers inside it by their size only.
    std::vector<DictionaryMember> members;
    std::vector<PropertyValue> items;

    // other: the value's type identifier.
    unsigned long typeId = 0;

    // False when only the kind (booleans) or the size (containers) is
    // known, as from a report.
    bool contentsKnown = true;
    // array: read from a set, whose items come in no particular order.
    bool unordered = false;
};

struct DictionaryMember {
    std::string key;
    PropertyValue value;
};

// One entry of a walk, in depth-first pre-order as section 1 of the report
// prints them; an entry reached along two paths appears once for each.
struct WalkedEntry {
    unsigned depth = 0;            // 0 for a port controller
    std::vector<std::string> path; // entry names from the controller down to this one
    std::string className;
    // The probed properties the entry carries, in the report's key order.
    std::vector<std::pair<std::string, PropertyValue>> properties;
    // For a probed property that is a number, the words the registry gives
    // it beside ("DataRole" 2 and "DataRoleDescription" "Host"), by the
    // probed key. A report holds none.
    std::vector<std::pair<std::string, std::string>> descriptions;
};

struct RegistryWalk {
    std::vector<WalkedEntry> entries;
    // Said once about the whole input (what a report cannot hold, readings
    // a parser chose); empty for a registry.
    std::vector<std::string> notes;
};

} // namespace explain

#endif
