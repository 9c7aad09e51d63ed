#include "tools/qfhost/image.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

#include "tools/qfhost/errors.h"
#include "tools/qfhost/platform.h"
#include "tools/qfhost/png_chunks.h"
#include "tools/qfhost/zlib_stream.h"

namespace veilmere::qfhost {
namespace {

// The five PNG row filters, by their type byte.
enum RowFilter : std::uint8_t { kNone, kSub, kUp, kAverage, kPaeth, kRowFilters };

constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::uint8_t kDeepDepth = 16;  // the depth whose samples the decoder keeps

// A chunk's length, type and CRC, around its data.
constexpr std::size_t kChunkOverhead = 12;
constexpr std::size_t kTypeAt = 4, kDataAt = 8;  // in a chunk

// The encoder splits the compressed pixels into IDAT chunks of at most this many bytes.
constexpr std::size_t kIdatSize = std::size_t{1} << 20;
// The most a palette output's PLTE and tRNS take: their data (3 and 1 bytes an entry) twice,
// as made and in the file, and their chunks' 12 bytes.
constexpr std::uint64_t kPaletteChunkBytes = 2 * 4 * kMaxPaletteEntries + 2 * kChunkOverhead;
// The longest chunk PNG allows: 2^31 - 1 bytes; also the largest width and height.
constexpr std::uint32_t kMaxPngNumber = 0x7FFFFFFFu;
constexpr std::uint32_t kIhdrLength = 13;

// Text from a file, made safe for a terminal: anything but printable ASCII becomes '?'.
std::string Printable(std::string text) {
  for (char& c : text) {
    if (c < 0x20 || c > 0x7E) c = '?';
  }
  return text;
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.insert(out.end(), {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8),
                         std::uint8_t(v)});
}

std::uint32_t Crc(const std::uint8_t* bytes, std::size_t size) {
  return static_cast<std::uint32_t>(::crc32(::crc32(0, nullptr, 0), bytes, static_cast<uInt>(size)));
}

RunError Damaged(const std::string& name, const std::string& reason) {
  return RunError("'" + name + "' is a damaged PNG file (" + reason + ")");
}

// ---- Reading chunks: the signature, then each chunk's length, type and CRC.

struct Chunk {
  std::string type;  // as in the file (may be any bytes in a damaged one)
  ChunkType kind;
  const std::uint8_t* data;
  std::uint32_t length;
};

// Walks a PNG file's chunks after the signature, checking that each lies whole in the file
// and that its CRC (over type and data) matches.
class ChunkReader {
 public:
  ChunkReader(const std::vector<std::uint8_t>& bytes, const std::string& name)
      : bytes_(bytes), name_(name) {}

  // The next chunk; false when the bytes end exactly at a chunk's end.
  bool Next(Chunk* chunk) {
    const std::size_t left = bytes_.size() - at_;
    if (left == 0) return false;
    if (left < kChunkOverhead) throw Damaged(name_, "it is cut off after " + std::to_string(at_) + " bytes");
    const std::uint8_t* start = &bytes_[at_];
    const std::uint32_t length = Big32(start);
    chunk->type = std::string(start + kTypeAt, start + kDataAt);
    if (length > kMaxPngNumber || length > left - kChunkOverhead) {
      throw Damaged(name_, "it is cut off inside its " + Printable(chunk->type) + " chunk");
    }
    if (Crc(start + kTypeAt, std::size_t{length} + 4) != Big32(start + kDataAt + length)) {
      throw Damaged(name_, "CRC error in its " + Printable(chunk->type) + " chunk");
    }
    chunk->kind = ChunkTypeAt(start + kTypeAt);
    chunk->data = start + kDataAt;
    chunk->length = length;
    at_ += std::size_t{length} + kChunkOverhead;
    return true;
  }

 private:
  const std::vector<std::uint8_t>& bytes_;
  const std::string& name_;
  std::size_t at_ = sizeof kPngSignature;
};

bool IsPngSignature(const std::vector<std::uint8_t>& bytes) {
  return bytes.size() >= sizeof kPngSignature &&
         std::memcmp(bytes.data(), kPngSignature, sizeof kPngSignature) == 0;
}

bool AllowedDepth(std::uint8_t colourType, std::uint8_t depth) {
  switch (colourType) {
    case kGrey: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case kPalette: return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case kRgb: case kGreyAlpha: case kRgba: return depth == 8 || depth == 16;
    default: return false;
  }
}

// IHDR's fields: width, height, depth, colour type, then the compression, filter and
// interlace methods.
PngHeader ParseHeader(const Chunk& ihdr, const std::string& name) {
  if (ihdr.kind != ChunkType::kIhdr || ihdr.length != kIhdrLength) {
    throw Damaged(name, "its first chunk is not a 13-byte IHDR");
  }
  const std::uint8_t* d = ihdr.data;
  const std::uint32_t width = Big32(d);
  const std::uint32_t height = Big32(d + 4);
  if (width == 0 || height == 0 || width > kMaxPngNumber || height > kMaxPngNumber) {
    throw Damaged(name, "its size " + std::to_string(width) + "x" + std::to_string(height) +
                            " is not allowed");
  }
  PngHeader header;
  header.width = static_cast<std::int32_t>(width);
  header.height = static_cast<std::int32_t>(height);
  header.depth = d[8];
  header.colourType = d[9];
  if (!AllowedDepth(header.colourType, header.depth)) {
    throw Damaged(name, "colour type " + std::to_string(header.colourType) + " at " +
                            std::to_string(header.depth) + " bits is not a PNG format");
  }
  if (d[10] != 0 || d[11] != 0 || d[12] > 1) {
    throw Damaged(name, "unknown compression, filter or interlace method in its header");
  }
  header.interlaced = d[12] == 1;
  return header;
}

void CheckPixelLimit(const PngHeader& header, const std::string& name) {
  if (std::int64_t{header.width} * header.height > kMaxImagePixels) {
    throw RunError("'" + name + "' is " + std::to_string(header.width) + "x" +
                   std::to_string(header.height) + " pixels, more than the " +
                   std::to_string(kMaxImagePixels) + " qfhost takes");
  }
}

// ---- Unfiltering: each row against the row above it in its pass.

std::uint8_t Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a);
  const int pb = std::abs(p - b);
  const int pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return static_cast<std::uint8_t>(a);
  return static_cast<std::uint8_t>(pb <= pc ? b : c);
}

