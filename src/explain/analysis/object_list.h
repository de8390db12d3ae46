// The shape rules of a "list of 32-bit objects": data whose length is a
// multiple of 4 (each 4 bytes one object, little-endian), a number from 0 to
// 2^32-1 or a sign-extended negative one down to -2^31 (one object), or an array whose items are
// each 4-byte data or such a number. Nothing else is read as objects.
#ifndef PORTPROBE_EXPLAIN_OBJECT_LIST_H
#define PORTPROBE_EXPLAIN_OBJECT_LIST_H

#include <cstdint>
#include <string>
#include <vector>

#include "explain/input/walk_model.h"

namespace explain {

struct ObjectList {
    bool fits = false;                  // the value has the shape of a list
    std::vector<std::uint32_t> objects; // the objects known
    std::size_t total = 0;              // how many the whole value holds
    // Why the value is not a list (fits false), in words for a note.
    std::string whyNot;
    // What of the list is missing (not in the report); empty when whole.
    std::vector<std::string> missing;
    // How a value was read that a reader would not expect (a sign-extended
    // negative number taken as its 32-bit object).
    std::vector<std::string> notes;
};

ObjectList readObjectList(const PropertyValue &value);

// SVIDs are 16-bit: a number up to 0xFFFF or 2-byte data is one SVID; a
// 32-bit object (4-byte data, or a larger number) holds two, as a Discover
// SVIDs VDO does, upper half first, zeros left out.
ObjectList readSvidList(const PropertyValue &value);

// The value's kind in words: "a string", "a dictionary", ...
std::string kindWords(const PropertyValue &value);

} // namespace explain

#endif
