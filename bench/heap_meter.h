// Counts the heap that C++ allocations hold, between start() and stop(), for
// the benchmarks' memory figures. Everything of the stand-in, the loader and
// the registry is allocated through operator new; libplist's own (malloc)
// memory is not counted here.
#ifndef PORTPROBE_BENCH_HEAP_METER_H
#define PORTPROBE_BENCH_HEAP_METER_H

#include <cstdint>

namespace bench {

// Bytes are what the allocator sets aside: the usable size of each block
// and its header. Not thread-safe; the benchmarks run on one thread.
class HeapMeter {
public:
    // Starts counting from zero.
    static void start();
    static void stop();
    // Bytes allocated and not yet freed since start(); frees of older blocks
    // count against it, so it can fall below zero.
    static std::int64_t current();
    // The most that current() reached.
    static std::int64_t peak();
};

} // namespace bench

#endif
