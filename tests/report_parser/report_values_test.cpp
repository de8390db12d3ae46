// Probe values by kind, read back to what the registry held as far as a
// report shows it; values in no form a report prints.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "report_texts.h"

namespace {

using explain::PropertyValue;
using Kind = PropertyValue::Kind;
using testing_support::errorOf;
using testing_support::hasNote;
using testing_support::walkOf;
using testing_support::whatWasExpected;
using testing_support::wholeReport;

// The value of one probe line on a controller.
PropertyValue valueOf(const std::string &probe)
{
    auto walk = walkOf(wholeReport("[A] A\n  >>> PDRevision: " + probe + "\n"));
    if (walk.entries.size() != 1 || walk.entries[0].properties.size() != 1) {
        ADD_FAILURE() << "no value read from " << probe;
        return {};
    }
    return walk.entries[0].properties[0].second;
}

std::string errorMessage(const std::string &probe)
{
    return whatWasExpected(errorOf(wholeReport("[A] A\n  >>> PDRevision: " + probe + "\n")));
}

TEST(ReportValues, NumbersFromTheirDecimal)
{
    EXPECT_EQ(valueOf("0 (0x0)").integer, 0);
    EXPECT_EQ(valueOf("154 (0x9a)").integer, 154);
    PropertyValue negative = valueOf("-16736191 (0xffffffffff00a041)");
    EXPECT_EQ(negative.kind, Kind::integer);
    EXPECT_EQ(negative.integer, -16736191);
    EXPECT_EQ(valueOf("-9223372036854775808 (0x8000000000000000)").integer, INT64_MIN);
    EXPECT_EQ(valueOf("9223372036854775807 (0x7fffffffffffffff)").integer, INT64_MAX);
}

TEST(ReportValues, NumbersNotAsPrintfWritesThemAreRefused)
{
    const std::string shape =
        "expected a value as a report prints it: \"%lld (0x%llx)\", \"text\", \"<data N "
        "bytes> \" and its bytes, \"<dict with N keys>\", \"<array with N items>\", \"<type "
        "N>\" or \"<unconvertible string>\"";
    for (const char *text :
         {"03 (0x3)", "3 (0x03)", "3 (0xA)", "+3 (0x3)", "-0 (0x0)", "3", "3 (3)",
          "9223372036854775808 (0x8000000000000000)", "3 (0x10000000000000000)", "3 (0x3) "}) {
        EXPECT_EQ(errorMessage(text), shape) << text;
    }
    EXPECT_EQ(errorMessage("154 (0x9b)"),
              "the number's decimal 154 and hexadecimal do not agree: a report prints both from "
              "the same 64 bits, so one of them was changed");
}

TEST(ReportValues, StringsBetweenTheirQuotes)
{
    PropertyValue role = valueOf("\"Sink\"");
    EXPECT_EQ(role.kind, Kind::string);
    EXPECT_EQ(role.text, "Sink");
    EXPECT_EQ(valueOf("\"\"").text, "");
    // Unescaped: quotes and backslashes inside pass through.
    EXPECT_EQ(valueOf("\"say \"hi\" \\n\"").text, "say \"hi\" \\n");
    EXPECT_EQ(valueOf("\"" + std::string(511, 'x') + "\"").text.size(), 511u);
    EXPECT_EQ(errorMessage("\"" + std::string(512, 'x') + "\""),
              "expected the string value of \"PDRevision\" to close with a quote within the 511 "
              "bytes a report shows of a string");
    EXPECT_EQ(valueOf("<unconvertible string>").kind, Kind::unconvertibleString);
}

TEST(ReportValues, ContainersAndOtherKindsKeepWhatTheReportShows)
{
    PropertyValue dictionary = valueOf("<dict with 7 keys>");
    EXPECT_EQ(dictionary.kind, Kind::dictionary);
    EXPECT_EQ(dictionary.count, 7);
    EXPECT_FALSE(dictionary.contentsKnown);
    PropertyValue array = valueOf("<array with 1 items>");
    EXPECT_EQ(array.kind, Kind::array);
    EXPECT_EQ(array.count, 1);
    EXPECT_FALSE(array.contentsKnown);
    PropertyValue boolean = valueOf("<type 21>");
    EXPECT_EQ(boolean.kind, Kind::boolean);
    EXPECT_FALSE(boolean.contentsKnown);
    PropertyValue date = valueOf("<type 42>");
    EXPECT_EQ(date.kind, Kind::other);
    EXPECT_EQ(date.typeId, 42u);
    EXPECT_TRUE(date.contentsKnown);
    EXPECT_EQ(valueOf("<type 18446744073709551615>").typeId, 18446744073709551615u);

    auto walk = walkOf(wholeReport("[A] A\n  >>> VDMs: <array with 0 items>\n"
                                   "  >>> VCONNSource: <type 21>\n"));
    EXPECT_TRUE(hasNote(walk, "a report shows a dictionary or an array by its size alone"));
    EXPECT_TRUE(hasNote(walk, "a report shows a boolean as \"<type 21>\""));
    EXPECT_FALSE(hasNote(walk, "128 bytes"));
}

std::vector<std::uint8_t> counting(std::size_t length)
{
    std::vector<std::uint8_t> bytes(length);
    for (std::size_t i = 0; i < length; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + 0xf0);
    }
    return bytes;
}

