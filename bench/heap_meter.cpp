#include "heap_meter.h"

#include <cstdlib>
#include <new>

#include <malloc.h>

namespace {

bool metering = false;
std::int64_t inUse = 0;
std::int64_t mostInUse = 0;

// The header glibc keeps in front of every block.
const std::int64_t blockHeader = sizeof(std::size_t);

void *allocate(std::size_t size)
{
    void *block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    if (metering) {
        inUse += static_cast<std::int64_t>(malloc_usable_size(block)) + blockHeader;
        if (inUse > mostInUse) {
            mostInUse = inUse;
        }
    }
    return block;
}

void release(void *block) noexcept
{
    if (block == nullptr) {
        return;
    }
    if (metering) {
        inUse -= static_cast<std::int64_t>(malloc_usable_size(block)) + blockHeader;
    }
    std::free(block);
}

} // namespace

namespace bench {

void HeapMeter::start()
{
    inUse = 0;
    mostInUse = 0;
    metering = true;
}

void HeapMeter::stop() { metering = false; }

std::int64_t HeapMeter::current() { return inUse; }

std::int64_t HeapMeter::peak() { return mostInUse; }

} // namespace bench

// The replaceable allocation functions; the array, nothrow and sized forms
// of the standard library all come here.
void *operator new(std::size_t size) { return allocate(size); }
void *operator new[](std::size_t size) { return allocate(size); }
void operator delete(void *block) noexcept { release(block); }
void operator delete[](void *block) noexcept { release(block); }
void operator delete(void *block, std::size_t) noexcept { release(block); }
void operator delete[](void *block, std::size_t) noexcept { release(block); }
