// Builds a registry in the stand-in from a fuzzer's bytes: entries of any
// class and name, linked at random in the service and power planes (shared
// children and cycles included) and in a plane nothing walks, with values of
// every kind under the probed and annotation keys, and failures planned for
// any failable call; on request also ports, their planes and the power
// manager. Links are kept only while the walks stay small enough
// for a run of a few milliseconds. Texts never hold a line feed.
#ifndef PORTPROBE_FUZZ_REGISTRY_GENERATOR_H
#define PORTPROBE_FUZZ_REGISTRY_GENERATOR_H

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/standin/faults.h"

namespace fuzzing {

// The planes links are made in; the first two are the ones the report walks.
const std::size_t generatedPlaneCount = 3;
extern const char *const generatedPlanes[generatedPlaneCount];
const std::size_t walkedPlanes = 2;

// The defaults make, from the same bytes, the very registries the report
// fuzzer has always made, so that its corpus keeps its meaning.
struct GeneratorOptions {
    // Dictionary keys to draw from besides random texts; none by default.
    std::vector<std::string> memberKeys;
    // The failable calls planned to fail are those up to this one.
    standin::Call lastFailingCall = standin::Call::interestRegistration;
    // Also the shapes of ports and the power manager: their classes and
    // keys, sets, registry IDs given (clashing ones too), locations, and
    // links in the IOPort plane and from the registry's root.
    bool portShapes = false;
};

struct GeneratedRegistry {
    bool failuresPlanned = false;
    std::size_t controllers = 0; // AppleHPMARMSPMI entries
    std::size_t transports = 0;  // IOPortTransportComponentCCUSBPDSOPp entries
    // Entries the walks of every controller reach in each walked plane when
    // nothing fails: one per path of at most eight links from a controller.
    std::uint64_t walkedEntries[walkedPlanes] = {0, 0};
};

GeneratedRegistry generateRegistry(FuzzedDataProvider &in, const GeneratorOptions &options = {});

} // namespace fuzzing

#endif
