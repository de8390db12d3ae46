// portprobe-explain: says in plain words what the USB Power Delivery objects
// of the port controllers mean, from the registry, from registry snapshots or
// from a pasted portprobe report. Bad usage or input gets one line on
// standard error, nothing on standard output, and status 2.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <utility>
#include <variant>

#include "app/output_status.h"
#include "explain/analysis/explanation.h"
#include "explain/explain_options.h"
#include "explain/input/input_file.h"
#include "explain/input/port_reader.h"
#include "explain/input/registry_reader.h"
#include "explain/input/report/report_parser.h"
#include "explain/output/json_render.h"
#include "explain/output/text_render.h"
#include "explain/output/usb_ids.h"
#include "portprobe_version.h"

#ifdef PORTPROBE_STANDIN
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

// Fills the registry that the walk reads: the snapshots named, or without
// them the built-in sample; on the system's registry there is nothing to do.
bool prepareRegistry(const explain::ExplainOptions &options, std::string &what,
                     std::string &problem)
{
#ifdef PORTPROBE_STANDIN
    snapshot::SnapshotLoader loader;
    for (const explain::SnapshotArgument &snapshot : options.snapshots) {
        if (auto error = loader.addFile(snapshot.path, snapshot.plane)) {
            what = snapshot.path;
            problem = *error;
            return false;
        }
    }
    if (options.snapshots.empty()) {
        if (auto error = snapshot::loadBuiltInSample()) {
            what = "built-in sample";
            problem = *error;
            return false;
        }
    } else {
        loader.commit();
    }
#else
    (void)options;
    (void)what;
    (void)problem;
#endif
    return true;
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

    explain::RegistryWalk walk;
    explain::PortCapture capture;
    std::string source = "report";
    if (options.reportPath) {
        std::string text;
        std::string error;
        if (!explain::readInputFile(*options.reportPath, text, error)) {
            return refuse(*options.reportPath, error);
        }
        auto parse = explain::parseReport(text);
        if (auto *error = std::get_if<explain::ReportParseError>(&parse)) {
            return refuse(*options.reportPath + ":" + std::to_string(error->line), error->message);
        }
        walk = std::move(std::get<explain::RegistryWalk>(parse));
    } else {
        std::string what;
        std::string problem;
        if (!prepareRegistry(options, what, problem)) {
            return refuse(what, problem);
        }
        walk = explain::readRegistryWalk(kIOMainPortDefault);
        capture = explain::readPortCapture(kIOMainPortDefault);
#ifdef PORTPROBE_STANDIN
        source = options.snapshots.empty() ? "sample" : "snapshot";
#else
        source = "registry";
#endif
    }

    const explain::UsbIds &ids = usbIds.ids;
    const explain::VendorNames vendors = [&ids](std::uint16_t vendor) {
        return ids.vendorName(vendor);
    };
    explain::Explanation explanation = explain::explainWalk(std::move(walk), vendors);
    explanation.source = source;
    explain::explainPorts(capture, vendors, explanation);
    // What was read is no longer needed: free it before the rendering.
    capture = explain::PortCapture();
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
        fprintf(stderr, "%s: %s\n%s", programName, options.problem.c_str(), explain::explainUsage);
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