// Adds to each of the row's n bytes its prediction `predict(left, up, upLeft)` from the bytes
// before it, unfiltered; left and upLeft are 0 in the first pixel.
template <typename Predict>
void AddPrediction(std::uint8_t* cur, const std::uint8_t* up, std::size_t n, std::size_t step, Predict predict) {
  const std::size_t first = std::min(step, n);
  for (std::size_t i = 0; i < first; ++i) cur[i] = std::uint8_t(cur[i] + predict(0, up[i], 0));
  for (std::size_t i = first; i < n; ++i) {
    cur[i] = std::uint8_t(cur[i] + predict(cur[i - step], up[i], up[i - step]));
  }
}

// Undoes row filter `type` on the n bytes of `cur`, against `up`, the row above unfiltered
// (all zeros before a pass's first row, which stands for "no row above"); `step` is the
// distance from a byte to the same byte of the pixel to its left. False for an unknown type.
bool Unfilter(std::uint8_t type, std::uint8_t* cur, const std::uint8_t* up, std::size_t n, std::size_t step) {
  switch (type) {
    case kNone: break;
    case kSub:
      for (std::size_t i = step; i < n; ++i) cur[i] = std::uint8_t(cur[i] + cur[i - step]);
      break;
    case kUp:
      for (std::size_t i = 0; i < n; ++i) cur[i] = std::uint8_t(cur[i] + up[i]);
      break;
    case kAverage: AddPrediction(cur, up, n, step, [](int left, int above, int) { return (left + above) >> 1; }); break;
    case kPaeth: AddPrediction(cur, up, n, step, [](int left, int above, int upLeft) { return Paeth(left, above, upLeft); }); break;
    default: return false;
  }
  return true;
}

// ---- Expanding to RGBA: samples of any depth, the palette and tRNS.

// Reads a row's samples and makes pixels of them, in the module's 8-bit layout.
class PixelExpander {
 public:
  PixelExpander(const PngHeader& header, const std::string& name)
      : depth_(header.depth), colourType_(header.colourType),
        channels_(std::size_t(ChannelsOf(header.colourType))), name_(name) {}

  void SetPalette(const std::uint8_t* rgb, std::uint32_t entries) {
    paletteEntries_ = entries;
    for (std::uint32_t i = 0; i < entries; ++i) {
      palette_[i] = Pixel{rgb[i * 3 + 2], rgb[i * 3 + 1], rgb[i * 3], 255};
    }
  }
  // tRNS: a palette's alpha, or a grey or RGB colour key of 16-bit samples.
  void SetTransparency(const std::uint8_t* data, std::uint32_t length) {
    if (colourType_ == kPalette) {
      for (std::uint32_t i = 0; i < length && i < kMaxPaletteEntries; ++i) palette_[i].a = data[i];
    } else {
      hasKey_ = true;
      for (std::uint32_t i = 0; i + 1 < length && i / 2 < 3; i += 2) {
        key_[i / 2] = static_cast<std::uint16_t>(data[i] << 8 | data[i + 1]);
      }
    }
  }

  // The palette's entries, with tRNS's alpha.
  std::vector<Pixel> Palette() const { return {palette_.begin(), palette_.begin() + paletteEntries_}; }

  // Sample `index` of `row` (counting every channel of every pixel), as stored.
  std::uint32_t Sample(const std::uint8_t* row, std::size_t index) const {
    switch (depth_) {
      case 16: return std::uint32_t{row[index * 2]} << 8 | row[index * 2 + 1];
      case 8: return row[index];
      default: {
        const std::size_t bit = index * depth_;
        const unsigned shift = 8 - depth_ - bit % 8;
        return (row[bit / 8] >> shift) & ((1u << depth_) - 1);
      }
    }
  }

  // Pixel i of `row`.
  Pixel At(const std::uint8_t* row, std::int32_t i) const {
    const std::size_t s = std::size_t(i) * channels_;
    switch (colourType_) {
      case kGrey: {
        const std::uint32_t g = Sample(row, s);
        const std::uint8_t v = To8(g);
        return Pixel{v, v, v, std::uint8_t(hasKey_ && g == key_[0] ? 0 : 255)};
      }
      case kRgb: {
        const std::uint32_t r = Sample(row, s), g = Sample(row, s + 1), b = Sample(row, s + 2);
        const bool keyed = hasKey_ && r == key_[0] && g == key_[1] && b == key_[2];
        return Pixel{To8(b), To8(g), To8(r), std::uint8_t(keyed ? 0 : 255)};
      }
      case kPalette: return Entry(Sample(row, s));
      case kGreyAlpha: {
        const std::uint8_t v = To8(Sample(row, s));
        return Pixel{v, v, v, To8(Sample(row, s + 1))};
      }
      default:
        return Pixel{To8(Sample(row, s + 2)), To8(Sample(row, s + 1)), To8(Sample(row, s)), To8(Sample(row, s + 3))};
    }
  }

 private:
  // A sample of the file's depth as 8 bits: 16-bit v as round(v / 257); 1, 2 and 4 bits
  // spread over 0 to 255 (a 4-bit 15 is 255).
  std::uint8_t To8(std::uint32_t v) const {
    switch (depth_) {
      case 16: return static_cast<std::uint8_t>((v + 128) / 257);
      case 8: return static_cast<std::uint8_t>(v);
      default: return static_cast<std::uint8_t>(v * 255 / ((1u << depth_) - 1));
    }
  }

  Pixel Entry(std::uint32_t index) const {
    if (index >= paletteEntries_) {
      throw Damaged(name_, "palette index " + std::to_string(index) + " is past its " +
                               std::to_string(paletteEntries_) + "-colour palette");
    }
    return palette_[index];
  }

