// The report's sections, run in their fixed order.
#ifndef PORTPROBE_APP_REPORT_SECTIONS_H
#define PORTPROBE_APP_REPORT_SECTIONS_H

#include "platform/registry_api.h"

// Prints the whole report to standard output: the port controllers walked in
// the service plane, then in the power plane, then the notification check.
void printReport(void);

// Walks every service the iterator yields in plane, releasing each service
// after its walk and the iterator after the last one.
void walkMatches(io_iterator_t iterator, const char *plane);

#endif
