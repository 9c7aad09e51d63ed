#pragma once
// The seven filters whose rule needs nothing from the host. Each copies the source pixel to
// the destination and then sets the destination's alpha; colour bytes never change. Each
// rule works on the pixel word 0xAARRGGBB (filters/pixel.h).

#include "filters/luma.h"
#include "filters/pixel_filter.h"

namespace veilmere {

// "Transparentize|透明化": alpha = 0.
class TransparentizeFilter final : public PixelRule<TransparentizeFilter> {
 public:
  TransparentizeFilter()
      : PixelRule("Transparentize|\x93\xA7\x96\xBE\x89\xBB", kTransparencyCategory) {}

  void ProcessPixel(const Pixel* source, Pixel* destination) const final {
    StorePixelWord(destination, LoadPixelWord(source) & kColourBits);
  }
};

// "Transparentize at Brightness|明るさに応じて透明化": alpha = 255 - Y, so bright pixels
// become transparent (Y: filters/luma.h). Its row loop is the luma rule's own.
class BrightnessToTransparencyFilter final : public PixelFilter {
 public:
  BrightnessToTransparencyFilter()
      : PixelFilter(
            "Transparentize at Brightness|"
            "\x96\xBE\x82\xE9\x82\xB3\x82\xC9\x89\x9E\x82\xB6\x82\xC4\x93\xA7\x96\xBE\x89\xBB",
            kTransparencyCategory) {}

  void ProcessPixel(const Pixel* source, Pixel* destination) const final {
    StorePixelWord(destination, WithLumaAlpha(LoadPixelWord(source), LumaAlpha::kInverseLuma));
  }

 protected:
  void ProcessRow(const Pixel* source, Pixel* destination, std::ptrdiff_t count) const final {
    LumaRow(source, destination, count, LumaAlpha::kInverseLuma);
  }
};

// "Transparentize at Darkness|暗さに応じて透明化": alpha = Y, so dark pixels become
// transparent (Y: filters/luma.h). Its row loop is the luma rule's own.
class DarknessToTransparencyFilter final : public PixelFilter {
 public:
  DarknessToTransparencyFilter()
      : PixelFilter(
            "Transparentize at Darkness|"
            "\x88\xC3\x82\xB3\x82\xC9\x89\x9E\x82\xB6\x82\xC4\x93\xA7\x96\xBE\x89\xBB",
            kTransparencyCategory) {}

  void ProcessPixel(const Pixel* source, Pixel* destination) const final {
    StorePixelWord(destination, WithLumaAlpha(LoadPixelWord(source), LumaAlpha::kLuma));
  }

 protected:
  void ProcessRow(const Pixel* source, Pixel* destination, std::ptrdiff_t count) const final {
    LumaRow(source, destination, count, LumaAlpha::kLuma);
  }
};

// "Transparentize White Pixels|白を透明化": alpha = 0 where R = G = B = 255, else the
// source alpha.
class WhiteToTransparentFilter final : public PixelRule<WhiteToTransparentFilter> {
 public:
  WhiteToTransparentFilter()
      : PixelRule("Transparentize White Pixels|\x94\x92\x82\xF0\x93\xA7\x96\xBE\x89\xBB",
                  kTransparencyCategory) {}

  void ProcessPixel(const Pixel* source, Pixel* destination) const final {
    const std::uint32_t word = LoadPixelWord(source);
    StorePixelWord(destination, (word & kColourBits) == kColourBits ? kColourBits : word);
  }
};

// "Transparentize Black Pixels|黒を透明化": alpha = 0 where R = G = B = 0, else the source
// alpha.
class BlackToTransparentFilter final : public PixelRule<BlackToTransparentFilter> {
 public:
  BlackToTransparentFilter()
      : PixelRule("Transparentize Black Pixels|\x8D\x95\x82\xF0\x93\xA7\x96\xBE\x89\xBB",
                  kTransparencyCategory) {}

  void ProcessPixel(const Pixel* source, Pixel* destination) const final {
    const std::uint32_t word = LoadPixelWord(source);
    StorePixelWord(destination, (word & kColourBits) == 0 ? 0 : word);
  }
};

// "Opacify|不透明化": alpha = 255.
class OpacifyFilter final : public PixelRule<OpacifyFilter> {
 public:
  OpacifyFilter() : PixelRule("Opacify|\x95\x73\x93\xA7\x96\xBE\x89\xBB", kTransparencyCategory) {}

  void ProcessPixel(const Pixel* source, Pixel* destination) const final {
    StorePixelWord(destination, LoadPixelWord(source) | kAlphaBits);
  }
};

// "Invert Transparency|透明度反転": alpha = 255 - source alpha.
class InvertTransparencyFilter final : public PixelRule<InvertTransparencyFilter> {
 public:
  InvertTransparencyFilter()
      : PixelRule("Invert Transparency|\x93\xA7\x96\xBE\x93\x78\x94\xBD\x93\x5D",
                  kTransparencyCategory) {}

  void ProcessPixel(const Pixel* source, Pixel* destination) const final {
    // 255 - a flips every bit of a.
    StorePixelWord(destination, LoadPixelWord(source) ^ kAlphaBits);
  }
};

}  // namespace veilmere
