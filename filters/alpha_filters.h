#pragma once
// The seven filters whose rule needs nothing from the host. Each copies the source pixel to
// the destination and then sets the destination's alpha; colour bytes never change.

#include "filters/pixel_filter.h"

namespace veilmere {

// Luminance of a pixel: Y = (77 R + 150 G + 29 B) / 256, truncating. The weights add up to
// 256, so Y runs from 0 to 255.
constexpr std::uint8_t Luma(const Pixel& p) {
  return static_cast<std::uint8_t>((77u * p.r + 150u * p.g + 29u * p.b) >> 8);
}

// "Transparentize|透明化": alpha = 0.
class TransparentizeFilter final : public PixelFilter {
 public:
  TransparentizeFilter()
      : PixelFilter("Transparentize|\x93\xA7\x96\xBE\x89\xBB", kTransparencyCategory) {}

 protected:
  void ProcessPixel(const Pixel* source, Pixel* destination) const final {
    *destination = *source;
    destination->a = 0;
  }
};

// "Transparentize at Brightness|明るさに応じて透明化": alpha = 255 - Y, so bright pixels
// become transparent.
class BrightnessToTransparencyFilter final : public PixelFilter {
 public:
  BrightnessToTransparencyFilter()
      : PixelFilter(
            "Transparentize at Brightness|"
            "\x96\xBE\x82\xE9\x82\xB3\x82\xC9\x89\x9E\x82\xB6\x82\xC4\x93\xA7\x96\xBE\x89\xBB",
            kTransparencyCategory) {}

 protected:
  void ProcessPixel(const Pixel* source, Pixel* destination) const final {
    *destination = *source;
    destination->a = static_cast<std::uint8_t>(255 - Luma(*source));
  }
};

// "Transparentize at Darkness|暗さに応じて透明化": alpha = Y, so dark pixels become
// transparent.
class DarknessToTransparencyFilter final : public PixelFilter {
 public:
  DarknessToTransparencyFilter()
      : PixelFilter(
            "Transparentize at Darkness|"
            "\x88\xC3\x82\xB3\x82\xC9\x89\x9E\x82\xB6\x82\xC4\x93\xA7\x96\xBE\x89\xBB",
            kTransparencyCategory) {}

 protected:
  void ProcessPixel(const Pixel* source, Pixel* destination) const final {
    *destination = *source;
    destination->a = Luma(*source);
  }
};

// "Transparentize White Pixels|白を透明化": alpha = 0 where R = G = B = 255, else the
// source alpha.
class WhiteToTransparentFilter final : public PixelFilter {
 public:
  WhiteToTransparentFilter()
      : PixelFilter("Transparentize White Pixels|\x94\x92\x82\xF0\x93\xA7\x96\xBE\x89\xBB",
                    kTransparencyCategory) {}

 protected:
  void ProcessPixel(const Pixel* source, Pixel* destination) const final {
    *destination = *source;
    if (source->r == 255 && source->g == 255 && source->b == 255) destination->a = 0;
  }
};

// "Transparentize Black Pixels|黒を透明化": alpha = 0 where R = G = B = 0, else the source
// alpha.
class BlackToTransparentFilter final : public PixelFilter {
 public:
  BlackToTransparentFilter()
      : PixelFilter("Transparentize Black Pixels|\x8D\x95\x82\xF0\x93\xA7\x96\xBE\x89\xBB",
                    kTransparencyCategory) {}

 protected:
  void ProcessPixel(const Pixel* source, Pixel* destination) const final {
    *destination = *source;
    if (source->r == 0 && source->g == 0 && source->b == 0) destination->a = 0;
  }
};

// "Opacify|不透明化": alpha = 255.
class OpacifyFilter final : public PixelFilter {
 public:
  OpacifyFilter() : PixelFilter("Opacify|\x95\x73\x93\xA7\x96\xBE\x89\xBB", kTransparencyCategory) {}

 protected:
  void ProcessPixel(const Pixel* source, Pixel* destination) const final {
    *destination = *source;
    destination->a = 255;
  }
};

// "Invert Transparency|透明度反転": alpha = 255 - source alpha.
class InvertTransparencyFilter final : public PixelFilter {
 public:
  InvertTransparencyFilter()
      : PixelFilter("Invert Transparency|\x93\xA7\x96\xBE\x93\x78\x94\xBD\x93\x5D",
                    kTransparencyCategory) {}

 protected:
  void ProcessPixel(const Pixel* source, Pixel* destination) const final {
    *destination = *source;
    destination->a = static_cast<std::uint8_t>(255 - source->a);
  }
};

}  // namespace veilmere
