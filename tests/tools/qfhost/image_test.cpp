// Images and PNG files: the RGBA <-> BGRA conversion, decoding every PNG colour type,
// refusing what is not a PNG or is damaged, and writing files whole or not at all.

#include "tools/qfhost/image.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "tests/support/test_image.h"
#include "tests/tools/qfhost/support/png_files.h"
#include "tests/tools/qfhost/support/random_image.h"
#include "tests/tools/qfhost/support/scratch.h"
#include "tools/qfhost/errors.h"
#include "tools/qfhost/platform.h"

namespace veilmere::qfhost {
namespace {

namespace fs = std::filesystem;

using test::Rgba;

// A PNG file assembled from first principles: signature, IHDR, the given chunks, one IDAT of
// stored (uncompressed) deflate blocks, IEND; with correct CRCs and Adler-32.
class PngBuilder {
 public:
  PngBuilder(std::uint32_t width, std::uint32_t height, std::uint8_t depth, std::uint8_t type,
             std::uint8_t interlace = 0) {
    file_ = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    Put32(header, width);
    Put32(header, height);
    header.insert(header.end(), {depth, type, 0, 0, interlace});
    Chunk("IHDR", header);
  }

  PngBuilder& Chunk(const char* type, const std::vector<std::uint8_t>& data) {
    Put32(file_, static_cast<std::uint32_t>(data.size()));
    std::vector<std::uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    file_.insert(file_.end(), body.begin(), body.end());
    Put32(file_, Crc(body));
    return *this;
  }

  // A chunk to come after the pixels.
  PngBuilder& After(const char* type, const std::vector<std::uint8_t>& data) {
    after_.emplace_back(type, data);
    return *this;
  }

  // `stream`: the whole zlib stream, in one IDAT.
  std::vector<std::uint8_t> FinishStream(const std::vector<std::uint8_t>& stream) {
    Chunk("IDAT", stream);
    for (const auto& [type, data] : after_) Chunk(type.c_str(), data);
    Chunk("IEND", {});
    return file_;
  }

  // `rows`: each row's filter byte (0) and its bytes. `adlerError` spoils the checksum.
  std::vector<std::uint8_t> Finish(const std::vector<std::uint8_t>& rows, std::uint32_t adlerError = 0) {
    std::vector<std::uint8_t> z = {0x78, 0x01};
    std::size_t at = 0;
    do {
      const std::size_t n = std::min<std::size_t>(rows.size() - at, 65535);
      const bool last = at + n == rows.size();
      z.push_back(last ? 1 : 0);
      z.insert(z.end(), {std::uint8_t(n), std::uint8_t(n >> 8), std::uint8_t(~n),
                         std::uint8_t(~n >> 8)});
      z.insert(z.end(), rows.begin() + at, rows.begin() + at + n);
      at += n;
    } while (at < rows.size());
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : rows) {
      a = (a + byte) % 65521;
      b = (b + a) % 65521;
    }
    Put32(z, ((b << 16) | a) ^ adlerError);
    return FinishStream(z);
  }

 private:
  static void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.insert(out.end(), {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8),
                           std::uint8_t(v)});
  }
  static std::uint32_t Crc(const std::vector<std::uint8_t>& bytes) {
    std::uint32_t crc = 0xFFFFFFFF;
    for (std::uint8_t byte : bytes) {
      crc ^= byte;
      for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
  }
  std::vector<std::uint8_t> file_;
  std::vector<std::pair<std::string, std::vector<std::uint8_t>>> after_;
};

std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

