// What the tools say of how snapshots were read: the planes, and a registry
// that holds no port controller for the report to walk from.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/snapshot_planes.h"
#include "replay/controller_presence.h"
#include "support/report_fixture.h"

namespace {

using snapshot::SnapshotPlanes;

SnapshotPlanes onePlane(const std::string &plane, const std::string &recognised = "",
                        bool linked = true)
{
    SnapshotPlanes read;
    read.planes = {plane};
    read.recognised = recognised;
    read.evidence = recognised.empty() ? "" : "what shows it";
    read.linked = linked;
    return read;
}

SnapshotPlanes mapOf(const std::vector<std::string> &planes)
{
    SnapshotPlanes read;
    read.planes = planes;
    read.mapOfPlanes = true;
    return read;
}

TEST(PlaneNotesTest, SayWhatWasGuessedContradictedOrLeftOutOnce)
{
    const cli::PlaneUse use = {{{"IOPort", "not shown here"}}};
    struct Case {
        const char *what;
        std::vector<cli::SnapshotArgument> given;
        std::vector<SnapshotPlanes> read;
        std::vector<std::string> notes;
    };
    const Case cases[] = {
        {"a capture alone takes the default without a word",
         {{"a", ""}},
         {onePlane("IOService")},
         {}},
        {"among several, the default is said of one that links entries",
         {{"a", ""}, {"b", ""}, {"-", ""}},
         {onePlane("IOService", "IOService"), onePlane("IOService"),
          onePlane("IOService", "", false)},
         {"b: read as the IOService plane, as a capture is unless -p names another: nothing in "
          "it shows its plane"}},
        {"a plane named against the capture, once however often named",
         {{"a", "IOPower"}, {"a", "IOPower"}},
         {onePlane("IOPower", "IOService"), onePlane("IOPower", "IOService")},
         {"warning: a: read as the IOPower plane, as -p says, but it is a capture of the "
          "IOService plane (what shows it)"}},
        {"a plane the tools do not read, once per plane",
         {{"a", "IOpower"}, {"b", "IOpower"}},
         {onePlane("IOpower"), onePlane("IOpower")},
         {"warning: -p IOpower: captures are read in the IOService, IOPort and IOPower planes; "
          "IOpower is not shown"}},
        {"a capture of a plane the tool does not show",
         {{"-", ""}},
         {onePlane("IOPort", "IOPort")},
         {"standard input: not shown here"}},
        {"a map holds what it holds, but a plane of no capture is said",
         {{"m", ""}},
         {mapOf({"IOService", "IOPort", "IODeviceTree"})},
         {"m: its IODeviceTree plane is not shown: captures are read in the IOService, IOPort and "
          "IOPower planes"}},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(cli::planeNotes(use, c.given, c.read), c.notes) << c.what;
    }
}

class ControllerPresenceTest : public testing_support::StandinTest {};

TEST_F(ControllerPresenceTest, IsSaidOnlyWhenTheLookupFindsNone)
{
    const std::string none =
        "note: the snapshots hold no port controller (class AppleHPMARMSPMI), which the report "
        "walks from, so it lists none; a capture of the IOPort plane or of the power manager is "
        "for portprobe-explain: portprobe-explain port.plist - 'my port'\\''s.plist'";
    const std::vector<std::string> paths = {"port.plist", "-", "my port's.plist"};
    entry("AppleHPMInterfaceType10", "Port-USB-C");
    EXPECT_EQ(noControllerNote(paths), none);

    startOver();
    entry("AppleHPMARMSPMI");
    EXPECT_EQ(noControllerNote(paths), "");

    // A failed lookup is the report's to say ("No AppleHPMARMSPMI found").
    startOver();
    standin::faults().add(standin::FaultRule(standin::Call::serviceLookup));
    EXPECT_EQ(noControllerNote(paths), "");
}

} // namespace
