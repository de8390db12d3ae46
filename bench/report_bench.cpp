// portprobe's benchmarks: the whole report over generated registries of
// 1,000, 10,000 and 100,000 entries, against a floor that writes the same
// bytes, already formatted, to the same stream; the snapshot loader on a
// 100,000-entry snapshot; the peak memory of portprobe-replay on it; and
// portprobe on its built-in sample as a whole process. Standard output goes
// to /dev/null while anything runs. The summary at the end states the
// targets as ratios, from medians when --benchmark_repetitions is given.
#include <benchmark/benchmark.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "app/report_sections.h"
#include "heap_meter.h"
#include "platform/standin/snapshot/snapshot_loader.h"
#include "platform/standin/standin.h"
#include "registry_generator.h"
#include "spawner.h"

namespace {

using benchmark::Counter;

const std::int64_t largestRegistry = 100000;

// Standard output goes to /dev/null for as long as this lives.
class StdoutToNull {
public:
    StdoutToNull()
    {
        std::fflush(stdout);
        saved_ = dup(STDOUT_FILENO);
        int null = open("/dev/null", O_WRONLY);
        if (saved_ < 0 || null < 0 || dup2(null, STDOUT_FILENO) < 0) {
            throw std::runtime_error("cannot send standard output to /dev/null");
        }
        close(null);
    }
    ~StdoutToNull()
    {
        std::fflush(stdout);
        dup2(saved_, STDOUT_FILENO);
        close(saved_);
    }
    StdoutToNull(const StdoutToNull &) = delete;
    StdoutToNull &operator=(const StdoutToNull &) = delete;

private:
    int saved_ = -1;
};

// The size of the registry the stand-in holds now, and the report of every
// size so far.
std::size_t registryHeld = 0;

struct Report {
    std::string text;
    std::vector<std::pair<std::size_t, std::size_t>> lines; // offset and length
};
std::map<std::size_t, Report> reports;

void holdRegistry(std::size_t entries)
{
    if (registryHeld != entries) {
        registryHeld = 0;
        bench::generateRegistry(entries);
        registryHeld = entries;
    }
}

void forgetRegistry()
{
    standin::reset();
    registryHeld = 0;
}

std::string auditProblems()
{
    standin::AuditReport audit = standin::audit();
    return audit.clean() ? std::string() : audit.text();
}

const Report &reportOf(std::size_t entries)
{
    Report &report = reports[entries];
    if (report.text.empty()) {
        holdRegistry(entries);
        report.text = standin::captureStdout(printReport);
        std::string problems = auditProblems();
        if (!problems.empty()) {
            throw std::runtime_error("the report's audit is not clean:\n" + problems);
        }
        for (std::size_t at = 0; at < report.text.size();) {
            std::size_t end = report.text.find('\n', at);
            end = end == std::string::npos ? report.text.size() : end + 1;
            report.lines.emplace_back(at, end - at);
            at = end;
        }
    }
    return report;
}

void BM_Report(benchmark::State &state)
{
    auto entries = static_cast<std::size_t>(state.range(0));
    const Report &expected = reportOf(entries);
    holdRegistry(entries);
    std::int64_t peakGrowth = 0;
    std::int64_t retained = 0;
    {
        StdoutToNull quiet;
        for (auto _ : state) { // NOLINT(clang-analyzer-deadcode.DeadStores): the loop idiom
            printReport();
            std::fflush(stdout);
        }
        // One more run, to see what the report holds while it runs and what
        // it leaves behind; none of it may depend on the registry's size.
        bench::HeapMeter::start();
        printReport();
        std::fflush(stdout);
        bench::HeapMeter::stop();
        peakGrowth = bench::HeapMeter::peak();
        retained = bench::HeapMeter::current();
    }
    std::string problems = auditProblems();
    if (!problems.empty()) {
        state.SkipWithError(("audit: " + problems).c_str());
        return;
    }
    state.counters["entries/s"] =
        Counter(static_cast<double>(entries), Counter::kIsIterationInvariantRate);
    state.counters["bytes/s"] = Counter(static_cast<double>(expected.text.size()),
                                        Counter::kIsIterationInvariantRate, Counter::kIs1024);
    state.counters["time/entry"] = Counter(static_cast<double>(entries),
                                           Counter::kIsIterationInvariantRate | Counter::kInvert);
    state.counters["heapPeak"] =
        Counter(static_cast<double>(peakGrowth), Counter::kDefaults, Counter::kIs1024);
    state.counters["heapKept"] =
        Counter(static_cast<double>(retained), Counter::kDefaults, Counter::kIs1024);
    state.counters["refsPeak"] = Counter(static_cast<double>(standin::audit().peakHeld));
}

// The floor: the same bytes, formatted already, written line by line to the
// same stream.
void BM_Floor(benchmark::State &state)
{
    auto entries = static_cast<std::size_t>(state.range(0));
    const Report &report = reportOf(entries);
    const char *text = report.text.data();
    {
        StdoutToNull quiet;
        for (auto _ : state) { // NOLINT(clang-analyzer-deadcode.DeadStores): the loop idiom
            for (const auto &line : report.lines) {
                std::fwrite(text + line.first, 1, line.second, stdout);
            }
            std::fflush(stdout);
        }
    }
    state.counters["entries/s"] =
        Counter(static_cast<double>(entries), Counter::kIsIterationInvariantRate);
    state.counters["bytes/s"] = Counter(static_cast<double>(report.text.size()),
                                        Counter::kIsIterationInvariantRate, Counter::kIs1024);
    state.counters["time/entry"] = Counter(static_cast<double>(entries),
                                           Counter::kIsIterationInvariantRate | Counter::kInvert);
}

// Snapshots of the largest registry, checked once: the report of a loaded
// snapshot must be the report of the registry it was written from.
struct Snapshot {
    std::string bytes;
    std::string path;
    std::int64_t registryBytes = 0; // heap the loaded registry holds
};

// Where the snapshot files go; made when first needed.
std::string scratch;
const char *const scratchFiles[] = {"/registry.xml.plist", "/registry.bin.plist", "/registry.txt",
                                    "/one-entry.plist"};

const char *formatName(bench::SnapshotFormat format)
{
    switch (format) {
    case bench::SnapshotFormat::xml: return "xml";
    case bench::SnapshotFormat::binary: return "binary";
    case bench::SnapshotFormat::text: return "text";
    }
    return "";
}

std::string scratchDirectory()
{
    if (scratch.empty()) {
        char name[] = "/tmp/portprobe-bench-XXXXXX";
        if (mkdtemp(name) == nullptr) {
            throw std::runtime_error("cannot make a scratch directory");
        }
        scratch = name;
    }
    return scratch;
}

void removeScratch()
{
    if (scratch.empty()) {
        return;
    }
    for (const char *file : scratchFiles) {
        std::remove((scratch + file).c_str());
    }
    rmdir(scratch.c_str());
}

std::optional<std::string> loadSnapshot(const std::string &bytes)
{
    snapshot::SnapshotLoader loader;
    auto error = loader.add(bytes);
    if (!error) {
        loader.commit();
    }
    return error;
}

const Snapshot &snapshotOf(bench::SnapshotFormat format)
{
    static std::map<bench::SnapshotFormat, Snapshot> snapshots;
    Snapshot &found = snapshots[format];
    if (!found.bytes.empty()) {
        return found;
    }
    const std::string &expected = reportOf(largestRegistry).text;
    holdRegistry(largestRegistry);
    found.bytes = bench::snapshotOfRegistry(format);
    found.path = scratchDirectory() + scratchFiles[static_cast<int>(format)];
    std::FILE *file = std::fopen(found.path.c_str(), "wb");
    if (file == nullptr ||
        std::fwrite(found.bytes.data(), 1, found.bytes.size(), file) != found.bytes.size() ||
        std::fclose(file) != 0) {
        throw std::runtime_error("cannot write " + found.path);
    }

    forgetRegistry();
    bench::HeapMeter::start();
    auto error = loadSnapshot(found.bytes);
    bench::HeapMeter::stop();
    found.registryBytes = bench::HeapMeter::current();
    if (error) {
        throw std::runtime_error("the generated snapshot does not load: " + *error);
    }
    // Text holds no reals or dates: its report may differ from the registry's.
    if (format != bench::SnapshotFormat::text && standin::captureStdout(printReport) != expected) {
        throw std::runtime_error("the loaded snapshot's report differs from the registry's");
    }
    forgetRegistry();
    return found;
}

void BM_LoadSnapshot(benchmark::State &state, bench::SnapshotFormat format)
{
    const Snapshot &snapshot = snapshotOf(format);
    for (auto _ : state) { // NOLINT(clang-analyzer-deadcode.DeadStores): the loop idiom
        state.PauseTiming();
        forgetRegistry();
        {
            snapshot::SnapshotLoader loader;
            state.ResumeTiming();
            auto error = loader.add(snapshot.bytes);
            if (!error) {
                loader.commit();
            }
            state.PauseTiming();
            if (error) {
                state.SkipWithError(error->c_str());
            }
        }
        state.ResumeTiming();
    }
    forgetRegistry();
    state.SetLabel(formatName(format));
    state.counters["entries/s"] =
        Counter(static_cast<double>(largestRegistry), Counter::kIsIterationInvariantRate);
    state.counters["bytes/s"] = Counter(static_cast<double>(snapshot.bytes.size()),
                                        Counter::kIsIterationInvariantRate, Counter::kIs1024);
    state.counters["fileBytes"] =
        Counter(static_cast<double>(snapshot.bytes.size()), Counter::kDefaults, Counter::kIs1024);
    state.counters["registryHeap"] =
        Counter(static_cast<double>(snapshot.registryBytes), Counter::kDefaults, Counter::kIs1024);
}

void BM_PortprobeProcess(benchmark::State &state)
{
    long peak = 0;
    for (auto _ : state) { // NOLINT(clang-analyzer-deadcode.DeadStores): the loop idiom
        bench::ProgramRun run = bench::Spawner::run({PORTPROBE_BINARY});
        if (!run.succeeded) {
            state.SkipWithError("portprobe did not run to a clean exit");
            return;
        }
        state.SetIterationTime(run.seconds);
        peak = run.peakRssBytes;
    }
    state.counters["peakRss"] =
        Counter(static_cast<double>(peak), Counter::kDefaults, Counter::kIs1024);
}

// portprobe-replay on the 100,000-entry snapshot: its peak resident set
// against the heap that the loaded registry holds, and against the peak of
// a replay of a one-entry snapshot (what the process needs anyway).
void BM_ReplayProcess(benchmark::State &state, bench::SnapshotFormat format)
{
    const Snapshot &snapshot = snapshotOf(format);
    static long emptyPeak = [] {
        bench::generateRegistry(1);
        registryHeld = 0;
        std::string path = scratchDirectory() + scratchFiles[3];
        std::string bytes = bench::snapshotOfRegistry(bench::SnapshotFormat::xml);
        forgetRegistry();
        std::FILE *file = std::fopen(path.c_str(), "wb");
        if (file == nullptr) {
            return -1L;
        }
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        bench::ProgramRun run = bench::Spawner::run({PORTPROBE_REPLAY_BINARY, path});
        return run.succeeded ? run.peakRssBytes : -1L;
    }();
    long peak = 0;
    for (auto _ : state) { // NOLINT(clang-analyzer-deadcode.DeadStores): the loop idiom
        bench::ProgramRun run = bench::Spawner::run({PORTPROBE_REPLAY_BINARY, snapshot.path});
        if (!run.succeeded || emptyPeak < 0) {
            state.SkipWithError("portprobe-replay did not run to a clean exit");
            return;
        }
        state.SetIterationTime(run.seconds);
        peak = run.peakRssBytes;
    }
    auto registry = static_cast<double>(snapshot.registryBytes);
    state.SetLabel(format == bench::SnapshotFormat::xml ? "xml" : "binary");
    state.counters["peakRss"] =
        Counter(static_cast<double>(peak), Counter::kDefaults, Counter::kIs1024);
    state.counters["baseRss"] =
        Counter(static_cast<double>(emptyPeak), Counter::kDefaults, Counter::kIs1024);
    state.counters["registryHeap"] = Counter(registry, Counter::kDefaults, Counter::kIs1024);
    state.counters["peak/registry"] = Counter(static_cast<double>(peak) / registry);
}

// portprobe-explain on the same snapshot, text and JSON, against
// portprobe-replay's time on it: explaining is held to 1.5 times reporting.
void BM_ExplainProcess(benchmark::State &state, bench::SnapshotFormat format, bool json)
{
    const Snapshot &snapshot = snapshotOf(format);
    std::vector<std::string> arguments = {PORTPROBE_EXPLAIN_BINARY, "--usb-ids", PORTPROBE_USB_IDS,
                                          snapshot.path};
    if (json) {
        arguments.emplace_back("--json");
    }
    long peak = 0;
    for (auto _ : state) { // NOLINT(clang-analyzer-deadcode.DeadStores): the loop idiom
        bench::ProgramRun run = bench::Spawner::run(arguments);
        if (!run.succeeded) {
            state.SkipWithError("portprobe-explain did not run to a clean exit");
            return;
        }
        state.SetIterationTime(run.seconds);
        peak = run.peakRssBytes;
    }
    state.SetLabel(std::string(format == bench::SnapshotFormat::xml ? "xml" : "binary") +
                   (json ? " json" : " text"));
    state.counters["peakRss"] =
        Counter(static_cast<double>(peak), Counter::kDefaults, Counter::kIs1024);
}

BENCHMARK(BM_Report)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(largestRegistry)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Floor)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(largestRegistry)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_LoadSnapshot, xml, bench::SnapshotFormat::xml)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_LoadSnapshot, binary, bench::SnapshotFormat::binary)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_LoadSnapshot, text, bench::SnapshotFormat::text)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ReplayProcess, xml, bench::SnapshotFormat::xml)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_ReplayProcess, binary, bench::SnapshotFormat::binary)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_ExplainProcess, xml_text, bench::SnapshotFormat::xml, false)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_ExplainProcess, xml_json, bench::SnapshotFormat::xml, true)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_ExplainProcess, binary_text, bench::SnapshotFormat::binary, false)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_ExplainProcess, binary_json, bench::SnapshotFormat::binary, true)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK(BM_PortprobeProcess)->Unit(benchmark::kMillisecond)->UseManualTime();

