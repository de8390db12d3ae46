// Reads a whole input file named on the command line, or standard input for
// "-", and names it in messages. Both tools read their inputs through it, so
// that a file that cannot be read is worded one way wherever it is named.
#ifndef PORTPROBE_CLI_INPUT_FILE_H
#define PORTPROBE_CLI_INPUT_FILE_H

#include <string>

namespace cli {

// Reads all of path ("-": standard input) into text. Returns false with why
// in error when it cannot: "cannot open: " or "cannot read: " and the
// system's words ("cannot open: No such file or directory").
bool readInputFile(const std::string &path, std::string &text, std::string &error);

// As readInputFile, for a path that is always a file ("-" included).
bool readNamedFile(const std::string &path, std::string &text, std::string &error);

// How messages name an input: the path, or "standard input" for "-".
std::string inputName(const std::string &path);

} // namespace cli

#endif
