#pragma once
// Memory layouts shared with the host, and the per-run progress record.

#include <cstddef>
#include <cstdint>

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