// Writes one line of the summary.
__attribute__((format(printf, 2, 3))) void say(std::ostream &out, const char *format, ...)
{
    char line[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    out << line << '\n';
}

// The console report, then the targets as ratios.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    using ConsoleReporter::ConsoleReporter;

    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.error_occurred) {
                continue;
            }
            std::string name = run.run_name.function_name;
            if (!run.run_name.args.empty()) {
                name += "/" + run.run_name.args;
            }
            if (run.run_type == Run::RT_Aggregate) {
                if (run.aggregate_name == "median") {
                    medians_[name] = run;
                }
            } else {
                last_[name] = run;
            }
        }
        std::fflush(stdout);
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::ostream &out = GetOutputStream();
        char line[512];
        out << "\nSummary (" << (medians_.empty() ? "single runs" : "medians of the repetitions")
            << "; wall time, CPU time in brackets):\n";
        auto perEntry = [&](const std::string &name, double entries) {
            const Run *run = find(name);
            return run == nullptr ? -1.0 : seconds(*run) / entries * 1e9;
        };
        auto cpuPerEntry = [&](const std::string &name, double entries) {
            const Run *run = find(name);
            return run == nullptr ? -1.0 : cpuSeconds(*run) / entries * 1e9;
        };
        for (std::int64_t size : {1000L, 10000L, largestRegistry}) {
            std::string arg = std::to_string(size);
            auto entries = static_cast<double>(size);
            double report = perEntry("BM_Report/" + arg, entries);
            double floor = perEntry("BM_Floor/" + arg, entries);
            if (report > 0) {
                say(out, "  report of %6lld entries: %8.1f ns/entry [%8.1f]",
                    static_cast<long long>(size), report, cpuPerEntry("BM_Report/" + arg, entries));
            }
            if (report > 0 && floor > 0) {
                say(out,
                    "  (e) floor of %6lld entries: %6.1f ns/entry [%6.1f]; report/floor %.1f "
                    "[%.1f]",
                    static_cast<long long>(size), floor, cpuPerEntry("BM_Floor/" + arg, entries),
                    report / floor,
                    cpuPerEntry("BM_Report/" + arg, entries) /
                        cpuPerEntry("BM_Floor/" + arg, entries));
            }
        }
        double small = perEntry("BM_Report/1000", 1000.0);
        double large = perEntry("BM_Report/100000", static_cast<double>(largestRegistry));
        if (small > 0 && large > 0) {
            double cpu = cpuPerEntry("BM_Report/100000", static_cast<double>(largestRegistry)) /
                         cpuPerEntry("BM_Report/1000", 1000.0);
            say(out,
                "  (a) linear scale: per-entry cost at 100,000 / at 1,000 = %.2f [%.2f] (target <= "
                "1.25: %s)",
                large / small, cpu, large / small <= 1.25 ? "met" : "NOT met");
        }
        std::string heap;
        for (const char *arg : {"1000", "10000", "100000"}) {
            if (const Run *run = find(std::string("BM_Report/") + arg)) {
                std::snprintf(line, sizeof line,
                              " %s entries: peak %.0f B, kept %.0f B, refs %.0f;", arg,
                              counter(*run, "heapPeak"), counter(*run, "heapKept"),
                              counter(*run, "refsPeak"));
                heap += line;
            }
        }
        if (!heap.empty()) {
            out << "  (b) heap growth during one report, and references held at most:" << heap
                << '\n';
        }
        for (const char *formatName : {"xml", "binary"}) {
            if (const Run *run = find(std::string("BM_ReplayProcess/") + formatName)) {
                double peak = counter(*run, "peakRss");
                double base = counter(*run, "baseRss");
                double registry = counter(*run, "registryHeap");
                say(out,
                    "  (b) portprobe-replay, %s snapshot of 100,000 entries: peak RSS %.1f MiB, "
                    "loaded registry %.1f MiB: ratio %.2f (%.2f above a one-entry replay's %.1f "
                    "MiB); "
                    "target <= 3: %s",
                    formatName, peak / 1048576, registry / 1048576, peak / registry,
                    (peak - base) / registry, base / 1048576,
                    peak / registry <= 3 ? "met" : "NOT met");
            }
            if (const Run *run = find(std::string("BM_LoadSnapshot/") + formatName)) {
                say(out, "  snapshot load, %s, 100,000 entries: %.0f ms (%.0f ns/entry)",
                    formatName, seconds(*run) * 1e3,
                    seconds(*run) / static_cast<double>(largestRegistry) * 1e9);
            }
        }
        for (const char *variant : {"xml_text", "xml_json", "binary_text", "binary_json"}) {
            std::string format = std::string(variant).substr(0, std::string(variant).find('_'));
            const Run *explainRun = find(std::string("BM_ExplainProcess/") + variant);
            const Run *replayRun = find("BM_ReplayProcess/" + format);
            if (explainRun != nullptr && replayRun != nullptr) {
                double ratio = seconds(*explainRun) / seconds(*replayRun);
                say(out,
                    "  portprobe-explain (%s) on the 100,000-entry snapshot: %.0f ms, "
                    "portprobe-replay %.0f ms: ratio %.2f (target <= 1.5: %s)",
                    variant, seconds(*explainRun) * 1e3, seconds(*replayRun) * 1e3, ratio,
                    ratio <= 1.5 ? "met" : "NOT met");
            }
        }
        if (const Run *run = find("BM_PortprobeProcess")) {
            say(out, "  portprobe on the built-in sample, start to exit: %.2f ms",
                seconds(*run) * 1e3);
        }
        out.flush();
        std::fflush(stdout);
    }

