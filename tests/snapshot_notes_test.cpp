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

SnapshotPlanes mapOf(const std::vector<std::string> &planes)
{
    SnapshotPlanes read;
    read.planes = planes;
    read.mapOfPlanes = true;
    return read;
}

// The rest is said by the programs, and tested there (replay_test.cpp,
// explain_program_test.cpp); a map of planes is read into the planes it
// names, and only one that no tool reads is said.
TEST(PlaneNotesTest, AMapOfPlanesIsSaidOnlyOfAPlaneNoToolReads)
{
    const cli::PlaneUse use = {{{"IOPort", "not shown here"}}};
    EXPECT_EQ(cli::planeNotes(use, {{"m", ""}, {"n", ""}},
                              {mapOf({"IOService", "IOPort", "IODeviceTree"}), mapOf({"IOPort"})}),
              std::vector<std::string>({"m: its IODeviceTree plane is not shown: captures are "
                                        "read in the IOService, IOPort and IOPower planes"}));
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
