#pragma once
// A filter that computes each destination pixel from the source pixel at the same place.

#include <cstddef>
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
  // touches no pixel but reports as usual, whatever the rule: the fill rules, which never read
  // the source, could still paint a destination, but a host that passes no source image has
  // broken its side of the contract, and every filter answers that alike, by writing
  // nothing. The four host values are not read. A run obtains no storage: each row costs one
  // ProcessRow call and one division, each pixel one rule.
  void Execute(HostValue hostValue2, Pixel* source, Pixel* destination, HostValue hostValue5,
               const FilterRect* rect, HostValue hostValue7, std::int32_t rowLength,
               HostValue hostValue9, ProgressRecord* record) override;

 protected:
  // The per-pixel rule. `source` and `destination` may be the same pixel (a run in place),
  // so a rule reads what it needs of the source before it writes the destination.
  virtual void ProcessPixel(const Pixel* source, Pixel* destination) const = 0;

  // Applies ProcessPixel to the `count` (> 0) pixels from `source` and `destination` on,
  // left to right; Execute calls it once per row. The two rows are either the very same
  // pixels or do not overlap at all, as the host passes one image or two. PixelRule supplies
  // it as a loop the rule is compiled into.
  virtual void ProcessRow(const Pixel* source, Pixel* destination, std::ptrdiff_t count) const = 0;
};

// The base of a filter whose rule is a `final` ProcessPixel of its own class `Leaf`
// (`class OpacifyFilter final : public PixelRule<OpacifyFilter>`). Its row loop calls
// Leaf::ProcessPixel by a qualified, hence non-virtual, call: the rule is inlined into the
// loop, where the compiler can process several pixels per instruction. A leaf declares its
// ProcessPixel public so that this base may name it. A new filter is such a class plus one
// row of the filter table (filters/filter_table.h), where its labels are.
template <class Leaf>
class PixelRule : public PixelFilter {
 public:
  using PixelFilter::PixelFilter;
  // With the leaf's labels from the filter table.
  PixelRule() : PixelFilter(FilterLabels<Leaf>::kName, kTransparencyCategory) {}

 protected:
  void ProcessRow(const Pixel* source, Pixel* destination, std::ptrdiff_t count) const final {
    const Leaf& leaf = static_cast<const Leaf&>(*this);
    for (std::ptrdiff_t x = 0; x < count; ++x) leaf.Leaf::ProcessPixel(source + x, destination + x);
  }
};

}  // namespace veilmere
