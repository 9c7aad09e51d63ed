#pragma once
// The module's own view of the shared pixel layout: a pixel as one 32-bit word.

#include <bit>
#include <cstdint>
#include <cstring>

#include "host/host_api.h"

namespace veilmere {

// A pixel read as one 32-bit word: 0xAARRGGBB on the little-endian machines the module is
// built for. Rules work on the word, through memcpy (a pixel has no alignment), so that the
// compiler processes several pixels per instruction.
static_assert(std::endian::native == std::endian::little, "a pixel word is 0xAARRGGBB");
inline constexpr std::uint32_t kAlphaBits = 0xFF000000u;
inline constexpr std::uint32_t kColourBits = 0x00FFFFFFu;

inline std::uint32_t LoadPixelWord(const Pixel* pixel) {
  std::uint32_t word;
  std::memcpy(&word, pixel, sizeof word);
  return word;
}

inline void StorePixelWord(Pixel* pixel, std::uint32_t word) {
  std::memcpy(pixel, &word, sizeof word);
}

}  // namespace veilmere
