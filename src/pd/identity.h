// A Discover Identity answer: ID header, cert stat, product VDO, then the
// product-type VDOs the ID header's product types call for.
#ifndef PORTPROBE_PD_IDENTITY_H
#define PORTPROBE_PD_IDENTITY_H

#include <cstdint>
#include <vector>

#include "pd/decoded_property.h"

namespace pd {

// Whose answer it is: a cable plug's (SOP', SOP'') or a partner's (SOP).
enum class IdentitySide { partner, cablePlug };

DecodedProperty decodeIdentity(const std::vector<std::uint32_t> &vdos, IdentitySide side,
                               const VendorLookup &vendors, Views views = {});

} // namespace pd

#endif
