#include "tests/support/memory_use.h"

#if defined(_WIN32)
#include <malloc.h>
#include <windows.h>
// windows.h first: psapi.h uses its types.
#include <psapi.h>
#else
#include <malloc.h>
#include <unistd.h>

#include <fstream>
#endif

namespace veilmere::test {

std::size_t ResidentBytes() {
#if defined(_WIN32)
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return counters.WorkingSetSize;
#else
  // statm: total program size, then resident pages.
  std::ifstream statm("/proc/self/statm");
  std::size_t size = 0, resident = 0;
  if (!(statm >> size >> resident)) return 0;
  return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
#endif
}

std::size_t HeapBytesInUse() {
#if defined(_WIN32)
  std::size_t total = 0;
  _HEAPINFO entry{};
  entry._pentry = nullptr;
  while (_heapwalk(&entry) == _HEAPOK) {
    if (entry._useflag == _USEDENTRY) total += entry._size;
  }
  return total;
#else
  return mallinfo2().uordblks;
#endif
}

}  // namespace veilmere::test
