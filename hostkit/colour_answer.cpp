#include "hostkit/colour_answer.h"

#include <cstring>
#include <type_traits>

namespace veilmere::hostkit {
namespace {

ColourAnswer* current = nullptr;

}  // namespace

ColourAnswer::ColourAnswer(HostColours colours, std::int32_t result)
    : colours_(colours), result_(result), previous_(current) {
  current = this;
}

ColourAnswer::~ColourAnswer() { current = previous_; }

std::int32_t ColourAnswer::Answer(std::int32_t id, void* answer) {
  queries_.push_back({id, answer});
  const Pixel* colour = id == kDrawingColour      ? &colours_.drawing
                        : id == kBackgroundColour ? &colours_.background
                                                  : nullptr;
  if (colour == nullptr || answer == nullptr) return 0;
  std::memcpy(answer, colour, sizeof *colour);
  return result_;
}

std::unique_ptr<LoadedModule> LoadAnswering(const std::string& path, const HostColours& colours,
                                            std::int32_t result, std::vector<ColourQuery>* queries) {
  const ColourAnswer answer(colours, result);
  auto module = LoadedModule::Load(path);
  if (queries != nullptr) *queries = answer.queries();
  return module;
}

}  // namespace veilmere::hostkit

// Exported from the executable: on Windows by dllexport, left undecorated by the linker's
// --kill-at; natively by -rdynamic, where dlsym on the main program finds it.
#if defined(_WIN32)
#define HOSTKIT_EXPORT __declspec(dllexport)
#else
#define HOSTKIT_EXPORT __attribute__((visibility("default")))
#endif

extern "C" HOSTKIT_EXPORT std::int32_t QF_CALL QFF_QueryClientInfo(std::int32_t id, void* answer) {
  veilmere::hostkit::ColourAnswer* const answerer = veilmere::hostkit::current;
  return answerer != nullptr ? answerer->Answer(id, answer) : 0;
}

static_assert(std::is_same_v<decltype(&QFF_QueryClientInfo), veilmere::QueryClientInfoProc>);
