// Tells the plane of a one-plane capture from what it holds, where nothing
// but that plane can hold it, so that captures of several planes given
// together are read each in its own plane without -p.
#ifndef PORTPROBE_STANDIN_SNAPSHOT_CAPTURE_PLANE_H
#define PORTPROBE_STANDIN_SNAPSHOT_CAPTURE_PLANE_H

#include <string>

#include <plist/plist.h>

namespace snapshot {

struct RecognisedPlane {
    std::string plane;    // empty: the capture does not show its plane
    std::string evidence; // what shows it, for messages: "its root's children are ports"
    bool linked = false;  // whether it links any entry to a child, which its plane decides
};

// The plane of the capture whose top level is topLevel (an entry dictionary
// or an array of them; a map of planes names its own, and shows none here):
//
// - IOPower, when it holds an entry of class IOPowerConnection: the power
//   plane links each power parent to its children through one, and no other
//   plane holds one;
// - IOPort, when it is written from the registry's root, every child of the
//   root is a port (carries "PortTypeDescription") and it holds no port
//   controller: that plane hangs the machine's ports from the root, where the
//   IOService plane has the platform expert alone;
// - IOService, when it holds a port controller (class AppleHPMARMSPMI) and
//   no IOPowerConnection: a driver's service sits in the service plane, and
//   in the power plane only among those links.
//
// Anything else shows no plane. The capture is not checked here: what is
// not an entry is passed over, and the reading refuses it afterwards.
RecognisedPlane recognisePlane(plist_t topLevel);

} // namespace snapshot

#endif
