// Entry lines, probe lines and the sections around them; lines out of place.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report_texts.h"

namespace {

using testing_support::errorOf;
using testing_support::hasNote;
using testing_support::walkOf;
using testing_support::whatWasExpected;
using testing_support::wholeReport;

TEST(ReportEntryLines, GiveDepthPathAndClassInWalkOrder)
{
    auto walk = walkOf(wholeReport("[AppleHPMARMSPMI] AppleHPMARMSPMI (UserClient: U) [com.x]\n"
                                   "  [Device] Device@C\n"
                                   "    [Port] Port-USB-C@1 (UserClient: IOAccessoryManager)\n"
                                   "      [CC] CC\n"
                                   "  [Other] Other [com.y]\n"
                                   "[AppleHPMARMSPMI] AppleHPMARMSPMI\n"
                                   "[] \n"));
    ASSERT_EQ(walk.entries.size(), 7u);
    using Path = std::vector<std::string>;
    EXPECT_EQ(walk.entries[0].path, Path{"AppleHPMARMSPMI"});
    EXPECT_EQ(walk.entries[3].depth, 3u);
    EXPECT_EQ(walk.entries[3].path, (Path{"AppleHPMARMSPMI", "Device@C", "Port-USB-C@1", "CC"}));
    EXPECT_EQ(walk.entries[2].className, "Port");
    EXPECT_EQ(walk.entries[4].path, (Path{"AppleHPMARMSPMI", "Other"}));
    EXPECT_EQ(walk.entries[4].depth, 1u);
    EXPECT_EQ(walk.entries[5].path, Path{"AppleHPMARMSPMI"});
    // Unreadable class and name print as empty texts.
    EXPECT_EQ(walk.entries[6].path, Path{""});
    EXPECT_EQ(walk.entries[6].className, "");
    EXPECT_TRUE(walk.notes.empty());
}

TEST(ReportEntryLines, ReachTheDeepestLevel)
{
    std::string lines;
    for (std::size_t depth = 0; depth <= 8; ++depth) {
        lines += std::string(2 * depth, ' ') + "[C] e" + std::to_string(depth) + "\n";
    }
    lines += std::string(18, ' ') + ">>> PDRevision: 3 (0x3)\n";
    auto walk = walkOf(wholeReport(lines));
    ASSERT_EQ(walk.entries.size(), 9u);
    EXPECT_EQ(walk.entries[8].path.size(), 9u);
    EXPECT_EQ(walk.entries[8].properties.size(), 1u);

    auto error = errorOf(wholeReport(lines + std::string(18, ' ') + "[C] e9\n"));
    EXPECT_EQ(error.line, 13u);
    EXPECT_EQ(whatWasExpected(error), "expected an entry at depth 8 or less (16 spaces at most)");
}

TEST(ReportProbeLines, BelongToTheEntryAboveInKeyOrder)
{
    auto walk = walkOf(wholeReport("[A] A\n"
                                   "  >>> VDMs: <array with 2 items>\n"
                                   "  >>> TraceBuffer: 1 (0x1)\n"
                                   "  [B] B\n"
                                   "    >>> PDRevision: 3 (0x3)\n"
                                   "  [C] C\n"));
    ASSERT_EQ(walk.entries.size(), 3u);
    ASSERT_EQ(walk.entries[0].properties.size(), 2u);
    EXPECT_EQ(walk.entries[0].properties[0].first, "VDMs");
    EXPECT_EQ(walk.entries[0].properties[1].first, "TraceBuffer");
    EXPECT_EQ(walk.entries[1].properties[0].first, "PDRevision");
    EXPECT_TRUE(walk.entries[2].properties.empty());
}

struct BadLine {
    const char *name;
    std::string report;
    std::size_t line;
    std::string message;
};

class ReportBadLines : public ::testing::TestWithParam<BadLine> {};

TEST_P(ReportBadLines, AreRefusedNamingTheLine)
{
    const BadLine &bad = GetParam();
    auto error = errorOf(bad.report);
    EXPECT_EQ(error.line, bad.line);
    EXPECT_EQ(whatWasExpected(error), bad.message);
}

const std::string entryOrProbe = "expected an entry or probe line";

INSTANTIATE_TEST_SUITE_P(
    Grammar, ReportBadLines,
    ::testing::Values(
        BadLine{"NotAReport", "Here is my report\n=== Walking from AppleHPMARMSPMI ===\n", 1,
                "expected the report's first line \"=== Walking from AppleHPMARMSPMI in "
                "IOService plane ===\""},
        BadLine{"NoEmptyLineAfterHeader",
                "=== Walking from AppleHPMARMSPMI in IOService plane ===\n[A] A\n", 2,
                "expected an empty line after the first section's header"},
        BadLine{"ProseInTheWalk", wholeReport("[A] A\nthanks for looking\n"), 4, entryOrProbe},
        BadLine{"ProbeBeforeEntry", wholeReport("  >>> PDRevision: 3 (0x3)\n"), 3,
                "expected an entry line before any probe line"},
        BadLine{"ProbeOfAnotherDepth", wholeReport("[A] A\n  [B] B\n  >>> PDRevision: 3 (0x3)\n"),
                5, "expected a probe line of the entry above, indented by 4 spaces"},
        BadLine{"FirstEntryIndented", wholeReport("  [A] A\n"), 3,
                "expected an entry at depth 0 (without indentation) first"},
        BadLine{"EntryTwoLevelsDown", wholeReport("[A] A\n    [B] B\n"), 4,
                "expected an entry at most one level below the one before (indented by 2 "
                "spaces at most)"},
        BadLine{"OddIndentation", wholeReport("[A] A\n [B] B\n"), 4,
                "expected an entry line indented by an even number of spaces"},
        BadLine{"EntryWithoutName", wholeReport("[A]\n"), 3,
                "expected an entry line \"[class] name\", each name at most 127 bytes, "
                "optionally with \" (UserClient: X)\" and \" [Y]\""},
        BadLine{"NameTooLong", wholeReport("[A] " + std::string(128, 'n') + "\n"), 3,
                "expected an entry line \"[class] name\", each name at most 127 bytes, "
                "optionally with \" (UserClient: X)\" and \" [Y]\""},
        BadLine{"UnknownKey", wholeReport("[A] A\n  >>> IOClass: \"A\"\n"), 4,
                "expected one of the 26 probed keys, not \"IOClass\""},
        BadLine{"KeysOutOfOrder",
                wholeReport("[A] A\n  >>> SpecRevision: 2 (0x2)\n  >>> PDRevision: 3 (0x3)\n"), 5,
                "\"PDRevision\" out of order: a report lists an entry's keys in a fixed order, "
                "and this one comes before \"SpecRevision\""},
        BadLine{"KeyTwice",
                wholeReport("[A] A\n  >>> PDRevision: 3 (0x3)\n  >>> PDRevision: 3 (0x3)\n"), 5,
                "\"PDRevision\" out of order: a report lists an entry's keys in a fixed order, "
                "and this one comes before \"PDRevision\""},
        BadLine{"ProbeWithoutValue", wholeReport("[A] A\n  >>> PDRevision\n"), 4,
                "expected a probe line \">>> KEY: VALUE\""},
        BadLine{"OneEmptyLineInTheWalk", wholeReport("[A] A\n\n  [B] B\n"), 4,
                "expected an entry or probe line, or two empty lines before the IOPower "
                "section's header"},
        BadLine{"WrongSecondHeader",
                "=== Walking from AppleHPMARMSPMI in IOService plane ===\n\n[A] A\n\n\n"
                "=== Walking AppleHPMARMSPMI in IODeviceTree plane ===\n",
                6,
                "expected the IOPower section's header \"=== Walking AppleHPMARMSPMI in IOPower "
                "plane ===\""},
        BadLine{"BadLineInThePowerSection", wholeReport("[A] A\n", "[A] A\n    [B] B\n"), 9,
                "expected an entry at most one level below the one before (indented by 2 "
                "spaces at most)"},
        BadLine{"InterestOutcomeAgainstStatus",
                wholeReport("", "", "  General interest notification: kr=0x0 FAILED\n"), 10,
                "expected \"  General interest notification: kr=0xSTATUS SUCCESS\" or \"  "
                "General interest notification: kr=0xSTATUS FAILED\": SUCCESS for status 0 and "
                "FAILED for any other"},
        BadLine{"InterestStatusPast32Bits",
                wholeReport("", "", "  General interest notification: kr=0x100000000 FAILED\n"), 10,
                "expected \"  General interest notification: kr=0xSTATUS SUCCESS\" or \"  "
                "General interest notification: kr=0xSTATUS FAILED\", with a 32-bit STATUS in "
                "lower-case hexadecimal"},
        BadLine{"BusyBeforeGeneral",
                wholeReport("", "", "  Busy interest notification: kr=0x0 SUCCESS\n"), 10,
                "expected \"  General interest notification: kr=0xSTATUS SUCCESS\" or \"  "
                "General interest notification: kr=0xSTATUS FAILED\""}),
    [](const ::testing::TestParamInfo<BadLine> &info) { return info.param.name; });

TEST(ReportSections, NoControllersAndEmptySectionsAreAReport)
{
    auto walk = walkOf(wholeReport("No AppleHPMARMSPMI found\n"));
    EXPECT_TRUE(walk.entries.empty());
    EXPECT_TRUE(hasNote(walk, "the registry lookup failed"));

    auto empty = walkOf(wholeReport("", "",
                                    "  General interest notification: kr=0x0 SUCCESS\n"
                                    "  Busy interest notification: kr=0xe00002c7 FAILED\n"));
    EXPECT_TRUE(empty.entries.empty());
    EXPECT_TRUE(empty.notes.empty());
}

TEST(ReportSections, ThePowerSectionIsCheckedButNotRead)
{
    auto walk = walkOf(wholeReport("[A] A\n", "[A] A\n  [IOPowerConnection] IOPowerConnection\n"
                                              "    >>> PDRevision: 3 (0x3)\n"));
    ASSERT_EQ(walk.entries.size(), 1u);
    EXPECT_TRUE(walk.entries[0].properties.empty());
}

} // namespace
