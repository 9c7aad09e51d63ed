#pragma once
// The seven filters whose rule needs nothing from the host. Each copies the source pixel to
// the destination and then sets the destination's alpha; colour bytes never change. Each
// rule works on the pixel word 0xAARRGGBB (filters/pixel.h).

#include "filters/luma.h"
#include "filters/pixel_filter.h"

namespace veilmere {

// Alpha = 0.
class TransparentizeFilter final : public PixelRule<TransparentizeFilter> {
 public:
  void ProcessPixel(const Pixel* source, Pixel* destination) const final {
    StorePixelWord(destination, LoadPixelWord(source) & kColourBits);
  }
};

// The base of the two luminance filters: no compiler vectorises their sum well enough for
// SSE2, so their row loop is the luma rule's own (filters/luma.h) for `kMode`, and their
// ProcessPixel the same rule pixel by pixel.
template <class Leaf, LumaAlpha kMode>
class LumaRule : public PixelFilter {
 public:
  LumaRule() : PixelFilter(FilterLabels<Leaf>::kName, kTransparencyCategory) {}

 protected:
  void ProcessPixel(const Pixel* source, Pixel* destination) const final {
    StorePixelWord(destination, WithLumaAlpha(LoadPixelWord(source), kMode));
  }
  void ProcessRow(const Pixel* source, Pixel* destination, std::ptrdiff_t count) const final {
    LumaRow(source, destination, count, kMode);
  }
};

// Alpha = 255 - Y, so bright pixels become transparent (Y: filters/luma.h).
class BrightnessToTransparencyFilter final
    : public LumaRule<BrightnessToTransparencyFilter, LumaAlpha::kInverseLuma> {};

// Alpha = Y, so dark pixels become transparent (Y: filters/luma.h).
class DarknessToTransparencyFilter final
    : public LumaRule<DarknessToTransparencyFilter, LumaAlpha::kLuma> {};

// Alpha = 0 where R = G = B = 255, else the source alpha.
class WhiteToTransparentFilter final : public PixelRule<WhiteToTransparentFilter> {
 public:
  void ProcessPixel(const Pixel* source, Pixel* destination) const final {
    const std::uint32_t word = LoadPixelWord(source);
    StorePixelWord(destination, (word & kColourBits) == kColourBits ? kColourBits : word);
  }
};

// Alpha = 0 where R = G = B = 0, else the source alpha.
class BlackToTransparentFilter final : public PixelRule<BlackToTransparentFilter> {
 public:
  void ProcessPixel(const Pixel* source, Pixel* destination) const final {
    const std::uint32_t word = LoadPixelWord(source);
    StorePixelWord(destination, (word & kColourBits) == 0 ? 0 : word);
  }
};

// Alpha = 255.
class OpacifyFilter final : public PixelRule<OpacifyFilter> {
 public:
  void ProcessPixel(const Pixel* source, Pixel* destination) const final {
    StorePixelWord(destination, LoadPixelWord(source) | kAlphaBits);
  }
};

// Alpha = 255 - source alpha.
class InvertTransparencyFilter final : public PixelRule<InvertTransparencyFilter> {
 public:
  void ProcessPixel(const Pixel* source, Pixel* destination) const final {
    // 255 - a flips every bit of a.
    StorePixelWord(destination, LoadPixelWord(source) ^ kAlphaBits);
  }
};

}  // namespace veilmere
