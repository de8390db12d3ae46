// What decoding one property's objects gives: its JSON, its lines in plain
// words, and what is worth saying about it.
#ifndef PORTPROBE_PD_DECODED_PROPERTY_H
#define PORTPROBE_PD_DECODED_PROPERTY_H

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "pd/field_table.h"

namespace pd {

// nlohmann's destructor may allocate (it frees deep documents without
// recursion); were that to fail the program ends, as on any failed allocation.
// NOLINTNEXTLINE(bugprone-exception-escape)
struct DecodedProperty {
    Json json;
    std::vector<std::string> lines;
    std::vector<std::string> notes;
};

// The vendor's name for a 16-bit USB vendor ID, when one is known.
using VendorLookup = std::function<std::optional<std::string>(std::uint16_t)>;

// The name, or nothing when lookup is empty or knows none.
std::optional<std::string> vendorNameOf(const VendorLookup &lookup, std::uint32_t vendorId);

} // namespace pd

#endif
