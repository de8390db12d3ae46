#include "explain/input/report/report_values.h"

#include <limits>

namespace explain::report_reading {
namespace {

bool consume(std::string_view &text, std::string_view prefix)
{
    if (text.substr(0, prefix.size()) != prefix) {
        return false;
    }
    text.remove_prefix(prefix.size());
    return true;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

const std::uint64_t int64Limit = std::numeric_limits<std::int64_t>::max();

} // namespace

std::optional<std::uint64_t> readDigits(std::string_view &text, unsigned base)
{
    std::size_t length = 0;
    std::uint64_t value = 0;
    for (; length < text.size(); ++length) {
        int digit = hexDigit(text[length]);
        if (digit < 0 || static_cast<unsigned>(digit) >= base) {
            break;
        }
        auto unit = static_cast<std::uint64_t>(digit);
        if (value > (std::numeric_limits<std::uint64_t>::max() - unit) / base) {
            return std::nullopt;
        }
        value = value * base + unit;
    }
    if (length == 0 || (length > 1 && text[0] == '0')) {
        return std::nullopt;
    }
    text.remove_prefix(length);
    return value;
}

std::optional<NumberText> readNumber(std::string_view text)
{
    const bool negative = consume(text, "-");
    auto magnitude = readDigits(text, 10);
    if (!magnitude || !consume(text, " (0x")) {
        return std::nullopt;
    }
    auto bits = readDigits(text, 16);
    if (!bits || text != ")") {
        return std::nullopt;
    }
    NumberText number;
    if (negative) {
        // "-0" is not what %lld prints.
        if (*magnitude == 0 || *magnitude > int64Limit + 1) {
            return std::nullopt;
        }
        number.decimal = static_cast<std::int64_t>(~*magnitude + 1);
    } else {
        if (*magnitude > int64Limit) {
            return std::nullopt;
        }
        number.decimal = static_cast<std::int64_t>(*magnitude);
    }
    number.hexadecimal = *bits;
    return number;
}

std::optional<std::uint64_t> readCount(std::string_view text, std::string_view opening,
                                       std::string_view closing, std::uint64_t largest)
{
    if (!consume(text, opening)) {
        return std::nullopt;
    }
    auto count = readDigits(text, 10);
    if (!count || *count > largest || text != closing) {
        return std::nullopt;
    }
    return count;
}

std::optional<std::int64_t> readDumpHead(std::string_view &text)
{
    std::string_view rest = text;
    if (!consume(rest, "<data ")) {
        return std::nullopt;
    }
    auto length = readDigits(rest, 10);
    if (!length || *length > int64Limit || !consume(rest, " bytes>")) {
        return std::nullopt;
    }
    text = rest;
    return static_cast<std::int64_t>(*length);
}

DumpRow readDumpRow(std::string_view &text, std::size_t count, std::vector<std::uint8_t> &bytes)
{
    DumpRow row;
    while (row.bytesRead < count && text.size() >= 2) {
        int high = hexDigit(text[0]);
        int low = hexDigit(text[1]);
        if (high < 0 || low < 0) {
            break;
        }
        if (text.size() == 2) {
            row.trailingSpaceMissing = true;
        } else if (text[2] != ' ') {
            break;
        }
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
        ++row.bytesRead;
        text.remove_prefix(row.trailingSpaceMissing ? 2 : 3);
    }
    return row;
}

} // namespace explain::report_reading
