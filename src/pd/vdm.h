// Vendor defined message headers, structured and unstructured, and SVIDs.
#ifndef PORTPROBE_PD_VDM_H
#define PORTPROBE_PD_VDM_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pd/decoded_property.h"

namespace pd {

constexpr std::uint32_t standardSvid = 0xff00;
constexpr std::uint32_t displayPortSvid = 0xff01;

// The standard's and the best-known alternate modes' names for an SVID,
// else the vendor's name; nothing when neither is known.
std::optional<std::string> svidName(std::uint32_t svid, const VendorLookup &vendors);

// A header and the VDOs after it (the first object is the header).
DecodedProperty decodeVdm(const std::vector<std::uint32_t> &objects, const VendorLookup &vendors,
                          Views views = {});

// 16-bit SVIDs, in the order given.
DecodedProperty decodeSvids(const std::vector<std::uint32_t> &svids, const VendorLookup &vendors,
                            Views views = {});

} // namespace pd

#endif
