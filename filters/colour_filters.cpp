#include "filters/colour_filters.h"

#include "host/colour_query.h"

namespace veilmere {

template <class Leaf>
HostColourFilter<Leaf>::HostColourFilter(const char* name, ColourId id)
    : PixelRule<Leaf>(name, kTransparencyCategory) {
  // The host writes its 4 bytes B, G, R, A, which is the pixel word. The query's result
  // tells nothing the filter could act on: a host without the function leaves the colour as
  // it was initialised.
  HostColourQuery(id, &colour_);
}

template class HostColourFilter<FillWithDrawingColourFilter>;
template class HostColourFilter<FillWithBackgroundColourFilter>;
template class HostColourFilter<DrawingColourToTransparentFilter>;
template class PixelRule<FillWithDrawingColourFilter>;
template class PixelRule<FillWithBackgroundColourFilter>;
template class PixelRule<DrawingColourToTransparentFilter>;

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
