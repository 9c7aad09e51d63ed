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

// Heap a Windows load of the module may keep for good. The module's own copy of the threads
// library and of the unwinder (the mingw posix runtime, linked in statically) allocates a few
// small objects on first use that nothing can free: 372 bytes a load in the 32-bit module,
// about 800 in the 64-bit test build, whose objects are mostly pointers. Anything the module's
// own code or its C++ runtime kept would show as kilobytes a load.
inline constexpr std::size_t kUnfreedBytesPerLoad = 128 * sizeof(void*);

}  // namespace veilmere::test
