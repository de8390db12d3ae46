#include "explain/analysis/utf8_text.h"

#include <cstddef>
#include <utility>

namespace explain {

namespace {

const char replacement[] = "\xef\xbf\xbd";

// The length of the well-formed sequence starting at text[at], or 0.
std::size_t sequenceLength(const std::string &text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xbf;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        low = lead == 0xe0 ? 0xa0 : 0x80;  // no overlong forms
        high = lead == 0xed ? 0x9f : 0xbf; // no surrogates
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        low = lead == 0xf0 ? 0x90 : 0x80;
        high = lead == 0xf4 ? 0x8f : 0xbf; // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    const unsigned char second = byte(at + 1);
    if (second < low || second > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        const unsigned char next = byte(at + i);
        if (next < 0x80 || next > 0xbf) {
            return 0;
        }
    }
    return length;
}

// Registry names and keys, and the words made of them, are nearly always
// ASCII.
bool isAscii(const std::string &text)
{
    bool ascii = true;
    for (const char byte : text) {
        ascii = ascii && static_cast<unsigned char>(byte) < 0x80;
    }
    return ascii;
}

} // namespace

std::string validUtf8(std::string &&text)
{
    if (isAscii(text)) {
        return std::move(text);
    }
    return validUtf8(static_cast<const std::string &>(text));
}

std::string validUtf8(const std::string &text)
{
    if (isAscii(text)) {
        return text;
    }
    std::string valid;
    valid.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t length = sequenceLength(text, at);
        if (length == 0) {
            valid += replacement;
            ++at;
        } else {
            valid.append(text, at, length);
            at += length;
        }
    }
    return valid;
}

} // namespace explain
