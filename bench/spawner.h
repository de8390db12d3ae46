// Starts programs for the benchmarks from a helper process that is forked
// before the benchmarks grow: Linux counts a program's peak resident set
// from the memory of the process that started it, so a program started by
// the large benchmark process would report that process's size as its own.
#ifndef PORTPROBE_BENCH_SPAWNER_H
#define PORTPROBE_BENCH_SPAWNER_H

#include <string>
#include <vector>

namespace bench {

struct ProgramRun {
    bool succeeded = false; // ran and exited with status 0
    double seconds = 0;     // from start to exit, wall time
    long peakRssBytes = 0;
};

class Spawner {
public:
    // Forks the helper; call first thing in main.
    static void start();
    // Runs the program (arguments[0] is its path) with standard output on
    // /dev/null, to its exit.
    static ProgramRun run(const std::vector<std::string> &arguments);
};

} // namespace bench

#endif
