#include "replay/controller_presence.h"

#include "platform/registry_api.h"

namespace {

const char *const controllerClass = "AppleHPMARMSPMI";

// Whether a service of the class is registered: true or false, or -1 when
// the lookup fails.
int holdsServiceOfClass(const char *className)
{
    // The lookup consumes the matching description, whatever it returns.
    CFMutableDictionaryRef matching = IOServiceMatching(className);
    if (matching == nullptr) {
        return -1;
    }
    io_iterator_t services = IO_OBJECT_NULL;
    if (IOServiceGetMatchingServices(kIOMainPortDefault, matching, &services) != KERN_SUCCESS) {
        return -1;
    }
    io_object_t first = IOIteratorNext(services);
    const int holds = first != IO_OBJECT_NULL ? 1 : 0;
    if (first != IO_OBJECT_NULL) {
        IOObjectRelease(first);
    }
    IOObjectRelease(services);
    return holds;
}

// A name as a shell word, quoted when it holds anything but the usual.
std::string shellWord(const std::string &name)
{
    if (!name.empty() &&
        name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                               "0123456789._/-+@%:,=") == std::string::npos) {
        return name;
    }
    std::string quoted = "'";
    for (char c : name) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

} // namespace

std::string noControllerNote(const std::vector<std::string> &snapshotPaths)
{
    if (holdsServiceOfClass(controllerClass) != 0) {
        return "";
    }
    std::string command = "portprobe-explain";
    for (const std::string &path : snapshotPaths) {
        command += " " + shellWord(path);
    }
    return std::string("note: the snapshots hold no port controller (class ") + controllerClass +
           "), which the report walks from, so it lists none; a capture of the IOPort plane or "
           "of the power manager is for portprobe-explain: " +
           command;
}
