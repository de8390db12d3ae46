// Helpers for tests that read snapshots in their several forms: a
// registry's property list and the text of each of its planes, and a dump of
// the stand-in's registry that two loads can be compared by.
#ifndef PORTPROBE_TESTS_SNAPSHOT_FORMS_H
#define PORTPROBE_TESTS_SNAPSHOT_FORMS_H

#include <memory>
#include <string>
#include <vector>

#include <plist/plist.h>

namespace testing_support {

struct PlistFree {
    void operator()(void *node) const { plist_free(node); }
};
using Plist = std::unique_ptr<void, PlistFree>;

// Writes bytes to a scratch file named for purpose; returns its path.
std::string writeScratch(const std::string &purpose, const std::string &bytes);
Plist fromXml(const std::string &xml);
std::string xmlOf(plist_t root);

// Every entry of the stand-in's registry, its properties, its locations and
// its children in the planes a snapshot can fill. An entry is named by the
// registry ID a snapshot gave it ("#N" for one the registry made), so that
// two loads that made their entries in another order dump alike.
std::string registryDump();

struct Snapshot {
    std::string bytes;
    std::string plane;
};

// A registry, as its property list and as the text of each of its planes.
struct TwoForms {
    std::string xml;
    std::vector<Snapshot> texts;
};
TwoForms twoForms(plist_t snapshot);

} // namespace testing_support

#endif
