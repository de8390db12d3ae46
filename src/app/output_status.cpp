#include "app/output_status.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

int finishOutput(const char *program)
{
    errno = 0;
    bool flushed = fflush(stdout) == 0;
    int error = errno;
    if (flushed && !ferror(stdout)) {
        return 0;
    }
    // The flush may succeed after an earlier write failed (the stream keeps
    // only its error flag); report a plain I/O error then.
    fprintf(stderr, "%s: write error: %s\n", program, strerror(error != 0 ? error : EIO));
    return 1;
}
