#pragma once
// Memory layouts shared with the host, and the per-run progress record.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "host/host_api.h"

namespace veilmere {

// One 32-bit pixel in memory order blue, green, red, alpha. Alpha 0 is fully transparent,
// 255 fully opaque. Source and destination images both use this layout.
struct Pixel {
  std::uint8_t b;
  std::uint8_t g;
  std::uint8_t r;
  std::uint8_t a;

  friend constexpr bool operator==(const Pixel&, const Pixel&) = default;
};
static_assert(sizeof(Pixel) == 4 && alignof(Pixel) == 1);
static_assert(offsetof(Pixel, b) == 0 && offsetof(Pixel, g) == 1 && offsetof(Pixel, r) == 2 &&
              offsetof(Pixel, a) == 3);

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

// A rectangle in pixels: left and top inclusive, right and bottom exclusive. The host may pass
// any values; an empty or inverted rectangle touches nothing.
struct FilterRect {
  std::int32_t left;
  std::int32_t top;
  std::int32_t right;
  std::int32_t bottom;
};
static_assert(sizeof(FilterRect) == 16);
static_assert(offsetof(FilterRect, left) == 0 && offsetof(FilterRect, top) == 4 &&
              offsetof(FilterRect, right) == 8 && offsetof(FilterRect, bottom) == 12);

// Lives on QFF_Execute's stack for one run. `lastPercent` is the last percentage passed to
// `progress`; it starts at 0 because QFF_Execute reports 0 itself before the run.
struct ProgressRecord {
  void* user;
  ProgressProc progress;  // may be null: then nothing is reported
  std::int32_t lastPercent;
};
static_assert(sizeof(void*) != 4 || sizeof(ProgressRecord) == 12,
              "three 32-bit fields on a 32-bit target");

}  // namespace veilmere
