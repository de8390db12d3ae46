#include "platform/standin/snapshot/sample_notice.h"

namespace snapshot {

std::string builtInSampleNotice(const std::string &program, const std::string &reader)
{
    return program +
           ": note: this is the built-in sample registry, not this machine's; for a Mac's, "
           "capture it there with 'ioreg -a -l > service.plist' and run '" +
           reader + " service.plist'";
}

} // namespace snapshot
