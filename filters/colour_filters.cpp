#include "filters/colour_filters.h"

namespace veilmere {

FillWithDrawingColourFilter::FillWithDrawingColourFilter()
    : HostColourFilter(kDrawingColour) {
  colour_ &= kColourBits;
}

FillWithBackgroundColourFilter::FillWithBackgroundColourFilter()
    : HostColourFilter(kBackgroundColour) {
  colour_ &= kColourBits;
}

// The alpha byte keeps what the host wrote; the rule never reads it.
DrawingColourToTransparentFilter::DrawingColourToTransparentFilter()
    : HostColourFilter(kDrawingColour) {}

}  // namespace veilmere
