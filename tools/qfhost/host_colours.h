#pragma once
// The colours qfhost gives a module that asks for them, as the paint program gives its
// current drawing and background colours. The module asks while it loads, so they are set
// before it is loaded.

#include <cstdint>

#include "filters/pixel.h"

namespace veilmere::qfhost {

void SetHostColours(Pixel drawing, Pixel background);

// The answer behind qfhost's QFF_QueryClientInfo export (host_query.cpp): for id 1 the drawing
// colour, for id 3 the background colour, written as 4 bytes B, G, R, A at `answer`, and 1.
// Any other id, or a null `answer`, gets 0 and nothing written.
std::int32_t AnswerClientInfo(std::int32_t id, void* answer);

}  // namespace veilmere::qfhost
