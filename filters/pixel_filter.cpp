#include "filters/pixel_filter.h"

namespace veilmere {

void PixelFilter::Execute(HostValue, Pixel* source, Pixel* destination, HostValue,
                          const FilterRect* rect, HostValue, std::int32_t rowLength, HostValue,
                          ProgressRecord* record) {
  if (rect == nullptr) return;
  const FilterRect area = *rect;
  if (area.top >= area.bottom) return;

  // 64-bit arithmetic throughout: a height of up to 2^32 - 1 rows times 100, and pixel
  // offsets of images larger than 2 GiB on a 64-bit build, must not overflow. A row of a
  // rectangle that lies inside its image, as the host guarantees, fits a std::ptrdiff_t.
  const std::int64_t height = std::int64_t{area.bottom} - area.top;
  const bool hasPixels = source != nullptr && destination != nullptr && area.left < area.right;
  const auto width = static_cast<std::ptrdiff_t>(std::int64_t{area.right} - area.left);

  for (std::int64_t i = 0; i < height; ++i) {
    if (hasPixels) {
      const auto offset = static_cast<std::ptrdiff_t>((area.top + i) * rowLength + area.left);
      ProcessRow(source + offset, destination + offset, width);
    }
    const auto percent = static_cast<std::int32_t>(i * 100 / height);
    if (record != nullptr && percent != record->lastPercent && record->progress != nullptr) {
      record->lastPercent = percent;
      record->progress(percent, 100, record->user);
    }
  }
}

}  // namespace veilmere
