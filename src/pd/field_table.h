// One description per kind of 32-bit object: each field's bits, JSON name,
// words and unit, and the names of its code points. Both views of an object,
// the JSON members and the plain-words line, are read from the same table, so
// a table can be checked against the standard line by line and the two views
// cannot disagree.
#ifndef PORTPROBE_PD_FIELD_TABLE_H
#define PORTPROBE_PD_FIELD_TABLE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace pd {

using Json = nlohmann::ordered_json;

// The value of bits high..low of object, shifted down.
constexpr std::uint32_t bitsOf(std::uint32_t object, unsigned high, unsigned low)
{
    const unsigned width = high - low + 1;
    const std::uint32_t mask = width >= 32 ? 0xffffffffU : ((1U << width) - 1U);
    return (object >> low) & mask;
}

enum class Unit { none, millivolts, milliamps, milliwatts, watts, celsius, milliohms };

// A named value of a code field. JSON shows `name`, or `number` when name is
// null; the text shows `words` (nothing when empty).
struct CodePoint {
    std::uint32_t code;
    const char *name;
    std::int64_t number;
    const char *words;
};

enum class FieldShape {
    flag,          // a boolean, true when the bit is set
    flagWhenClear, // a boolean the standard states as "0 = yes"
    quantity,      // the raw value times scale, an integer in unit
    number,        // the raw value as it stands
    hex,           // the raw value as it stands, written in hex in the text
    code,          // one of codes; any other value is reserved
    letters,       // bit n set = letter 'A' + n (pin assignments)
};

struct Field {
    const char *name;  // JSON member
    const char *label; // text: a flag's words when true, the value's name otherwise;
                       // null: the field is not said in the details
    unsigned high;
    unsigned low;
    FieldShape shape;
    std::uint32_t scale;
    Unit unit;
    const CodePoint *codes;
    std::size_t codeCount;
    // A reserved code reads as JSON null; otherwise as "reserved" when the
    // code points are named, as the code itself when they are numbered.
    bool reservedIsNull;
    unsigned letterCount; // letters: bits past this many are reserved
};

constexpr Field flag(const char *name, unsigned bit, const char *label)
{
    return {name, label, bit, bit, FieldShape::flag, 1, Unit::none, nullptr, 0, false, 0};
}

constexpr Field flagWhenClear(const char *name, unsigned bit, const char *label)
{
    return {name, label, bit, bit, FieldShape::flagWhenClear, 1, Unit::none, nullptr, 0, false, 0};
}

constexpr Field quantity(const char *name, unsigned high, unsigned low, std::uint32_t scale,
                         Unit unit, const char *label)
{
    return {name, label, high, low, FieldShape::quantity, scale, unit, nullptr, 0, false, 0};
}

constexpr Field number(const char *name, unsigned high, unsigned low, const char *label)
{
    return {name, label, high, low, FieldShape::number, 1, Unit::none, nullptr, 0, false, 0};
}

constexpr Field hex(const char *name, unsigned high, unsigned low, const char *label)
{
    return {name, label, high, low, FieldShape::hex, 1, Unit::none, nullptr, 0, false, 0};
}

template <std::size_t N>
constexpr Field code(const char *name, unsigned high, unsigned low, const CodePoint (&codes)[N],
                     const char *label, bool reservedIsNull = false)
{
    return {name, label, high, low, FieldShape::code, 1, Unit::none, codes, N, reservedIsNull, 0};
}

constexpr Field letters(const char *name, unsigned high, unsigned low, unsigned letterCount,
                        const char *label)
{
    return {name,       label,   high, low,   FieldShape::letters, 1,
            Unit::none, nullptr, 0,    false, letterCount};
}

// How one kind of object reads. The headline is a text template: "{name}" is
// the field's value in its unit's text (V, A, W with their decimals), and
// "{a*b}" the product of two fields in watts. Fields the headline names are
// not repeated; the others follow after "; ", set flags and values alike.
struct Layout {
    const char *headline;
    const Field *fields;
    std::size_t fieldCount;
};

template <std::size_t N>
constexpr Layout layout(const char *headline, const Field (&fields)[N])
{
    return {headline, fields, N};
}

// Which of an object's two views a decoder makes: its words (the text's
// lines) and its JSON. What is wrong with the object, its reserved codes and
// the notes made of them, is found either way. A program that shows one view
// asks for that one alone.
struct Views {
    bool words = true;
    bool json = true;
};

// An object read through its layout. nlohmann's destructor may allocate (it
// frees deep documents without recursion); were that to fail the program
// ends, as on any failed allocation.
// NOLINTNEXTLINE(bugprone-exception-escape)
struct DecodedObject {
    Json json;                         // an object; null without the JSON view
    std::string headline;              // the headline with its values filled in
    std::vector<std::string> details;  // the other fields' words, in table order
    std::vector<std::string> reserved; // "reserved <label> code N", one per field
    // headline, then "; " and the details joined by ", " when there are any.
    std::string line() const;
};

// Reads object through layout, appending its members to `json` (null, or an
// object that already holds members such as a position). Without the JSON
// view, `json` is kept as it is given; without the words, headline and
// details are empty.
DecodedObject decodeObject(std::uint32_t object, const Layout &layout, Json json = Json(),
                           Views views = {});

// The raw value of the named field of layout, or 0 when it has none.
std::uint32_t rawField(std::uint32_t object, const Layout &layout, const char *name);
// A quantity field in its unit (raw times scale), or 0 when there is none.
std::int64_t quantityField(std::uint32_t object, const Layout &layout, const char *name);

// Text of amounts: "5.00" for 5000 mV or mA (three decimals when needed),
// "15", "7.5" or "0.25" for watts from milliwatts.
std::string twoDecimals(std::int64_t thousandths);
std::string trimmedDecimals(std::int64_t thousandths);
std::string hex32(std::uint32_t value); // "0x0001912c"
std::string hex16(std::uint32_t value); // "0x2eb9"

} // namespace pd

#endif
