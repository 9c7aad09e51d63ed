// Writes qfhost's sample image: 64 x 48 pixels, made with integer arithmetic only, so that
// every build makes the very same pixels.
//
//   rows  0-15  a hue gradient left to right, opaque
//   rows 16-31  the same gradient, alpha falling from 255 (row 16) by 17 a row to 0 (row 31)
//   rows 32-47  four 16-pixel blocks: pure white and pure black, opaque; then pure white and
//               pure black at alpha 128
//
// Usage: qfhost_make_sample OUT.png

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/test_image.h"
#include "tests/tools/qfhost/support/png_files.h"
#include "tests/tools/qfhost/support/tool_main.h"
#include "tools/qfhost/image.h"

namespace veilmere::qfhost {
namespace {

using test::Rgba;

constexpr std::int32_t kWidth = 64;
constexpr std::int32_t kHeight = 48;

// Column x's hue: six 256-step ramps (red, yellow, green, cyan, blue, magenta) spread over
// the width.
Pixel Hue(std::int32_t x, int alpha) {
  const int position = x * 6 * 256 / kWidth;
  const int f = position % 256;
  switch (position / 256) {
    case 0: return Rgba(255, f, 0, alpha);
    case 1: return Rgba(255 - f, 255, 0, alpha);
    case 2: return Rgba(0, 255, f, alpha);
    case 3: return Rgba(0, 255 - f, 255, alpha);
    case 4: return Rgba(f, 0, 255, alpha);
    default: return Rgba(255, 0, 255 - f, alpha);
  }
}

Image MakeSample() {
  Image image(kWidth, kHeight);
  for (std::int32_t y = 0; y < kHeight; ++y) {
    for (std::int32_t x = 0; x < kWidth; ++x) {
      Pixel& p = image.at(x, y);
      if (y < 16) {
        p = Hue(x, 255);
      } else if (y < 32) {
        p = Hue(x, 255 - (y - 16) * 17);
      } else {
        const int block = x / 16;
        const int level = block % 2 == 0 ? 255 : 0;
        p = Rgba(level, level, level, block < 2 ? 255 : 128);
      }
    }
  }
  return image;
}

int Main(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    std::fputs("usage: qfhost_make_sample OUT.png\n", stderr);
    return 2;
  }
  WritePng(args[0], MakeSample());
  return 0;
}

}  // namespace
}  // namespace veilmere::qfhost

int main(int argc, char** argv) {
  return veilmere::qfhost::RunTool("qfhost_make_sample", argc, argv, veilmere::qfhost::Main);
}
