// Names for the files a test writes, unique to the running test and process:
// tests run side by side (ctest -j), and the same test may run at once in
// another build or another checkout on the same machine.
#ifndef PORTPROBE_TESTS_SCRATCH_PATH_H
#define PORTPROBE_TESTS_SCRATCH_PATH_H

#include <string>

namespace testing_support {

// A path in the test's temporary directory, named for the running test's
// suite and name, this process and purpose (a short word such as "out").
std::string scratchPath(const std::string &purpose);

} // namespace testing_support

#endif
