// portprobe: reports what the I/O registry knows about the USB Power Delivery
// ports. It takes no arguments and reads no input.
#include "app/output_status.h"
#include "app/report_sections.h"

#ifdef PORTPROBE_STANDIN
#include <cstdio>

#include "platform/standin/snapshot/sample_notice.h"
#endif

int main(void)
{
#ifdef PORTPROBE_STANDIN
    // Built without the system's registry, the report is of the built-in
    // sample, which must not pass for this machine's.
    fprintf(stderr, "%s\n", snapshot::builtInSampleNotice("portprobe", "portprobe-replay").c_str());
#endif
    printReport();
    return finishOutput("portprobe");
}
