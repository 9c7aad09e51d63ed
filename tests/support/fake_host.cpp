#include "tests/support/fake_host.h"

#include <cstring>

#include "host/host_api.h"

namespace veilmere::test {

FakeHost& TheFakeHost() {
  static FakeHost host;
  return host;
}

}  // namespace veilmere::test

// Exported from the executable: on win32 by dllexport, undecorated through --kill-at; natively
// through -rdynamic (ENABLE_EXPORTS), where dlsym on the main program finds it.
#if defined(_WIN32)
#define FAKE_HOST_EXPORT __declspec(dllexport)
#else
#define FAKE_HOST_EXPORT __attribute__((visibility("default")))
#endif

extern "C" FAKE_HOST_EXPORT std::int32_t QF_CALL QFF_QueryClientInfo(std::int32_t id,
                                                                     void* answer) {
  auto& host = veilmere::test::TheFakeHost();
  host.queries.push_back({id, answer});
  const veilmere::Pixel* colour = id == veilmere::kDrawingColour      ? &host.drawing
                                  : id == veilmere::kBackgroundColour ? &host.background
                                                                      : nullptr;
  if (colour == nullptr || answer == nullptr) return 0;
  std::memcpy(answer, colour, sizeof *colour);
  return host.result;
}
