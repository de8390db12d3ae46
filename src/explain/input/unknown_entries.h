// What an entry of unknown class is taken for. On a Mac every entry has a
// class; a capture that lost an entry's line (property lines pasted alone,
// a property list cut before "IOObjectClass") holds entries without one,
// which the snapshot loader gives the empty class. Such an entry is
// recognised by the keys it carries, and the reading says what it took the
// entry for and why.
#ifndef PORTPROBE_EXPLAIN_UNKNOWN_ENTRIES_H
#define PORTPROBE_EXPLAIN_UNKNOWN_ENTRIES_H

#include <string>

#include "explain/input/port_capture.h"

namespace explain {

struct Recognition {
    enum class Taken {
        powerManager, // a key only the power manager carries
        port,         // "PortTypeDescription", or a "Description" that is a port's name
        belowPort,    // "ParentPortTypeDescription", or a "Description" below a port's name
        nothing,
    };
    Taken taken = Taken::nothing;
    std::string key;   // the key it was taken by
    std::string value; // that key's text, when it is one that names a port
};

// Power manager keys first, then a port's, then an entry's below a port.
Recognition recogniseByKeys(const CapturedEntry &entry);

// The note that says what the entry was taken for, and by which key.
std::string recognitionNote(const Recognition &recognition, const CapturedEntry &entry);

} // namespace explain

#endif
