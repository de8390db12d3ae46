#include "cli/snapshot_input.h"

#include "cli/input_file.h"

namespace cli {

std::optional<std::string> addSnapshot(snapshot::SnapshotLoader &loader, const std::string &path,
                                       const std::string &plane)
{
    if (path != "-") {
        return loader.addFile(path, plane);
    }
    std::string bytes;
    std::string error;
    if (!cli::readInputFile(path, bytes, error)) {
        return error;
    }
    return loader.add(bytes, plane);
}

} // namespace cli
