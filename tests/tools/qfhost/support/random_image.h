#pragma once
// A qfhost image of random pixels, for tests of the parts that take whole images.

#include <cstdint>

#include "tests/support/test_image.h"
#include "tools/qfhost/image.h"

namespace veilmere::qfhost {

inline Image RandomImage(std::int32_t width, std::int32_t height, std::uint32_t seed) {
  veilmere::test::TestImage random(width, height, width);
  random.FillRandom(seed);
  Image image(width, height);
  image.pixels = random.pixels;
  return image;
}

}  // namespace veilmere::qfhost
