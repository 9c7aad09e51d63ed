#pragma once
// The one check of a run over a rectangle, for every test that runs a rule: inside the
// rectangle the rule of the source pixel, outside it what was there before, in two images and
// in place.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "host/host_api.h"
#include "tests/support/test_image.h"

namespace veilmere::test {

inline bool InRect(const FilterRect& rect, std::int32_t x, std::int32_t y) {
  return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
}

// What a run leaves at (x, y): `inside` of the pixel there when (x, y) lies in `rect`,
// `outside` otherwise. Fails naming the first pixel of `actual` (width x height, read through
// `at`) that differs.
template <class Image>
testing::AssertionResult RectHolds(const Image& actual, std::int32_t width, std::int32_t height,
                                   const FilterRect& rect,
                                   const std::function<Pixel(std::int32_t, std::int32_t)>& inside,
                                   const std::function<Pixel(std::int32_t, std::int32_t)>& outside) {
  for (std::int32_t y = 0; y < height; ++y)
    for (std::int32_t x = 0; x < width; ++x) {
      const bool in = InRect(rect, x, y);
      const Pixel want = in ? inside(x, y) : outside(x, y);
      if (!(actual.at(x, y) == want))
        return testing::AssertionFailure() << "at x " << x << " y " << y << (in ? " (inside)" : "")
                                           << ": " << actual.at(x, y) << ", want " << want;
    }
  return testing::AssertionSuccess();
}

// Runs a filter over `rect` as `run(source, destination)` does, on copies of `source` and of
// `canvas` (the destination's earlier pixels), and then in place on the source's copy. Holds
// the two images to the rule: the source untouched, the destination `rule` of the source
// inside and the canvas outside; in place, the same result inside and the source outside.
// Both images are TestImages of one size and row length.
inline testing::AssertionResult RunsAsTheRule(
    const TestImage& source, const TestImage& canvas, const FilterRect& rect,
    const std::function<Pixel(Pixel)>& rule,
    const std::function<void(Pixel* source, Pixel* destination)>& run) {
  TestImage input = source, output = canvas;
  const std::int32_t width = source.rowLength, height = source.height;
  run(input.data(), output.data());
  if (input.pixels != source.pixels) return testing::AssertionFailure() << "the source changed";
  auto result = RectHolds(
      output, width, height, rect, [&](auto x, auto y) { return rule(source.at(x, y)); },
      [&](auto x, auto y) { return canvas.at(x, y); });
  if (!result) return result << " (two images)";
  run(input.data(), input.data());
  result = RectHolds(
      input, width, height, rect, [&](auto x, auto y) { return output.at(x, y); },
      [&](auto x, auto y) { return source.at(x, y); });
  if (!result) return result << " (in place)";
  return testing::AssertionSuccess();
}

}  // namespace veilmere::test
