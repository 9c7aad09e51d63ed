#pragma once
// How much memory this process uses, for tests that look for growth.

#include <cstddef>

namespace veilmere::test {

// Resident bytes of the running process: the resident set natively (/proc/self/statm), the
// working set on Windows and under Wine (GetProcessMemoryInfo). 0 when it cannot be read.
std::size_t ResidentBytes();

// Bytes of the C runtime's heap now handed out by malloc and operator new (which the module's
// C++ runtime and the platform loader use too): glibc's mallinfo2 natively, msvcrt's _heapwalk
// on Windows. Meaningless under a sanitizer, whose runtime replaces malloc.
std::size_t HeapBytesInUse();

}  // namespace veilmere::test
