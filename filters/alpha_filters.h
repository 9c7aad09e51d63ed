#pragma once
// The seven filters whose rule needs nothing from the host. Each copies the source pixel to
// the destination and then sets the destination's alpha; colour bytes never change. Each
// rule works on the pixel word 0xAARRGGBB (filters/pixel.h).

#include "filters/pixel_filter.h"

namespace veilmere {

// Luminance of a pixel word: Y = (77 R + 150 G + 29 B) / 256, truncating. The weights add up
// to 256, so Y runs from 0 to 255. Worked in float because that is exact here and fast: each
// term and each partial sum is a multiple of 1/256 below 256, which a float's 24-bit
// mantissa holds exactly, so the truncation gives the integer formula's Y for every colour;
// and SSE2, which has no four-way 32-bit integer multiply, multiplies four floats at once.
inline std::uint32_t Luma(std::uint32_t word) {
  const auto b = static_cast<std::int32_t>(word & 0xFF);
  const auto g = static_cast<std::int32_t>((word >> 8) & 0xFF);
  const auto r = static_cast<std::int32_t>((word >> 16) & 0xFF);
  const float y = 77.0f / 256 * static_cast<float>(r) + 150.0f / 256 * static_cast<float>(g) +
                  29.0f / 256 * static_cast<float>(b);
  return static_cast<std::uint32_t>(static_cast<std::int32_t>(y));
}

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
// become transparent.
class BrightnessToTransparencyFilter final : public PixelRule<BrightnessToTransparencyFilter> {
 public:
  BrightnessToTransparencyFilter()
      : PixelRule(
            "Transparentize at Brightness|"
            "\x96\xBE\x82\xE9\x82\xB3\x82\xC9\x89\x9E\x82\xB6\x82\xC4\x93\xA7\x96\xBE\x89\xBB",
            kTransparencyCategory) {}

  void ProcessPixel(const Pixel* source, Pixel* destination) const final {
    // Alpha set to 255, then Y taken off it: no borrow can reach the colour bytes.
    const std::uint32_t word = LoadPixelWord(source);
    StorePixelWord(destination, (word | kAlphaBits) - (Luma(word) << 24));
  }
};

// "Transparentize at Darkness|暗さに応じて透明化": alpha = Y, so dark pixels become
// transparent.
class DarknessToTransparencyFilter final : public PixelRule<DarknessToTransparencyFilter> {
 public:
  DarknessToTransparencyFilter()
      : PixelRule(
            "Transparentize at Darkness|"
            "\x88\xC3\x82\xB3\x82\xC9\x89\x9E\x82\xB6\x82\xC4\x93\xA7\x96\xBE\x89\xBB",
            kTransparencyCategory) {}

  void ProcessPixel(const Pixel* source, Pixel* destination) const final {
    const std::uint32_t word = LoadPixelWord(source);
    StorePixelWord(destination, (word & kColourBits) | (Luma(word) << 24));
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
