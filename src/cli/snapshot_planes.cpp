#include "cli/snapshot_planes.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>

#include "cli/input_file.h"

namespace cli {

const std::vector<std::string> capturePlanes = {"IOService", "IOPort", "IOPower"};

namespace {

// The pieces of a message, joined.
std::string joined(std::initializer_list<std::string_view> pieces)
{
    std::string text;
    for (std::string_view piece : pieces) {
        text += piece;
    }
    return text;
}

bool isCapturePlane(const std::string &plane)
{
    return std::find(capturePlanes.begin(), capturePlanes.end(), plane) != capturePlanes.end();
}

std::string unknownPlaneWarning(const std::string &plane)
{
    return joined({"warning: -p ", plane,
                   ": captures are read in the IOService, IOPort and IOPower planes; ", plane,
                   " is not shown"});
}

} // namespace

std::vector<std::string> planeNotes(const PlaneUse &use, const std::vector<SnapshotArgument> &given,
                                    const std::vector<snapshot::SnapshotPlanes> &read)
{
    std::vector<std::string> notes;
    std::vector<std::string> warned;
    const std::size_t count = std::min(given.size(), read.size());
    for (std::size_t i = 0; i < count; ++i) {
        const std::string name = inputName(given[i].path);
        const std::string &named = given[i].plane;
        const snapshot::SnapshotPlanes &planes = read[i];
        if (!named.empty() && !isCapturePlane(named) &&
            std::find(warned.begin(), warned.end(), named) == warned.end()) {
            warned.push_back(named);
            notes.push_back(unknownPlaneWarning(named));
        }
        if (!named.empty() && !planes.recognised.empty() && planes.recognised != named) {
            notes.push_back(joined({"warning: ", name, ": read as the ", named,
                                    " plane, as -p says, but it is a capture of the ",
                                    planes.recognised, " plane (", planes.evidence, ")"}));
        }
        // Among several, a capture whose links could belong to another
        // plane; entries without children read the same in any.
        if (named.empty() && !planes.mapOfPlanes && planes.recognised.empty() && planes.linked &&
            given.size() > 1 && !planes.planes.empty()) {
            notes.push_back(joined({name, ": read as the ", planes.planes[0],
                                    " plane, as a capture is unless -p names another: nothing in "
                                    "it shows its plane"}));
        }
        if (planes.mapOfPlanes) {
            for (const std::string &plane : planes.planes) {
                if (!isCapturePlane(plane)) {
                    notes.push_back(joined({name, ": its ", plane,
                                            " plane is not shown: captures are read in the "
                                            "IOService, IOPort and IOPower planes"}));
                }
            }
        }
        // A map of planes holds what it holds, as the built-in sample does:
        // only a capture of one was made for the plane.
        for (const auto &unshown : use.unshown) {
            if (!planes.mapOfPlanes && planes.planes == std::vector<std::string>{unshown.first}) {
                notes.push_back(name + ": " + unshown.second);
            }
        }
    }
    // A snapshot named twice is said once.
    std::vector<std::string> once;
    for (std::string &note : notes) {
        if (std::find(once.begin(), once.end(), note) == once.end()) {
            once.push_back(std::move(note));
        }
    }
    return once;
}

} // namespace cli
