#pragma once
// Images as qfhost holds them, in the module's layout (Pixel: blue, green, red, alpha; rows
// top to bottom, no padding), and PNG files, which hold red, green, blue, alpha.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/host_api.h"

namespace veilmere::qfhost {

struct Image {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<Pixel> pixels;  // width * height, row after row

  Image() = default;
  Image(std::int32_t w, std::int32_t h, Pixel fill = Pixel{})
      : width(w), height(h), pixels(std::size_t(w) * std::size_t(h), fill) {}

  Pixel& at(std::int32_t x, std::int32_t y) { return pixels[std::size_t(y) * width + x]; }
  const Pixel& at(std::int32_t x, std::int32_t y) const {
    return pixels[std::size_t(y) * width + x];
  }
};

// Between the file's byte order (R, G, B, A) and the module's (B, G, R, A); `count` pixels.
void RgbaToPixels(const std::uint8_t* rgba, std::size_t count, Pixel* out);
void PixelsToRgba(const Pixel* pixels, std::size_t count, std::uint8_t* rgba);

// Decodes a PNG file's bytes, of any PNG colour type and bit depth, into 8-bit RGBA (alpha
// 255 where the file has none). `name` is the file's name for messages. Throws RunError when
// the bytes are not a PNG file or are a damaged one (a chunk's CRC does not match, or the
// decoder refuses it).
Image DecodePng(const std::vector<std::uint8_t>& bytes, const std::string& name);

// An 8-bit RGBA PNG file of `image`. Throws RunError when the image is empty or too large for
// the encoder.
std::vector<std::uint8_t> EncodePng(const Image& image);

// ReadWholeFile + DecodePng, and EncodePng + WriteWholeFile: the output file is written whole or
// not at all.
Image ReadPng(const std::string& path);
void WritePng(const std::string& path, const Image& image);

}  // namespace veilmere::qfhost
