#include "tools/qfhost/host_colours.h"

#include <cstring>

#include "host/host_api.h"
#include "tools/qfhost/options.h"

namespace veilmere::qfhost {
namespace {

Pixel drawingColour = kDefaultDrawingColour;
Pixel backgroundColour = kDefaultBackgroundColour;

}  // namespace

void SetHostColours(Pixel drawing, Pixel background) {
  drawingColour = drawing;
  backgroundColour = background;
}

std::int32_t AnswerClientInfo(std::int32_t id, void* answer) {
  const Pixel* colour = id == kDrawingColour      ? &drawingColour
                        : id == kBackgroundColour ? &backgroundColour
                                                  : nullptr;
  if (colour == nullptr || answer == nullptr) return 0;
  std::memcpy(answer, colour, sizeof *colour);
  return 1;
}

}  // namespace veilmere::qfhost
