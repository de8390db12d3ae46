// Conversions between the UTF-8 that callers pass and print and the UTF-16
// code units that strings hold, as the system's strings do.
#ifndef PORTPROBE_STANDIN_UTF_H
#define PORTPROBE_STANDIN_UTF_H

#include <optional>
#include <string>
#include <string_view>

namespace standin {

// Strict decoding: overlong forms, encoded surrogates, code points above
// U+10FFFF and truncated sequences are refused. Zero bytes are characters.
std::optional<std::u16string> utf16FromUtf8(std::string_view utf8);

// Refuses unpaired surrogates, which have no UTF-8 form.
std::optional<std::string> utf8FromUtf16(std::u16string_view utf16);

// For messages only: unpaired surrogates become U+FFFD.
std::string utf8ForDisplay(std::u16string_view utf16);

} // namespace standin

#endif
