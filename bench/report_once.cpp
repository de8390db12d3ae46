// Runs the report over a generated registry once after a warm-up run, with
// standard output on /dev/null, for instruction counts under callgrind:
//
//   valgrind --tool=callgrind --toggle-collect=measuredReport
//       build/bench/bench/portprobe_report_once 10000
//
// CFStringCreateWithCString and CFRelease are wrapped at link time so that
// the profile tells the release of a key string (releaseKeyString) from the
// release of a property value (releasePropertyValue): the program calls
// CFRelease for both.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "app/report_sections.h"
#include "platform/standin/standin.h"
#include "registry_generator.h"

extern "C" {
CFStringRef __real_CFStringCreateWithCString(CFAllocatorRef alloc, const char *cStr,
                                             CFStringEncoding encoding);
void __real_CFRelease(CFTypeRef cf);
CFStringRef __wrap_CFStringCreateWithCString(CFAllocatorRef alloc, const char *cStr,
                                             CFStringEncoding encoding);
void __wrap_CFRelease(CFTypeRef cf);
}

namespace {

// The key strings the program holds now; it holds one at a time.
const int keysHeldAtMost = 8;
CFTypeRef keysHeld[keysHeldAtMost];
int keyCount = 0;

bool forgetKey(CFTypeRef cf)
{
    for (int i = 0; i < keyCount; ++i) {
        if (keysHeld[i] == cf) {
            keysHeld[i] = keysHeld[--keyCount];
            return true;
        }
    }
    return false;
}

} // namespace

extern "C" {

__attribute__((noinline)) void releaseKeyString(CFTypeRef cf) { __real_CFRelease(cf); }

__attribute__((noinline)) void releasePropertyValue(CFTypeRef cf) { __real_CFRelease(cf); }

CFStringRef __wrap_CFStringCreateWithCString(CFAllocatorRef alloc, const char *cStr,
                                             CFStringEncoding encoding)
{
    CFStringRef key = __real_CFStringCreateWithCString(alloc, cStr, encoding);
    if (key != nullptr && keyCount < keysHeldAtMost) {
        keysHeld[keyCount++] = key;
    }
    return key;
}

void __wrap_CFRelease(CFTypeRef cf)
{
    if (forgetKey(cf)) {
        releaseKeyString(cf);
    } else {
        releasePropertyValue(cf);
    }
}

// Not a tail call, so that callgrind sees where the measured run ends.
__attribute__((noinline)) void measuredReport()
{
    printReport();
    std::fflush(stdout);
}

} // extern "C"

int main(int argc, char **argv)
{
    long entries = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 10000;
    if (entries <= 0) {
        std::fprintf(stderr, "usage: portprobe_report_once [ENTRIES]\n");
        return 2;
    }
    bench::GeneratedRegistry shape = bench::generateRegistry(static_cast<std::size_t>(entries));
    std::fprintf(stderr, "%zu entries (%zu controllers), %zu properties, %zu probed\n",
                 shape.entries, shape.controllers, shape.properties, shape.probed);

    std::fflush(stdout);
    int null = open("/dev/null", O_WRONLY);
    if (null < 0 || dup2(null, STDOUT_FILENO) < 0) {
        std::perror("/dev/null");
        return 1;
    }
    close(null);
    printReport(); // warm-up
    std::fflush(stdout);
    measuredReport();

    standin::AuditReport audit = standin::audit();
    if (!audit.clean()) {
        std::fprintf(stderr, "%s", audit.text().c_str());
        return 1;
    }
    return 0;
}