  const std::uint8_t depth_;
  const std::uint8_t colourType_;
  const std::size_t channels_;
  const std::string& name_;
  std::array<Pixel, kMaxPaletteEntries> palette_{};
  std::uint32_t paletteEntries_ = 0;
  bool hasKey_ = false;
  std::array<std::uint32_t, 3> key_{};
};

// ---- Rows: the inflated stream cut into the rows of each pass.

// One pass over the image: the pixels (x0 + i * dx, y0 + j * dy). A non-interlaced image has
// one pass with steps of 1; Adam7 has seven.
struct Pass {
  std::int32_t x0, y0, dx, dy;
  std::int32_t Columns(std::int32_t width) const { return width > x0 ? (width - x0 + dx - 1) / dx : 0; }
  std::int32_t Rows(std::int32_t height) const { return height > y0 ? (height - y0 + dy - 1) / dy : 0; }
};
constexpr Pass kWholeImage{0, 0, 1, 1};
constexpr Pass kAdam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                            {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

// Takes the inflated pixel stream, byte by byte as it comes, and turns each whole row into
// pixels of `image`: undoes the row's filter against the row before it in the same pass and
// expands its samples to 8-bit RGBA. A 16-bit file's samples are kept as they are in
// `originals`, which must hold a sample of every channel of every pixel; other depths leave
// it alone.
class RowDecoder {
 public:
  RowDecoder(const PngHeader& header, const std::string& name, Image& image,
             std::vector<std::uint16_t>& originals, const RowProgress& progress)
      : header_(header), name_(name), image_(image), originals_(originals), progress_(progress),
        pixels_(header, name) {
    bitsPerPixel_ = ChannelsOf(header.colourType) * header.depth;
    filterStep_ = std::size_t(std::max(1, bitsPerPixel_ / 8));
    passes_ = header.interlaced ? std::vector<Pass>(kAdam7, kAdam7 + 7) : std::vector<Pass>{kWholeImage};
    for (const Pass& pass : passes_) totalRows_ += pass.Rows(header.height);
    StartPass(0);
  }

  PixelExpander& Pixels() { return pixels_; }
  bool Done() const { return pass_ == passes_.size(); }

  // The bytes of the inflated stream the image's rows take: a filter byte and the pixels'
  // bytes for each row of each pass that has pixels.
  std::uint64_t StreamBytes() const {
    std::uint64_t bytes = 0;
    for (const Pass& pass : passes_) {
      const std::int32_t columns = pass.Columns(header_.width);
      if (columns == 0) continue;
      bytes += std::uint64_t(pass.Rows(header_.height)) * (RowBytes(columns) + 1);
    }
    return bytes;
  }

  void Feed(const std::uint8_t* bytes, std::size_t size) {
    while (size > 0 && !Done()) {
      const std::size_t take = std::min(size, row_.size() - filled_);
      std::memcpy(row_.data() + filled_, bytes, take);
      filled_ += take;
      bytes += take;
      size -= take;
      if (filled_ == row_.size()) FinishRow();
    }
  }

 private:
  std::uint64_t RowBytes(std::int32_t columns) const {
    return (std::uint64_t(columns) * std::uint64_t(bitsPerPixel_) + 7) / 8;
  }

  void StartPass(std::size_t pass) {
    // A pass with no pixels has no rows at all, not even filter bytes.
    while (pass < passes_.size() &&
           (passes_[pass].Columns(header_.width) == 0 || passes_[pass].Rows(header_.height) == 0)) {
      ++pass;
    }
    pass_ = pass;
    if (Done()) return;
    columns_ = passes_[pass].Columns(header_.width);
    row_.assign(std::size_t(RowBytes(columns_)) + 1, 0);
    previous_.assign(row_.size(), 0);
    rowInPass_ = 0;
    filled_ = 0;
  }

  // row_ whole: its filter byte, then its bytes.
  void FinishRow() {
    if (!Unfilter(row_[0], row_.data() + 1, previous_.data() + 1, row_.size() - 1, filterStep_)) {
      throw Damaged(name_, "row filter " + std::to_string(row_[0]) + " is not a PNG filter");
    }
    const Pass& pass = passes_[pass_];
    const std::int32_t y = pass.y0 + rowInPass_ * pass.dy;
    const std::uint8_t* row = row_.data() + 1;
    for (std::int32_t i = 0; i < columns_; ++i) image_.at(pass.x0 + i * pass.dx, y) = pixels_.At(row, i);
    if (header_.depth == kDeepDepth) KeepOriginals(pass, y);
    ++rowsDone_;
    if (progress_) progress_(rowsDone_, totalRows_);
    row_.swap(previous_);
    filled_ = 0;
    if (++rowInPass_ == pass.Rows(header_.height)) StartPass(pass_ + 1);
  }

  void KeepOriginals(const Pass& pass, std::int32_t y) {
    const std::size_t channels = std::size_t(ChannelsOf(header_.colourType));
    for (std::int32_t i = 0; i < columns_; ++i) {
      const std::size_t pixel = std::size_t(y) * std::size_t(header_.width) + std::size_t(pass.x0 + i * pass.dx);
      for (std::size_t c = 0; c < channels; ++c) {
        originals_[pixel * channels + c] =
            static_cast<std::uint16_t>(pixels_.Sample(row_.data() + 1, std::size_t(i) * channels + c));
      }
    }
  }

  const PngHeader header_;
  const std::string& name_;
  Image& image_;
  std::vector<std::uint16_t>& originals_;
  const RowProgress& progress_;
  PixelExpander pixels_;
  int bitsPerPixel_ = 0;
  std::size_t filterStep_ = 1;  // bytes from a byte to the same byte of the pixel to its left
  std::vector<Pass> passes_;
  std::size_t pass_ = 0;
  std::int32_t columns_ = 0;
  std::int32_t rowInPass_ = 0;
  std::vector<std::uint8_t> row_;       // filter byte, then the row's bytes
  std::vector<std::uint8_t> previous_;  // the pass's row before, unfiltered
  std::size_t filled_ = 0;
  std::int64_t rowsDone_ = 0;
  std::int64_t totalRows_ = 0;
};

// ---- Inflating: the pixel stream, bounded.

// Inflates the IDAT chunks' data into `rows`, to the stream's end, after the last row too, so
// that zlib reaches the Adler-32 and checks it; but never further than the rows plus
// kStreamEndAllowance: zlib is never asked for a byte past one more than that.
class PixelStream {
 public:
  PixelStream(RowDecoder& rows, const std::string& name)
      : rows_(rows), name_(name), limit_(rows.StreamBytes() + kStreamEndAllowance) {
    if (::inflateInit(&inflater_.stream) != Z_OK) throw RunError("out of memory");
    inflater_.ready = true;
  }

  bool Ended() const { return ended_; }

  void Inflate(const Chunk& idat) {
    z_stream& stream = inflater_.stream;
    stream.next_in = const_cast<Bytef*>(idat.data);
    stream.avail_in = idat.length;
    while (!ended_ && stream.avail_in > 0) {
      const std::size_t room = static_cast<std::size_t>(std::min<std::uint64_t>(out_.size(), limit_ + 1 - inflated_));
      stream.next_out = out_.data();
      stream.avail_out = static_cast<uInt>(room);
      const int result = ::inflate(&stream, Z_NO_FLUSH);
      const std::size_t produced = room - stream.avail_out;
      rows_.Feed(out_.data(), produced);
      inflated_ += produced;
      if (inflated_ > limit_) throw Damaged(name_, "more compressed data than the image holds");
      Check(result);
    }
  }

 private:
  void Check(int result) {
    if (result == Z_STREAM_END) {
      ended_ = true;
    } else if (result == Z_MEM_ERROR) {
      throw RunError("out of memory");
    } else if (result != Z_OK && result != Z_BUF_ERROR) {
      const char* why = inflater_.stream.msg;
      throw Damaged(name_, std::string("its compressed pixels are corrupt: ") +
                               (why != nullptr && *why != '\0' ? why : "zlib error " + std::to_string(result)));
    }
  }

  static constexpr std::size_t kOutBytes = std::size_t{1} << 16;
  RowDecoder& rows_;
  const std::string& name_;
  const std::uint64_t limit_;
  Inflater inflater_;
  std::vector<std::uint8_t> out_ = std::vector<std::uint8_t>(kOutBytes);
  std::uint64_t inflated_ = 0;
  bool ended_ = false;
};

// ---- Kept chunks: checked, copied, or left out with a warning.

class KeptChunks {
 public:
  KeptChunks(DecodedPng& decoded, const std::string& name) : decoded_(decoded), name_(name) {}

  // A chunk of a kept type: its rules checked, the first KeptChunkCheck::kMaxChunks of them.
  void Take(const Chunk& chunk, bool afterPalette, bool afterPixels) {
    if (++examined_ > KeptChunkCheck::kMaxChunks) return;
    const std::string fault = check_.Fault(chunk.kind, chunk.data, chunk.length, afterPalette, afterPixels);
    if (fault.empty()) {
      decoded_.metadata.push_back({chunk.type, std::vector<std::uint8_t>(chunk.data, chunk.data + chunk.length)});
    } else if (decoded_.warnings.size() < kNamedWarnings) {
      decoded_.warnings.push_back("'" + name_ + "': its " + chunk.type + " chunk is left out of the output (" +
                                  fault + ")");
    } else {
      ++leftOutUnnamed_;
    }
  }

  // The warnings for the chunks left out unnamed and unexamined.
  void Finish() {
    if (leftOutUnnamed_ > 0) {
      decoded_.warnings.push_back("'" + name_ + "': " + std::to_string(leftOutUnnamed_) +
                                  " more chunks are left out of the output for such reasons");
    }
    if (examined_ > KeptChunkCheck::kMaxChunks) {
      decoded_.warnings.push_back(
          "'" + name_ + "': " + std::to_string(examined_ - KeptChunkCheck::kMaxChunks) +
          " chunks past the first " + std::to_string(KeptChunkCheck::kMaxChunks) +
          " of those qfhost keeps are left out of the output");
    }
  }

 private:
  // A kept chunk that breaks its rules is left out of the output with a warning; the first
  // few are named, the rest counted.
  static constexpr std::size_t kNamedWarnings = 10;
  DecodedPng& decoded_;
  const std::string& name_;
  KeptChunkCheck check_;
  int examined_ = 0;  // chunks of the kept types, checked or left out unchecked
  std::int64_t leftOutUnnamed_ = 0;
};

// ---- The decoder: the chunks after IHDR, in order, each to its stage.

class PngDecoder {
 public:
  PngDecoder(const PngHeader& header, const std::string& name, DecodedPng& decoded, const RowProgress& progress)
      : header_(header), name_(name), decoded_(decoded),
        rows_(header, name, decoded.image, decoded.format.originals, progress), stream_(rows_, name),
        kept_(decoded, name) {}

  // Takes a chunk; false for IEND.
  bool Take(const Chunk& chunk) {
    CheckStructure(chunk);
    if (seenIdat_ && chunk.kind != ChunkType::kIdat) idatEnded_ = true;
    switch (chunk.kind) {
      case ChunkType::kIend: return false;
      case ChunkType::kIdat: TakePixels(chunk); break;
      case ChunkType::kPlte: TakePalette(chunk); break;
      case ChunkType::kTrns: TakeTransparency(chunk); break;
      default: TakeAncillary(chunk); break;
    }
    return true;
  }

  void Finish() {
    kept_.Finish();
    if (!seenIdat_) throw Damaged(name_, "it has no IDAT chunk");
    if (!rows_.Done()) throw Damaged(name_, "its pixel data ends before the last row");
    if (!stream_.Ended()) throw Damaged(name_, "its compressed pixels end without their checksum");
    if (header_.colourType == kPalette) decoded_.format.palette = rows_.Pixels().Palette();
  }

 private:
  // The rules of every chunk: its name, a second of a type a file holds once, a fixed length.
  void CheckStructure(const Chunk& chunk) {
    const std::string& type = chunk.type;
    if (!IsChunkName(type)) throw Damaged(name_, "a chunk's name, '" + Printable(type) + "', is not four letters");
    const auto bit = std::uint32_t{1} << unsigned(chunk.kind);
    if (IsOnceOnlyChunk(chunk.kind) && (seenOnce_ & bit) != 0) throw Damaged(name_, "it has a second " + type + " chunk");
    seenOnce_ |= bit;
    if (const auto length = FixedChunkLength(chunk.kind, header_.colourType, paletteEntries_);
        length && *length != chunk.length) {
      throw Damaged(name_, "its " + type + " chunk's length is " + std::to_string(chunk.length) + ", not " +
                               std::to_string(*length));
    }
  }

  void TakePixels(const Chunk& chunk) {
    if (idatEnded_) throw Damaged(name_, "its IDAT chunks are not consecutive");
    if (header_.colourType == kPalette && !seenPalette_) throw Damaged(name_, "it has no palette");
    seenIdat_ = true;
    stream_.Inflate(chunk);
  }

  void TakePalette(const Chunk& chunk) {
    const std::uint32_t entries = chunk.length / 3;
    if (!PlaceFault(chunk.kind, seenPalette_, seenIdat_).empty() || seenPalette_ || chunk.length % 3 != 0 ||
        entries == 0 || entries > kMaxPaletteEntries ||
        (header_.colourType == kPalette && entries > (1u << header_.depth))) {
      throw Damaged(name_, "its PLTE chunk is misplaced or of a wrong length");
    }
    if (header_.colourType == kGrey || header_.colourType == kGreyAlpha) {
      throw Damaged(name_, "a grey image has a PLTE chunk");
    }
    seenPalette_ = true;
    paletteEntries_ = entries;
    // Colour images may carry a suggested palette, which says nothing about their pixels.
    if (header_.colourType == kPalette) rows_.Pixels().SetPalette(chunk.data, entries);
  }

  // tRNS: a palette's alpha, at most an entry each; a grey key of 2 bytes, an RGB one of 6.
  void TakeTransparency(const Chunk& chunk) {
    const std::uint8_t type = header_.colourType;
    const bool fits = type == kPalette ? seenPalette_ && chunk.length <= paletteEntries_
                      : type == kGrey  ? chunk.length == 2
                      : type == kRgb   ? chunk.length == 6
                                       : false;
    if (!PlaceFault(chunk.kind, seenPalette_, seenIdat_).empty() || !fits) {
      throw Damaged(name_, "its tRNS chunk does not fit the image");
    }
    rows_.Pixels().SetTransparency(chunk.data, chunk.length);
  }

  void TakeAncillary(const Chunk& chunk) {
    // An unknown critical chunk (its name's first letter upper case) changes how the file
    // must be read.
    if ((chunk.type[0] & 0x20) == 0) {
      throw Damaged(name_, "it has a critical chunk '" + chunk.type + "' qfhost does not know");
    }
    if (IsKeptChunk(chunk.kind, header_.colourType)) kept_.Take(chunk, seenPalette_, seenIdat_);
  }

  const PngHeader& header_;
  const std::string& name_;
  DecodedPng& decoded_;
  RowDecoder rows_;
  PixelStream stream_;
  KeptChunks kept_;
  std::uint32_t seenOnce_ = 0;  // bit t: a chunk of ChunkType t that a file may hold once
  bool seenPalette_ = false, seenIdat_ = false, idatEnded_ = false;
  std::uint32_t paletteEntries_ = 0;
};

}  // namespace

