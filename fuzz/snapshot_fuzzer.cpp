// Feeds any bytes to the snapshot loader, as portprobe-replay would: once as
// a snapshot of its own, then again as a capture of the power plane, which
// links every entry that shares an ID with the first. A refused snapshot must
// add nothing; a loaded one is reported, and the report must leave the audit
// clean and hold no more references at once than the walk's depth allows.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/report_sections.h"
#include "platform/standin/snapshot/snapshot_loader.h"
#include "platform/standin/standin.h"
#include "report/tree_walk.h"

namespace {

// See report_fuzzer.cpp.
const std::size_t heldBound = mostReferencesHeld;

[[noreturn]] void finding(const std::string &what)
{
    std::fprintf(stderr, "snapshot_fuzzer: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

// Adds the bytes; a refusal must come with a message and leave the loader's
// entries as they were.
bool added(snapshot::SnapshotLoader &loader, std::string_view bytes, const std::string &plane)
{
    std::size_t before = loader.entryCount();
    auto error = loader.add(bytes, plane);
    if (error && (error->empty() || loader.entryCount() != before)) {
        finding("a refused snapshot changed the loader, or came without a message");
    }
    return !error;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The reports are not looked at here; libFuzzer writes to standard error.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) {
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    standin::reset();
    {
        std::string_view bytes(reinterpret_cast<const char *>(data), size);
        snapshot::SnapshotLoader loader;
        if (added(loader, bytes, "")) {
            added(loader, bytes, "IOPower");
            loader.commit();
            printReport();
            std::fflush(stdout);
            standin::AuditReport audit = standin::audit();
            if (!audit.clean()) {
                finding("the audit is not clean:\n" + audit.text());
            }
            if (audit.peakHeld > heldBound) {
                finding("the walk held " + std::to_string(audit.peakHeld) +
                        " references at once; its depth allows " + std::to_string(heldBound));
            }
        }
    }
    standin::reset();
    return 0;
}
