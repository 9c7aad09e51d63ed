#include "filters/pixel_filter.h"

namespace veilmere {

void PixelFilter::Execute(HostValue, Pixel* source, Pixel* destination, HostValue,
                          const FilterRect* rect, HostValue, std::int32_t rowLength, HostValue,
                          ProgressRecord* record) {
  if (rect == nullptr) return;
  const FilterRect area = *rect;
  if (area.top >= area.bottom) return;

  // 64-bit arithmetic throughout: a height of up to 2^32 - 1 rows times 100, and pixel
  // offsets of images larger than 2 GiB on a 64-bit build, must not overflow.
  const std::int64_t height = std::int64_t{area.bottom} - area.top;
  const bool hasPixels = source != nullptr && destination != nullptr && area.left < area.right;

  for (std::int64_t i = 0; i < height; ++i) {
    if (hasPixels) {
      const std::int64_t rowStart = (area.top + i) * rowLength;
      for (std::int64_t x = area.left; x < area.right; ++x) {
        const auto offset = static_cast<std::ptrdiff_t>(rowStart + x);
        ProcessPixel(source + offset, destination + offset);
      }
    }
    const auto percent = static_cast<std::int32_t>(i * 100 / height);
    if (record != nullptr && percent != record->lastPercent && record->progress != nullptr) {
      record->lastPercent = percent;
      record->progress(percent, 100, record->user);
    }
  }
}

}  // namespace veilmere