void PixelsToRgba(const Pixel* pixels, std::size_t count, std::uint8_t* rgba) {
  for (std::size_t i = 0; i < count; ++i, rgba += 4) {
    rgba[0] = pixels[i].r;
    rgba[1] = pixels[i].g;
    rgba[2] = pixels[i].b;
    rgba[3] = pixels[i].a;
  }
}

PngHeader ReadPngHeader(const std::vector<std::uint8_t>& bytes, const std::string& name) {
  if (!IsPngSignature(bytes)) throw RunError("'" + name + "' is not a PNG file");
  ChunkReader chunks(bytes, name);
  Chunk ihdr;
  if (!chunks.Next(&ihdr)) throw Damaged(name, "it ends after its signature");
  const PngHeader header = ParseHeader(ihdr, name);
  CheckPixelLimit(header, name);
  return header;
}

DecodedPng DecodePngFile(const std::vector<std::uint8_t>& bytes, const std::string& name,
                         const RowProgress& progress) {
  const PngHeader header = ReadPngHeader(bytes, name);
  DecodedPng decoded;
  decoded.image = Image(header.width, header.height);
  decoded.format.colourType = header.colourType;
  decoded.format.depth = header.depth;
  decoded.format.originals.resize(OriginalsBytes(header) / sizeof(std::uint16_t));
  PngDecoder decoder(header, name, decoded, progress);
  ChunkReader chunks(bytes, name);
  Chunk chunk;
  chunks.Next(&chunk);  // IHDR, read above
  do {
    if (!chunks.Next(&chunk)) throw Damaged(name, "it ends before its IEND chunk");
  } while (decoder.Take(chunk));
  decoder.Finish();
  return decoded;
}

