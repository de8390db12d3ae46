#include <cstddef>
#include <string_view>

#include "platform/standin/snapshot/snapshot_loader.h"

// The bytes of samples/sample-registry.plist, embedded at build time.
extern const unsigned char builtInSampleBytes[];
extern const std::size_t builtInSampleBytesSize;

namespace snapshot {

std::optional<std::string> loadBuiltInSample()
{
    SnapshotLoader loader;
    auto error = loader.add(std::string_view(reinterpret_cast<const char *>(builtInSampleBytes),
                                             builtInSampleBytesSize));
    if (!error) {
        loader.commit();
    }
    return error;
}

} // namespace snapshot
