// Counts the heap allocations of the program it is linked into: C++ and C
// alike, since Qt and FFmpeg allocate much with malloc and realloc.
#pragma once

#include <cstdint>

namespace kx::test {

// False in sanitizer builds: their allocators stay their own, and only
// C++ allocations are counted there.
bool CountingEveryAllocation();
// Allocations made so far by every thread, and by the calling thread.
uint64_t AllAllocations();
uint64_t ThreadAllocations();

}  // namespace kx::test