namespace {

// zlib's settings for the pixel stream, which is compressed once, choosing between two
// strategies as it goes. Measured (scripts/bench-qfhost's photo-like 1920x1080 images, four
// of them: gradients, noise and edges; and docs/gallery.png, flat colours and text), user CPU
// of a whole qfhost run and output bytes, against ImageMagick's 4.4 s and 16,795,848 bytes
// (gallery: 26,875):
//   level 6, Z_FILTERED (libpng's default):   4.9 s, 16,837,695   gallery 26,841
//   level 9, Z_FILTERED:                       4.9 s, 16,834,497
//   level 4, Z_FILTERED:                       3.0 s, 16,801,760
//   level 3 or less, Z_FILTERED:         1.5-2.0 s, 19.2-19.5 million
//   level 6, Z_DEFAULT_STRATEGY:               3.8 s, 18,712,976
//   level 6, memory level 9:                   4.7 s, 16,789,596
//   Z_RLE (any level):                    1.4-1.7 s, 16,711,249   gallery 40,824
//   Z_HUFFMAN_ONLY:                            1.3 s, 16,697,588
// In a photo's filtered rows a repeated string is rare, and the search for one (levels 4 to
// 9) costs most of the time for little; Z_RLE, which looks only for runs of a byte, writes
// smaller files at a third of the CPU. Flat, drawn images are the other way round: their rows
// repeat, and Z_RLE's file is half as large again as level 6's. So rows are compressed with
// level 6 and Z_FILTERED while they are smooth, and with Z_RLE while they are noisy (RowNoise
// below): the photo-like images then take 1.5 s and 16,711,249 bytes, the gallery 27,986.
// Memory level 8 with the largest window, 32 KiB: a larger hash (memory level 9) gained 0.3%
// for 10% more CPU, and zlib's deflateBound is tight only at these two settings.
constexpr int kDeflateLevel = 6;
constexpr int kDeflateMemoryLevel = 8;
constexpr int kDeflateWindowBits = 15;
constexpr int kDeflateStrategy = Z_FILTERED;
constexpr int kRunsStrategy = Z_RLE;
// The mean magnitude of filtered bytes, read as signed, from which rows are noisy, and below
// which they are smooth again: the photo-like images' rows average about 3.3, the gallery's
// under 1.
constexpr double kNoisyFrom = 2.5;
constexpr double kSmoothBelow = 1.5;
// Every change of strategy ends a deflate block (Z_BLOCK), which zlib's deflateBound does not
// count: a block's end takes at most this many bytes, and the strategy changes at most once a
// row.
constexpr std::uint64_t kStrategyChangeBytes = 16;

// How noisy the filtered rows have been lately: the mean magnitude of their bytes, read as
// signed, averaged over about the last kRowsAveraged rows; and whether that calls for runs.
class RowNoise {
 public:
  // Adds a row whose filtered bytes (`bytes` of them) sum to `sum`; true when the rows call
  // for compressing by runs, given that `runs` is how they are compressed now (the two
  // thresholds apart, so that the choice does not flip at every row).
  bool Add(std::uint64_t sum, std::size_t bytes, bool runs) {
    const double mean = double(sum) / double(bytes);
    average_ = first_ ? mean : average_ + (mean - average_) / kRowsAveraged;
    first_ = false;
    return runs ? average_ >= kSmoothBelow : average_ >= kNoisyFrom;
  }

