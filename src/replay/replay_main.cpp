// portprobe-replay: the portprobe report of registry snapshots captured on a
// Mac, read into the stand-in registry, or of the built-in sample when none
// is given. The whole input is checked before anything is printed; bad input
// gets one line on standard error and status 2.
#include <cstdio>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "app/output_status.h"
#include "app/report_sections.h"
#include "cli/command_line.h"
#include "cli/input_file.h"
#include "cli/snapshot_input.h"
#include "cli/snapshot_planes.h"
#include "platform/standin/snapshot/sample_notice.h"
#include "platform/standin/snapshot/snapshot_loader.h"
#include "portprobe_version.h"
#include "replay/controller_presence.h"
#include "replay/replay_options.h"

namespace {

const char *const programName = "portprobe-replay";
const int badInput = 2;

// The report walks the IOService and IOPower planes.
const cli::PlaneUse replayPlaneUse = {
    {{"IOPort", "the IOPort plane holds the ports, which the report does not walk; "
                "portprobe-explain explains them"}}};

// Reads every snapshot into the registry, or the built-in sample when none
// is given. Returns false, having said why, when one cannot be read.
bool loadSnapshots(const ReplayOptions &options)
{
    if (options.snapshots.empty()) {
        if (auto error = snapshot::loadBuiltInSample()) {
            fprintf(stderr, "%s: built-in sample: %s\n", programName, error->c_str());
            return false;
        }
        fprintf(stderr, "%s\n", snapshot::builtInSampleNotice(programName, programName).c_str());
        return true;
    }
    snapshot::SnapshotLoader loader;
    std::vector<std::string> notes;
    for (const SnapshotArgument &snapshot : options.snapshots) {
        const std::string name = cli::inputName(snapshot.path);
        const std::size_t noted = loader.notes().size();
        if (auto error = cli::addSnapshot(loader, snapshot.path, snapshot.plane)) {
            fprintf(stderr, "%s: %s\n", programName,
                    snapshot::snapshotProblem(name, *error).c_str());
            return false;
        }
        for (std::size_t i = noted; i < loader.notes().size(); ++i) {
            notes.push_back(name + ": " + loader.notes()[i]);
        }
    }
    loader.commit();
    std::vector<std::string> paths;
    for (const SnapshotArgument &snapshot : options.snapshots) {
        paths.push_back(snapshot.path);
    }
    // Without a controller, the hint says where the ports are read, which
    // each capture of the IOPort plane need not say again.
    std::string hint = noControllerNote(paths);
    const cli::PlaneUse use = hint.empty() ? replayPlaneUse : cli::PlaneUse{};
    for (std::string &note : cli::planeNotes(use, options.snapshots, loader.snapshotsRead())) {
        notes.push_back(std::move(note));
    }
    if (!hint.empty()) {
        notes.push_back(std::move(hint));
    }
    // Said once the whole input is known to be good.
    for (const std::string &note : notes) {
        fprintf(stderr, "%s: %s\n", programName, note.c_str());
    }
    return true;
}

int run(int argc, char *argv[])
{
    ReplayOptions options = parseReplayOptions(argc, argv);
    if (options.action == ReplayOptions::Action::help) {
        fputs(replayUsage, stdout);
        return finishOutput(programName);
    }
    if (options.action == ReplayOptions::Action::version) {
        fputs("portprobe-replay " PORTPROBE_VERSION "\n", stdout);
        return finishOutput(programName);
    }
    if (options.action == ReplayOptions::Action::usageError) {
        fprintf(stderr, "%s\n", cli::usageErrorLine(programName, options.problem).c_str());
        return badInput;
    }
    if (!loadSnapshots(options)) {
        return badInput;
    }
    printReport();
    return finishOutput(programName);
}

} // namespace

int main(int argc, char *argv[])
{
    try {
        return run(argc, argv);
    } catch (const std::exception &error) {
        // Only exhausted memory can get here, reading a snapshot; say so
        // rather than abort.
        fprintf(stderr, "%s: %s\n", programName, error.what());
        return 1;
    }
}