template <typename T>
std::vector<T> operator+(std::vector<T> a, const std::vector<T>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// `data` as a zlib stream.
std::vector<std::uint8_t> Z(const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> out(compressBound(static_cast<uLong>(data.size())));
  uLongf size = static_cast<uLongf>(out.size());
  EXPECT_EQ(compress(out.data(), &size, data.data(), static_cast<uLong>(data.size())), Z_OK);
  out.resize(size);
  return out;
}

// cHRM's data for sRGB's white point and primaries.
const std::vector<std::uint8_t> kSrgbChromaticities = {0, 0, 0x7A, 0x26, 0, 0, 0x80, 0x84, 0, 0, 0xFA, 0, 0, 0, 0x80, 0xE8,
                                                       0, 0, 0x75, 0x30, 0, 0, 0xEA, 0x60, 0, 0, 0x3A, 0x98, 0, 0, 0x17, 0x70};

// An iCCP chunk's data: name "p", method 0 and a compressed 132-byte profile header of
// `colourSpace`, whose length field is off by `lengthError`.
std::vector<std::uint8_t> Iccp(const char* colourSpace = "RGB ", std::uint32_t lengthError = 0) {
  std::vector<std::uint8_t> profile(132, 0);
  profile[3] = std::uint8_t(132 + lengthError);
  std::copy_n(colourSpace, 4, profile.begin() + 16);
  std::copy_n("acsp", 4, profile.begin() + 36);
  return Bytes(std::string("p\0\0", 3)) + Z(profile);
}

std::vector<std::uint8_t> FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void PutFile(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> Entries(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string DecodeError(const std::vector<std::uint8_t>& bytes) {
  try {
    DecodePng(bytes, "x.png");
  } catch (const RunError& error) {
    return error.what();
  }
  return "decoded";
}

// A zlib stream of `row`, then `mebibytes` MiB of zero bytes, with its true Adler-32: 1,024
// MiB takes about a MiB. Each MiB follows a full flush, which resets the compressor, so every
// one compresses to the same bytes, and the stream repeats them rather than compress them all.
std::vector<std::uint8_t> RowThenZeros(const std::vector<std::uint8_t>& row, int mebibytes) {
  z_stream z{};
  EXPECT_EQ(deflateInit(&z, Z_BEST_COMPRESSION), Z_OK);
  std::vector<std::uint8_t> zeros(std::size_t{1} << 20, 0);
  const auto compress = [&](const std::uint8_t* data, std::size_t size, int flush) {
    std::vector<std::uint8_t> out(deflateBound(&z, static_cast<uLong>(size)) + 64);
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(size);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_NE(deflate(&z, flush), Z_STREAM_ERROR);
    out.resize(out.size() - z.avail_out);
    return out;
  };
  std::vector<std::uint8_t> stream = compress(row.data(), row.size(), Z_FULL_FLUSH);
  const std::vector<std::uint8_t> mebibyte = compress(zeros.data(), zeros.size(), Z_FULL_FLUSH);
  EXPECT_EQ(compress(zeros.data(), zeros.size(), Z_FULL_FLUSH), mebibyte);
  std::vector<std::uint8_t> end = compress(nullptr, 0, Z_FINISH);  // last block, Adler-32
  deflateEnd(&z);
  uLong adler = adler32(adler32(0, nullptr, 0), row.data(), static_cast<uInt>(row.size()));
  const uLong zerosAdler = adler32(adler32(0, nullptr, 0), zeros.data(), static_cast<uInt>(zeros.size()));
  for (int i = 0; i < mebibytes; ++i) {
    stream.insert(stream.end(), mebibyte.begin(), mebibyte.end());
    adler = adler32_combine(adler, zerosAdler, static_cast<z_off_t>(zeros.size()));
  }
  for (int i = 0; i < 4; ++i) end[end.size() - 4 + i] = std::uint8_t(adler >> (24 - 8 * i));
  stream.insert(stream.end(), end.begin(), end.end());
  return stream;
}

// The decoder inflates no more than the rows and kStreamEndAllowance bytes; within that a
// stream is read to its end and its checksum checked.
TEST(Png, InflatesNoMoreThanTheImageHolds) {
  const std::vector<std::uint8_t> row = {0, 1, 2, 3, 4};  // a 1x1 RGBA image's row
  const auto rowAndSpare = [&](std::size_t spare) {
    std::vector<std::uint8_t> bytes = row;
    bytes.resize(row.size() + spare, 0);
    return bytes;
  };
  const std::string tooMuch = "more compressed data than the image holds";
  const struct {
    const char* what;
    std::vector<std::uint8_t> file;
    std::string reason;  // empty: decoded
  } cases[] = {
      {"1 GiB past the row", PngBuilder(1, 1, 8, 6).FinishStream(RowThenZeros(row, 1024)), tooMuch},
      {"the allowance exactly", PngBuilder(1, 1, 8, 6).Finish(rowAndSpare(kStreamEndAllowance)), ""},
      {"a byte more", PngBuilder(1, 1, 8, 6).Finish(rowAndSpare(kStreamEndAllowance + 1)), tooMuch},
      {"spare bytes, wrong Adler-32", PngBuilder(1, 1, 8, 6).Finish(rowAndSpare(10), 1),
       "incorrect data check"},
      {"wrong Adler-32 right after the rows", PngBuilder(1, 1, 8, 6).Finish(row, 1 << 16),
       "incorrect data check"},
  };
  for (const auto& c : cases) {
    const std::string message = DecodeError(c.file);
    if (c.reason.empty()) {
      EXPECT_EQ(message, "decoded") << c.what;
    } else {
      EXPECT_EQ(message.rfind("'x.png' is a damaged PNG file (", 0), 0u) << c.what << ": " << message;
      EXPECT_NE(message.find(c.reason), std::string::npos) << c.what << ": " << message;
    }
  }
  EXPECT_LT(cases[0].file.size(), std::size_t{2} << 20);  // 1 GiB of zeros in under 2 MiB
}

TEST(PixelConversion, SwapsRedAndBlue) {
  const Pixel pixels[] = {Pixel{3, 2, 1, 4}, Pixel{128, 0, 250, 255}};
  const std::uint8_t rgba[] = {1, 2, 3, 4, 250, 0, 128, 255};
  std::uint8_t out[8] = {};
  PixelsToRgba(pixels, 2, out);
  EXPECT_TRUE(std::equal(std::begin(rgba), std::end(rgba), out));
}

TEST(Png, EveryColourTypeDecodesToTheModulesLayout) {
  // 8-bit grey, no alpha: opaque.
  EXPECT_EQ(DecodePng(PngBuilder(2, 1, 8, 0).Finish({0, 0x00, 0xFF}), "grey").pixels,
            (std::vector<Pixel>{Rgba(0, 0, 0, 255), Rgba(255, 255, 255, 255)}));
  // 1-bit grey: 0 and 1 become 0 and 255.
  EXPECT_EQ(DecodePng(PngBuilder(4, 1, 1, 0).Finish({0, 0b10100000}), "bits").pixels,
            (std::vector<Pixel>{Rgba(255, 255, 255, 255), Rgba(0, 0, 0, 255),
                                Rgba(255, 255, 255, 255), Rgba(0, 0, 0, 255)}));
  // RGB.
  EXPECT_EQ(DecodePng(PngBuilder(1, 1, 8, 2).Finish({0, 10, 20, 30}), "rgb").pixels,
            (std::vector<Pixel>{Rgba(10, 20, 30, 255)}));
  // Palette, with transparency for its first entry only.
  EXPECT_EQ(DecodePng(PngBuilder(2, 1, 8, 3)
                          .Chunk("PLTE", {1, 2, 3, 4, 5, 6})
                          .Chunk("tRNS", {7})
                          .Finish({0, 0, 1}),
                      "palette")
                .pixels,
            (std::vector<Pixel>{Rgba(1, 2, 3, 7), Rgba(4, 5, 6, 255)}));
  // Grey and alpha.
  EXPECT_EQ(DecodePng(PngBuilder(1, 1, 8, 4).Finish({0, 100, 50}), "grey-alpha").pixels,
            (std::vector<Pixel>{Rgba(100, 100, 100, 50)}));
  // 16-bit RGBA: each channel's high byte.
  EXPECT_EQ(DecodePng(PngBuilder(1, 1, 16, 6).Finish({0, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xFF, 0xFF}),
                      "deep")
                .pixels,
            (std::vector<Pixel>{Rgba(0x12, 0x56, 0x9A, 0xFF)}));
  // 8-bit RGBA over two rows.
  const Image two = DecodePng(PngBuilder(1, 2, 8, 6).Finish({0, 1, 2, 3, 4, 0, 5, 6, 7, 8}), "rows");
  EXPECT_EQ(two.width, 1);
  EXPECT_EQ(two.height, 2);
  EXPECT_EQ(two.pixels, (std::vector<Pixel>{Rgba(1, 2, 3, 4), Rgba(5, 6, 7, 8)}));
}

TEST(Png, InterlacedAndSixteenBitImagesDecode) {
  // 3x3 grey, Adam7: the passes that hold pixels are 1 (0,0), 4 (2,0), 5 (0,2) (2,2),
  // 6 (1,0) (1,2) and 7 (0,1) (1,1) (2,1); pixel (x, y) is 10 * (3y + x).
  const Image interlaced = DecodePng(PngBuilder(3, 3, 8, 0, 1).Finish({0, 0, 0, 20, 0, 60, 80,
                                                                       0, 10, 0, 70, 0, 30, 40, 50}),
                                     "adam7");
  for (int i = 0; i < 9; ++i) EXPECT_EQ(interlaced.pixels[std::size_t(i)], Rgba(10 * i, 10 * i, 10 * i, 255));
  // 16 bits round to the nearest 8-bit value, v / 257: 0x12FF is 0x13, not its high byte.
  EXPECT_EQ(DecodePng(PngBuilder(1, 1, 16, 4).Finish({0, 0x12, 0xFF, 0x12, 0x80}), "deep").pixels,
            (std::vector<Pixel>{Rgba(0x13, 0x13, 0x13, 0x12)}));
  // A grey colour key makes its pixels transparent, compared at the file's depth.
  EXPECT_EQ(DecodePng(PngBuilder(2, 1, 8, 0).Chunk("tRNS", {0, 9}).Finish({0, 9, 10}), "key").pixels,
            (std::vector<Pixel>{Rgba(9, 9, 9, 0), Rgba(10, 10, 10, 255)}));
}

TEST(Png, RefusesABadChecksumOrPaletteIndexSayingWhy) {
  const std::string adler = DecodeError(PngBuilder(1, 1, 8, 6).Finish({0, 1, 2, 3, 4}, 1));
  EXPECT_EQ(adler, "'x.png' is a damaged PNG file (its compressed pixels are corrupt: incorrect "
                   "data check)");
  const std::string index =
      DecodeError(PngBuilder(2, 1, 2, 3).Chunk("PLTE", {1, 2, 3, 4, 5, 6}).Finish({0, 0b01100000}));
  EXPECT_EQ(index, "'x.png' is a damaged PNG file (palette index 2 is past its 2-colour palette)");
  const std::vector<std::uint8_t> pixels = {0, 1, 2, 3, 4};
  for (const auto& file : {PngBuilder(1, 1, 8, 3).Finish({0, 0}),                          // no PLTE
                           PngBuilder(1, 1, 8, 6).Chunk("IEND", {}).Finish(pixels),        // no IDAT
                           PngBuilder(1, 1, 8, 6).Finish({5, 1, 2, 3, 4}),                 // filter 5
                           PngBuilder(1, 2, 8, 6).Finish(pixels),                          // a row short
                           PngBuilder(0, 1, 8, 6).Finish({}),                              // no pixels
                           PngBuilder(1, 1, 3, 6).Finish(pixels)}) {                       // 3 bits
    const std::string message = DecodeError(file);
    EXPECT_EQ(message.rfind("'x.png' is a damaged PNG file (", 0), 0u) << message;
    EXPECT_EQ(message.find("()"), std::string::npos) << message;
  }
}

// The size is refused from the header alone, before storage for the pixels is sought.
TEST(Png, RefusesAnImageAboveThePixelLimitFromItsHeader) {
  const std::vector<std::uint8_t> huge = PngBuilder(20000, 20000, 8, 6).Finish({0});
  for (const auto read : {+[](const std::vector<std::uint8_t>& b) { ReadPngHeader(b, "big.png"); },
                          +[](const std::vector<std::uint8_t>& b) { DecodePng(b, "big.png"); }}) {
    try {
      read(huge);
      ADD_FAILURE() << "accepted";
    } catch (const RunError& error) {
      EXPECT_STREQ(error.what(), "'big.png' is 20000x20000 pixels, more than the 67108864 qfhost takes");
    }
  }
}

TEST(Png, KeepsMetadataChunksButAGreyImagesProfile) {
  const auto types = [](const std::vector<PngChunk>& chunks) {
    std::vector<std::string> names;
    for (const PngChunk& chunk : chunks) names.push_back(chunk.type);
    return names;
  };
  // One of each kept type, each keeping its rules (sRGB, which no iCCP may accompany, below).
  const std::vector<std::uint8_t> rgb =
      PngBuilder(1, 1, 8, 2)
          .Chunk("iCCP", Iccp())
          .Chunk("gAMA", {0, 0, 0xB1, 0x8F})
          .Chunk("cHRM", kSrgbChromaticities)
          .Chunk("prVt", {1})  // unknown: dropped
          .Chunk("pHYs", {0, 0, 0x0B, 0x13, 0, 0, 0x0B, 0x13, 1})
          .Chunk("tEXt", {'k', 0, 'v'})
          .Chunk("zTXt", Bytes(std::string("Title\0\0", 7)) + Z(Bytes("caf\xE9")))
          .Chunk("iTXt", Bytes(std::string("Title\0\0\0fr-CA\0Titre\0caf\xC3\xA9", 25)))
          .Chunk("iTXt", Bytes(std::string("Title\0\1\0\0\0", 10)) + Z(Bytes("\xE6\x97\xA5")))
          .Chunk("eXIf", {'M', 'M', 0, 42})
          .Finish({0, 1, 2, 3});
  const DecodedPng decoded = DecodePngFile(rgb, "meta");
  const std::vector<std::string> kept = {"iCCP", "gAMA", "cHRM", "pHYs",
                                         "tEXt", "zTXt", "iTXt", "iTXt", "eXIf"};
  EXPECT_EQ(types(decoded.metadata), kept);
  EXPECT_EQ(decoded.warnings, std::vector<std::string>{});
  const DecodedPng again = DecodePngFile(EncodePng(decoded.image, decoded.metadata), "again");
  EXPECT_EQ(types(again.metadata), kept);
  EXPECT_EQ(again.metadata[4].data, (std::vector<std::uint8_t>{'k', 0, 'v'}));
  const std::vector<std::uint8_t> grey = PngBuilder(1, 1, 8, 0)
                                             .Chunk("iCCP", Iccp("GRAY"))
                                             .Chunk("sRGB", {0})
                                             .Chunk("gAMA", {0, 0, 1, 2})
                                             .Finish({0, 1});
  EXPECT_EQ(types(DecodePngFile(grey, "grey").metadata), (std::vector<std::string>{"sRGB", "gAMA"}));
}

// Damaged chunks: those that break the file's structure refuse it; a kept chunk that breaks
// its own rules is left out with a warning, and the image decodes.
TEST(Png, ChunkRulesRefuseTheFileOrLeaveTheChunkOut) {
  const auto rgb = [] { return PngBuilder(1, 1, 8, 2); };
  const auto palette = [] { return PngBuilder(1, 1, 8, 3).Chunk("PLTE", {1, 2, 3, 4, 5, 6}); };
  const std::vector<std::uint8_t> rgbRow = {0, 1, 2, 3}, indexRow = {0, 1};
  const auto text = [](const std::string& data) { return Bytes(data); };
  const auto ztxt = [](const std::string& head, const std::vector<std::uint8_t>& z) {
    return Bytes(head) + z;
  };
  std::vector<std::uint8_t> cut = Z(Bytes("some text"));
  cut.pop_back();
  std::vector<std::uint8_t> corrupt = Z(Bytes("some text"));
  corrupt[3] ^= 0xFF;
  const std::string k0("k\0", 2), k00("k\0\0", 3), k0000("k\0\0\0\0\0", 6);
  std::vector<std::uint8_t> iendCut = rgb().Finish(rgbRow);
  iendCut.pop_back();
  const struct {
    const char* what;
    std::vector<std::uint8_t> file;
    bool refused;        // else decoded, the chunk left out
    std::string reason;  // in the refusal or the warning
  } cases[] = {
      {"second gAMA", rgb().Chunk("gAMA", {0, 0, 0, 1}).Chunk("gAMA", {0, 0, 0, 1}).Finish(rgbRow), true, "second gAMA"},
      {"second tRNS", palette().Chunk("tRNS", {1}).Chunk("tRNS", {1}).Finish(indexRow), true, "second tRNS"},
      {"second iCCP", rgb().Chunk("iCCP", Iccp()).Chunk("iCCP", Iccp()).Finish(rgbRow), true, "second iCCP"},
      {"second tIME", rgb().Chunk("tIME", {7, 234, 1, 1, 0, 0, 0}).After("tIME", {7, 234, 1, 1, 0, 0, 0}).Finish(rgbRow), true, "second tIME"},
      {"second PLTE", palette().Chunk("PLTE", {1, 2, 3}).Finish(indexRow), true, "second PLTE"},
      {"long gAMA", rgb().Chunk("gAMA", {0, 0, 0, 1, 0}).Finish(rgbRow), true, "gAMA chunk's length is 5, not 4"},
      {"short pHYs", rgb().Chunk("pHYs", {0, 0, 0, 1}).Finish(rgbRow), true, "pHYs chunk's length is 4, not 9"},
      {"IEND with data", rgb().After("IEND", {0}).Finish(rgbRow), true, "IEND chunk's length is 1, not 0"},
      {"RGB sBIT of 4", rgb().Chunk("sBIT", {8, 8, 8, 8}).Finish(rgbRow), true, "sBIT chunk's length is 4, not 3"},
      {"palette bKGD of 2", palette().Chunk("bKGD", {0, 1}).Finish(indexRow), true, "bKGD chunk's length is 2, not 1"},
      {"hIST of 1 entry", palette().Chunk("hIST", {0, 1}).Finish(indexRow), true, "hIST chunk's length is 2, not 4"},
      {"tRNS past the palette", palette().Chunk("tRNS", {1, 2, 3}).Finish(indexRow), true, "tRNS chunk does not fit"},
      {"name with a digit", rgb().Chunk("ab1d", {}).Finish(rgbRow), true, "'ab1d', is not four letters"},
      {"grey PLTE", PngBuilder(1, 1, 8, 0).Chunk("PLTE", {1, 2, 3}).Finish({0, 1}), true, "grey image has a PLTE"},
      {"IEND's CRC cut", iendCut, true, "cut off after"},
      {"empty keyword", rgb().Chunk("tEXt", text(std::string("\0v", 2))).Finish(rgbRow), false, "keyword is empty"},
      {"80-byte keyword", rgb().Chunk("tEXt", text(std::string(80, 'k') + '\0')).Finish(rgbRow), false, "longer than 79"},
      {"keyword's end space", rgb().Chunk("tEXt", text(std::string("k \0", 3))).Finish(rgbRow), false, "ends with a space"},
      {"keyword's C1 byte", rgb().Chunk("tEXt", text(std::string("k\x85\0", 3))).Finish(rgbRow), false, "no Latin-1"},
      {"keyword's two spaces", rgb().Chunk("tEXt", text(std::string("a  b\0", 5))).Finish(rgbRow), false, "two spaces"},
      {"no keyword's null", rgb().Chunk("tEXt", text("key")).Finish(rgbRow), false, "no null after it"},
      {"null in text", rgb().Chunk("tEXt", text(k0 + std::string("a\0b", 3))).Finish(rgbRow), false, "text holds a null"},
      {"zTXt method 1", rgb().Chunk("zTXt", ztxt(std::string("k\0\1", 3), Z(Bytes("a")))).Finish(rgbRow), false, "method 1"},
      {"zTXt corrupt", rgb().Chunk("zTXt", ztxt(k00, corrupt)).Finish(rgbRow), false, "corrupt"},
      {"zTXt cut", rgb().Chunk("zTXt", ztxt(k00, cut)).Finish(rgbRow), false, "cut off"},
      {"zTXt and more", rgb().Chunk("zTXt", ztxt(k00, Z(Bytes("a")) + Bytes("x"))).Finish(rgbRow), false, "bytes follow"},
      {"zTXt with a null", rgb().Chunk("zTXt", ztxt(k00, Z(Bytes(std::string("a\0", 2))))).Finish(rgbRow), false, "text holds a null"},
      {"zTXt of 17 MiB", rgb().Chunk("zTXt", ztxt(k00, Z(std::vector<std::uint8_t>(17 << 20, 'a')))).Finish(rgbRow), false, "more than the 16 MiB"},
      {"iTXt flag 2", rgb().Chunk("iTXt", text(std::string("k\0\2\0\0\0a", 7))).Finish(rgbRow), false, "flag 2"},
      {"iTXt language", rgb().Chunk("iTXt", text(std::string("k\0\0\0f_r\0\0a", 10))).Finish(rgbRow), false, "language tag"},
      {"iTXt overlong", rgb().Chunk("iTXt", text(std::string("k\0\0\0\0\xC0\x80\0a", 10))).Finish(rgbRow), false, "translated keyword is not UTF-8"},
      {"iTXt Latin-1", rgb().Chunk("iTXt", text(k0000 + "caf\xE9")).Finish(rgbRow), false, "not UTF-8"},
      {"iTXt cut character", rgb().Chunk("iTXt", ztxt(std::string("k\0\1\0\0\0", 6), Z(Bytes("\xE6\x97")))).Finish(rgbRow), false, "not UTF-8"},
      {"grey profile", rgb().Chunk("iCCP", Iccp("GRAY")).Finish(rgbRow), false, "not for RGB"},
      {"profile's length", rgb().Chunk("iCCP", Iccp("RGB ", 1)).Finish(rgbRow), false, "does not give its length"},
      {"iCCP after PLTE", palette().Chunk("iCCP", Iccp()).Finish(indexRow), false, "after the palette"},
      {"gAMA after IDAT", rgb().After("gAMA", {0, 0, 0, 1}).Finish(rgbRow), false, "after the pixels"},
      {"pHYs unit 2", rgb().Chunk("pHYs", {0, 0, 0, 1, 0, 0, 0, 1, 2}).Finish(rgbRow), false, "unit 2"},
      {"sRGB intent 4", rgb().Chunk("sRGB", {4}).Finish(rgbRow), false, "intent 4"},
      {"gamma 0", rgb().Chunk("gAMA", {0, 0, 0, 0}).Finish(rgbRow), false, "gamma is 0"},
      {"cHRM green y 0.80001", rgb().Chunk("cHRM", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0x38, 0x81,
                                                    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}).Finish(rgbRow),
       false, "chromaticity is out of range"},
      {"cHRM x + y 1.00001", rgb().Chunk("cHRM", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                  0, 0, 0xC3, 0x50, 0, 0, 0xC3, 0x51, 0, 0, 0, 0, 0, 0, 0, 0}).Finish(rgbRow),
       false, "chromaticity is out of range"},
      {"iCCP after sRGB", rgb().Chunk("sRGB", {0}).Chunk("iCCP", Iccp()).Finish(rgbRow), false, "after an sRGB chunk"},
      {"eXIf not TIFF", rgb().Chunk("eXIf", {'X', 'X', 0, 42}).Finish(rgbRow), false, "TIFF header"},
      {"empty eXIf", rgb().Chunk("eXIf", {}).Finish(rgbRow), false, "TIFF header"},
  };
  for (const auto& c : cases) {
    if (c.refused) {
      const std::string message = DecodeError(c.file);
      EXPECT_EQ(message.rfind("'x.png' is a damaged PNG file (", 0), 0u) << c.what << ": " << message;
      EXPECT_NE(message.find(c.reason), std::string::npos) << c.what << ": " << message;
      continue;
    }
    try {
      const DecodedPng decoded = DecodePngFile(c.file, "x.png");
      ASSERT_EQ(decoded.warnings.size(), 1u) << c.what;
      const std::string leftOut = decoded.warnings[0].substr(decoded.warnings[0].find(" its ") + 5, 4);
      for (const PngChunk& chunk : decoded.metadata) EXPECT_NE(chunk.type, leftOut) << c.what;
      EXPECT_NE(decoded.warnings[0].find(c.reason), std::string::npos) << c.what << ": " << decoded.warnings[0];
    } catch (const RunError& error) {
      ADD_FAILURE() << c.what << ": " << error.what();
    }
  }

  // 12 bad chunks and 995 good: the first 10 are named, 2 counted; of 1,007 the first 1,000 are
  // examined (988 kept) and 7 left out unexamined.
  PngBuilder many = rgb();
  for (int i = 0; i < 12; ++i) many.Chunk("tEXt", {' ', 0});
  for (int i = 0; i < 995; ++i) many.Chunk("tEXt", {'k', 0});
  const DecodedPng decoded = DecodePngFile(many.Finish(rgbRow), "x.png");
  EXPECT_EQ(decoded.metadata.size(), 988u);
  ASSERT_EQ(decoded.warnings.size(), 12u);
  EXPECT_NE(decoded.warnings[10].find(" 2 more"), std::string::npos) << decoded.warnings[10];
  EXPECT_NE(decoded.warnings[11].find(" 7 chunks"), std::string::npos) << decoded.warnings[11];
}

TEST(Png, WhatItWritesReadsBackExactly) {
  for (const auto& [w, h] : {std::pair{1, 1}, std::pair{3, 2}, std::pair{64, 48}, std::pair{1, 300}}) {
    const Image image = RandomImage(w, h, static_cast<std::uint32_t>(w * 1000 + h));
    const Image back = DecodePng(EncodePng(image), "round trip");
    EXPECT_EQ(back.width, w);
    EXPECT_EQ(back.height, h);
    EXPECT_EQ(back.pixels, image.pixels) << w << "x" << h;
  }
  // Flat rows, noisy ones, flat ones again: the compression changes its strategy twice.
  Image mixed = RandomImage(200, 120, 9);
  for (std::int32_t y = 0; y < mixed.height; ++y) {
    for (std::int32_t x = 0; x < mixed.width && (y < 40 || y >= 80); ++x) {
      mixed.at(x, y) = Pixel{std::uint8_t(x), 0, std::uint8_t(y), 255};
    }
  }
  EXPECT_EQ(DecodePng(EncodePng(mixed), "mixed").pixels, mixed.pixels);
  // The encoder gives a file any decoder can read: its header says 8-bit RGBA.
  const std::vector<std::uint8_t> file = EncodePng(RandomImage(5, 7, 1));
  ASSERT_GT(file.size(), 26u);
  EXPECT_EQ(file[16 + 3], 5);  // IHDR width, low byte
  EXPECT_EQ(file[20 + 3], 7);  // height
  EXPECT_EQ(file[24], 8);      // bit depth
  EXPECT_EQ(file[25], 6);      // colour type: RGBA
}

// The raw rows (filter byte 0) of a width x height image of `depth`-bit samples, `channels`
// a pixel, given row after row; Adam7's passes when `interlaced`.
std::vector<std::uint8_t> Rows(std::int32_t width, std::int32_t height, int depth, int channels,
                               bool interlaced, const std::vector<std::uint16_t>& samples) {
  static constexpr int kAdam7[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                       {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
  static constexpr int kWhole[1][4] = {{0, 0, 1, 1}};
  std::vector<std::uint8_t> rows;
  for (const auto& pass : interlaced ? std::vector<const int*>(std::begin(kAdam7), std::end(kAdam7))
                                     : std::vector<const int*>{kWhole[0]}) {
    for (int y = pass[1]; y < height; y += pass[3]) {
      std::vector<std::uint8_t> row{0};
      int bit = 0;
      for (int x = pass[0]; x < width; x += pass[2]) {
        for (int c = 0; c < channels; ++c, bit += depth) {
          const std::uint16_t v = samples[std::size_t((y * width + x) * channels + c)];
          if (bit % 8 == 0) row.push_back(0);
          if (depth == 16) {
            row.back() = std::uint8_t(v >> 8), row.push_back(std::uint8_t(v)), bit += 8;
          } else {
            row.back() = std::uint8_t(row.back() | v << (8 - depth - bit % 8));
          }
        }
      }
      if (row.size() > 1) rows.insert(rows.end(), row.begin(), row.end());
    }
  }
  return rows;
}

// Every input colour type and depth, filtered or not, written back: the pixels decode to the
// filtered result, 16-bit samples the filter kept keep their 16 bits, and the output takes
// the format png_format.h's rules give.
TEST(Png, WritesEachResultInTheSmallestFormatThatHoldsItExactly) {
  using Change = void (*)(Image&);
  const Change none = [](Image&) {};
  const Change half = [](Image& i) { i.pixels[1].a = 128; };
  const Change red = [](Image& i) { i.pixels[1] = Rgba(255, 0, 0, 255); };
  const Change grey85 = [](Image& i) { i.pixels[1] = Rgba(85, 85, 85, 255); };
  const Change grey51 = [](Image& i) { i.pixels[1] = Rgba(51, 51, 51, 255); };
  const Change clearFirst = [](Image& i) { i.pixels[0].a = 0; };
  const Change clearTwo = [](Image& i) { i.pixels[0].a = 0, i.pixels[1].a = 0; };
  const Change invertAll = [](Image& i) { for (Pixel& p : i.pixels) p.a = std::uint8_t(255 - p.a); };
  const Change grey32 = [](Image& i) { i.pixels[1] = Rgba(0x20, 0x20, 0x20, 255); };
  const Change invertHalf = [](Image& i) {
    for (std::size_t p = 0; p < i.pixels.size() / 2; ++p) i.pixels[p].a = std::uint8_t(255 - i.pixels[p].a);
  };
  const std::vector<std::uint16_t> grey1 = {0, 1, 1, 0, 1, 1, 0, 0}, grey4 = {0, 3, 15, 9, 9, 3, 0, 7},
                                   grey8 = {0, 200, 13, 13, 255, 7, 7, 9},
                                   grey16 = {0x1234, 0x20FF, 0x00FF, 0xFFFF, 0x8000, 0x7FFF, 1, 0},
                                   index2 = {0, 1, 2, 2, 1, 0, 1, 1};
  std::vector<std::uint16_t> greyAlpha16, rgb8, rgb16, rgba8, index8(256);
  for (std::uint16_t i = 0; i < 256; ++i) index8[i] = i;
  for (std::uint16_t i = 0; i < 8; ++i) {
    greyAlpha16.insert(greyAlpha16.end(), {std::uint16_t(i * 0x1111), std::uint16_t(0xFFFF - i * 3)});
    rgb8.insert(rgb8.end(), {std::uint16_t(i * 30), 7, std::uint16_t(255 - i)});
    rgb16.insert(rgb16.end(), {std::uint16_t(i * 0x1F01), 0x0102, std::uint16_t(0xFFFF - i)});
    rgba8.insert(rgba8.end(), {std::uint16_t(i), 0, 9, std::uint16_t(i * 36)});
  }
  std::vector<std::uint8_t> palette8(256 * 3), alpha8(256);
  for (std::size_t i = 0; i < 256; ++i) palette8[i * 3] = std::uint8_t(i), alpha8[i] = std::uint8_t(i);
  const std::vector<std::uint8_t> palette2 = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, alpha2 = {0, 128};
  const struct {
    const char* what;
    std::uint8_t type, depth;
    std::vector<std::pair<const char*, std::vector<std::uint8_t>>> chunks;
    std::vector<std::uint16_t> samples;  // of an image 4 pixels wide
    Change change;
    std::uint8_t outType, outDepth;
    std::vector<std::uint16_t> outSamples;  // of a 16-bit output: every sample, if checked
  } cases[] = {
      {"grey 1", 0, 1, {}, grey1, none, 0, 1, {}},
      {"grey 1, a grey of 2 bits", 0, 1, {}, grey1, grey85, 0, 2, {}},
      {"grey 1, a grey of 4 bits", 0, 1, {}, grey1, grey51, 0, 4, {}},
      {"grey 1, red", 0, 1, {}, grey1, red, 2, 8, {}},
      {"grey 2", 0, 2, {}, {0, 1, 2, 3, 3, 2, 1, 0}, none, 0, 2, {}},
      {"grey 4, key", 0, 4, {{"tRNS", {0, 9}}}, grey4, none, 0, 4, {}},
      {"grey 4, key, half alpha", 0, 4, {{"tRNS", {0, 9}}}, grey4, half, 4, 8, {}},
      {"grey 8, one cleared", 0, 8, {}, grey8, clearFirst, 0, 8, {}},
      {"grey 8, two greys cleared", 0, 8, {}, grey8, clearTwo, 4, 8, {}},
      {"grey 8, key colour opaque before", 0, 8, {}, grey8, [](Image& i) { i.pixels[3].a = 0; }, 4, 8, {}},
      {"grey 8, key colour opaque after", 0, 8, {}, grey8, [](Image& i) { i.pixels[2].a = 0; }, 4, 8, {}},
      {"grey 8, red and half alpha", 0, 8, {}, grey8, [](Image& i) { i.pixels[1] = Rgba(255, 0, 0, 128); }, 6, 8, {}},
      {"grey 16, key", 0, 16, {{"tRNS", {0xFF, 0xFF}}}, grey16, none, 0, 16, grey16},
      {"grey 16, one grey changed", 0, 16, {}, grey16, grey32, 0, 16,
       {0x1234, 0x2020, 0x00FF, 0xFFFF, 0x8000, 0x7FFF, 1, 0}},
      {"grey 16, red", 0, 16, {}, grey16, red, 2, 16,
       {0x1234, 0x1234, 0x1234, 0xFFFF, 0, 0, 0x00FF, 0x00FF, 0x00FF, 0xFFFF, 0xFFFF, 0xFFFF,
        0x8000, 0x8000, 0x8000, 0x7FFF, 0x7FFF, 0x7FFF, 1, 1, 1, 0, 0, 0}},
      {"grey and alpha 8", 4, 8, {}, {9, 255, 9, 0, 200, 7, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8}, clearFirst, 4, 8, {}},
      {"grey and alpha 16", 4, 16, {}, greyAlpha16, none, 4, 16, greyAlpha16},
      {"grey and alpha 16, red", 4, 16, {}, greyAlpha16, red, 6, 16, {}},
      {"RGB 8", 2, 8, {}, rgb8, none, 2, 8, {}},
      {"RGB 8, one cleared", 2, 8, {}, rgb8, clearFirst, 2, 8, {}},
      {"RGB 8, two colours cleared", 2, 8, {}, rgb8, clearTwo, 6, 8, {}},
      {"RGB 16, key", 2, 16, {{"tRNS", {0, 0, 1, 2, 0xFF, 0xFF}}}, rgb16, none, 2, 16, rgb16},
      {"RGB 16, half alpha", 2, 16, {}, rgb16, half, 6, 16, {}},
      {"palette 2", 3, 2, {{"PLTE", palette2}, {"tRNS", alpha2}}, index2, none, 3, 2, {}},
      {"palette 2, inverted", 3, 2, {{"PLTE", palette2}, {"tRNS", alpha2}}, index2, invertAll, 3, 2, {}},
      {"palette 1, red", 3, 1, {{"PLTE", {1, 2, 3, 4, 5, 6}}}, {0, 1, 0, 1, 0, 1, 0, 0}, red, 3, 2, {}},
      {"palette 2, one entry unused", 3, 2, {{"PLTE", palette2}}, index2, red, 3, 2, {}},
      {"palette 4", 3, 4, {{"PLTE", palette2}}, {0, 3, 2, 2, 1, 0, 1, 1}, none, 3, 4, {}},
      {"palette 8", 3, 8, {{"PLTE", palette8}, {"tRNS", alpha8}}, {0, 1, 2, 3, 4, 5, 6, 255}, none, 3, 8, {}},
      {"palette 8, 512 colours", 3, 8, {{"PLTE", palette8}, {"tRNS", alpha8}}, index8 + index8, invertHalf, 6, 8, {}},
      {"RGBA 8", 6, 8, {}, rgba8, clearFirst, 6, 8, {}},
      {"RGBA 16", 6, 16, {}, greyAlpha16 + greyAlpha16, grey32, 6, 16, {}},
  };
  for (const auto& c : cases) {
    for (const bool interlaced : {false, true}) {
      SCOPED_TRACE(interlaced ? "Adam7" : "not interlaced");
      const int channels = c.type == 2 ? 3 : c.type == 4 ? 2 : c.type == 6 ? 4 : 1;
      const std::int32_t width = 4;
      const auto height = static_cast<std::int32_t>(c.samples.size() / std::size_t(channels * width));
      PngBuilder builder(std::uint32_t(width), std::uint32_t(height), c.depth, c.type, interlaced ? 1 : 0);
      for (const auto& [type, data] : c.chunks) builder.Chunk(type, data);
      DecodedPng decoded = DecodePngFile(builder.Finish(Rows(width, height, c.depth, channels, interlaced, c.samples)), c.what);
      c.change(decoded.image);
      const std::vector<std::uint8_t> file = EncodePng(decoded.image, decoded.format);
      const PngHeader header = ReadPngHeader(file, c.what);
      EXPECT_EQ(header.colourType, c.outType) << c.what;
      EXPECT_EQ(header.depth, c.outDepth) << c.what;
      EXPECT_FALSE(header.interlaced) << c.what;
      const DecodedPng back = DecodePngFile(file, c.what);
      EXPECT_EQ(back.image.pixels, decoded.image.pixels) << c.what;
      if (!c.outSamples.empty()) {
        EXPECT_EQ(back.format.originals, c.outSamples) << c.what;
      }
    }
  }
}

TEST(Png, RefusesWhatIsNotAPngFile) {
  const std::vector<std::vector<std::uint8_t>> notPng = {
      {},
      {0x89, 'P', 'N', 'G'},                              // a cut signature
      {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0},  // another format stb could read
      {0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10, 'J', 'F', 'I', 'F', 0},
      {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0},
      {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'},
  };
  for (const auto& bytes : notPng) {
    try {
      DecodePng(bytes, "x.dat");
      ADD_FAILURE() << "decoded " << bytes.size() << " bytes";
    } catch (const RunError& error) {
      EXPECT_STREQ(error.what(), "'x.dat' is not a PNG file");
    }
  }
}

TEST(Png, RefusesEveryCutOfAValidFile) {
  const std::vector<std::uint8_t> whole = EncodePng(RandomImage(9, 7, 3));
  ASSERT_NO_THROW(DecodePng(whole, "whole"));
  // Cut anywhere after the signature and before IEND's 12 bytes, the file is damaged.
  for (std::size_t size = 8; size + 12 <= whole.size(); ++size) {
    const std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + size);
    try {
      DecodePng(cut, "cut.png");
      ADD_FAILURE() << "decoded the first " << size << " of " << whole.size() << " bytes";
    } catch (const RunError& error) {
      EXPECT_EQ(std::string(error.what()).rfind("'cut.png' is a damaged PNG file (", 0), 0u)
          << error.what();
    }
  }
}

TEST(Png, RefusesAChunkWhoseCrcIsWrongAndKeepsMessagesPrintable) {
  std::vector<std::uint8_t> file = EncodePng(RandomImage(4, 4, 5));
  const std::string text(file.begin(), file.end());
  const std::size_t idat = text.find("IDAT");
  ASSERT_NE(idat, std::string::npos);
  file[idat + 6] ^= 0x01;  // one bit of the compressed pixels
  EXPECT_EQ(DecodeError(file), "'x.png' is a damaged PNG file (CRC error in its IDAT chunk)");
  file[idat + 6] ^= 0x01;
  file[idat - 2] ^= 0x40;  // IDAT's length: the CRC is then read from elsewhere
  EXPECT_NE(DecodeError(file), "decoded");

  // A critical chunk the decoder does not know, named by a byte beyond ASCII: the decoder's
  // reason quotes the name, and the message shows it safely.
  const std::string odd = DecodeError(
      PngBuilder(1, 1, 8, 6).Chunk("\xC9" "DAT", {1, 2, 3}).Finish({0, 1, 2, 3, 4}));
  EXPECT_NE(odd.find("?DAT"), std::string::npos) << odd;
  for (const char c : odd) EXPECT_TRUE(c >= 0x20 && c <= 0x7E) << odd;
}

TEST(Png, RefusesToEncodeEmptyOrOversizedImages) {
  EXPECT_THROW(EncodePng(Image()), RunError);
  Image huge;  // its size alone is checked, before any pixel is read
  huge.width = 1 << 28;
  huge.height = 2;
  EXPECT_THROW(EncodePng(huge), RunError);
}

TEST(PngFiles, WriteReplacesWholeAndReadGetsItBack) {
  const fs::path dir = Scratch("write");
  const std::string path = (dir / "out.png").string();
  const Image first = RandomImage(6, 4, 11);
  WritePng(path, first);
  EXPECT_EQ(ReadPng(path).pixels, first.pixels);

  const Image second = RandomImage(3, 9, 12);
  WritePng(path, second);
  const Image back = ReadPng(path);
  EXPECT_EQ(back.width, 3);
  EXPECT_EQ(back.pixels, second.pixels);
  EXPECT_EQ(Entries(dir), std::vector<std::string>{"out.png"});  // no temporary file left
}

TEST(PngFiles, AFailedWriteLeavesNothingBehindAndTheOldFileAlone) {
  const fs::path dir = Scratch("failed-write");
  // The target is a directory.
  fs::create_directory(dir / "taken.png");
  EXPECT_THROW(WritePng((dir / "taken.png").string(), RandomImage(2, 2, 1)), RunError);
  // The target's directory does not exist.
  try {
    WritePng((dir / "missing" / "out.png").string(), RandomImage(2, 2, 1));
    ADD_FAILURE() << "wrote into a missing directory";
  } catch (const RunError& error) {
    EXPECT_NE(std::string(error.what()).find("cannot write '"), std::string::npos) << error.what();
  }
  // An image that cannot be encoded never touches the existing file.
  PutFile(dir / "old.png", "old contents");
  EXPECT_THROW(WritePng((dir / "old.png").string(), Image()), RunError);
  EXPECT_EQ(FileBytes(dir / "old.png"), (std::vector<std::uint8_t>{'o', 'l', 'd', ' ', 'c', 'o', 'n',
                                                                     't', 'e', 'n', 't', 's'}));
  EXPECT_EQ(Entries(dir), (std::vector<std::string>{"old.png", "taken.png"}));
  EXPECT_TRUE(fs::is_empty(dir / "taken.png"));
}

TEST(PngFiles, ReadNamesTheFileAndWhyItFails) {
  const fs::path dir = Scratch("read");
  const auto messageOf = [](const std::string& path) -> std::string {
    try {
      ReadPng(path);
    } catch (const RunError& error) {
      return error.what();
    }
    return "no error";
  };
  const std::string missing = (dir / "missing.png").string();
  EXPECT_EQ(messageOf(missing).rfind("cannot read '" + missing + "': ", 0), 0u) << messageOf(missing);
  EXPECT_NE(messageOf(dir.string()).find("irectory"), std::string::npos) << messageOf(dir.string());
  PutFile(dir / "text.png", "not a picture");
  EXPECT_NE(messageOf((dir / "text.png").string()).find("is not a PNG file"), std::string::npos);

  // An absolute path, as a shell hands it over (under Wine, a Unix path).
  const Image sample = ReadPng(QFHOST_TEST_DATA "/sample.png");
  EXPECT_EQ(sample.width, 64);
  EXPECT_EQ(sample.height, 48);
}

}  // namespace
}  // namespace veilmere::qfhost
