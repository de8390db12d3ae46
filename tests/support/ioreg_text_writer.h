// Writes registry captures (libplist trees as `ioreg -a` writes them) in the
// text form `ioreg -l` writes, so that the text and the property list of one
// registry can be read and compared.
#ifndef PORTPROBE_TESTS_IOREG_TEXT_WRITER_H
#define PORTPROBE_TESTS_IOREG_TEXT_WRITER_H

#include <cstddef>
#include <string>

#include <plist/plist.h>

namespace testing_support {

// A copy of a snapshot (an entry, a list of entries or a map of planes)
// holding what text can: an "@" in a name without "IORegistryEntryLocation"
// starts the location, reals and dates are left out, and an occurrence
// without a name gets the name that the entry has elsewhere.
plist_t textReadyCopy(plist_t snapshot);

// The entries (an entry or a list of them) as `ioreg -l` writes them, each
// line cut at width characters when width is not 0.
std::string ioregText(plist_t entries, std::size_t width = 0);

} // namespace testing_support

#endif
