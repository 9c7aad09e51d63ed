#include "tools/qfhost/image.h"

#include <array>
#include <climits>
#include <cstring>

#include "tools/qfhost/errors.h"
#include "tools/qfhost/platform.h"
#include "tools/qfhost/stb_codecs.h"

namespace veilmere::qfhost {
namespace {

constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// Text from a file or a decoder, made safe for a terminal: anything but printable ASCII
// becomes '?'.
std::string Printable(std::string text) {
  for (char& c : text) {
    if (c < 0x20 || c > 0x7E) c = '?';
  }
  return text;
}

std::uint32_t Big32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// The CRC-32 PNG puts after each chunk (polynomial 0xEDB88320, reflected), over the chunk's
// type and data.
std::uint32_t Crc32(const std::uint8_t* bytes, std::size_t size) {
  static const auto table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

// The decoder reads no chunk CRC, so a damaged byte in the pixel data would decode to wrong
// pixels without a word: every whole chunk up to IEND is checked here first. A file cut
// inside a chunk is left to the decoder, which refuses it.
void CheckChunkCrcs(const std::vector<std::uint8_t>& bytes, const std::string& name) {
  std::size_t at = sizeof kPngSignature;
  while (bytes.size() - at >= 12) {
    const std::uint32_t length = Big32(&bytes[at]);
    if (length > bytes.size() - at - 12) return;
    const std::uint8_t* type = &bytes[at + 4];
    if (Crc32(type, std::size_t{length} + 4) != Big32(type + 4 + length)) {
      throw RunError("'" + name + "' is a damaged PNG file (CRC error in its " +
                     Printable(std::string(type, type + 4)) + " chunk)");
    }
    if (std::memcmp(type, "IEND", 4) == 0) return;
    at += std::size_t{length} + 12;
  }
}

}  // namespace

void RgbaToPixels(const std::uint8_t* rgba, std::size_t count, Pixel* out) {
  for (std::size_t i = 0; i < count; ++i, rgba += 4) out[i] = Pixel{rgba[2], rgba[1], rgba[0], rgba[3]};
}

void PixelsToRgba(const Pixel* pixels, std::size_t count, std::uint8_t* rgba) {
  for (std::size_t i = 0; i < count; ++i, rgba += 4) {
    rgba[0] = pixels[i].r;
    rgba[1] = pixels[i].g;
    rgba[2] = pixels[i].b;
    rgba[3] = pixels[i].a;
  }
}

Image DecodePng(const std::vector<std::uint8_t>& bytes, const std::string& name) {
  // The decoder would take other formats too; qfhost promises PNG, so it checks the
  // signature itself.
  if (bytes.size() < sizeof kPngSignature ||
      std::memcmp(bytes.data(), kPngSignature, sizeof kPngSignature) != 0) {
    throw RunError("'" + name + "' is not a PNG file");
  }
  if (bytes.size() > static_cast<std::size_t>(INT_MAX)) {
    throw RunError("'" + name + "' is too large to decode");
  }
  CheckChunkCrcs(bytes, name);
  int width = 0;
  int height = 0;
  std::string reason;
  DecodedRgba rgba = DecodePngRgba(bytes.data(), static_cast<int>(bytes.size()), &width,
                                   &height, &reason);
  if (!rgba) throw RunError("'" + name + "' is a damaged PNG file (" + Printable(reason) + ")");
  Image image(width, height);
  RgbaToPixels(rgba.get(), image.pixels.size(), image.pixels.data());
  return image;
}

std::vector<std::uint8_t> EncodePng(const Image& image) {
  if (image.width <= 0 || image.height <= 0) throw RunError("cannot write an empty image");
  // The encoder computes its filtered rows' total, (4 * width + 1) * height bytes, in an int.
  const std::int64_t filtered = (std::int64_t{image.width} * 4 + 1) * image.height;
  if (filtered > INT_MAX / 2) {
    throw RunError("a " + std::to_string(image.width) + "x" + std::to_string(image.height) +
                   " image is too large to write");
  }
  std::vector<std::uint8_t> rgba(image.pixels.size() * 4);
  PixelsToRgba(image.pixels.data(), image.pixels.size(), rgba.data());
  std::vector<std::uint8_t> file;
  if (!EncodePngRgba(rgba.data(), image.width, image.height, &file)) {
    throw RunError("cannot encode a " + std::to_string(image.width) + "x" +
                   std::to_string(image.height) + " PNG image: out of memory");
  }
  return file;
}

Image ReadPng(const std::string& path) { return DecodePng(ReadWholeFile(path), path); }

void WritePng(const std::string& path, const Image& image) { WriteWholeFile(path, EncodePng(image)); }

}  // namespace veilmere::qfhost
