// Builds registries of any size for the benchmarks, shaped like a real
// machine's: port controllers (class AppleHPMARMSPMI) with their devices,
// ports, transports and components below them, never more than eight levels
// deep, so that the report prints every entry. Most entries carry a few of
// the probed properties, some carry many; values are of every kind and size
// the report renders. The same registry can be written as a snapshot, for
// the loader's benchmarks.
#ifndef PORTPROBE_BENCH_REGISTRY_GENERATOR_H
#define PORTPROBE_BENCH_REGISTRY_GENERATOR_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace bench {

struct GeneratedRegistry {
    std::size_t entries = 0;     // registry entries, all of them reported
    std::size_t controllers = 0; // entries of class AppleHPMARMSPMI
    std::size_t properties = 0;  // own properties of all entries
    std::size_t probed = 0;      // of those, the probed ones: the report's ">>>" lines
    std::size_t entryLines = 0;  // entry lines of the report, both planes
};

// Empties the stand-in and fills it with a registry of exactly entries
// entries (at least one). The same seed always gives the same registry.
GeneratedRegistry generateRegistry(std::size_t entries, std::uint64_t seed = 1);

enum class SnapshotFormat { xml, binary, text };

// The stand-in's current registry as a snapshot: a map of the service and
// power planes to their controllers, each entry written once with its
// properties and linked again by its ID wherever else it appears. As text,
// the service plane alone, as `ioreg -lw0` writes it (reals and dates, which
// text cannot hold, left out).
std::string snapshotOfRegistry(SnapshotFormat format);

} // namespace bench

#endif
