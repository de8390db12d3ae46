// The decoders of whole properties that are lists of 32-bit objects, one
// per kind the explanation names. Each makes the views asked for: without
// the JSON view the property's json is null, without the words it has no
// lines; its notes are made either way.
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
DecodedProperty decodePdoList(const std::vector<std::uint32_t> &pdos, PowerRole role,
                              Views views = {});

// One request, read against the source PDO it names when that is known.
DecodedProperty decodeRequestObject(std::uint32_t rdo, std::optional<std::uint32_t> sourcePdo,
                                    Views views = {});

DecodedProperty decodeDisplayPortStatus(std::uint32_t vdo, Views views = {});
DecodedProperty decodeDisplayPortConfig(std::uint32_t vdo, Views views = {});

// Mode VDOs, as DisplayPort Capabilities when the port's SVIDs hold
// DisplayPort's.
DecodedProperty decodeModes(const std::vector<std::uint32_t> &modes, bool displayPort,
                            Views views = {});

// A Revision message data object (PD 3.1 and later).
DecodedProperty decodeRevisionObject(std::uint32_t rmdo, Views views = {});

} // namespace pd

#endif