 private:
  static constexpr double kRowsAveraged = 8;
  double average_ = 0;
  bool first_ = true;
};

void StartDeflater(Deflater& deflater) {
  if (::deflateInit2(&deflater.stream, kDeflateLevel, Z_DEFLATED, kDeflateWindowBits,
                     kDeflateMemoryLevel, kDeflateStrategy) != Z_OK) {
    throw RunError("out of memory");
  }
  deflater.ready = true;
}

// The bytes of an output row, filter byte included, at its widest: a 16-bit file's result may
// need 16-bit RGBA, 8 bytes a pixel; any other's 8-bit RGBA at most, 4 bytes a pixel.
std::uint64_t WidestRowBytes(const PngHeader& source) {
  return std::uint64_t(source.width) * (source.depth == kDeepDepth ? 8 : 4) + 1;
}

// ---- Filtering: each row the way that makes it smallest.

// Filters `raw` (n bytes, bpp bytes a pixel; `above` the row before, unfiltered, zeros for
// the first) with `type` into out[1..n], out[0] being the type, and returns the sum of the
// filtered bytes read as signed, in magnitude: the row filter that makes it smallest usually
// compresses best (libpng's default choice).
std::uint64_t FilterRow(RowFilter type, const std::uint8_t* raw, const std::uint8_t* above,
                        std::size_t n, std::size_t bpp, std::uint8_t* out) {
  out[0] = type;
  std::uint8_t* const filtered = out + 1;
  const auto predict = [&](auto rule) {
    for (std::size_t i = 0; i < n; ++i) {
      const int left = i >= bpp ? raw[i - bpp] : 0;
      const int upLeft = i >= bpp ? above[i - bpp] : 0;
      filtered[i] = std::uint8_t(raw[i] - rule(left, int{above[i]}, upLeft));
    }
  };
  switch (type) {
    case kNone: std::memcpy(filtered, raw, n); break;
    case kSub: predict([](int left, int, int) { return left; }); break;
    case kUp: predict([](int, int up, int) { return up; }); break;
    case kAverage: predict([](int left, int up, int) { return (left + up) >> 1; }); break;
    default: predict([](int left, int up, int upLeft) { return int{Paeth(left, up, upLeft)}; }); break;
  }
  std::uint64_t sum = 0;
  for (std::size_t i = 0; i < n; ++i) sum += filtered[i] < 128 ? filtered[i] : 256 - filtered[i];
  return sum;
}

// The rows of an image, one after another, each filtered the five ways into a trial buffer
// and the smallest kept: Raw() takes the next row, Best() filters it.
class RowFilters {
 public:
  RowFilters(std::size_t rowBytes, std::size_t bytesPerPixel)
      : bytesPerPixel_(bytesPerPixel), raw_(rowBytes), above_(rowBytes, 0), best_(rowBytes + 1), trial_(rowBytes + 1) {}

  std::uint8_t* Raw() { return raw_.data(); }

  // The raw row filtered the way whose sum is smallest (filter byte first), and that sum; the
  // raw row then becomes the row above the next.
  const std::vector<std::uint8_t>& Best(std::uint64_t* bestSum) {
    *bestSum = ~std::uint64_t{0};
    for (int type = kNone; type < kRowFilters; ++type) {
      const std::uint64_t sum =
          FilterRow(RowFilter(type), raw_.data(), above_.data(), raw_.size(), bytesPerPixel_, trial_.data());
      if (sum < *bestSum) best_.swap(trial_), *bestSum = sum;
    }
    raw_.swap(above_);
    return best_;
  }

