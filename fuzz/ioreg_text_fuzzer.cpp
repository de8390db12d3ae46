// Feeds any bytes to the snapshot loader as `ioreg` text (bytes that start as
// a property list are the snapshot fuzzer's; a property list after prose is
// this one's): once as a capture of its own, then again as a capture of the
// power plane. A refused text must add nothing and name its line; a loaded
// one is reported, and the report must leave the audit clean.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/report_sections.h"
#include "platform/standin/snapshot/ioreg_text_reader.h"
#include "platform/standin/snapshot/snapshot_loader.h"
#include "platform/standin/standin.h"

namespace {

[[noreturn]] void finding(const std::string &what)
{
    std::fprintf(stderr, "ioreg_text_fuzzer: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

// Whether the message starts "LINE: " or, for a property list after the
// text, "LINE:COLUMN: ".
bool namesALine(const std::string &message)
{
    std::size_t digits = message.find_first_not_of("0123456789");
    if (digits == 0 || digits == std::string::npos) {
        return false;
    }
    if (message.compare(digits, 2, ": ") == 0) {
        return true;
    }
    std::size_t column = message.find_first_not_of("0123456789", digits + 1);
    return message[digits] == ':' && column != digits + 1 && column != std::string::npos &&
           message.compare(column, 2, ": ") == 0;
}

// Adds the bytes; a refusal must start with the number of a line of the
// text and leave the loader as it was.
bool added(snapshot::SnapshotLoader &loader, std::string_view bytes, const std::string &plane)
{
    std::size_t before = loader.entryCount();
    std::size_t notes = loader.notes().size();
    auto error = loader.add(bytes, plane);
    if (!error) {
        return true;
    }
    if (!namesALine(*error)) {
        finding("a refusal that names no line: " + *error);
    }
    if (loader.entryCount() != before || loader.notes().size() != notes) {
        finding("a refused text changed the loader");
    }
    return false;
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
    std::string_view bytes(reinterpret_cast<const char *>(data), size);
    if (snapshot::looksLikePropertyList(bytes)) {
        return 0;
    }
    standin::reset();
    {
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
        }
    }
    standin::reset();
    return 0;
}
