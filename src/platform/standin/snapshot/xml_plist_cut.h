// What can be read of an XML property list that libplist refuses: one cut
// short (a paste of `ioreg -a` that ends before its "</plist>") is read up
// to its last whole entry, and that entry's properties up to its last whole
// value; any other fault is named by its line and column.
//
// The text is scanned as libplist reads it (elements, comments, CDATA,
// processing instructions, the document type) without building anything.
// Where it ends inside the document, the text up to the end of the last
// whole unit is kept (an entry in a list of entries, a property of an
// entry; a value is never kept in part) and the elements still open are
// closed after it, so that libplist itself reads every value that is kept.
// An entry cut before its "IOObjectClass" is given the empty class, which
// the loader reads as an entry of unknown class; one that kept nothing at
// all is left out.
#ifndef PORTPROBE_STANDIN_SNAPSHOT_XML_PLIST_CUT_H
#define PORTPROBE_STANDIN_SNAPSHOT_XML_PLIST_CUT_H

#include <cstddef>
#include <string>
#include <string_view>

namespace snapshot {

struct XmlReading {
    enum class Outcome {
        cut,     // closed holds what was whole, and note says what was cut
        fault,   // problem is "LINE:COLUMN: what was expected"
        unknown, // the scan finds the list whole and sound: libplist's reason is not known
    };
    Outcome outcome = Outcome::unknown;
    std::string closed;
    std::string note;
    std::string problem;
};

// Scans text, whose first line is line firstLine of its input.
XmlReading readCutXml(std::string_view text, std::size_t firstLine);

} // namespace snapshot

#endif