 private:
  const std::size_t bytesPerPixel_;
  std::vector<std::uint8_t> raw_, above_, best_, trial_;
};

// Keeps a zlib stream's output in blocks of kIdatSize, the IDAT chunks of the file, so that
// it holds no more than its size and a block (a growing vector could hold twice its size).
void AppendInBlocks(CompressedPixels& pixels, const std::uint8_t* data, std::size_t n) {
  while (n > 0) {
    if (pixels.blocks.empty() || pixels.blocks.back().size() == kIdatSize) {
      pixels.blocks.emplace_back().reserve(kIdatSize);
    }
    std::vector<std::uint8_t>& block = pixels.blocks.back();
    const std::size_t take = std::min(n, kIdatSize - block.size());
    block.insert(block.end(), data, data + take);
    data += take;
    n -= take;
    pixels.size += take;
  }
}

// ---- Compressing: the filtered rows, once, by runs while they are noisy.

class PixelCompressor {
 public:
  PixelCompressor() { StartDeflater(deflater_); }

  // Compresses a filtered row whose bytes, read as signed, sum to `sum` in magnitude.
  void Add(const std::vector<std::uint8_t>& row, std::uint64_t sum) {
    if (noise_.Add(sum, row.size() - 1, runs_) != runs_) SwitchStrategy();
    Deflate(row.data(), row.size(), Z_NO_FLUSH);
  }

  CompressedPixels Finish() {
    Deflate(nullptr, 0, Z_FINISH);
    return std::move(pixels_);
  }

 private:
  void Deflate(const std::uint8_t* data, std::size_t size, int flush) {
    z_stream& stream = deflater_.stream;
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = static_cast<uInt>(size);
    int result = Z_OK;
    do {
      stream.next_out = out_.data();
      stream.avail_out = static_cast<uInt>(out_.size());
      result = ::deflate(&stream, flush);
      if (result == Z_STREAM_ERROR) throw RunError("cannot compress the image");
      AppendInBlocks(pixels_, out_.data(), out_.size() - stream.avail_out);
    } while (stream.avail_out == 0 || (flush == Z_FINISH && result != Z_STREAM_END));
  }

  // Between kDeflateStrategy and kRunsStrategy, ending the block of what came so far.
  void SwitchStrategy() {
    runs_ = !runs_;
    Deflate(nullptr, 0, Z_BLOCK);  // what came so far, compressed the old way
    z_stream& stream = deflater_.stream;
    stream.next_out = out_.data();
    stream.avail_out = static_cast<uInt>(out_.size());
    const int changed = ::deflateParams(&stream, kDeflateLevel, runs_ ? kRunsStrategy : kDeflateStrategy);
    AppendInBlocks(pixels_, out_.data(), out_.size() - stream.avail_out);
    if (changed != Z_OK) throw RunError("cannot compress the image");
  }

  static constexpr std::size_t kOutBytes = std::size_t{1} << 16;
  Deflater deflater_;
  std::vector<std::uint8_t> out_ = std::vector<std::uint8_t>(kOutBytes);
  CompressedPixels pixels_;
  RowNoise noise_;
  bool runs_ = false;  // compressing with kRunsStrategy rather than kDeflateStrategy
};

// ---- Writing chunks.

void AppendChunk(std::vector<std::uint8_t>& file, const char* type, const std::uint8_t* data,
                 std::size_t size) {
  Put32(file, static_cast<std::uint32_t>(size));
  const std::size_t start = file.size();
  file.insert(file.end(), type, type + 4);
  if (size > 0) file.insert(file.end(), data, data + size);
  Put32(file, Crc(file.data() + start, size + 4));
}

void AppendChunk(std::vector<std::uint8_t>& file, ChunkType type, const std::vector<std::uint8_t>& data) {
  AppendChunk(file, ChunkName(type), data.data(), data.size());
}

// PLTE's and tRNS's data for a palette output: the entries' colours, and the alpha of those
// up to the last that is not opaque (none when all are).
void PaletteChunks(const std::vector<Pixel>& palette, std::vector<std::uint8_t>* colours,
                   std::vector<std::uint8_t>* alpha) {
  for (const Pixel& entry : palette) colours->insert(colours->end(), {entry.r, entry.g, entry.b});
  std::size_t translucent = palette.size();
  while (translucent > 0 && palette[translucent - 1].a == 255) --translucent;
  for (std::size_t i = 0; i < translucent; ++i) alpha->push_back(palette[i].a);
}

// tRNS's data for a keyed grey or RGB output: its samples as 16-bit values.
std::vector<std::uint8_t> KeyChunk(const OutputFormat& format) {
  std::vector<std::uint8_t> data;
  for (int i = 0; i < ChannelsOf(format.colourType); ++i) {
    data.insert(data.end(), {std::uint8_t(format.key[i] >> 8), std::uint8_t(format.key[i])});
  }
  return data;
}

void CheckEncodable(const Image& image) {
  if (image.width <= 0 || image.height <= 0) throw RunError("cannot write an empty image");
  if (std::int64_t{image.width} * image.height > kMaxImagePixels) {
    throw RunError("a " + std::to_string(image.width) + "x" + std::to_string(image.height) +
                   " image is too large to write");
  }
}

// The file around the compressed pixels: IHDR, the kept chunks, PLTE and tRNS, the IDATs and
// IEND. Each block of the stream is released as it is copied into the file.
std::vector<std::uint8_t> AssembleFile(const Image& image, const OutputFormat& format,
                                       const std::vector<PngChunk>& metadata, CompressedPixels& pixels) {
  std::vector<std::uint8_t> plte, trns;
  if (format.colourType == kPalette) PaletteChunks(format.palette, &plte, &trns);
  if (format.keyed) trns = KeyChunk(format);
  std::size_t fileSize = sizeof kPngSignature + kChunkOverhead + kIhdrLength + kChunkOverhead + plte.size() +
                         kChunkOverhead + trns.size() + pixels.size + kChunkOverhead * pixels.blocks.size() +
                         kChunkOverhead;
  for (const PngChunk& chunk : metadata) fileSize += chunk.data.size() + kChunkOverhead;
  std::vector<std::uint8_t> file(kPngSignature, kPngSignature + sizeof kPngSignature);
  file.reserve(fileSize);
  std::vector<std::uint8_t> header;
  Put32(header, static_cast<std::uint32_t>(image.width));
  Put32(header, static_cast<std::uint32_t>(image.height));
  header.insert(header.end(), {format.depth, format.colourType, 0, 0, 0});  // not interlaced
  AppendChunk(file, ChunkType::kIhdr, header);
  // iCCP, sRGB, gAMA and cHRM must come before PLTE; every kept chunk may.
  for (const PngChunk& chunk : metadata) AppendChunk(file, chunk.type.c_str(), chunk.data.data(), chunk.data.size());
  if (!plte.empty()) AppendChunk(file, ChunkType::kPlte, plte);
  if (!trns.empty()) AppendChunk(file, ChunkType::kTrns, trns);
  for (std::vector<std::uint8_t>& block : pixels.blocks) {
    AppendChunk(file, ChunkType::kIdat, block);
    std::vector<std::uint8_t>().swap(block);
  }
  AppendChunk(file, ChunkType::kIend, {});
  return file;
}

}  // namespace

