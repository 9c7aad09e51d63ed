#pragma once
// Images as qfhost holds them, in the module's layout (Pixel: blue, green, red, alpha; rows
// top to bottom, no padding), and PNG files, which hold red, green, blue, alpha.
//
// The PNG codec is qfhost's own chunk, row-filter and pixel-format code around Debian's
// zlib, which inflates and deflates the pixel data and computes every checksum: a chunk's
// CRC-32 and the pixel stream's Adler-32 are both checked.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/host_api.h"
#include "tools/qfhost/png_format.h"

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

// The limits that bound qfhost's memory, checked from a file's size and its PNG header before
// any pixel is decoded: its pixels and bytes, and the memory a run holds at once, which the
// *MemoryBound functions below give and which must not pass kMaxRunBytes.
inline constexpr std::int64_t kMaxImagePixels = std::int64_t{1} << 26;  // 67,108,864
inline constexpr std::int64_t kMaxFileBytes = std::int64_t{1} << 27;    // 128 MiB
inline constexpr std::uint64_t kMaxRunBytes = std::uint64_t{1} << 30;   // 1 GiB
// What the PNG code holds besides images, rows, files and chunks: zlib's states (an inflater,
// or two deflaters of at most 400 KiB each), its buffers, the checks of kept chunks, and the
// encoder's colour tables (png_format.cpp: under 32 KiB).
inline constexpr std::uint64_t kCodecOverhead = std::uint64_t{2} << 20;

// What a pixel stream may inflate to past the image's last row and still be read, so that a
// stream some encoder ended with a few spare bytes decodes. The decoder never inflates more
// than the rows plus this: a stream that goes on is refused, however far it would go, so that
// no file makes qfhost inflate more than its image holds.
inline constexpr std::uint64_t kStreamEndAllowance = 1024;

// From the module's byte order (B, G, R, A) to a file's (R, G, B, A); `count` pixels.
void PixelsToRgba(const Pixel* pixels, std::size_t count, std::uint8_t* rgba);

// What a PNG file's IHDR chunk says.
struct PngHeader {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::uint8_t depth = 0;       // bits a sample: 1, 2, 4, 8 or 16
  std::uint8_t colourType = 0;  // 0 grey, 2 RGB, 3 palette, 4 grey and alpha, 6 RGBA
  bool interlaced = false;      // Adam7
};

// A chunk carried from the input to the output: one that says how the pixels look (iCCP,
// sRGB, gAMA, cHRM, pHYs), text (tEXt, zTXt, iTXt) or eXIf (png_chunks.h: IsKeptChunk).
struct PngChunk {
  std::string type;  // four letters
  std::vector<std::uint8_t> data;
};

struct DecodedPng {
  Image image;
  // The file's colour type and depth, its palette, and a 16-bit file's samples as stored: what
  // EncodePng needs to write the image, filtered or not, losing nothing the filter kept.
  PixelFormat format;
  std::vector<PngChunk> metadata;  // in the file's order
  // One line each (without the program's name) for the chunks of the kept types that are
  // left out of the output, having broken their rules, or past the first
  // KeptChunkCheck::kMaxChunks; at most a dozen lines.
  std::vector<std::string> warnings;
};

// Called with rows done and rows in all (interlaced passes count each of their rows).
using RowProgress = std::function<void(std::int64_t done, std::int64_t total)>;

// The file's header, checked: the signature, IHDR as the first chunk with its CRC and allowed
// values, and the size against kMaxImagePixels. `name` is the file's name for messages.
// Throws RunError "'NAME' is not a PNG file", "'NAME' is a damaged PNG file (REASON)" or
// "'NAME' is WxH pixels, ...".
PngHeader ReadPngHeader(const std::vector<std::uint8_t>& bytes, const std::string& name);

// Decodes a PNG file's bytes, of any PNG colour type, bit depth and interlacing, into 8-bit
// RGBA: alpha 255 where the file has none (0 where a tRNS colour key matches, at the file's
// depth); a 16-bit sample v becomes round(v / 257), a sample of 1, 2 or 4 bits is spread
// over 0 to 255. The file's format is kept beside it, a 16-bit file's samples with it. Every chunk's CRC, the pixel stream's Adler-32
// and every palette index are checked, and the rules of png_chunks.h: a chunk's name, a
// second chunk of a type a file holds once, a fixed-size chunk's length; throws RunError
// with a non-empty reason otherwise,
// "more compressed data than the image holds" for a stream that would inflate to more than
// kStreamEndAllowance bytes past the last row (refused without inflating the rest).
DecodedPng DecodePngFile(const std::vector<std::uint8_t>& bytes, const std::string& name,
                         const RowProgress& progress = {});
// The pixel stream of a PNG file, filtered and compressed: the data of its IDAT chunks, in
// blocks of at most 1 MiB, one chunk each.
struct CompressedPixels {
  std::vector<std::vector<std::uint8_t>> blocks;
  std::uint64_t size = 0;  // bytes in all blocks
};

// Writes raw row `y` of an image, as the file lays out its samples (rowBytes bytes), into
// `row`.
using RawRowSource = std::function<void(std::int32_t y, std::uint8_t* row)>;

