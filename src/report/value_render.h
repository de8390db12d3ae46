// Rendering of one property value as the text of a probe line.
#ifndef PORTPROBE_REPORT_VALUE_RENDER_H
#define PORTPROBE_REPORT_VALUE_RENDER_H

#include "platform/registry_api.h"

// Writes the value's text to standard output, ending with a line feed. The
// value is borrowed; the caller releases it.
void printPropertyValue(CFTypeRef value);

// Copies a string value into buffer as zero-terminated UTF-8. Returns true only
// when the whole text and its terminator fit in limit bytes; on false the
// buffer holds nothing worth printing.
bool convertText(CFStringRef value, char *buffer, CFIndex limit);

#endif
