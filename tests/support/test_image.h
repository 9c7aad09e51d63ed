#pragma once
// Test images: BGRA pixel grids with a canary border around the area a run may touch, and
// pixel sets that cover the values where rules change (0, 1, 127, 128, 254, 255).

#include <cstdint>
#include <ostream>
#include <random>
#include <vector>

#include "host/host_api.h"

namespace veilmere {

// Lets test failures print pixels (found by argument-dependent lookup).
inline std::ostream& operator<<(std::ostream& out, Pixel p) {
  return out << "(b" << int{p.b} << " g" << int{p.g} << " r" << int{p.r} << " a" << int{p.a}
             << ")";
}

}  // namespace veilmere

namespace veilmere::test {

// A pixel from its bytes in the module's order, and from them in a PNG file's order.
inline Pixel Bgra(int b, int g, int r, int a) {
  return Pixel{std::uint8_t(b), std::uint8_t(g), std::uint8_t(r), std::uint8_t(a)};
}
inline Pixel Rgba(int r, int g, int b, int a) { return Bgra(b, g, r, a); }

// Fills the pixels from `first` up to `last` with the random bytes of `seed`.
inline void FillRandomPixels(Pixel* first, Pixel* last, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> byte(0, 255);
  for (Pixel* p = first; p != last; ++p) {
    *p = Pixel{std::uint8_t(byte(rng)), std::uint8_t(byte(rng)), std::uint8_t(byte(rng)),
               std::uint8_t(byte(rng))};
  }
}

// An image of width x height pixels whose first and last `margin` rows and columns, and the
// pixels of a row beyond `width` up to `rowLength`, form the border.
struct TestImage {
  std::int32_t width;
  std::int32_t height;
  std::int32_t rowLength;
  std::vector<Pixel> pixels;

  TestImage(std::int32_t w, std::int32_t h, std::int32_t stride)
      : width(w), height(h), rowLength(stride), pixels(std::size_t(stride) * h) {}

  Pixel& at(std::int32_t x, std::int32_t y) { return pixels[std::size_t(y) * rowLength + x]; }
  const Pixel& at(std::int32_t x, std::int32_t y) const {
    return pixels[std::size_t(y) * rowLength + x];
  }
  Pixel* data() { return pixels.data(); }

  void FillRandom(std::uint32_t seed) {
    FillRandomPixels(pixels.data(), pixels.data() + pixels.size(), seed);
  }
};

// Every combination of the edge values for blue, green, red and alpha (6^4 pixels).
inline std::vector<Pixel> EdgePixels() {
  static const std::uint8_t kEdges[] = {0, 1, 127, 128, 254, 255};
  std::vector<Pixel> out;
  for (auto b : kEdges)
    for (auto g : kEdges)
      for (auto r : kEdges)
        for (auto a : kEdges) out.push_back(Pixel{b, g, r, a});
  return out;
}

}  // namespace veilmere::test
