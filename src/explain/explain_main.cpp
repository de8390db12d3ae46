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
#include <vector>

#include "app/output_status.h"
#include "cli/command_line.h"
#include "cli/input_file.h"
#include "explain/analysis/explanation.h"
#include "explain/explain_options.h"
#include "explain/input/capture_ids.h"
#include "explain/input/port_reader.h"
#include "explain/input/registry_reader.h"
#include "explain/input/report_input.h"
#include "explain/output/json_render.h"
#include "explain/output/text_render.h"
#include "explain/output/usb_ids.h"
#include "portprobe_version.h"

#ifdef PORTPROBE_STANDIN
#include "cli/snapshot_input.h"
#include "cli/snapshot_planes.h"
#include "platform/standin/snapshot/sample_notice.h"
#include "platform/standin/snapshot/snapshot_loader.h"
#endif

namespace {

const char *const programName = "portprobe-explain";
const int badInput = 2;
const int concernFound = 3; // --check: a verdict is a warning or a problem

#ifdef PORTPROBE_STANDIN
const bool snapshotsAllowed = true;
// The explanation reads the IOService and IOPort planes.
const cli::PlaneUse explainPlaneUse = {
    {{"IOPower", "the IOPower plane adds nothing to the explanation; portprobe-replay reports "
                 "it"}}};
#else
const bool snapshotsAllowed = false;
#endif

int refuse(const std::string &what, const std::string &problem)
{
    fprintf(stderr, "%s: %s: %s\n", programName, what.c_str(), problem.c_str());
    return badInput;
}

// Said once when snapshots leave out the power manager, whose view of the
// charger the explanation would show.
const char *const missingPowerManager =
    "note: the snapshots hold no power manager (class AppleSmartBattery), so what it knows of "
    "the charger is left out; capture it on the Mac with 'ioreg -a -r -n AppleSmartBattery > "
    "battery.plist' and give battery.plist as well";

void say(const std::string &line) { fprintf(stderr, "%s\n", line.c_str()); }

// Fills the registry that the walk reads: the snapshots named, or without
// them the built-in sample; on the system's registry there is nothing to do.
// notes gets what reading the snapshots undid or left out, and how their
// planes were read; madeIds the registry IDs that the stand-in made for
// entries the snapshots gave none.
bool prepareRegistry(const explain::ExplainOptions &options, std::string &problem,
                     std::vector<std::string> &notes, std::unordered_set<std::uint64_t> &madeIds)
{
#ifdef PORTPROBE_STANDIN
    snapshot::SnapshotLoader loader;
    for (const explain::SnapshotArgument &snapshot : options.snapshots) {
        std::size_t noted = loader.notes().size();
        if (auto error = cli::addSnapshot(loader, snapshot.path, snapshot.plane)) {
            problem = snapshot::snapshotProblem(cli::inputName(snapshot.path), *error);
            return false;
        }
        for (std::size_t i = noted; i < loader.notes().size(); ++i) {
            notes.push_back(cli::inputName(snapshot.path) + ": " + loader.notes()[i]);
        }
    }
    for (std::string &note :
         cli::planeNotes(explainPlaneUse, options.snapshots, loader.snapshotsRead())) {
        notes.push_back(std::move(note));
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

// Says on standard error that the built-in sample is not this machine's
// registry, which a reader could take it for.
void noteWhatIsRead(const explain::ExplainOptions &options)
{
#ifdef PORTPROBE_STANDIN
    if (options.snapshots.empty()) {
        say(snapshot::builtInSampleNotice(programName, programName));
    }
#else
    (void)options;
#endif
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
        explain::RegistryWalk walk;
        std::string problem;
        if (!explain::readReportInput(*options.reportPath, snapshotsAllowed, walk, problem)) {
            say(std::string(programName) + ": " + problem);
            return badInput;
        }
        explain::explainWalkPart(std::move(walk), vendors, explanation);
    } else {
        std::string problem;
        std::vector<std::string> notes;
        std::unordered_set<std::uint64_t> madeIds;
        if (!prepareRegistry(options, problem, notes, madeIds)) {
            say(std::string(programName) + ": " + problem);
            return badInput;
        }
        explain::RegistryWalk said;
        said.notes = std::move(notes);
        explain::explainWalkPart(std::move(said), vendors, explanation);
        // Each controller is explained as soon as it is read: the whole walk
        // is never held.
        explain::readRegistryWalk(kIOMainPortDefault, [&](explain::RegistryWalk &&part) {
            explain::explainWalkPart(std::move(part), vendors, explanation);
        });
        noteWhatIsRead(options);
        capture = explain::readPortCapture(kIOMainPortDefault);
        explain::forgetMadeRegistryIds(capture, madeIds);
        if (!options.snapshots.empty() && capture.powerManagers.empty()) {
            explanation.notes.emplace_back(missingPowerManager);
        }
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
    // What is said of the input as a whole goes to standard error whatever
    // the rendering, and into the JSON's notes for tools that read only it.
    for (const std::string &note : explanation.notes) {
        fprintf(stderr, "%s: %s\n", programName, note.c_str());
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
