// Texts that more than one reading fits: the parser takes the one a report's
// own rules make likely, and says so.
#include <gtest/gtest.h>

#include <string>

#include "report_texts.h"

namespace {

using testing_support::errorOf;
using testing_support::hasNote;
using testing_support::walkOf;
using testing_support::whatWasExpected;
using testing_support::wholeReport;

TEST(ReportAmbiguity, AnnotationsAreTheLastOnTheLine)
{
    auto walk = walkOf(wholeReport("[C] Port [1] [com.x]\n"
                                   "  [C] a (UserClient: b) (UserClient: c)\n"
                                   "  [C] Port [1]\n"
                                   "  [C] Port (1)\n"
                                   "  [x] y] z\n"));
    ASSERT_EQ(walk.entries.size(), 5u);
    EXPECT_EQ(walk.entries[0].path.back(), "Port [1]");
    EXPECT_EQ(walk.entries[1].path.back(), "a (UserClient: b)");
    // Without a further " [" the bracket is the bundle annotation.
    EXPECT_EQ(walk.entries[2].path.back(), "Port");
    EXPECT_EQ(walk.entries[3].path.back(), "Port (1)");
    // Classes are identifiers: the class ends at the first "] ".
    EXPECT_EQ(walk.entries[4].className, "x");
    EXPECT_EQ(walk.entries[4].path.back(), "y] z");
    EXPECT_TRUE(hasNote(walk, "line 3: read the entry name as \"Port [1]\", taking the last "
                              "\" (UserClient: ...)\" and \" [...]\" on the line as its "
                              "annotations"));
    EXPECT_TRUE(hasNote(walk, "line 4: read the entry name as \"a (UserClient: b)\""));
    EXPECT_EQ(walk.notes.size(), 2u);
}

TEST(ReportAmbiguity, AStringRunsToTheFirstQuoteThatAReportLineFollows)
{
    auto walk = walkOf(wholeReport("[A] A\n"
                                   "  >>> PowerRole: \"first\n"
                                   "second \"quoted\"\n"
                                   "\n"
                                   "  >>> DataRole: \"not a probe line\"\n"
                                   "third\"\n"
                                   "  >>> MessageLog: \"one\"\n"
                                   "  [B] B\n"
                                   "    >>> MessageLog: \"last\n"
                                   "\"\n"));
    ASSERT_EQ(walk.entries.size(), 2u);
    ASSERT_EQ(walk.entries[0].properties.size(), 2u);
    EXPECT_EQ(walk.entries[0].properties[0].second.text,
              "first\nsecond \"quoted\"\n\n  >>> DataRole: \"not a probe line\"\nthird");
    EXPECT_EQ(walk.entries[0].properties[1].second.text, "one");
    // The last string of the section: its end is followed by the section break.
    EXPECT_EQ(walk.entries[1].properties[0].second.text, "last\n");
    EXPECT_TRUE(hasNote(walk, "line 4: the string value of \"PowerRole\" holds line feeds; it is "
                              "read up to line 8, the first that ends with a quote and is "
                              "followed by a report line"));
    EXPECT_TRUE(hasNote(walk, "line 11: the string value of \"MessageLog\" holds line feeds"));
}

TEST(ReportAmbiguity, AStringThatNeverClosesIsRefusedAtItsLine)
{
    std::string lines = "[A] A\n  >>> PowerRole: \"open\n";
    for (int i = 0; i < 40; ++i) {
        lines += "  >>> DataRole: some text of the log that is not a report line\n";
    }
    auto error = errorOf(wholeReport(lines + "  [B] B\n"));
    EXPECT_EQ(error.line, 4u);
    EXPECT_EQ(whatWasExpected(error),
              "expected the string value of \"PowerRole\" to close with a quote "
              "within the 511 bytes a report shows of a string");
}

// When no line after it fits, the first closing quote ends the string, and
// the error names the line that breaks the report.
TEST(ReportAmbiguity, AStringWithoutAFittingEndClosesAtItsFirstQuote)
{
    auto error = errorOf(wholeReport("[A] A\n  >>> PowerRole: \"Sink\"\nthanks!\n"
                                     "  [B] B\n"));
    EXPECT_EQ(error.line, 5u);
    EXPECT_EQ(whatWasExpected(error), "expected an entry or probe line");
}

} // namespace
