// A value that a poster spread over several lines of `ioreg` text, one
// member a line, with or without commas:
//
//   "PowerTelemetryData" = {
//     "SystemVoltageIn" = 19715,
//     "SystemCurrentIn" = 728
//   }
//
// A member may open a dictionary or an array of its own the same way. The
// value reads as the same value written on one line.
#ifndef PORTPROBE_STANDIN_SNAPSHOT_IOREG_TEXT_VALUE_LINES_H
#define PORTPROBE_STANDIN_SNAPSHOT_IOREG_TEXT_VALUE_LINES_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/standin/snapshot/ioreg_text_values.h"

namespace snapshot {

class SpreadValue {
public:
    // opener is the "{" or "(" that ends the property's line; keyColumn is
    // where its key's quote stands. Values nest at most deepest levels.
    SpreadValue(char opener, std::size_t keyColumn, unsigned deepest);

    enum class Step {
        member,  // a member, or a container of it closed
        closed,  // the value is whole
        notMine, // a line at or left of the key's column: the value never closed
        bad,     // expected says what may stand there
    };
    // Reads one line: content is its text after the tree's drawing, which
    // starts at column.
    Step read(std::string_view content, std::size_t column);

    // Whether a member's line was cut: then the value, though closed, is not
    // whole, and is left out.
    bool spoiled() const { return spoiled_; }
    const std::string &expected() const { return expected_; }
    // The value, once closed.
    PlistTree take() { return std::move(value_); }

private:
    bool open(char opener, const std::string &key);
    Step bad(std::string expected);

    std::size_t keyColumn_;
    unsigned deepest_;
    PlistTree value_;
    std::vector<void *> open_; // the containers not yet closed, outermost first
    bool spoiled_ = false;
    std::string expected_;
};

} // namespace snapshot

#endif
