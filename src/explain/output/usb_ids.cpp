#include "explain/output/usb_ids.h"

#include <utility>

#include "cli/input_file.h"

namespace explain {

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// The length of the valid UTF-8 sequence at the start of text, or 0.
std::size_t utf8SequenceLength(std::string_view text)
{
    auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(0);
    std::size_t length = lead < 0x80                    ? 1
                         : lead >= 0xc2 && lead <= 0xdf ? 2
                         : lead >= 0xe0 && lead <= 0xef ? 3
                         : lead >= 0xf0 && lead <= 0xf4 ? 4
                                                        : 0;
    if (length == 0 || length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xc0) != 0x80) {
            return 0;
        }
    }
    // Overlong forms, surrogates and code points past U+10FFFF.
    if ((lead == 0xe0 && byte(1) < 0xa0) || (lead == 0xed && byte(1) > 0x9f) ||
        (lead == 0xf0 && byte(1) < 0x90) || (lead == 0xf4 && byte(1) > 0x8f)) {
        return 0;
    }
    return length;
}

std::string validUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        std::size_t length = utf8SequenceLength(text);
        if (length == 0) {
            out += "\xef\xbf\xbd"; // U+FFFD
            length = 1;
        } else {
            out.append(text.substr(0, length));
        }
        text.remove_prefix(length);
    }
    return out;
}

} // namespace

UsbIds UsbIds::parse(std::string_view text)
{
    UsbIds ids;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.size() < 7 || line[4] != ' ' || line[5] != ' ') {
            continue;
        }
        int id = 0;
        bool hex = true;
        for (std::size_t i = 0; i < 4 && hex; ++i) {
            int digit = hexDigit(line[i]);
            hex = digit >= 0;
            id = id * 16 + digit;
        }
        if (hex) {
            // The first name given for a vendor is kept, as a listing reads.
            ids.names_.emplace(static_cast<std::uint16_t>(id), validUtf8(line.substr(6)));
        }
    }
    return ids;
}

std::optional<std::string> UsbIds::vendorName(std::uint16_t vendorId) const
{
    auto found = names_.find(vendorId);
    if (found == names_.end()) {
        return std::nullopt;
    }
    return found->second;
}

const std::vector<std::string> &usualUsbIdsPaths()
{
    static const std::vector<std::string> paths = {
        "/usr/share/misc/usb.ids",     // Debian's usb.ids
        "/usr/share/hwdata/usb.ids",   // Debian's hwdata
        "/opt/homebrew/share/usb.ids", // Homebrew on Apple silicon
        "/usr/local/share/usb.ids",    // Homebrew on x86-64
        "/opt/homebrew/share/misc/usb.ids", "/usr/local/share/misc/usb.ids",
    };
    return paths;
}

UsbIdsLoad loadUsbIds(const std::optional<std::string> &namedPath)
{
    UsbIdsLoad load;
    std::string text;
    if (namedPath) {
        if (cli::readNamedFile(*namedPath, text, load.error)) {
            load.ids = UsbIds::parse(text);
            load.path = *namedPath;
        }
        return load;
    }
    for (const std::string &path : usualUsbIdsPaths()) {
        std::string ignored;
        if (cli::readNamedFile(path, text, ignored)) {
            load.ids = UsbIds::parse(text);
            load.path = path;
            break;
        }
    }
    return load;
}

} // namespace explain