// The dump of bytes of the given length, as the report prints it.
std::string dumpOf(const std::vector<std::uint8_t> &bytes, std::size_t length)
{
    std::string text = "<data " + std::to_string(length) + " bytes> ";
    for (std::size_t i = 0; i < bytes.size() && i < 128; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02x ", bytes[i]);
        text += (i > 0 && i % 16 == 0 ? "\n        " : "") + std::string(hex);
    }
    return length > 128 ? text + "... (" + std::to_string(length) + " total)" : text;
}

TEST(ReportValues, DumpsReadBackToTheirBytes)
{
    for (std::size_t length : {0, 1, 15, 16, 17, 127, 128, 129, 4096}) {
        std::vector<std::uint8_t> bytes = counting(length);
        PropertyValue data = valueOf(dumpOf(bytes, length));
        EXPECT_EQ(data.kind, Kind::data);
        EXPECT_EQ(data.length, static_cast<std::int64_t>(length));
        bytes.resize(std::min<std::size_t>(length, 128));
        EXPECT_EQ(data.bytes, bytes) << length;
    }
    auto walk =
        walkOf(wholeReport("[A] A\n  >>> PDRevision: " + dumpOf(counting(129), 129) + "\n"));
    EXPECT_TRUE(hasNote(walk, "a report shows the first 128 bytes of a data value"));
}

TEST(ReportValues, DumpsOfAnotherShapeAreRefused)
{
    auto dumpError = [](const std::string &dump) {
        return errorOf(wholeReport("[A] A\n  >>> SinkCapabilities: " + dump + "\n  [B] B\n"));
    };
    auto error = dumpError("<data 17 bytes> " + std::string(std::size_t{16} * 3, '0'));
    EXPECT_EQ(error.line, 4u);
    error = dumpError(dumpOf(counting(17), 17).substr(0, 16 + 48) + "\n" + "        ");
    EXPECT_EQ(error.line, 5u);
    EXPECT_EQ(whatWasExpected(error), "expected 1 bytes as \"xx \" on this line of the dump of "
                                      "\"SinkCapabilities\", and nothing after them");
    error = dumpError("<data 17 bytes> " + dumpOf(counting(16), 16).substr(16));
    EXPECT_EQ(error.line, 5u);
    EXPECT_EQ(whatWasExpected(error),
              "expected the next line of the dump of \"SinkCapabilities\": 8 "
              "spaces and up to 16 bytes as \"xx \"");
    error = dumpError("<data 2 bytes> 0a 0b 0c ");
    EXPECT_EQ(whatWasExpected(error), "expected 2 bytes as \"xx \" on this line of the dump of "
                                      "\"SinkCapabilities\", and nothing after them");
    error = dumpError("<data 2 bytes> 0A 0B ");
    EXPECT_EQ(error.line, 4u);
    std::string wrongTotal = dumpOf(counting(200), 200);
    wrongTotal.replace(wrongTotal.find("200 total"), 3, "300");
    error = dumpError(wrongTotal);
    EXPECT_EQ(error.line, 11u);
    EXPECT_EQ(whatWasExpected(error),
              "expected 16 bytes as \"xx \" on this line of the dump of "
              "\"SinkCapabilities\", then \"... (200 total)\", and nothing after "
              "them");
    EXPECT_EQ(whatWasExpected(dumpError("<data -1 bytes> ")),
              "expected \"<data N bytes> \" and the bytes");
}

} // namespace
