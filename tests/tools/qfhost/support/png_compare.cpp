// Compares PNG files pixel for pixel: the end-to-end test's check of qfhost's output against
// the golden images.
//
// Usage: png_compare [--inside L,T,R,B | --outside L,T,R,B] ACTUAL EXPECTED [ACTUAL EXPECTED...]
// With --inside only the pixels of the rectangle are compared, with --outside only the others.
// Prints one line for each pair that differs (size, or the first differing pixel and how many
// differ) and exits 1 if any does; 0 when all are equal; 2 on a usage error or unreadable file.

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "tests/tools/qfhost/support/png_files.h"
#include "tests/tools/qfhost/support/tool_main.h"
#include "tools/qfhost/image.h"
#include "tools/qfhost/options.h"

namespace veilmere::qfhost {
namespace {

std::string Show(Pixel p) {
  return "(r" + std::to_string(p.r) + " g" + std::to_string(p.g) + " b" + std::to_string(p.b) +
         " a" + std::to_string(p.a) + ")";
}

// True when equal over the compared area; otherwise prints why not.
bool Same(const std::string& actualPath, const std::string& expectedPath,
          const std::optional<RectOption>& rect, bool inside) {
  const Image actual = ReadPng(actualPath);
  const Image expected = ReadPng(expectedPath);
  if (actual.width != expected.width || actual.height != expected.height) {
    std::printf("%s is %dx%d, %s is %dx%d\n", actualPath.c_str(), actual.width, actual.height,
                expectedPath.c_str(), expected.width, expected.height);
    return false;
  }
  long differing = 0;
  std::string first;
  for (std::int32_t y = 0; y < actual.height; ++y) {
    for (std::int32_t x = 0; x < actual.width; ++x) {
      if (rect) {
        const bool in = x >= rect->left && x < rect->right && y >= rect->top && y < rect->bottom;
        if (in != inside) continue;
      }
      if (actual.at(x, y) == expected.at(x, y)) continue;
      if (differing++ == 0) {
        first = "at (" + std::to_string(x) + ", " + std::to_string(y) + ") " +
                Show(actual.at(x, y)) + " where " + Show(expected.at(x, y)) + " was expected";
      }
    }
  }
  if (differing == 0) return true;
  std::printf("%s differs from %s in %ld pixels, first %s\n", actualPath.c_str(),
              expectedPath.c_str(), differing, first.c_str());
  return false;
}

int Main(const std::vector<std::string>& args) {
  std::size_t next = 0;
  std::optional<RectOption> rect;
  bool inside = true;
  if (args.size() >= 2 && (args[0] == "--inside" || args[0] == "--outside")) {
    inside = args[0] == "--inside";
    rect = ParseRect(args[1]);
    next = 2;
  }
  if (args.size() == next || (args.size() - next) % 2 != 0) {
    std::fputs("usage: png_compare [--inside|--outside L,T,R,B] ACTUAL EXPECTED [...]\n", stderr);
    return 2;
  }
  bool allSame = true;
  for (; next < args.size(); next += 2) allSame = Same(args[next], args[next + 1], rect, inside) && allSame;
  return allSame ? 0 : 1;
}

}  // namespace
}  // namespace veilmere::qfhost

int main(int argc, char** argv) {
  return veilmere::qfhost::RunTool("png_compare", argc, argv, veilmere::qfhost::Main);
}
