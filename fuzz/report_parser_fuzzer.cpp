// Reads arbitrary text as a pasted report. Any input must give either an
// error naming a line of the input, or a walk shaped as a report's first
// section is: depths from 0 rising by at most one, paths as long as the
// depth, the probed keys in their order, and values no larger than a report
// shows them. Crashes, hangs and sanitizer findings are findings too.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "explain/input/report/report_format.h"
#include "explain/input/report/report_parser.h"

namespace {

[[noreturn]] void finding(const std::string &what)
{
    std::fprintf(stderr, "report_parser_fuzzer: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

void checkValue(const explain::PropertyValue &value)
{
    using Kind = explain::PropertyValue::Kind;
    using namespace explain::report_format;
    if (value.kind == Kind::data &&
        (value.length < 0 || value.bytes.size() > static_cast<std::size_t>(bytesShown) ||
         static_cast<std::int64_t>(value.bytes.size()) > value.length)) {
        finding("a dump holds more bytes than it shows or than its length");
    }
    if (value.kind == Kind::string && value.text.size() > longestString) {
        finding("a string longer than a report shows");
    }
    if ((value.kind == Kind::dictionary || value.kind == Kind::array) &&
        (value.contentsKnown || value.count < 0)) {
        finding("a container with contents, or a negative size, from a report");
    }
    if (value.kind == Kind::real) {
        finding("a real from a report, which prints only integers");
    }
}

void checkWalk(const explain::RegistryWalk &walk)
{
    using namespace explain::report_format;
    unsigned previous = 0;
    for (std::size_t i = 0; i < walk.entries.size(); ++i) {
        const explain::WalkedEntry &entry = walk.entries[i];
        if (entry.depth > deepestLevel ||
            (i == 0 ? entry.depth != 0 : entry.depth > previous + 1)) {
            finding("an entry at depth " + std::to_string(entry.depth) + " after one at " +
                    std::to_string(previous));
        }
        if (entry.path.size() != entry.depth + 1) {
            finding("a path that does not match its depth");
        }
        std::optional<std::size_t> lastKey;
        for (const auto &[key, value] : entry.properties) {
            auto index = probedKeyIndex(key);
            if (!index || (lastKey && *index <= *lastKey)) {
                finding("a key out of the probe order: " + key);
            }
            lastKey = index;
            checkValue(value);
        }
        previous = entry.depth;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    auto parsed = explain::parseReport(input);
    if (const auto *error = std::get_if<explain::ReportParseError>(&parsed)) {
        std::size_t lines = 1;
        for (char c : input) {
            lines += c == '\n' ? 1 : 0;
        }
        if (error->line < 1 || error->line > lines || error->message.empty()) {
            finding("an error at line " + std::to_string(error->line) + " of " +
                    std::to_string(lines) + ": " + error->message);
        }
        return 0;
    }
    checkWalk(std::get<explain::RegistryWalk>(parsed));
    return 0;
}
