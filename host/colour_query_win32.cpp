#include "host/colour_query.h"

#include <windows.h>

namespace veilmere {

std::int32_t HostColourQuery(ColourId id, void* answer) {
  // The main executable is already mapped, so LoadLibraryA on its own path only raises its
  // reference count and hands back its handle; FreeLibrary lowers it again.
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  // A path that does not fit (the call then truncates and reports the full buffer) or that
  // cannot be had at all would name the wrong file: treat it as a host without the function.
  if (length == 0 || length >= sizeof path) return 0;

  HMODULE host = LoadLibraryA(path);
  if (host == nullptr) return 0;

  std::int32_t result = 0;
  const auto query = reinterpret_cast<QueryClientInfoProc>(
      reinterpret_cast<void*>(GetProcAddress(host, kQueryClientInfoName)));
  if (query != nullptr) result = query(id, answer);
  FreeLibrary(host);
  return result;
}

}  // namespace veilmere
