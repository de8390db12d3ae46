#include "explain/explain_options.h"

#include <cstring>
#include <utility>

namespace explain {

const char *const explainUsage =
    "usage: portprobe-explain [--json] [--usb-ids FILE] [SNAPSHOT [-p PLANE SNAPSHOT]...]\n"
    "       portprobe-explain [--json] [--usb-ids FILE] --report FILE\n"
    "\n"
    "Says in plain words what the USB Power Delivery objects of the port\n"
    "controllers mean: what each partner offers and was asked for, the partner's\n"
    "and the cable's identity, roles, alternate modes and DisplayPort state, with\n"
    "notes on anything contradictory. It reads the registry, registry snapshots\n"
    "(as portprobe-replay does) or, with --report, a portprobe report.\n"
    "\n"
    "Options:\n"
    "  --json             print a JSON document instead of text\n"
    "  --check            exit with status 3 when any finding is a warning or a problem\n"
    "  --usb-ids FILE     take vendor names from FILE (usb.ids format); by default\n"
    "                     from the first usb.ids found in the usual places\n"
    "  --report FILE      explain the portprobe report in FILE ('-': standard input)\n"
    "  -p PLANE SNAPSHOT  read SNAPSHOT as a capture of PLANE\n"
    "  -h, --help         show this help\n"
    "  --version          show the version\n";

namespace {

bool is(const char *argument, const char *option) { return std::strcmp(argument, option) == 0; }

} // namespace

ExplainOptions parseExplainOptions(int argc, const char *const argv[], bool snapshotsAllowed)
{
    ExplainOptions options;
    auto usageError = [&options](std::string problem) {
        options.action = ExplainOptions::Action::usageError;
        options.problem = std::move(problem);
        return options;
    };
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const char *argument = argv[i];
        if (optionsEnded || argument[0] != '-' || is(argument, "-")) {
            options.snapshots.push_back({argument, ""});
        } else if (is(argument, "--")) {
            optionsEnded = true;
        } else if (is(argument, "-h") || is(argument, "--help")) {
            options.action = ExplainOptions::Action::help;
            return options;
        } else if (is(argument, "--version")) {
            options.action = ExplainOptions::Action::version;
            return options;
        } else if (is(argument, "--json")) {
            options.json = true;
        } else if (is(argument, "--check")) {
            options.check = true;
        } else if (is(argument, "--usb-ids") || is(argument, "--report")) {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                return usageError(std::string(argument) + " needs a file");
            }
            std::optional<std::string> &path =
                is(argument, "--report") ? options.reportPath : options.usbIdsPath;
            if (path) {
                return usageError(std::string(argument) + " is given twice");
            }
            path = argv[++i];
        } else if (is(argument, "-p")) {
            if (i + 2 >= argc) {
                return usageError("-p needs a plane and a snapshot");
            }
            if (argv[i + 1][0] == '\0') {
                return usageError("-p needs a plane name");
            }
            options.snapshots.push_back({argv[i + 2], argv[i + 1]});
            i += 2;
        } else {
            return usageError(std::string("unknown option ") + argument);
        }
    }
    if (!options.snapshots.empty()) {
        if (options.reportPath) {
            return usageError("--report reads a report, not snapshots as well");
        }
        if (!snapshotsAllowed) {
            return usageError("snapshots are read only where there is no registry of the "
                              "system's; this build explains the registry, or a report");
        }
    }
    return options;
}

} // namespace explain
