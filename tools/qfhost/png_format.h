#pragma once
// The pixel format of the PNG files qfhost writes: the colour type, bit depth, palette and
// colour key that hold a filtered image exactly, chosen from the image and from the format of
// the file it was decoded from, and the image's rows in that format.
//
// The rules are EncodePng's, in image.h.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "host/host_api.h"

namespace veilmere::qfhost {

struct Image;
class ColourIndex;

// PNG's colour types.
inline constexpr std::uint8_t kGrey = 0;
inline constexpr std::uint8_t kRgb = 2;
inline constexpr std::uint8_t kPalette = 3;
inline constexpr std::uint8_t kGreyAlpha = 4;
inline constexpr std::uint8_t kRgba = 6;

// The most entries a PNG palette has.
inline constexpr std::size_t kMaxPaletteEntries = 256;

// Samples a pixel of `colourType` holds: 1 grey or palette, 2 grey and alpha, 3 RGB, 4 RGBA.
int ChannelsOf(std::uint8_t colourType);

// What the decoder keeps of a file's pixel format, so that the encoder can write a filtered
// result in it. The default is 8-bit RGBA, which any image fits.
struct PixelFormat {
  std::uint8_t colourType = kRgba;
  std::uint8_t depth = 8;       // bits a sample: 1, 2, 4, 8 or 16
  std::vector<Pixel> palette;   // a palette file's entries, with tRNS's alpha (255 beyond it)
  // A 16-bit file's samples as stored, ChannelsOf(colourType) a pixel (in the file's order),
  // row after row; empty for other depths.
  std::vector<std::uint16_t> originals;
};

// The format an image is written in.
struct OutputFormat {
  std::uint8_t colourType = kRgba;
  std::uint8_t depth = 8;
  std::vector<Pixel> palette;  // palette output: the entries, in order
  bool keyed = false;          // grey or RGB with a tRNS colour key
  std::uint16_t key[3] = {};   // its grey value, or red, green and blue, at `depth`
};

// The rules (image.h: EncodePng), for `image` decoded from a file of `source`'s format. `source.originals`
// is empty or holds a sample of every channel of every pixel of `image`.
OutputFormat ChooseOutputFormat(const Image& image, const PixelFormat& source);

// The image's rows as a PNG file of `format` holds them (each row without its filter byte).
class ScanlineWriter {
 public:
  // Keeps references to all three, which must outlive it.
  ScanlineWriter(const Image& image, const PixelFormat& source, const OutputFormat& format);
  ~ScanlineWriter();

  std::size_t RowBytes() const { return rowBytes_; }
  // The distance in bytes between a byte and the same byte of the pixel to its left, as the
  // row filters take it: at least 1.
  std::size_t BytesPerPixel() const { return bytesPerPixel_; }
  // Writes row y's RowBytes() bytes to `out`.
  void Row(std::int32_t y, std::uint8_t* out) const;

 private:
  const Image& image_;
  const PixelFormat& source_;
  const OutputFormat& format_;
  std::size_t rowBytes_;
  std::size_t bytesPerPixel_;
  std::unique_ptr<ColourIndex> indexes_;  // palette output: each colour's entry
};

}  // namespace veilmere::qfhost
