// Turns the fate of standard output into the program's exit status.
#ifndef PORTPROBE_APP_OUTPUT_STATUS_H
#define PORTPROBE_APP_OUTPUT_STATUS_H

// Flushes standard output. Returns 0 when every byte of the report was
// written; otherwise says why on standard error, prefixed with program, and
// returns 1, so that a truncated report is never taken for a whole one.
int finishOutput(const char *program);

#endif
