// Refuses property lists that libplist would read with unbounded recursion
// or copying, or could not hand back as they are, before libplist sees them.
#ifndef PORTPROBE_STANDIN_SNAPSHOT_PLIST_SHAPE_H
#define PORTPROBE_STANDIN_SNAPSHOT_PLIST_SHAPE_H

#include <optional>
#include <string>
#include <string_view>

namespace snapshot {

// What is wrong with the shape of an XML property list, or nothing.
std::optional<std::string> xmlShapeProblem(std::string_view text);
// What is wrong with the shape of a binary property list, or nothing; a
// list that cannot be read names the byte where it goes wrong.
std::optional<std::string> binaryShapeProblem(std::string_view bytes);

} // namespace snapshot

#endif
