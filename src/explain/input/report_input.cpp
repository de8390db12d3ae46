#include "explain/input/report_input.h"

#include <utility>
#include <variant>

#include "cli/input_file.h"
#include "explain/input/report/report_parser.h"

namespace explain {

namespace {

// Whether a line of the text is an entry line of ioreg's tree: its drawing,
// "+-o ", a name, and the entry's class in angle brackets.
bool holdsIoregEntryLine(const std::string &text)
{
    std::size_t at = 0;
    while ((at = text.find("+-o ", at)) != std::string::npos) {
        std::size_t lineEnd = text.find('\n', at);
        std::size_t classAt = text.find("  <class ", at);
        if (classAt != std::string::npos && (lineEnd == std::string::npos || classAt < lineEnd)) {
            return true;
        }
        at += 4;
    }
    return false;
}

} // namespace

std::string snapshotKindOf(const std::string &text)
{
    // A binary property list, or an XML one even after prose around it.
    if (text.compare(0, 6, "bplist") == 0 ||
        text.find("<key>IOObjectClass</key>") != std::string::npos) {
        return "a property list";
    }
    if (holdsIoregEntryLine(text)) {
        return "ioreg text";
    }
    return "";
}

bool readReportInput(const std::string &path, bool snapshotsRead, RegistryWalk &walk,
                     std::string &problem)
{
    const std::string name = cli::inputName(path);
    std::string text;
    std::string error;
    if (!cli::readInputFile(path, text, error)) {
        problem = name + ": " + error;
        return false;
    }
    auto parse = parseReport(text);
    if (auto *refused = std::get_if<ReportParseError>(&parse)) {
        // Only text that is no report at all is told apart: a report with a
        // bad line is still a report.
        const std::string kind = snapshotKindOf(text);
        if (!kind.empty() && refused->line == 1) {
            problem = name + ": this looks like a registry snapshot (" + kind +
                      "), not a portprobe report: ";
            problem += snapshotsRead ? "drop --report to read it as one"
                                     : "this build reads the system's registry itself, and "
                                       "snapshots only where there is none";
            return false;
        }
        problem = name + ":" + std::to_string(refused->line) + ": " + refused->message;
        return false;
    }
    walk = std::move(std::get<RegistryWalk>(parse));
    for (std::string &note : walk.notes) {
        note.insert(0, name + ": ");
    }
    return true;
}

} // namespace explain
