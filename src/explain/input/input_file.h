// Reads a whole input file, or standard input for "-".
#ifndef PORTPROBE_EXPLAIN_INPUT_FILE_H
#define PORTPROBE_EXPLAIN_INPUT_FILE_H

#include <string>

namespace explain {

// Reads all of path into text. Returns false with why in error (the
// system's words, as "No such file or directory") when it cannot.
bool readInputFile(const std::string &path, std::string &text, std::string &error);

// How messages name an input: the path, or "standard input" for "-".
std::string inputName(const std::string &path);

} // namespace explain

#endif
