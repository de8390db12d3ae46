// How each kind of property value reads on its probe line, through the whole
// report: one controller carrying one probed property.
#include <cmath>
#include <limits>
#include <string>

#include "support/report_fixture.h"

using testing_support::bytes;
using testing_support::bytesOfLength;

namespace {

class ValueRenderTest : public testing_support::StandinTest {
protected:
    // The text that follows ">>> VDOs: " for a controller carrying value.
    // Both plane walks must show the same text.
    static std::string rendered(const standin::ValuePtr &value)
    {
        standin::EntryId service = entry("AppleHPMARMSPMI");
        standin::setProperty(service, "VDOs", value);
        std::string text = report();
        startOver();

        const std::string prefix = std::string(testing_support::serviceHeader) +
                                   "[AppleHPMARMSPMI] AppleHPMARMSPMI\n  >>> VDOs: ";
        std::size_t end = text.find(testing_support::powerHeader);
        if (text.compare(0, prefix.size(), prefix) != 0 || end == std::string::npos) {
            ADD_FAILURE() << "unexpected report:\n" << text;
            return text;
        }
        std::string line = text.substr(prefix.size(), end - prefix.size());
        EXPECT_EQ(text, prefix + line + testing_support::powerHeader +
                            "[AppleHPMARMSPMI] AppleHPMARMSPMI\n  >>> VDOs: " + line +
                            testing_support::interestHeader);
        return line;
    }

    static std::string hexBytes(std::size_t from, std::size_t to)
    {
        std::string text;
        char digits[4];
        for (std::size_t i = from; i < to; ++i) {
            std::snprintf(digits, sizeof digits, "%02x ", static_cast<unsigned>(i & 0xff));
            text += digits;
        }
        return text;
    }
};

TEST_F(ValueRenderTest, DataDumpsSixteenBytesALineUpToEightLines)
{
    EXPECT_EQ(rendered(bytesOfLength(0)), "<data 0 bytes> \n");
    EXPECT_EQ(rendered(bytes({0x7f})), "<data 1 bytes> 7f \n");
    EXPECT_EQ(rendered(bytes({0x00, 0x80, 0xff, 0x0a})), "<data 4 bytes> 00 80 ff 0a \n");
    EXPECT_EQ(rendered(bytesOfLength(16)), "<data 16 bytes> " + hexBytes(0, 16) + "\n");
    EXPECT_EQ(rendered(bytesOfLength(17)),
              "<data 17 bytes> " + hexBytes(0, 16) + "\n        " + hexBytes(16, 17) + "\n");

    std::string full = "<data 128 bytes> " + hexBytes(0, 16);
    for (std::size_t line = 1; line < 8; ++line) {
        full += "\n        " + hexBytes(line * 16, line * 16 + 16);
    }
    EXPECT_EQ(rendered(bytesOfLength(128)), full + "\n");

    std::string longer = "<data 129 bytes>" + full.substr(sizeof "<data 128 bytes>" - 1);
    EXPECT_EQ(rendered(bytesOfLength(129)), longer + "... (129 total)\n");
    std::string large = "<data 70000 bytes>" + full.substr(sizeof "<data 128 bytes>" - 1);
    EXPECT_EQ(rendered(bytesOfLength(70000)), large + "... (70000 total)\n");
}

TEST_F(ValueRenderTest, NumbersShowDecimalAndTheSixtyFourBitPattern)
{
    EXPECT_EQ(rendered(standin::makeInteger(255)), "255 (0xff)\n");
    EXPECT_EQ(rendered(standin::makeInteger(0)), "0 (0x0)\n");
    EXPECT_EQ(rendered(standin::makeInteger(-1)), "-1 (0xffffffffffffffff)\n");
    EXPECT_EQ(rendered(standin::makeInteger(std::numeric_limits<std::int64_t>::min())),
              "-9223372036854775808 (0x8000000000000000)\n");
    EXPECT_EQ(rendered(standin::makeUnsigned(0xfffffffffffffffeULL)), "-2 (0xfffffffffffffffe)\n");
    // Numbers that a 64-bit integer cannot hold show what the conversion gave.
    EXPECT_EQ(rendered(standin::makeReal(3.75)), "3 (0x3)\n");
    EXPECT_EQ(rendered(standin::makeReal(-3.75)), "-3 (0xfffffffffffffffd)\n");
    EXPECT_EQ(rendered(standin::makeReal(std::nan(""))), "0 (0x0)\n");
    EXPECT_EQ(rendered(standin::makeReal(1e300)), "9223372036854775807 (0x7fffffffffffffff)\n");
}

TEST_F(ValueRenderTest, StringsAreQuotedWholeOrNotAtAll)
{
    EXPECT_EQ(rendered(standin::makeString("Sink")), "\"Sink\"\n");
    EXPECT_EQ(rendered(standin::makeString("")), "\"\"\n");
    // Quotes, backslashes and control characters pass through unescaped.
    EXPECT_EQ(rendered(standin::makeString("a\"b\\c\td")), "\"a\"b\\c\td\"\n");
    EXPECT_EQ(rendered(standin::makeString(std::string(511, 'x'))),
              "\"" + std::string(511, 'x') + "\"\n");
    EXPECT_EQ(rendered(standin::makeString(std::string(512, 'x'))), "<unconvertible string>\n");
    // The limit counts UTF-8 bytes: 255 two-byte characters and one more byte
    // are 511 bytes, one character more is 513.
    std::string twoByte;
    for (int i = 0; i < 255; ++i) {
        twoByte += "\xc3\xa9";
    }
    EXPECT_EQ(rendered(standin::makeString(twoByte + "x")), "\"" + twoByte + "x\"\n");
    EXPECT_EQ(rendered(standin::makeString(twoByte + "\xc3\xa9\xc3\xa9")),
              "<unconvertible string>\n");
    // Text with no UTF-8 form cannot be shown.
    EXPECT_EQ(rendered(standin::makeUtf16String(u"ab\xd800")), "<unconvertible string>\n");
    // Only the text before an embedded zero is printed.
    EXPECT_EQ(rendered(standin::makeUtf16String(std::u16string(u"ab\0cd", 5))), "\"ab\"\n");
}

TEST_F(ValueRenderTest, ContainersShowTheirSizeAndOtherKindsTheirTypeId)
{
    EXPECT_EQ(rendered(standin::makeDictionary(standin::DictionaryItems{})),
              "<dict with 0 keys>\n");
    EXPECT_EQ(rendered(standin::makeDictionary({{"Product ID", standin::makeInteger(4387)},
                                                {"Vendor ID", standin::makeInteger(11961)}})),
              "<dict with 2 keys>\n");
    EXPECT_EQ(rendered(standin::makeArray({bytes({1}), bytes({2}), standin::makeArray({})})),
              "<array with 3 items>\n");
    EXPECT_EQ(rendered(standin::makeBoolean(true)),
              "<type " + std::to_string(CFBooleanGetTypeID()) + ">\n");
    EXPECT_EQ(rendered(standin::makeDate(0.0)),
              "<type " + std::to_string(CFDateGetTypeID()) + ">\n");
}

} // namespace