// The stage of EncodePng that turns raw rows into IDAT data, for any PNG pixel format: asks
// `rows` for rows 0 to height - 1 in order, filters each with the PNG row filter whose bytes,
// read as signed, sum smallest in magnitude (libpng's default choice; `bytesPerPixel`, at
// least 1, is the distance the filters look left), and compresses them with zlib, once.
CompressedPixels FilterAndCompress(const RawRowSource& rows, std::int32_t height,
                                   std::size_t rowBytes, std::size_t bytesPerPixel,
                                   const RowProgress& progress = {});

// A PNG file of `image`, decoded from a file of `source`'s format (and maybe filtered since),
// in the source's own format where it holds the image exactly, else the smallest of its kind
// that does (png_format.h chooses it and writes the rows).
//
// The format, for an image decoded from a file of colour type T and depth D (the output is
// never interlaced):
//   - The output keeps T and D when they hold every pixel exactly; otherwise it takes the
//     first format below, for T, that does. No file is written in a smaller type or depth
//     than its input's: an RGBA file stays RGBA however opaque its result.
//   - A sample of a 16-bit file that the filter left at its 8-bit value, round(v / 257),
//     keeps its original 16 bits; one the filter changed becomes the new value x 257. A
//     16-bit file's output is 16-bit; a file of 8 bits or fewer gives 8 bits or fewer.
//   - Alpha fits a colour key when every pixel is opaque or fully transparent, every
//     transparent pixel has one colour (at the output's depth), and no opaque pixel has it;
//     the tRNS chunk is written when some pixel is transparent.
//   - Palette (D of 1, 2, 4 or 8): a palette of the file's entries, then the result's other
//     colours in the order they first appear; where that many do not fit in D bits, the
//     file's entries no pixel uses are left out. Its depth is the smallest of 1, 2, 4 and 8,
//     not below D, that indexes them all; tRNS gives the alpha of the entries up to the last
//     that is not opaque. More than 256 colours: as RGB at 8 bits.
//   - Grey (D of 1 to 16, with or without a key): when every pixel is grey (red = green =
//     blue) and alpha fits a key, grey at the smallest depth, not below D, that holds every
//     grey value exactly (v = k x 255 / (2^depth - 1) for a whole k; 16 for a 16-bit file);
//     grey but alpha varies: grey and alpha at max(D, 8); not grey: as RGB at max(D, 8).
//   - Grey and alpha (8, 16): grey and alpha while every pixel is grey, else RGBA.
//   - RGB (8, 16, with or without a key): RGB when alpha fits a key, else RGBA.
//   - RGBA (8, 16): RGBA.
// Choosing takes one pass over the image, plus, when a key is possible, a look at the pixels
// before the first transparent one (whether any has the key's colour opaque).
//
// The `metadata` chunks come before PLTE and the pixels, which FilterAndCompress makes.
// Throws RunError when the image is empty or larger than kMaxImagePixels.
std::vector<std::uint8_t> EncodePng(const Image& image, const PixelFormat& source,
                                    const std::vector<PngChunk>& metadata = {},
                                    const RowProgress& progress = {});
// An image made afresh (the gallery's, a test's): as from an 8-bit RGBA file, so 8-bit RGBA.
std::vector<std::uint8_t> EncodePng(const Image& image,
                                    const std::vector<PngChunk>& metadata = {},
                                    const RowProgress& progress = {});

// The bytes of the chunks a decoder would keep from a file with `header` (at most the first
// KeptChunkCheck::kMaxChunks of them): a walk over the chunks' lengths, without their CRCs.
std::uint64_t KeptChunkBytes(const std::vector<std::uint8_t>& bytes, const PngHeader& header);

// The bytes of the samples a 16-bit file's decoding keeps (PixelFormat::originals): 2 a
// sample, every channel of every pixel; 0 for other depths.
std::uint64_t OriginalsBytes(const PngHeader& header);

// The most memory, in bytes, that these hold at once, counting every buffer they make, for:
// decoding a file of `fileBytes` bytes with `header` and `keptBytes` of kept chunks (the
// file, the image, a 16-bit file's samples, the kept chunks' copies, and two rows of the
// file's format);
std::uint64_t DecodeMemoryBound(const PngHeader& header, std::uint64_t fileBytes,
                                std::uint64_t keptBytes);
// encoding an image of `source`'s size, decoded from a file of its format (the gallery: 8-bit
// RGBA), with `metadataBytes` of kept chunks (the image, a 16-bit file's samples, the chunks
// and their copy in the file, the zlib stream at the size deflateBound allows it for the
// widest output rows, 8 bytes a pixel from a 16-bit file and 4 from others, and the file that
// holds it, four such rows);
std::uint64_t EncodeMemoryBound(const PngHeader& source, std::uint64_t metadataBytes);
// qfhost apply, which decodes, releases the file, filters the image in place and encodes it:
// the larger of decoding and encoding.
std::uint64_t ApplyMemoryBound(const PngHeader& header, std::uint64_t fileBytes,
                               std::uint64_t keptBytes);

}  // namespace veilmere::qfhost
