#pragma once
// The three filters that work with one of the host's current colours. Each asks the host for
// its colour once, while it is constructed (that is, while the module loads); a colour the
// user picks later does not reach a filter already built.

#include <cstdint>

#include "filters/pixel_filter.h"
#include "host/host_api.h"
#include "plugin/colour_query.h"

namespace veilmere {

// Holds the host colour `id` as the host answered it at construction, as a pixel word
// (filters/pixel.h). When the host offers no colour query, the colour stays all zero bytes:
// black, and transparent. `Leaf` is the filter class, as for PixelRule.
template <class Leaf>
class HostColourFilter : public PixelRule<Leaf> {
 protected:
  // The host writes its 4 bytes B, G, R, A, which is the pixel word. The query's result
  // tells nothing the filter could act on: a host without the function leaves the colour as
  // it was initialised.
  explicit HostColourFilter(ColourId id) { HostColourQuery(id, &colour_); }

  std::uint32_t colour_ = 0;
};

// Every pixel becomes the drawing colour with alpha 0; the source is not read.
class FillWithDrawingColourFilter final : public HostColourFilter<FillWithDrawingColourFilter> {
 public:
  FillWithDrawingColourFilter();

  void ProcessPixel(const Pixel*, Pixel* destination) const final {
    StorePixelWord(destination, colour_);
  }
};

// Every pixel becomes the background colour with alpha 0; the source is not read.
class FillWithBackgroundColourFilter final
    : public HostColourFilter<FillWithBackgroundColourFilter> {
 public:
  FillWithBackgroundColourFilter();

  void ProcessPixel(const Pixel*, Pixel* destination) const final {
    StorePixelWord(destination, colour_);
  }
};

// The source pixel, with alpha 0 where its red, green and blue all equal the drawing
// colour's; alpha takes no part in the comparison.
class DrawingColourToTransparentFilter final
    : public HostColourFilter<DrawingColourToTransparentFilter> {
 public:
  DrawingColourToTransparentFilter();

  void ProcessPixel(const Pixel* source, Pixel* destination) const final {
    const std::uint32_t word = LoadPixelWord(source);
    StorePixelWord(destination,
                   (word & kColourBits) == (colour_ & kColourBits) ? word & kColourBits : word);
  }
};

}  // namespace veilmere
