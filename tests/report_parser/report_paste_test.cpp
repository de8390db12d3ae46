// What pasting does to a report, undone: each damage once, on the sample's
// report, read back as the undamaged report reads; and what cannot be undone
// for certain, refused naming the line, its text and the likely cause.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "report_texts.h"
#include "walk_difference.h"

namespace {

using testing_support::errorOf;
using testing_support::hasNote;
using testing_support::walkOf;
using testing_support::wholeReport;

std::string sampleReport()
{
    std::ifstream file(PORTPROBE_GOLDEN, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Each line of text passed through change, which returns the line's
// replacement lines, each ending with a line feed.
std::string eachLine(const std::string &text, const std::function<std::string(std::string)> &change)
{
    std::istringstream lines(text);
    std::string out;
    for (std::string line; std::getline(lines, line);) {
        out += change(line);
    }
    return out;
}

enum class Cut { atWidth, atSpace, atSpaceKept, atSpaceMoved };

// A mail client's wrapping: lines longer than width cut at width, or at the
// last space that keeps the line within width (the space dropped, kept at
// the line's end, or moved to the start of the next), or at width when there
// is none.
std::string wrapped(const std::string &text, std::size_t width, Cut how)
{
    return eachLine(text, [&](std::string line) {
        std::string out;
        while (line.size() > width) {
            std::size_t cut = how == Cut::atWidth
                                  ? std::string::npos
                                  : line.rfind(' ', how == Cut::atSpaceKept ? width - 1 : width);
            const bool atSpace = cut != std::string::npos && cut > 0;
            const std::size_t kept = atSpace ? cut + (how == Cut::atSpaceKept ? 1 : 0) : width;
            out += line.substr(0, kept) + "\n";
            line = line.substr(atSpace ? cut + (how == Cut::atSpaceMoved ? 0 : 1) : width);
        }
        return out + line + "\n";
    });
}

// Leading spaces as tabs of width columns, then the spaces left over.
std::string withTabs(const std::string &text, std::size_t width)
{
    return eachLine(text, [&](const std::string &line) {
        const std::size_t spaces = std::min(line.find_first_not_of(' '), line.size());
        return std::string(spaces / width, '\t') + std::string(spaces % width, ' ') +
               line.substr(spaces) + "\n";
    });
}

std::string entriesDifference(explain::RegistryWalk expected, explain::RegistryWalk actual)
{
    expected.notes.clear();
    actual.notes.clear();
    return testing_support::walkDifference(expected, actual);
}

class ReportPaste : public ::testing::Test {
protected:
    void SetUp() override
    {
        sample_ = sampleReport();
        whole_ = walkOf(sample_);
        ASSERT_EQ(whole_.entries.size(), 54u);
        firstSection_ = sample_.substr(0, sample_.find("\n\n\n=== Walking AppleHPMARMSPMI") + 1);
    }

    std::string sample_;
    std::string firstSection_;
    explain::RegistryWalk whole_;
};

TEST_F(ReportPaste, EachDamageIsUndoneAndSaidOnce)
{
    struct Damage {
        const char *name;
        std::string text;
        std::string note; // said once
    };
    const Damage damages[] = {
        {"a code fence", "```\n" + sample_ + "```\n", "a Markdown code fence (lines 1 and 207)"},
        {"a fence with its language, text after it",
         "Output:\n\n~~~~text\n" + sample_ + "~~~~\nThanks\n",
         "the text after the closing fence (line 210) is left out"},
        {"prose and a command line before", "Hi, here it is:\n$ portprobe\n" + sample_,
         "the text before the report (lines 1 to 2) is left out"},
        {"text after section 3", sample_ + "Thanks for looking!\n\n-- \nAnna\n",
         "the report ends at line 205, its last section whole; the text after it, from line "
         "206, is left out"},
        {"text after section 3, past a blank line", sample_ + "\nThanks\n",
         "the text after it, from line 207, is left out"},
        {"section 1 alone, then text", firstSection_ + "\nThanks\n",
         "its first section is whole; the text after it, from line 135, is left out"},
        {"indented by four spaces",
         eachLine(
             sample_,
             [](const std::string &line) { return (line.empty() ? "" : "    ") + line + "\n"; }),
         "every line of the report is indented by 4 spaces; read without it"},
        {"indented by a tab, then text",
         eachLine(sample_, [](const std::string &line) { return "\t" + line + "\n"; }) + "Thanks\n",
         "every line of the report is indented by a tab; read without it"},
        {"tabs of 8 columns for spaces", withTabs(sample_, 8),
         "each tab is read as reaching the next multiple of 8 columns"},
        {"a tab for each level", withTabs(sample_, 2),
         "each tab is read as reaching the next multiple of 2 columns"},
        {"wrapped at 72 columns, at spaces", wrapped(sample_, 72, Cut::atSpace),
         "wrapped at 72 columns, as a mail client wraps long lines"},
        {"wrapped at 76 columns, at spaces kept", wrapped(sample_, 76, Cut::atSpaceKept),
         "wrapped at 76 columns"},
        {"wrapped at 72 columns, each space moved to the next line",
         wrapped(sample_, 72, Cut::atSpaceMoved), "wrapped at 72 columns"},
        {"cut at 91 columns, a trailing space onto its own line",
         wrapped(sample_, 91, Cut::atWidth), "wrapped at 91 columns"},
        {"cut at 72 columns", wrapped(sample_, 72, Cut::atWidth), "wrapped at 72 columns"},
        {"quoted, then wrapped at 78",
         wrapped(eachLine(sample_, [](const std::string &line) { return "> " + line + "\n"; }), 78,
                 Cut::atSpace),
         "wrapped at 78 columns"},
    };
    for (const Damage &damage : damages) {
        auto walk = walkOf(damage.text);
        EXPECT_EQ(entriesDifference(whole_, walk), "") << damage.name;
        std::size_t said = 0;
        for (const std::string &note : walk.notes) {
            said += note.find(damage.note) != std::string::npos ? 1 : 0;
        }
        EXPECT_EQ(said, 1u) << damage.name;
    }
}

TEST_F(ReportPaste, ErrorsShowTheStartOfTheLine)
{
    struct Case {
        std::string text;
        std::size_t line;
        std::string message;
    };
    const Case cases[] = {
        {wholeReport("[A] A\nThanks for looking at this report, it is long\n"), 4,
         "expected an entry or probe line, not \"Thanks for looking at this report, it is...\""},
        {wholeReport("[A] A\n  >>> PDRevision: 3 (0x3)\n  >>> Datarole: \"\tDFP\x7f\"\n"), 5,
         "expected one of the 26 probed keys, not \"Datarole\"; the line reads \"  >>> "
         "Datarole: \\\"\\tDFP\\x7f\\\"\""},
        {wholeReport("[A] \xc3\xa9" + std::string(40, 'e') + "\n  >>> PDRevision\n"), 4,
         "expected a probe line \">>> KEY: VALUE\", not \"  >>> PDRevision\""},
    };
    for (const Case &c : cases) {
        auto error = errorOf(c.text);
        EXPECT_EQ(error.line, c.line) << c.message;
        EXPECT_EQ(error.message, c.message);
    }
}

TEST_F(ReportPaste, AWrappedLineThatCannotBeJoinedForCertainNamesTheCause)
{
    // The dump's rest is not bytes: no joining reads as a report line.
    // The longest line is the notification section's header, 74 columns.
    auto error = errorOf(wholeReport(std::string("[A] A\n  [B] B\n") +
                                     "    >>> SinkCapabilities: <data 16 bytes> 2c 91 01 36 2c "
                                     "d1 02 00 2c b1 04\nzz 00 f4 41 06 00 \n"));
    EXPECT_EQ(error.line, 5u);
    EXPECT_NE(error.message.find("; line 6 looks like the end of line 5 (wrapped at 74 "
                                 "columns?)"),
              std::string::npos)
        << error.message;

    // A string cut where a space may or may not have stood, with no other
    // line to tell how this client cuts.
    error = errorOf(wholeReport("[A] A\n  [B] B\n    >>> MessageLog: \"" + std::string(53, 'm') +
                                "\nmore\"\n"));
    EXPECT_EQ(error.line, 6u);
    EXPECT_NE(error.message.find("line 6 looks like the end of line 5 (wrapped at 74 columns?), "
                                 "but it reads both with and without a space where it was cut"),
              std::string::npos)
        << error.message;
}

TEST_F(ReportPaste, TabsThatReadWithTwoWidthsAreRefused)
{
    // A report that reads with its tabs as they are keeps them.
    auto walk = walkOf(wholeReport("[A] A\n  >>> MessageLog: \"one\n\ttwo\"\n"));
    ASSERT_EQ(walk.entries.size(), 1u);
    EXPECT_EQ(walk.entries[0].properties[0].second.text, "one\n\ttwo");

    auto error = errorOf(wholeReport("[A] A\n  [B] B\n    [C] C\n      [D] D\n        [E] E\n"
                                     "\t[F] F\n"));
    EXPECT_EQ(error.line, 8u);
    EXPECT_NE(error.message.find("it reads with a tab as 2 and as 4 spaces: replace the tabs "
                                 "with the spaces meant; the line reads \"\\t[F] F\""),
              std::string::npos)
        << error.message;
}

TEST_F(ReportPaste, TextAfterTheReportIsNoErrorButInsideItIs)
{
    // Where a quoted paste's quoting stops, the report stops.
    std::string quoted =
        eachLine(firstSection_, [](const std::string &line) { return "> " + line + "\n"; });
    auto walk = walkOf(quoted + "Thanks\n");
    EXPECT_EQ(entriesDifference(whole_, walk), "");
    EXPECT_TRUE(hasNote(walk, "from line 134, is left out"));
    // A report line after the text is not the report's end.
    auto error = errorOf(wholeReport("[A] A\n\n  [B] B\n"));
    EXPECT_EQ(error.line, 4u);
}

} // namespace
