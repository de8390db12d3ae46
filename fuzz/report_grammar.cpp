#include "report_grammar.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <utility>
#include <vector>

namespace fuzzing {
namespace {

const std::string_view serviceHeader = "=== Walking from AppleHPMARMSPMI in IOService plane ===";
const std::string_view powerHeader = "=== Walking AppleHPMARMSPMI in IOPower plane ===";
const std::string_view interestHeader =
    "=== Checking IOPortTransportComponentCCUSBPDSOPp notification support ===";
const std::string_view noControllers = "No AppleHPMARMSPMI found";
const std::string_view userClientOpening = " (UserClient: ";

} // namespace

const std::string_view probedKeys[probedKeyCount] = {
    "VDMs",
    "VDOs",
    "Metadata",
    "PDRevision",
    "SpecRevision",
    "PortPartnerIdentity",
    "CableIdentity",
    "PDContract",
    "PowerRole",
    "DataRole",
    "VCONNSource",
    "SourceCapabilities",
    "SinkCapabilities",
    "RequestDataObject",
    "ActiveContract",
    "AlternateMode",
    "SVIDs",
    "Modes",
    "DisplayPortStatus",
    "DisplayPortConfig",
    "RawVDM",
    "VDMResponse",
    "VDMHistory",
    "MessageLog",
    "PDMessageLog",
    "TraceBuffer",
};

namespace {

const std::size_t longestName = 127;
const std::size_t longestAnnotation = 255;
const std::size_t longestString = 511;
const std::size_t deepestLevel = 8;
const std::uint64_t bytesShown = 128;
const std::uint64_t bytesPerLine = 16;
const std::string_view continuationIndent = "        ";

struct Problem {
    std::string message;
};

[[noreturn]] void fail(std::string message) { throw Problem{std::move(message)}; }

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

bool consume(std::string_view &text, std::string_view prefix)
{
    if (!startsWith(text, prefix)) {
        return false;
    }
    text.remove_prefix(prefix.size());
    return true;
}

// Reads digits in the given base, as printf writes them: lower case, no
// leading zero but for zero itself, and no more than fit in 64 bits.
std::optional<std::uint64_t> consumeNumber(std::string_view &text, unsigned base)
{
    std::size_t length = 0;
    std::uint64_t value = 0;
    for (; length < text.size(); ++length) {
        char c = text[length];
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else {
            break;
        }
        if (digit >= base || value > (UINT64_MAX - digit) / base) {
            return std::nullopt;
        }
        value = value * base + digit;
    }
    if (length == 0 || (length > 1 && text[0] == '0')) {
        return std::nullopt;
    }
    text.remove_prefix(length);
    return value;
}

// " (UserClient: X)", " [Y]", both in that order, or neither, each text at
// most 255 bytes: the tail of an entry line after its name.
bool annotationsFit(std::string_view tail)
{
    if (tail.empty()) {
        return true;
    }
    if (startsWith(tail, " [") && tail.back() == ']' && tail.size() - 3 <= longestAnnotation) {
        return true;
    }
    if (!startsWith(tail, userClientOpening)) {
        return false;
    }
    const std::size_t opening = userClientOpening.size();
    if (tail.back() == ')' && tail.size() - opening - 1 <= longestAnnotation) {
        return true;
    }
    if (tail.back() != ']' || tail.size() < opening + 4) {
        return false;
    }
    // The bundle identifier starts at split: " [" there, ")" just before.
    std::size_t first = std::max(opening + 1, tail.size() >= 258 ? tail.size() - 258 : 0);
    std::size_t last = std::min(opening + 1 + longestAnnotation, tail.size() - 3);
    for (std::size_t split = first; split <= last; ++split) {
        if (tail[split - 1] == ')' && tail[split] == ' ' && tail[split + 1] == '[') {
            return true;
        }
    }
    return false;
}

// "[class] name" and its annotations. Texts may hold the very brackets and
// words that delimit them, so every reading is tried.
bool entryFits(std::string_view line)
{
    for (std::size_t close = 1; close <= longestName + 1 && close + 1 < line.size(); ++close) {
        if (line[close] != ']' || line[close + 1] != ' ') {
            continue;
        }
        std::string_view rest = line.substr(close + 2);
        for (std::size_t name = 0; name <= std::min(longestName, rest.size()); ++name) {
            if (annotationsFit(rest.substr(name))) {
                return true;
            }
        }
    }
    return false;
}

class Checker {
public:
    Checker(std::string_view report, ReportSummary &summary) : summary_(summary)
    {
        if (report.empty() || report.back() != '\n') {
            fail("the report does not end with a line feed");
        }
        if (report.find('\0') != std::string_view::npos) {
            fail("the report holds a zero byte");
        }
        std::size_t start = 0;
        while (start < report.size()) {
            std::size_t end = report.find('\n', start);
            lines_.push_back(report.substr(start, end - start));
            start = end + 1;
        }
    }

