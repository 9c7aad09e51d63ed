#pragma once
// The PNG decoder and encoder of Debian's libstb-dev (stb_image, stb_image_write), behind
// functions of qfhost's own, so that only stb_codecs.cpp sees the headers.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace veilmere::qfhost {

struct StbFree {
  void operator()(std::uint8_t* pixels) const;
};
using DecodedRgba = std::unique_ptr<std::uint8_t[], StbFree>;

// 8-bit RGBA pixels of the PNG file in `bytes`, or null with the decoder's reason.
DecodedRgba DecodePngRgba(const std::uint8_t* bytes, int size, int* width, int* height,
                          std::string* reason);

// Appends the PNG file of the RGBA pixels (rows of 4 * width bytes) to `file`; false when the
// encoder runs out of memory.
bool EncodePngRgba(const std::uint8_t* rgba, int width, int height, std::vector<std::uint8_t>* file);

}  // namespace veilmere::qfhost
