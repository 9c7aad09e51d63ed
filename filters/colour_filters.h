#pragma once
// The three filters that work with one of the host's current colours. Each asks the host for
// its colour once, while it is constructed (that is, while the module loads); a colour the
// user picks later does not reach a filter already built.

#include "filters/pixel_filter.h"
#include "host/host_api.h"

namespace veilmere {

// Holds the host colour `id` as the host answered it at construction. When the host offers no
// colour query, the colour stays all zero bytes: black, and transparent.
class HostColourFilter : public PixelFilter {
 protected:
  HostColourFilter(const char* name, ColourId id);

  Pixel colour_{};
};

// "Transparentize(Fill with FGC)|透明化(描画色で塗りつぶす)": every pixel becomes the
// drawing colour with alpha 0; the source is not read.
class FillWithDrawingColourFilter final : public HostColourFilter {
 public:
  FillWithDrawingColourFilter();

 protected:
  void ProcessPixel(const Pixel*, Pixel* destination) const final { *destination = colour_; }
};

// "Transparentize(Fill with BGC)|透明化(背景色で塗りつぶす)": every pixel becomes the
// background colour with alpha 0; the source is not read.
class FillWithBackgroundColourFilter final : public HostColourFilter {
 public:
  FillWithBackgroundColourFilter();

 protected:
  void ProcessPixel(const Pixel*, Pixel* destination) const final { *destination = colour_; }
};

// "Transpparentize FGC Pixels|描画色を透明化": the source pixel, with alpha 0 where its red,
// green and blue all equal the drawing colour's; alpha takes no part in the comparison.
class DrawingColourToTransparentFilter final : public HostColourFilter {
 public:
  DrawingColourToTransparentFilter();

 protected:
  void ProcessPixel(const Pixel* source, Pixel* destination) const final {
    *destination = *source;
    if (source->r == colour_.r && source->g == colour_.g && source->b == colour_.b) {
      destination->a = 0;
    }
  }
};

}  // namespace veilmere
