// portprobe: reports what the I/O registry knows about the USB Power Delivery
// ports. It takes no arguments and reads no input.
#include "app/output_status.h"
#include "app/report_sections.h"

int main(void)
{
    printReport();
    return finishOutput("portprobe");
}
