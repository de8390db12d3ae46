// The round trip: portprobe's report of a registry, read back, is exactly the
// registry's walk reduced to what a report holds. The registry's walk comes
// from the stand-in's own API (standin_walk.h).
#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "app/report_sections.h"
#include "explain/input/report/report_parser.h"
#include "explain/input/report/report_view.h"
#include "platform/standin/snapshot/snapshot_loader.h"
#include "registry_generator.h"
#include "standin_walk.h"
#include "support/report_fixture.h"
#include "walk_difference.h"

namespace {

using testing_support::walkDifference;
using testing_support::walkOfStandinRegistry;

class ReportRoundTrip : public testing_support::StandinTest {
protected:
    // The report of the stand-in's registry, read back, against the walk.
    static void expectRoundTrip(const std::string &label)
    {
        const std::string text = report();
        auto parsed = explain::parseReport(text);
        if (const auto *error = std::get_if<explain::ReportParseError>(&parsed)) {
            FAIL() << label << ": line " << error->line << ": " << error->message;
        }
        const auto &walk = std::get<explain::RegistryWalk>(parsed);
        explain::RegistryWalk expected = explain::asReportShows(walkOfStandinRegistry());
        EXPECT_FALSE(expected.entries.empty()) << label;
        EXPECT_EQ(walkDifference(expected, walk), "") << label;
    }
};

TEST_F(ReportRoundTrip, TheSample)
{
    ASSERT_EQ(snapshot::loadBuiltInSample(), std::nullopt);
    expectRoundTrip("the sample");
    // The sample shows every kind the report has: a sanity check that the
    // comparison above compared something.
    auto walk = std::get<explain::RegistryWalk>(explain::parseReport(report()));
    EXPECT_GT(walk.entries.size(), 40u);
    EXPECT_EQ(walk.notes.size(), 3u); // containers, long data, booleans
}

TEST_F(ReportRoundTrip, GeneratedRegistries)
{
    for (std::uint64_t seed = 1; seed <= 12; ++seed) {
        for (std::size_t entries : {1, 2, 17, 300}) {
            bench::generateRegistry(entries, seed);
            expectRoundTrip("seed " + std::to_string(seed) + ", " + std::to_string(entries) +
                            " entries");
            startOver();
        }
    }
}

// Values at the edges of what the report shows, on one entry.
TEST_F(ReportRoundTrip, ValuesAtTheReportsLimits)
{
    standin::EntryId controller = entry("AppleHPMARMSPMI");
    standin::EntryId port = entry("AppleHPMInterfaceType10", std::string(130, 'p'));
    link(controller, port);
    standin::setProperty(port, "VDMs", standin::makeReal(-2.5));
    standin::setProperty(port, "VDOs", standin::makeUnsigned(0xffffffffffffffffULL));
    standin::setProperty(port, "PDRevision", testing_support::bytesOfLength(129));
    standin::setProperty(port, "SpecRevision", testing_support::bytesOfLength(0));
    standin::setProperty(port, "PowerRole", standin::makeString(std::string(511, 'a')));
    standin::setProperty(port, "DataRole", standin::makeString(std::string(512, 'a')));
    standin::setProperty(port, "VCONNSource", standin::makeBoolean(true));
    standin::setProperty(port, "SVIDs", standin::makeDate(1.0));
    standin::setProperty(port, "Modes", standin::makeUtf16String(std::u16string{u'a', 0, u'b'}));
    standin::setProperty(port, "RawVDM", standin::makeUtf16String(std::u16string(1, 0xd800)));
    standin::setProperty(port, "MessageLog", standin::makeString("say \"hi\" \xc3\xa9"));
    expectRoundTrip("limits");
}

// Texts that a report prints ambiguously come back as they were, in the
// reading a real registry makes likely, with a note for each.
TEST_F(ReportRoundTrip, AmbiguousTextsComeBackWithANote)
{
    standin::EntryId controller = entry("AppleHPMARMSPMI");
    standin::EntryId port = entry("AppleHPMInterfaceType10", "Port [1] (UserClient: x)");
    standin::setProperty(port, "IOUserClientClass", standin::makeString("IOAccessoryManager"));
    standin::setProperty(port, "CFBundleIdentifier", standin::makeString("com.example"));
    standin::setProperty(port, "PowerRole", standin::makeString("one\n\"two\"\nthree"));
    standin::setProperty(port, "MessageLog", standin::makeString("last\n"));
    link(controller, port);

    auto parsed = explain::parseReport(report());
    ASSERT_TRUE(std::holds_alternative<explain::RegistryWalk>(parsed));
    auto walk = std::get<explain::RegistryWalk>(parsed);
    explain::RegistryWalk expected = explain::asReportShows(walkOfStandinRegistry());
    expected.notes = walk.notes;
    EXPECT_EQ(walkDifference(expected, walk), "");
    EXPECT_EQ(walk.notes.size(), 3u);
}

} // namespace