    void check()
    {
        expect(serviceHeader);
        expect("");
        if (!atEnd() && line() == noControllers) {
            summary_.noControllers = true;
            ++at_;
        } else {
            walkSection(0);
        }
        expect("");
        expect("");
        expect(powerHeader);
        expect("");
        walkSection(1);
        expect("");
        expect("");
        expect(interestHeader);
        interestSection();
    }

private:
    bool atEnd() const { return at_ >= lines_.size(); }
    std::string_view line() const { return lines_[at_]; }

    [[noreturn]] void failHere(const std::string &what) const
    {
        std::string shown = atEnd() ? std::string("(end of report)")
                                    : "\"" + std::string(line().substr(0, 200)) + "\"";
        fail("line " + std::to_string(at_ + 1) + ": " + what + ": " + shown);
    }

    void expect(std::string_view wanted)
    {
        if (atEnd() || line() != wanted) {
            failHere("expected \"" + std::string(wanted) + "\"");
        }
        ++at_;
    }

    void walkSection(int section)
    {
        std::size_t depth = 0; // of the last entry line
        bool anyEntry = false;
        int lastKey = -1;
        for (; !atEnd() && !line().empty(); ++at_) {
            std::string_view text = line();
            std::size_t spaces = std::min(text.find_first_not_of(' '), text.size());
            std::string_view rest = text.substr(spaces);
            if (spaces % 2 == 0 && startsWith(rest, "[")) {
                std::size_t level = spaces / 2;
                if (level > deepestLevel) {
                    failHere("an entry deeper than level 8");
                }
                if (anyEntry ? level > depth + 1 : level != 0) {
                    failHere("an entry more than one level below the one before");
                }
                if (!entryFits(rest)) {
                    failHere("not an entry line");
                }
                depth = level;
                anyEntry = true;
                lastKey = -1;
                ++summary_.entryLines[section];
                summary_.services[section] += level == 0 ? 1 : 0;
            } else if (anyEntry && spaces == 2 * (depth + 1) && consume(rest, ">>> ")) {
                lastKey = probeLine(rest, lastKey);
                ++summary_.probeLines;
            } else {
                failHere("neither an entry line nor a probe line of the entry before");
            }
        }
    }

    // Checks a probe line after its "  >>> " (and the dump's continuation
    // lines); returns the index of its key.
    int probeLine(std::string_view rest, int lastKey)
    {
        int key = -1;
        for (int i = 0; i < static_cast<int>(std::size(probedKeys)); ++i) {
            std::string_view value = rest;
            if (consume(value, probedKeys[i]) && consume(value, ": ")) {
                key = i;
                rest = value;
                break;
            }
        }
        if (key < 0) {
            failHere("a probe line of a key that is not probed");
        }
        if (key <= lastKey) {
            failHere("a probe line out of the keys' order");
        }
        if (consume(rest, "<data ")) {
            dataValue(rest);
        } else if (startsWith(rest, "\"")) {
            if (rest.size() < 2 || rest.back() != '"' || rest.size() - 2 > longestString) {
                failHere("a string value cut or too long");
            }
        } else if (rest != "<unconvertible string>" && !countValue(rest) && !numberValue(rest)) {
            failHere("a value in no format of the report");
        }
        return key;
    }

