// portprobe-replay: the portprobe report of registry snapshots captured on a
// Mac, read into the stand-in registry. The whole input is checked before
// anything is printed; bad input gets one line on standard error and status 2.
#include <cstdio>
#include <string>
#include <vector>

#include "app/output_status.h"
#include "app/report_sections.h"
#include "platform/standin/snapshot/snapshot_loader.h"
#include "portprobe_version.h"
#include "replay/replay_options.h"

namespace {

const int badInput = 2;

} // namespace

int main(int argc, char *argv[])
{
    ReplayOptions options = parseReplayOptions(argc, argv);
    if (options.action == ReplayOptions::Action::help) {
        fputs(replayUsage, stdout);
        return finishOutput("portprobe-replay");
    }
    if (options.action == ReplayOptions::Action::version) {
        fputs("portprobe-replay " PORTPROBE_VERSION "\n", stdout);
        return finishOutput("portprobe-replay");
    }
    if (options.action == ReplayOptions::Action::usageError) {
        fprintf(stderr, "portprobe-replay: %s\n%s", options.problem.c_str(), replayUsage);
        return badInput;
    }

    snapshot::SnapshotLoader loader;
    std::vector<std::string> notes;
    for (const SnapshotArgument &snapshot : options.snapshots) {
        std::size_t noted = loader.notes().size();
        if (auto error = loader.addFile(snapshot.path, snapshot.plane)) {
            fprintf(stderr, "portprobe-replay: %s\n",
                    snapshot::snapshotProblem(snapshot.path, *error).c_str());
            return badInput;
        }
        for (std::size_t i = noted; i < loader.notes().size(); ++i) {
            notes.push_back(snapshot.path + ": " + loader.notes()[i]);
        }
    }
    for (const std::string &note : notes) {
        fprintf(stderr, "portprobe-replay: %s\n", note.c_str());
    }
    loader.commit();
    printReport();
    return finishOutput("portprobe-replay");
}
