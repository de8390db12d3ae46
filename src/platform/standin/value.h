// The stand-in's property values: immutable, shared between the registry
// that holds them and every reference handed out for them.
#ifndef PORTPROBE_STANDIN_VALUE_H
#define PORTPROBE_STANDIN_VALUE_H

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "platform/standin/cf_api.h"

namespace standin {

enum class Kind { data, number, string, dictionary, array, boolean, date, set };

struct Value;
using ValuePtr = std::shared_ptr<const Value>;

struct Number {
    bool isReal = false;
    std::int64_t integer = 0; // the 64 bits of an integer, whatever its sign
    double real = 0.0;
};

struct Date {
    double secondsSince2001 = 0.0; // the system's reference date
};

using Bytes = std::vector<std::uint8_t>;
using DictionaryItems = std::vector<std::pair<ValuePtr, ValuePtr>>;
using ArrayItems = std::vector<ValuePtr>;
// A set's members, kept apart from an array's items by their type. The
// system keeps a set in no order of its own; this one keeps them as given.
struct SetItems {
    ArrayItems members;
};

struct Value {
    std::variant<Bytes, Number, std::u16string, DictionaryItems, ArrayItems, bool, Date, SetItems>
        content;

    Kind kind() const { return static_cast<Kind>(content.index()); }
    template <class T>
    const T *as() const
    {
        return std::get_if<T>(&content);
    }
};

ValuePtr makeData(Bytes bytes);
ValuePtr makeInteger(std::int64_t value);
// Keeps the 64 bits: a value above INT64_MAX reads back as the negative
// number with the same bits, as the system's numbers do.
ValuePtr makeUnsigned(std::uint64_t value);
ValuePtr makeReal(double value);
// The text must be valid UTF-8; throws std::invalid_argument otherwise.
ValuePtr makeString(std::string_view utf8);
// Any code units, unpaired surrogates included.
ValuePtr makeUtf16String(std::u16string units);
ValuePtr makeDictionary(DictionaryItems items);
ValuePtr makeDictionary(std::vector<std::pair<std::string, ValuePtr>> items);
ValuePtr makeArray(ArrayItems items);
// Members equal to an earlier one are dropped, as a set holds each once.
ValuePtr makeSet(ArrayItems members);
ValuePtr makeBoolean(bool value);
ValuePtr makeDate(double secondsSince2001);

// The type identifier that CFGetTypeID reports for each kind.
CFTypeID typeIdOf(Kind kind);
const char *kindName(Kind kind);

// Strings that a program makes from the same text again and again (the keys
// it looks properties up by) share one value: values never change, so a
// reference cannot tell, and a new reference then costs neither a conversion
// nor an allocation. At most a few hundred texts are kept, so that the cache
// does not grow with the number of different texts.
class StringCache {
public:
    // The string holding the UTF-8 text, or null when the text is not valid
    // UTF-8.
    ValuePtr find(std::string_view utf8);

private:
    struct Slot {
        std::string text;
        ValuePtr value; // null in a free slot
    };
    static constexpr unsigned slotBits = 9;
    static constexpr std::size_t slotCount = std::size_t{1} << slotBits;
    static constexpr std::size_t mostTexts = slotCount / 2;

    std::vector<Slot> slots_;
    std::size_t count_ = 0;
};

// Whether two values are equal as dictionary keys: strings, data, numbers,
// booleans and dates by what they hold (an integer equals a real of the same
// value), containers only to themselves.
bool equalKeys(const Value &a, const Value &b);

// A short human description, for audit messages.
std::string describeValue(const Value &value);

// Converts a number to a C type of the system's number types. Returns false
// when the result is not exactly the stored value; the result is always
// defined: reals truncate toward zero, NaN gives 0, and out-of-range values
// saturate at the target's limits.
bool convertNumber(const Number &number, CFNumberType type, void *out);

} // namespace standin

#endif
