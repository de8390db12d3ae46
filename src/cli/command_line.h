// The command-line conventions shared by portprobe-replay and
// portprobe-explain: "--name=value" and "--name value" alike, "--" ends the
// options, "-" is an operand (standard input), and a usage error is one line
// that names the problem.
#ifndef PORTPROBE_CLI_COMMAND_LINE_H
#define PORTPROBE_CLI_COMMAND_LINE_H

#include <string>
#include <vector>

namespace cli {

// One option a tool accepts; a tool describes all of its own in a table.
struct OptionSpec {
    const char *name;       // "--usb-ids", or a short one such as "-p"
    const char *alias;      // another spelling ("-h" for "--help"), or nullptr
    int valueCount;         // the words it takes after it: 0, 1 or 2
    const char *valueWords; // what they are, for messages: "a file"
};

// One word of the command line: an option of the table with its values, or
// an operand.
struct CommandWord {
    const OptionSpec *option = nullptr; // nullptr: an operand
    std::vector<std::string> values;    // the option's values, or the operand
};

struct CommandLine {
    std::vector<CommandWord> words; // every word before the first problem
    std::string problem;            // what is wrong, or empty
};

// Splits argv by the table. Reading stops at the first problem, so that a
// tool can still honour --help given before it.
CommandLine splitCommandLine(int argc, const char *const argv[],
                             const std::vector<OptionSpec> &options);

bool isOption(const CommandWord &word, const char *name);

// A snapshot to read: an operand, or the two values of -p PLANE SNAPSHOT.
struct SnapshotArgument {
    std::string path;  // "-": standard input
    std::string plane; // empty: the snapshot's own planes, or "IOService"
};

// Adds the snapshot that word names (an operand or -p) to snapshots. Returns
// the usage problem, or an empty string: a -p without a plane name, or
// standard input named twice, since it can be read only once.
std::string takeSnapshot(const CommandWord &word, std::vector<SnapshotArgument> &snapshots);

// The line a usage error prints on standard error, without its newline.
std::string usageErrorLine(const std::string &program, const std::string &problem);

} // namespace cli

#endif
