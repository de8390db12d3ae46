// The forms a report arrives in once pasted: each read as the report it is,
// or refused on purpose.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "report_texts.h"
#include "walk_difference.h"

namespace {

using testing_support::errorOf;
using testing_support::hasNote;
using testing_support::walkOf;
using testing_support::whatWasExpected;
using testing_support::wholeReport;

std::string sampleReport()
{
    std::ifstream file(PORTPROBE_GOLDEN, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Each line with prefix before it; empty lines get emptyPrefix.
std::string quotedWith(const std::string &text, const std::string &prefix,
                       const std::string &emptyPrefix)
{
    std::istringstream lines(text);
    std::string out;
    for (std::string line; std::getline(lines, line);) {
        out += (line.empty() ? emptyPrefix : prefix) + line + "\n";
    }
    return out;
}

std::string replacedAll(std::string text, const std::string &from, const std::string &to)
{
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// The sample up to (not including) the line that begins with marker.
std::string sampleBefore(const std::string &marker)
{
    std::string sample = sampleReport();
    return sample.substr(0, sample.find("\n" + marker) + 1);
}

std::string entriesDifference(explain::RegistryWalk expected, explain::RegistryWalk actual)
{
    expected.notes.clear();
    actual.notes.clear();
    return testing_support::walkDifference(expected, actual);
}

class ReportInputForms : public ::testing::Test {
protected:
    void SetUp() override
    {
        sample_ = sampleReport();
        ASSERT_FALSE(sample_.empty());
        whole_ = walkOf(sample_);
        ASSERT_EQ(whole_.entries.size(), 54u);
    }

    std::string sample_;
    explain::RegistryWalk whole_;
};

TEST_F(ReportInputForms, EmptyOrBlankInputIsRefused)
{
    for (const char *text : {"", "\xef\xbb\xbf"}) {
        auto error = errorOf(text);
        EXPECT_EQ(error.line, 1u);
        EXPECT_EQ(whatWasExpected(error), "the report is empty");
    }
    for (const char *text : {"\n  \n\t\r\n", ">>> \n", "> \n>\n"}) {
        auto error = errorOf(text);
        EXPECT_EQ(error.line, 1u);
        EXPECT_EQ(whatWasExpected(error), "the report holds only blank lines");
    }
}

TEST_F(ReportInputForms, TextThatIsNotUtf8IsRefusedNamingTheLine)
{
    auto error = errorOf(wholeReport(std::string("[A] A\n  >>> PowerRole: \"a\0b\"\n", 28)));
    EXPECT_EQ(error.line, 4u);
    EXPECT_EQ(error.message, "the report is not text: byte 20 of the line is a zero byte, after "
                             "\"  >>> PowerRole: \\\"a\"");
    for (const char *bad : {"\xff", "\xc0\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xe2\x82"}) {
        error = errorOf(wholeReport("[A] A\n  [B] name" + std::string(bad) + "\n"));
        EXPECT_EQ(error.line, 4u) << bad;
        EXPECT_EQ(
            error.message,
            "the report is not text: byte 11 of the line is not valid UTF-8, after \"  [B] name\"");
    }
    auto walk = walkOf(wholeReport("[A] \xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\n"));
    ASSERT_EQ(walk.entries.size(), 1u);
    EXPECT_EQ(walk.entries[0].path[0], "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80");
}

TEST_F(ReportInputForms, CrlfLineEndsReadAsTheReport)
{
    auto walk = walkOf(replacedAll(sample_, "\n", "\r\n"));
    EXPECT_EQ(entriesDifference(whole_, walk), "");
    // A carriage return inside a string stays, in a report with LF line ends.
    auto lf = walkOf(wholeReport("[A] A\n  >>> PowerRole: \"a\r\nb\r\"\n"));
    ASSERT_EQ(lf.entries.size(), 1u);
    EXPECT_EQ(lf.entries[0].properties[0].second.text, "a\r\nb\r");
}

TEST_F(ReportInputForms, BlankLinesAroundTheReportAndAMissingLastLineFeed)
{
    EXPECT_EQ(testing_support::walkDifference(whole_, walkOf("\n \n" + sample_ + "\n\n\t\n")), "");
    EXPECT_EQ(
        testing_support::walkDifference(whole_, walkOf(sample_.substr(0, sample_.size() - 1))), "");
    // A leading byte-order mark, as some editors save.
    EXPECT_EQ(testing_support::walkDifference(whole_, walkOf("\xef\xbb\xbf" + sample_)), "");
}

TEST_F(ReportInputForms, AQuotingPrefixIsStrippedFromEveryLine)
{
    struct Quoting {
        const char *prefix;
        const char *empty;
    };
    for (auto quoting : {Quoting{"> ", ">"}, Quoting{"> ", "> "}, Quoting{">", ">"},
                         Quoting{"> > ", "> >"}, Quoting{">> ", ""}}) {
        auto walk = walkOf(quotedWith(sample_, quoting.prefix, quoting.empty));
        EXPECT_EQ(entriesDifference(whole_, walk), "") << quoting.prefix;
        EXPECT_TRUE(hasNote(walk, std::string("every line of the report is quoted with \"") +
                                      quoting.prefix + "\"; read without it"));
    }
    // Quoted empty lines before the report's first line.
    EXPECT_EQ(entriesDifference(whole_, walkOf(">\n> \n" + quotedWith(sample_, "> ", ">"))), "");

    std::string quoted = quotedWith(sample_, "> ", ">");
    quoted.replace(quoted.find("> [AppleHPMARMSPMI]"), 2, "");
    auto error = errorOf(quoted);
    EXPECT_EQ(error.line, 3u);
    EXPECT_EQ(whatWasExpected(error),
              "expected the quoting prefix \"> \" that the report's first line has");
}

TEST_F(ReportInputForms, AReportCutAfterItsFirstSectionIsReadWhole)
{
    for (const char *cut :
         {"[AppleHPMARMSPMI] AppleHPMARMSPMI (UserClient: AppleHPMUserClient) "
          "[com.apple.driver.AppleHPM]\n  [IOPowerConnection]",
          "          >>> DisplayPortStatus: 154 (0x9a)", "  Busy interest notification"}) {
        std::string text = sampleBefore(cut);
        auto walk = walkOf(text);
        EXPECT_EQ(entriesDifference(whole_, walk), "") << cut;
        EXPECT_TRUE(hasNote(walk, "the report ends at line")) << cut;
        EXPECT_FALSE(hasNote(walk, "within its first section")) << cut;
    }
    // Only the first section was pasted.
    auto walk = walkOf(sampleBefore("\n\n=== Walking AppleHPMARMSPMI"));
    EXPECT_EQ(entriesDifference(whole_, walk), "");
    EXPECT_TRUE(hasNote(walk, "within its first section (the IOPower section does not follow)"));
}

TEST_F(ReportInputForms, AReportCutInADumpKeepsTheBytesShown)
{
    auto atLine = [](const explain::RegistryWalk &walk) {
        const auto &port = walk.entries.at(3);
        EXPECT_EQ(port.path.back(), "Port-USB-C@1");
        return port.properties.back().second;
    };
    // After a whole line of the dump.
    std::string text = sampleBefore("        53 43 81 00");
    auto walk = walkOf(text);
    ASSERT_EQ(walk.entries.size(), 4u);
    auto trace = atLine(walk);
    EXPECT_EQ(trace.bytes.size(), 32u);
    EXPECT_EQ(trace.length, 256);
    EXPECT_TRUE(hasNote(walk, "line 13: the report ends in the dump of \"TraceBuffer\": 32 of its "
                              "256 bytes are in the report"));

    // In the middle of a line, which then has no line feed.
    walk = walkOf(text + "        53 43 8");
    EXPECT_EQ(atLine(walk).bytes.size(), 34u);
    EXPECT_TRUE(hasNote(walk, "line 14: the report's last line is cut short in the dump of "
                              "\"TraceBuffer\": 34 of its 256 bytes are in the report"));

    // With its line feed, the same line is a whole line, and wrong.
    auto error = errorOf(text + "        53 43 8\n");
    EXPECT_EQ(error.line, 14u);
}

TEST_F(ReportInputForms, ALastLineCutShortIsLeftOut)
{
    std::string text = sampleBefore("        [IOPortTransportComponentCCUSBPDSOP] SOP");
    auto walk = walkOf(text + "        [IOPortTransportCompo");
    EXPECT_EQ(walk.entries.size(), 5u);
    EXPECT_TRUE(hasNote(walk, "the report ends at line 31, within its first section, in a line "
                              "cut short that is left out (it ends without a line feed and does "
                              "not read as a whole line: expected an entry line \"[class] name\""));
    EXPECT_TRUE(hasNote(walk, ": entries after it, if the registry had any, are not in the "
                              "report"));
    // Cut in its last section: the first is whole.
    const std::string all = sampleBefore("  Busy interest notification") + "  Busy interest notif";
    walk = walkOf(all);
    EXPECT_EQ(walk.entries.size(), 54u);
    EXPECT_TRUE(hasNote(walk, "its first section is whole"));

    walk = walkOf(sampleBefore("        >>> MessageLog: ") +
                  "        >>> MessageLog: \"attach CC2 Rp-3.0A; SRC_");
    EXPECT_EQ(walk.entries.size(), 5u);
    EXPECT_EQ(walk.entries[4].properties.back().first, "ActiveContract");
    EXPECT_TRUE(hasNote(walk, "line 30: the report ends inside the string value of "
                              "\"MessageLog\", which is left out"));

    auto error = errorOf(text + "        [IOPortTransportCompo\n");
    EXPECT_EQ(error.line, 31u);
    error = errorOf(sample_.substr(0, 40));
    EXPECT_EQ(error.line, 1u);
}

TEST_F(ReportInputForms, DumpLinesWithoutTheirTrailingSpaceAreRead)
{
    std::string trimmed = replacedAll(sample_, " \n", "\n");
    auto walk = walkOf(trimmed);
    EXPECT_EQ(entriesDifference(whole_, walk), "");
    EXPECT_TRUE(hasNote(walk, "line 11: a dump line lacks the space a report prints after its last "
                              "byte"));
}

} // namespace
