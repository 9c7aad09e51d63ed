#pragma once
// A filter that computes each destination pixel from the source pixel at the same place.

#include <cstdint>

#include "filters/filter.h"
#include "filters/pixel.h"

namespace veilmere {

class PixelFilter : public Filter {
 public:
  using Filter::Filter;

  // The walk over the rectangle. Rows top to bottom, columns left to right; the pixel at
  // column x of image row y lies (y * rowLength + x) pixels from `source` and from
  // `destination` alike, so a negative rowLength walks a bottom-up image. After row i
  // (0-based) of a rectangle `height` rows high, percent = i * 100 / height (truncating) is
  // reported if it differs from the record's last percentage. An empty or inverted
  // rectangle (top >= bottom), or a null `rect`, touches nothing and reports nothing; a
  // rectangle with no columns still reports its rows. A null `source` or `destination`
  // touches no pixel but reports as usual. The four host values are not read.
  void Execute(HostValue hostValue2, Pixel* source, Pixel* destination, HostValue hostValue5,
               const FilterRect* rect, HostValue hostValue7, std::int32_t rowLength,
               HostValue hostValue9, ProgressRecord* record) override;

 protected:
  // The per-pixel rule. `source` and `destination` may be the same pixel (a run in place),
  // so a rule reads what it needs of the source before it writes the destination.
  virtual void ProcessPixel(const Pixel* source, Pixel* destination) const = 0;
};

}  // namespace veilmere
