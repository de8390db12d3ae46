// The one-line value texts of a probe line, read back exactly as the report
// prints them: numbers as "%lld (0x%llx)", sizes, type identifiers, the head
// of a data dump and the rows of bytes after it.
#ifndef PORTPROBE_EXPLAIN_REPORT_VALUES_H
#define PORTPROBE_EXPLAIN_REPORT_VALUES_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace explain::report_reading {

// Digits as printf writes them: no sign, no leading zero but for zero
// itself, lower-case hexadecimal, nothing past 64 bits.
std::optional<std::uint64_t> readDigits(std::string_view &text, unsigned base);

struct NumberText {
    std::int64_t decimal = 0;
    std::uint64_t hexadecimal = 0;
};
// "-12 (0xfffffffffffffff4)": the whole text, or nothing.
std::optional<NumberText> readNumber(std::string_view text);

// opening, a count of at most largest, closing: the whole text, or nothing.
// Sizes print as a signed 64-bit "%ld", type identifiers as an unsigned "%lu".
std::optional<std::uint64_t> readCount(std::string_view text, std::string_view opening,
                                       std::string_view closing, std::uint64_t largest = INT64_MAX);

// "<data N bytes>" at the start of text; consumes it.
std::optional<std::int64_t> readDumpHead(std::string_view &text);

struct DumpRow {
    std::size_t bytesRead = 0;
    // The last byte had no space after it and ended the text, as when a
    // terminal's copy drops trailing spaces.
    bool trailingSpaceMissing = false;
};
// Appends up to count "xx " bytes from the start of text and consumes them.
DumpRow readDumpRow(std::string_view &text, std::size_t count, std::vector<std::uint8_t> &bytes);

} // namespace explain::report_reading

#endif