    bool countValue(std::string_view rest) const
    {
        for (auto [opening, closing] :
             {std::pair<std::string_view, std::string_view>{"<dict with ", " keys>"},
              {"<array with ", " items>"},
              {"<type ", ">"}}) {
            std::string_view text = rest;
            if (consume(text, opening) && consumeNumber(text, 10) && text == closing) {
                return true;
            }
        }
        return false;
    }

    // "%lld (0x%llx)" of one value: the two must show the same bits.
    bool numberValue(std::string_view rest) const
    {
        bool negative = consume(rest, "-");
        auto magnitude = consumeNumber(rest, 10);
        if (!magnitude || !consume(rest, " (0x")) {
            return false;
        }
        auto bits = consumeNumber(rest, 16);
        if (!bits || rest != ")") {
            return false;
        }
        const std::uint64_t signBit = std::uint64_t(1) << 63;
        if (negative ? *magnitude == 0 || *magnitude > signBit : *magnitude >= signBit) {
            return false;
        }
        std::uint64_t expected = negative ? ~*magnitude + 1 : *magnitude;
        return *bits == expected;
    }

    // "<data N bytes> " and the first sixteen bytes shown, then lines of
    // sixteen until 128 (or all) are shown, the last with "... (N total)"
    // when not all were.
    void dataValue(std::string_view rest)
    {
        auto length = consumeNumber(rest, 10);
        if (!length || !consume(rest, " bytes> ")) {
            failHere("a data value without its length");
        }
        std::uint64_t remaining = std::min(*length, bytesShown);
        bool first = true;
        while (first || remaining > 0) {
            if (!first) {
                ++at_;
                if (atEnd()) {
                    failHere("a hex dump cut short");
                }
                rest = line();
                if (!consume(rest, continuationIndent)) {
                    failHere("a hex dump line without its indentation");
                }
            }
            first = false;
            std::uint64_t count = std::min(remaining, bytesPerLine);
            for (std::uint64_t i = 0; i < count; ++i) {
                if (rest.size() < 3 || !std::isxdigit(static_cast<unsigned char>(rest[0])) ||
                    !std::isxdigit(static_cast<unsigned char>(rest[1])) ||
                    std::isupper(static_cast<unsigned char>(rest[0])) ||
                    std::isupper(static_cast<unsigned char>(rest[1])) || rest[2] != ' ') {
                    failHere("a hex dump line with fewer than its bytes");
                }
                rest.remove_prefix(3);
            }
            remaining -= count;
            if (remaining == 0 && *length > bytesShown) {
                if (!consume(rest, "... (") || consumeNumber(rest, 10) != length ||
                    !consume(rest, " total)")) {
                    failHere("a long hex dump without its total");
                }
            }
            if (!rest.empty()) {
                failHere("a hex dump line with more than its bytes");
            }
        }
    }

    void interestSection()
    {
        while (!atEnd()) {
            interestLine("  General interest notification: kr=0x");
            interestLine("  Busy interest notification: kr=0x");
            ++summary_.interestPairs;
        }
    }

    void interestLine(std::string_view opening)
    {
        std::string_view rest = atEnd() ? std::string_view() : line();
        if (!consume(rest, opening)) {
            failHere("expected \"" + std::string(opening) + "...\"");
        }
        auto status = consumeNumber(rest, 16);
        if (!status || *status > UINT32_MAX) {
            failHere("an interest status that is not a 32-bit hex number");
        }
        if (rest != (*status == 0 ? " SUCCESS" : " FAILED")) {
            failHere("an interest outcome that does not match its status");
        }
        summary_.interestSuccesses += *status == 0 ? 1 : 0;
        ++at_;
    }

    ReportSummary &summary_;
    std::vector<std::string_view> lines_;
    std::size_t at_ = 0;
};

} // namespace

std::optional<std::string> reportGrammarProblem(std::string_view report, ReportSummary *summary)
{
    ReportSummary ignored;
    ReportSummary &counts = summary != nullptr ? *summary : ignored;
    counts = ReportSummary();
    try {
        Checker checker(report, counts);
        checker.check();
        return std::nullopt;
    } catch (const Problem &problem) {
        return problem.message;
    }
}

} // namespace fuzzing
