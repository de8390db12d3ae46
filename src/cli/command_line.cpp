#include "cli/command_line.h"

#include <cstring>

namespace cli {

namespace {

const OptionSpec *findOption(const std::vector<OptionSpec> &options, const std::string &name)
{
    for (const OptionSpec &option : options) {
        if (name == option.name || (option.alias != nullptr && name == option.alias)) {
            return &option;
        }
    }
    return nullptr;
}

} // namespace

CommandLine splitCommandLine(int argc, const char *const argv[],
                             const std::vector<OptionSpec> &options)
{
    CommandLine line;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (optionsEnded || word.size() < 2 || word[0] != '-') {
            line.words.push_back({nullptr, {word}});
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        // Only a long option carries its value after "=": "-p=X" would be
        // ambiguous with a plane named "=X".
        const std::size_t equals = word.rfind("--", 0) == 0 ? word.find('=') : std::string::npos;
        const std::string name = word.substr(0, equals);
        const OptionSpec *option = findOption(options, name);
        if (option == nullptr) {
            line.problem = "unknown option " + name;
            return line;
        }
        CommandWord parsed{option, {}};
        if (equals != std::string::npos) {
            if (option->valueCount != 1) {
                line.problem = name + " takes no value";
                if (option->valueCount > 1) {
                    line.problem = name + " needs " + option->valueWords + ", not \"=\"";
                }
                return line;
            }
            parsed.values.push_back(word.substr(equals + 1));
        } else {
            if (argc - 1 - i < option->valueCount) {
                line.problem = name + " needs " + option->valueWords;
                return line;
            }
            for (int v = 0; v < option->valueCount; ++v) {
                parsed.values.emplace_back(argv[++i]);
            }
        }
        if (option->valueCount == 1 && parsed.values[0].empty()) {
            line.problem = name + " needs " + option->valueWords;
            return line;
        }
        line.words.push_back(std::move(parsed));
    }
    return line;
}

bool isOption(const CommandWord &word, const char *name)
{
    return word.option != nullptr && std::strcmp(word.option->name, name) == 0;
}

std::string takeSnapshot(const CommandWord &word, std::vector<SnapshotArgument> &snapshots)
{
    const bool planed = isOption(word, "-p");
    SnapshotArgument snapshot{word.values.at(planed ? 1 : 0), planed ? word.values[0] : ""};
    if (planed && snapshot.plane.empty()) {
        return "-p needs a plane name";
    }
    if (snapshot.path == "-") {
        for (const SnapshotArgument &taken : snapshots) {
            if (taken.path == "-") {
                return "standard input (-) is named twice; it can be read only once";
            }
        }
    }
    snapshots.push_back(std::move(snapshot));
    return "";
}

std::string usageErrorLine(const std::string &program, const std::string &problem)
{
    return program + ": " + problem + " (try " + program + " --help)";
}

} // namespace cli
