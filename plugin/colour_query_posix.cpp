#include "plugin/colour_query.h"

#include <dlfcn.h>

namespace veilmere {

std::int32_t HostColourQuery(ColourId id, void* answer) {
  // dlopen(nullptr) is the process's main program, the counterpart of opening the host's
  // executable by its own path on Windows. A host makes its QFF_QueryClientInfo visible to
  // dlsym by linking with -rdynamic (CMake: ENABLE_EXPORTS).
  void* host = dlopen(nullptr, RTLD_NOW);
  if (host == nullptr) return 0;

  std::int32_t result = 0;
  const auto query = reinterpret_cast<QueryClientInfoProc>(dlsym(host, kQueryClientInfoName));
  if (query != nullptr) result = query(id, answer);
  dlclose(host);
  return result;
}

}  // namespace veilmere