CompressedPixels FilterAndCompress(const RawRowSource& rows, std::int32_t height,
                                   std::size_t rowBytes, std::size_t bytesPerPixel,
                                   const RowProgress& progress) {
  PixelCompressor compressor;
  RowFilters filters(rowBytes, bytesPerPixel);
  for (std::int32_t y = 0; y < height; ++y) {
    rows(y, filters.Raw());
    std::uint64_t sum = 0;
    const std::vector<std::uint8_t>& best = filters.Best(&sum);
    compressor.Add(best, sum);
    if (progress) progress(y + 1, height);
  }
  return compressor.Finish();
}

std::vector<std::uint8_t> EncodePng(const Image& image, const PixelFormat& source,
                                    const std::vector<PngChunk>& metadata, const RowProgress& progress) {
  CheckEncodable(image);
  const OutputFormat format = ChooseOutputFormat(image, source);
  CompressedPixels pixels;
  {
    const ScanlineWriter rows(image, source, format);
    pixels = FilterAndCompress([&](std::int32_t y, std::uint8_t* row) { rows.Row(y, row); },
                               image.height, rows.RowBytes(), rows.BytesPerPixel(), progress);
  }
  return AssembleFile(image, format, metadata, pixels);
}

std::vector<std::uint8_t> EncodePng(const Image& image, const std::vector<PngChunk>& metadata,
                                    const RowProgress& progress) {
  return EncodePng(image, PixelFormat{}, metadata, progress);
}

std::uint64_t OriginalsBytes(const PngHeader& header) {
  if (header.depth != kDeepDepth) return 0;
  return std::uint64_t(ChannelsOf(header.colourType)) * sizeof(std::uint16_t) *
         std::uint64_t(header.width) * std::uint64_t(header.height);
}

std::uint64_t EncodeMemoryBound(const PngHeader& source, std::uint64_t metadataBytes) {
  const std::uint64_t rowBytes = WidestRowBytes(source);
  const std::uint64_t filtered = rowBytes * std::uint64_t(source.height);
  Deflater deflater;
  StartDeflater(deflater);
  // The stream at its largest, as zlib bounds it, and the ends of blocks where the strategy
  // changes.
  const std::uint64_t compressed = ::deflateBound(&deflater.stream, static_cast<uLong>(filtered)) +
                                   kStrategyChangeBytes * std::uint64_t(source.height);
  const std::uint64_t chunks = (compressed + kIdatSize - 1) / kIdatSize;  // blocks, and IDATs
  // The image and a 16-bit file's samples; the metadata given and its copy in the file; the
  // stream and the file that holds it too, with a partly filled block and each IDAT's 12
  // bytes; PLTE's and tRNS's data, with their copies and headers; four rows; zlib's state,
  // the buffers and the colour tables, under kCodecOverhead.
  return 4 * std::uint64_t(source.width) * std::uint64_t(source.height) + OriginalsBytes(source) +
         2 * metadataBytes + 2 * compressed + kIdatSize + 12 * chunks + 57 +
         12 * std::uint64_t(KeptChunkCheck::kMaxChunks) + kPaletteChunkBytes + 4 * rowBytes +
         kCodecOverhead;
}

std::uint64_t KeptChunkBytes(const std::vector<std::uint8_t>& bytes, const PngHeader& header) {
  std::uint64_t kept = 0;
  int examined = 0;
  for (std::size_t at = sizeof kPngSignature; bytes.size() - at >= kChunkOverhead;) {
    const std::uint32_t length = Big32(&bytes[at]);
    const ChunkType type = ChunkTypeAt(&bytes[at + kTypeAt]);
    if (type == ChunkType::kIend || length > bytes.size() - at - kChunkOverhead) break;
    if (IsKeptChunk(type, header.colourType) && ++examined <= KeptChunkCheck::kMaxChunks) kept += length;
    at += std::size_t{length} + kChunkOverhead;
  }
  return kept;
}

std::uint64_t DecodeMemoryBound(const PngHeader& header, std::uint64_t fileBytes, std::uint64_t keptBytes) {
  const std::uint64_t bitsPerPixel = std::uint64_t(ChannelsOf(header.colourType)) * header.depth;
  const std::uint64_t rowBytes = (std::uint64_t(header.width) * bitsPerPixel + 7) / 8 + 1;
  // The file, the image, a 16-bit file's samples, the kept chunks' copies, two rows.
  return fileBytes + keptBytes + 4 * std::uint64_t(header.width) * std::uint64_t(header.height) +
         OriginalsBytes(header) + 2 * rowBytes + kCodecOverhead;
}

std::uint64_t ApplyMemoryBound(const PngHeader& header, std::uint64_t fileBytes, std::uint64_t keptBytes) {
  // The module filters the image in place, so filtering holds no more than decoding's image,
  // a 16-bit file's samples and the kept chunks once the file is released; encoding then
  // adds to them.
  return std::max(DecodeMemoryBound(header, fileBytes, keptBytes),
                  EncodeMemoryBound(header, keptBytes));
}

}  // namespace veilmere::qfhost
