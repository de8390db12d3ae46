// Reads the property lines of `ioreg -l` text into libplist nodes, each the
// node `ioreg -a` writes for the same value.
//
//   "KEY" = VALUE
//   VALUE: a decimal number (or 0x and hex digits), the 64 bits of the
//          system's number; "text"; Yes or No; <hex digits> or <"text">
//          for data; (VALUE,...) for an array; {"KEY"=VALUE,...} for a
//          dictionary, where a key with nothing after "=" has an empty
//          value and is left out.
//
// Strings hold no escapes: one ends at the next double quote.
#ifndef PORTPROBE_STANDIN_SNAPSHOT_IOREG_TEXT_VALUES_H
#define PORTPROBE_STANDIN_SNAPSHOT_IOREG_TEXT_VALUES_H

#include <memory>
#include <string>
#include <string_view>

namespace snapshot {

struct PlistFree {
    void operator()(void *node) const;
};
// A libplist node and everything below it.
using PlistTree = std::unique_ptr<void, PlistFree>;

struct PropertyLine {
    enum class Outcome {
        value, // key and value read
        empty, // nothing after " = ": an empty value, or a line cut there
        cut,   // the line ends inside the key or the value
        bad,   // expected says what the grammar allows where it stops
    };
    Outcome outcome = Outcome::bad;
    std::string key;
    std::size_t keyAt = 0;   // where the key's text starts in the line
    std::size_t valueAt = 0; // where the value starts, once " = " is read
    PlistTree value;
    std::string expected;
};

// Reads text, which starts at the key's opening quote. Values nest at most
// deepest levels (a value inside no other is at level 1).
PropertyLine readPropertyLine(std::string_view text, unsigned deepest);

// Reads text that is one value alone (an array's member on a line of its
// own); the key stays empty.
PropertyLine readValueLine(std::string_view text, unsigned deepest);

} // namespace snapshot

#endif
