// What the programs built on the stand-in say on standard error when they
// show the built-in sample registry: a report that looks like a machine's must
// not be taken for this machine's.
#ifndef PORTPROBE_STANDIN_SAMPLE_NOTICE_H
#define PORTPROBE_STANDIN_SAMPLE_NOTICE_H

#include <string>

namespace snapshot {

// The notice, without its newline: program is the one speaking, reader the
// program that reads a Mac's capture instead.
std::string builtInSampleNotice(const std::string &program, const std::string &reader);

} // namespace snapshot

#endif
