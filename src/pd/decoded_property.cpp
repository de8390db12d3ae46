#include "pd/decoded_property.h"

namespace pd {

std::optional<std::string> vendorNameOf(const VendorLookup &lookup, std::uint32_t vendorId)
{
    if (!lookup) {
        return std::nullopt;
    }
    return lookup(static_cast<std::uint16_t>(vendorId & 0xffffU));
}

} // namespace pd
