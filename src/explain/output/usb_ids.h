// Vendor names from a usb.ids file: the vendor lines of its device section
// ("vvvv  Name", four hexadecimal digits and two spaces at the start of a
// line); product, interface and every other section are ignored.
#ifndef PORTPROBE_EXPLAIN_USB_IDS_H
#define PORTPROBE_EXPLAIN_USB_IDS_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace explain {

class UsbIds {
public:
    // Reads the vendor lines of a usb.ids text; names that are not valid
    // UTF-8 are kept with each bad byte replaced, so that they can be shown.
    static UsbIds parse(std::string_view text);

    std::optional<std::string> vendorName(std::uint16_t vendorId) const;
    std::size_t vendorCount() const { return names_.size(); }

private:
    std::unordered_map<std::uint16_t, std::string> names_;
};

// Where the system's packages put usb.ids, searched in this order when no file
// is named.
const std::vector<std::string> &usualUsbIdsPaths();

struct UsbIdsLoad {
    UsbIds ids;
    std::string path;  // the file read; empty when none was found
    std::string error; // why the named file could not be read; empty on success
};

// Reads the named file, or the first of usualUsbIdsPaths() that can be read.
// A missing usual file is no error: vendor IDs are then shown in hex only.
UsbIdsLoad loadUsbIds(const std::optional<std::string> &namedPath);

} // namespace explain

#endif
