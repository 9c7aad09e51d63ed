// QFF_QueryClientInfo, exported from the executable that links this file (qfhost, and the
// tests that load a module in-process), where a module looks for it: on win32 through
// dllexport, left undecorated by the linker's --kill-at; natively through -rdynamic
// (CMake's ENABLE_EXPORTS), so that dlsym on the main program finds it.

#include <cstdint>

#include "host/host_api.h"
#include "tools/qfhost/host_colours.h"

#if defined(_WIN32)
#define QFHOST_EXPORT __declspec(dllexport)
#else
#define QFHOST_EXPORT __attribute__((visibility("default")))
#endif

extern "C" QFHOST_EXPORT std::int32_t QF_CALL QFF_QueryClientInfo(std::int32_t id, void* answer) {
  return veilmere::qfhost::AnswerClientInfo(id, answer);
}
