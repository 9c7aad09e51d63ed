#include "filters/colour_filters.h"

namespace veilmere {

FillWithDrawingColourFilter::FillWithDrawingColourFilter()
    : HostColourFilter(
          "Transparentize(Fill with FGC)|\x93\xA7\x96\xBE\x89\xBB"
          "(\x95\x60\x89\xE6\x90\x46\x82\xC5\x93\x68\x82\xE8\x82\xC2\x82\xD4\x82\xB7)",
          kDrawingColour) {
  colour_ &= kColourBits;
}

FillWithBackgroundColourFilter::FillWithBackgroundColourFilter()
    : HostColourFilter(
          "Transparentize(Fill with BGC)|\x93\xA7\x96\xBE\x89\xBB"
          "(\x94\x77\x8C\x69\x90\x46\x82\xC5\x93\x68\x82\xE8\x82\xC2\x82\xD4\x82\xB7)",
          kBackgroundColour) {
  colour_ &= kColourBits;
}

// The alpha byte keeps what the host wrote; the rule never reads it.
DrawingColourToTransparentFilter::DrawingColourToTransparentFilter()
    : HostColourFilter("Transpparentize FGC Pixels|"
                       "\x95\x60\x89\xE6\x90\x46\x82\xF0\x93\xA7\x96\xBE\x89\xBB",
                       kDrawingColour) {}

}  // namespace veilmere