private:
    const Run *find(const std::string &name) const
    {
        auto median = medians_.find(name);
        if (median != medians_.end()) {
            return &median->second;
        }
        auto last = last_.find(name);
        return last == last_.end() ? nullptr : &last->second;
    }

    static double seconds(const Run &run)
    {
        return run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
    }

    static double cpuSeconds(const Run &run)
    {
        return run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
    }

    static double counter(const Run &run, const char *name)
    {
        auto found = run.counters.find(name);
        return found == run.counters.end() ? 0.0 : found->second.value;
    }

    std::map<std::string, Run> medians_;
    std::map<std::string, Run> last_;
};

} // namespace

int main(int argc, char **argv)
{
    bench::Spawner::start();
    // The stream gets the buffer that it gets when the report goes to
    // /dev/null or a file (the device's 4 KiB block), not the line buffer of
    // a terminal, whatever this benchmark's own output is.
    static char stdoutBuffer[4096];
    std::setvbuf(stdout, stdoutBuffer, _IOFBF, sizeof stdoutBuffer);
    try {
        benchmark::Initialize(&argc, argv);
        if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
            return 1;
        }
        SummaryReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_ColorTabular
                                                       : benchmark::ConsoleReporter::OO_Tabular);
        benchmark::RunSpecifiedBenchmarks(&reporter);
        benchmark::Shutdown();
    } catch (const std::exception &error) {
        std::fflush(stdout);
        std::fprintf(stderr, "portprobe_bench: %s\n", error.what());
        removeScratch();
        return 1;
    }
    removeScratch();
    return 0;
}
