#include "cli/snapshot_input.h"

#include "explain/input/input_file.h"

namespace cli {

std::optional<std::string> addSnapshot(snapshot::SnapshotLoader &loader, const std::string &path,
                                       const std::string &plane)
{
    if (path != "-") {
        return loader.addFile(path, plane);
    }
    std::string bytes;
    std::string error;
    if (!explain::readInputFile(path, bytes, error)) {
        return "cannot read: " + error;
    }
    return loader.add(bytes, plane);
}

} // namespace cli
