// Reading the properties of captured entries as real captures hold them: a
// key may be missing, a number on one machine and a boolean on another, a
// 32-bit object stored sign-extended. A value of the wrong type reads as
// unknown, never as a guess.
#ifndef PORTPROBE_EXPLAIN_CAPTURED_VALUES_H
#define PORTPROBE_EXPLAIN_CAPTURED_VALUES_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "explain/input/walk_model.h"

namespace explain {

// The first member with that key, or null.
const PropertyValue *memberOf(const std::vector<DictionaryMember> &members, std::string_view key);
// The same inside a dictionary value (null when value is not one).
const PropertyValue *memberOf(const PropertyValue *value, std::string_view key);

// A whole number (a real is taken only when it has no fraction).
std::optional<std::int64_t> integerOf(const PropertyValue *value);
// A boolean, or a number read as one (0 false, anything else true).
std::optional<bool> flagOf(const PropertyValue *value);
// A string's text, made valid UTF-8.
std::optional<std::string> textOf(const PropertyValue *value);
// The strings of an array, in its order; other items are passed over.
std::vector<std::string> stringsOf(const PropertyValue *value);
// A 16-bit ID held as a number from 0 to 0xffff.
std::optional<std::uint32_t> id16Of(const PropertyValue *value);

// A 32-bit object held as a number: 0 to 2^32-1, or a negative number from
// -2^31 that is the object sign-extended (signExtended then set).
std::optional<std::uint32_t> object32Of(const PropertyValue *value, bool &signExtended);

// True for a dictionary with at least one member.
bool holdsMembers(const PropertyValue *value);

// A signed quantity that some machines store as a 32-bit number
// sign-extended and others as its 32-bit pattern: 4294966813 is -483.
std::optional<std::int64_t> signed32Of(const PropertyValue *value);

// a times b over 1000 (mV times mA in mW), or null when the product does
// not fit: captures may hold any number.
std::optional<std::int64_t> milliProduct(std::int64_t a, std::int64_t b);

} // namespace explain

#endif
