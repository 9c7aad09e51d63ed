#pragma once
// The luminance rule of the two brightness filters: a pixel's alpha set from its luma, Y, or
// from 255 - Y. One pixel at a time for the rule's statement, one row at a time for speed.

#include <cstddef>
#include <cstdint>
#include <span>

#include "filters/pixel.h"

namespace veilmere {

// Luminance of a pixel word: Y = (77 R + 150 G + 29 B) / 256, truncating. The weights add up
// to 256, so Y runs from 0 to 255.
inline std::uint32_t Luma(std::uint32_t word) {
  const std::uint32_t b = word & 0xFF;
  const std::uint32_t g = (word >> 8) & 0xFF;
  const std::uint32_t r = (word >> 16) & 0xFF;
  return (77 * r + 150 * g + 29 * b) >> 8;
}

// Which alpha the rule gives: alpha = Y XOR the value, that is Y itself or 255 - Y (which
// flips every bit of Y).
enum class LumaAlpha : std::uint32_t {
  kLuma = 0x00,         // alpha = Y: dark pixels become transparent
  kInverseLuma = 0xFF,  // alpha = 255 - Y: bright pixels become transparent
};

// The rule on one pixel word: colour bytes kept, alpha as `alpha` says.
inline std::uint32_t WithLumaAlpha(std::uint32_t word, LumaAlpha alpha) {
  return (word & kColourBits) | ((Luma(word) ^ static_cast<std::uint32_t>(alpha)) << 24);
}

// A row loop of the rule: the rule on `count` (>= 0) pixels from `source` and `destination`
// on. The two rows are either the very same pixels or do not overlap at all.
using LumaRowFn = void (*)(const Pixel* source, Pixel* destination, std::ptrdiff_t count,
                           LumaAlpha alpha);

// The row loop the two filters run: the first of LumaRowVariants() that runs here.
void LumaRow(const Pixel* source, Pixel* destination, std::ptrdiff_t count, LumaAlpha alpha);

// Every row loop of the rule that this build has, the widest first: on x86, "AVX2", which
// runs only where the processor has AVX2, and "SSE2", which the Windows module and every
// x86-64 may count on; and "plain", WithLumaAlpha pixel by pixel, everywhere. Each gives
// WithLumaAlpha's result for every pixel; the list is here so that a test can hold every one
// of them to that, and say which it could not run.
struct LumaRowVariant {
  const char* name;
  LumaRowFn row;
  bool runsHere;  // whether this processor runs it
};
std::span<const LumaRowVariant> LumaRowVariants();

}  // namespace veilmere
