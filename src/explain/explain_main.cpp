// portprobe-explain: says in plain words what the USB Power Delivery objects
// of the port controllers mean, from the registry, from registry snapshots or
// from a pasted portprobe report. Bad usage or input gets one line on
// standard error, nothing on standard output, and status 2.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <unordered_set>
#include <utility>
#include <variant>
#include <vector>

#include "app/output_status.h"
#include "cli/command_line.h"
#include "explain/analysis/explanation.h"
#include "explain/explain_options.h"
#include "explain/input/capture_ids.h"
#include "explain/input/input_file.h"
#include "explain/input/port_reader.h"
#include "explain/input/registry_reader.h"
#include "explain/input/report/report_parser.h"
#include "explain/output/json_render.h"
#include "explain/output/text_render.h"
#include "explain/output/usb_ids.h"
#include "portprobe_version.h"

#ifdef PORTPROBE_STANDIN
#include "cli/snapshot_input.h"
#include "platform/standin/snapshot/sample_notice.h"
#include "platform/standin/snapshot/snapshot_loader.h"
#endif

namespace {

const char *const programName = "portprobe-explain";
const int badInput = 2;
const int concernFound = 3; // --check: a verdict is a warning or a problem

#ifdef PORTPROBE_STANDIN
const bool snapshotsAllowed = true;
#else
const bool snapshotsAllowed = false;
#endif

int refuse(const std::string &what, const std::string &problem)
{
    fprintf(stderr, "%s: %s: %s\n", programName, what.c_str(), problem.c_str());
    return badInput;
}

void say(const std::string &line) { fprintf(stderr, "%s\n", line.c_str()); }

// Fills the registry that the walk reads: the snapshots named, or without
// them the built-in sample; on the system's registry there is nothing to do.
// notes gets what reading the snapshots undid or left out, madeIds the
// registry IDs that the stand-in made for entries the snapshots gave none.
bool prepareRegistry(const explain::ExplainOptions &options, std::string &problem,
                     std::vector<std::string> &notes, std::unordered_set<std::uint64_t> &madeIds)
{
#ifdef PORTPROBE_STANDIN
    snapshot::SnapshotLoader loader;
    for (const explain::SnapshotArgument &snapshot : options.snapshots) {
        std::size_t noted = loader.notes().size();
        if (auto error = cli::addSnapshot(loader, snapshot.path, snapshot.plane)) {
            problem = snapshot::snapshotProblem(explain::inputName(snapshot.path), *error);
            return false;
        }
        for (std::size_t i = noted; i < loader.notes().size(); ++i) {
            notes.push_back(explain::inputName(snapshot.path) + ": " + loader.notes()[i]);
        }
    }
    if (options.snapshots.empty()) {
        if (auto error = snapshot::loadBuiltInSample()) {
            problem = "built-in sample: " + *error;
            return false;
        }
    } else {
        madeIds = loader.commit();
    }
#else
    (void)options;
    (void)problem;
    (void)notes;
    (void)madeIds;
#endif
    return true;
}

// Says on standard error what a reader could take for something else: the
// built-in sample shown as if it were this machine's registry, and a plane
// named that is not read.
void noteWhatIsRead(const explain::ExplainOptions &options)
{
#ifdef PORTPROBE_STANDIN
    if (options.snapshots.empty()) {
        say(snapshot::builtInSampleNotice(programName, programName));
    }
#endif
    std::vector<std::string> planes;
    for (const explain::SnapshotArgument &snapshot : options.snapshots) {
        planes.push_back(snapshot.plane);
    }
    for (const std::string &plane : cli::unreadPlanes(planes, explain::explainPlanes)) {
        say(cli::unreadPlaneWarning(programName, plane, explain::explainPlanes));
    }
}

int explainInput(const explain::ExplainOptions &options)
{
    explain::UsbIdsLoad usbIds = explain::loadUsbIds(options.usbIdsPath);
    if (!usbIds.error.empty()) {
        return refuse(*options.usbIdsPath, usbIds.error);
    }
    if (options.usbIdsPath && usbIds.ids.vendorCount() == 0) {
        return refuse(*options.usbIdsPath, "holds no vendor line of a usb.ids file");
    }

    const explain::UsbIds &ids = usbIds.ids;
    bool vendorsAsked = false;
    const explain::VendorNames vendors = [&ids, &vendorsAsked](std::uint16_t vendor) {
        vendorsAsked = true;
        return ids.vendorName(vendor);
    };
    explain::Explanation explanation;
    // Only one rendering follows: the other's half of each property is not kept.
    explanation.views.words = !options.json;
    explanation.views.json = options.json;
    explain::PortCapture capture;
    std::string source = "report";
    if (options.reportPath) {
        std::string text;
        std::string error;
        const std::string reportName = explain::inputName(*options.reportPath);
        if (!explain::readInputFile(*options.reportPath, text, error)) {
            return refuse(reportName, error);
        }
        auto parse = explain::parseReport(text);
        if (auto *error = std::get_if<explain::ReportParseError>(&parse)) {
            return refuse(reportName + ":" + std::to_string(error->line), error->message);
        }
        explain::explainWalkPart(std::move(std::get<explain::RegistryWalk>(parse)), vendors,
                                 explanation);
    } else {
        std::string problem;
        std::vector<std::string> notes;
        std::unordered_set<std::uint64_t> madeIds;
        if (!prepareRegistry(options, problem, notes, madeIds)) {
            say(std::string(programName) + ": " + problem);
            return badInput;
        }
        // Said on standard error; the JSON holds them too, for tools that
        // read only it.
        explain::RegistryWalk said;
        if (options.json) {
            said.notes = notes;
        }
        explain::explainWalkPart(std::move(said), vendors, explanation);
        // Each controller is explained as soon as it is read: the whole walk
        // is never held.
        explain::readRegistryWalk(kIOMainPortDefault, [&](explain::RegistryWalk &&part) {
            explain::explainWalkPart(std::move(part), vendors, explanation);
        });
        noteWhatIsRead(options);
        for (const std::string &note : notes) {
            fprintf(stderr, "%s: %s\n", programName, note.c_str());
        }
        capture = explain::readPortCapture(kIOMainPortDefault);
        explain::forgetMadeRegistryIds(capture, madeIds);
#ifdef PORTPROBE_STANDIN
        source = options.snapshots.empty() ? "sample" : "snapshot";
#else
        source = "registry";
#endif
    }

    explanation.source = source;
    explain::explainPorts(capture, vendors, explanation);
    // What was read is no longer needed: free it before the rendering.
    capture = explain::PortCapture();
    if (vendorsAsked && usbIds.path.empty()) {
        say(std::string(programName) + ": note: vendor names are left out: no usb.ids list was "
                                       "found where the system's packages put it; install one "
                                       "(Debian: usb.ids) or give --usb-ids FILE");
    }
    // Written piece by piece as it is rendered; after a failed write the
    // rest is not attempted.
    int writeError = 0;
    const explain::TextSink write = [&writeError](const std::string &piece) {
        errno = 0;
        if (writeError == 0 && fwrite(piece.data(), 1, piece.size(), stdout) != piece.size()) {
            // A large write fails in fwrite itself, whose reason the final
            // flush no longer knows.
            writeError = errno != 0 ? errno : EIO;
        }
    };
    if (options.json) {
        explain::writeExplanationJson(explanation, write);
    } else {
        explain::writeExplanationText(explanation, write);
    }
    if (writeError != 0) {
        fprintf(stderr, "%s: write error: %s\n", programName, strerror(writeError));
        return 1;
    }
    const int status = finishOutput(programName);
    if (status == 0 && options.check && explain::anyConcern(explanation)) {
        return concernFound;
    }
    return status;
}

int run(int argc, char *argv[])
{
    explain::ExplainOptions options = explain::parseExplainOptions(argc, argv, snapshotsAllowed);
    switch (options.action) {
    case explain::ExplainOptions::Action::help:
        fputs(explain::explainUsage, stdout);
        return finishOutput(programName);
    case explain::ExplainOptions::Action::version:
        printf("%s %s\n", programName, PORTPROBE_VERSION);
        return finishOutput(programName);
    case explain::ExplainOptions::Action::usageError:
        say(cli::usageErrorLine(programName, options.problem));
        return badInput;
    case explain::ExplainOptions::Action::explain: break;
    }
    return explainInput(options);
}

} // namespace

int main(int argc, char *argv[])
{
    try {
        return run(argc, argv);
    } catch (const std::exception &error) {
        // Only exhausted memory can get here; say so rather than abort.
        fprintf(stderr, "%s: %s\n", programName, error.what());
        return 1;
    }
}
