// The decoders of whole properties that are lists of 32-bit objects, one
// per kind the explanation names.
#ifndef PORTPROBE_PD_PROPERTY_DECODERS_H
#define PORTPROBE_PD_PROPERTY_DECODERS_H

#include <cstdint>
#include <optional>
#include <vector>

#include "pd/decoded_property.h"
#include "pd/pdo.h"

namespace pd {

// Source or sink capabilities: the PDOs from position 1, and the list's
// breaches of the standard's order.
DecodedProperty decodePdoList(const std::vector<std::uint32_t> &pdos, PowerRole role);

// One request, read against the source PDO it names when that is known.
DecodedProperty decodeRequestObject(std::uint32_t rdo, std::optional<std::uint32_t> sourcePdo);

DecodedProperty decodeDisplayPortStatus(std::uint32_t vdo);
DecodedProperty decodeDisplayPortConfig(std::uint32_t vdo);

// Mode VDOs, as DisplayPort Capabilities when the port's SVIDs hold
// DisplayPort's.
DecodedProperty decodeModes(const std::vector<std::uint32_t> &modes, bool displayPort);

// A Revision message data object (PD 3.1 and later).
DecodedProperty decodeRevisionObject(std::uint32_t rmdo);

} // namespace pd

#endif
