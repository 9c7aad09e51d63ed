#include "plugin/colour_query.h"

#include <windows.h>

namespace veilmere {

std::int32_t HostColourQuery(ColourId id, void* answer) {
  // The handle of the process's main executable, with its reference count raised, which
  // FreeLibrary lowers again: the executable stays mapped for the one call whatever else
  // happens meanwhile. Asked for by module, not by path, so that it works from any install
  // folder: a path in the ANSI code page would come back with '?' for every character outside
  // that code page, and could not name a folder deeper than MAX_PATH.
  HMODULE host = nullptr;
  if (!GetModuleHandleExW(0, nullptr, &host) || host == nullptr) return 0;

  std::int32_t result = 0;
  const auto query = reinterpret_cast<QueryClientInfoProc>(
      reinterpret_cast<void*>(GetProcAddress(host, kQueryClientInfoName)));
  if (query != nullptr) result = query(id, answer);
  FreeLibrary(host);
  return result;
}

}  // namespace veilmere
