// Images and PNG files: the RGBA <-> BGRA conversion, decoding every PNG colour type,
// refusing what is not a PNG or is damaged, keeping or leaving out metadata chunks, writing
// each result in the smallest format that holds it, and writing files whole or not at all.

#include "tools/qfhost/image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/support/test_image.h"
#include "tests/tools/qfhost/support/png_builder.h"
#include "tests/tools/qfhost/support/png_files.h"
#include "tests/tools/qfhost/support/random_image.h"
#include "tests/tools/qfhost/support/scratch.h"
#include "tools/qfhost/errors.h"
#include "tools/qfhost/platform.h"

namespace veilmere::qfhost {
namespace {

namespace fs = std::filesystem;

using test::Bytes;
using test::PngBuilder;
using test::Rgba;
using test::Z;
using test::operator+;

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

std::vector<std::string> Entries(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// What `read` says of the file: "decoded", or its error.
template <typename Read>
std::string ErrorOf(Read read) {
  try {
    read();
  } catch (const RunError& error) {
    return error.what();
  }
  return "decoded";
}

std::string DecodeError(const std::vector<std::uint8_t>& bytes) {
  return ErrorOf([&] { DecodePng(bytes, "x.png"); });
}

const std::string kDamaged = "'x.png' is a damaged PNG file (";
std::string Damaged(const std::string& reason) { return kDamaged + reason + ")"; }

// A file, and the message or reason expected of it.
struct FileCase {
  const char* what;
  std::vector<std::uint8_t> file;
  std::string expected;
};

std::vector<std::string> Types(const std::vector<PngChunk>& chunks) {
  std::vector<std::string> names;
  for (const PngChunk& chunk : chunks) names.push_back(chunk.type);
  return names;
}

TEST(PixelConversion, SwapsRedAndBlue) {
  const Pixel pixels[] = {Pixel{3, 2, 1, 4}, Pixel{128, 0, 250, 255}};
  const std::uint8_t rgba[] = {1, 2, 3, 4, 250, 0, 128, 255};
  std::uint8_t out[8] = {};
  PixelsToRgba(pixels, 2, out);
  EXPECT_TRUE(std::equal(std::begin(rgba), std::end(rgba), out));
}

TEST(Png, EveryColourTypeDecodesToTheModulesLayout) {
  const Pixel black = Rgba(0, 0, 0, 255), white = Rgba(255, 255, 255, 255);
  std::vector<std::uint8_t> spare = {0, 1, 2, 3, 4};  // a 1x1 RGBA row, then as many zeros as may follow it
  spare.resize(spare.size() + kStreamEndAllowance, 0);
  const struct {
    const char* what;
    std::vector<std::uint8_t> file;
    std::int32_t width;  // and the height: as many rows as the pixels fill
    std::vector<Pixel> pixels;
  } cases[] = {
      {"grey 8, no alpha: opaque", PngBuilder(2, 1, 8, 0).Finish({0, 0x00, 0xFF}), 2, {black, white}},
      {"grey 1: 0 and 1 become 0 and 255", PngBuilder(4, 1, 1, 0).Finish({0, 0b10100000}), 4, {white, black, white, black}},
      {"RGB", PngBuilder(1, 1, 8, 2).Finish({0, 10, 20, 30}), 1, {Rgba(10, 20, 30, 255)}},
      {"palette, alpha for its first entry alone",
       PngBuilder(2, 1, 8, 3).Chunk("PLTE", {1, 2, 3, 4, 5, 6}).Chunk("tRNS", {7}).Finish({0, 0, 1}), 2,
       {Rgba(1, 2, 3, 7), Rgba(4, 5, 6, 255)}},
      {"grey and alpha", PngBuilder(1, 1, 8, 4).Finish({0, 100, 50}), 1, {Rgba(100, 100, 100, 50)}},
      {"RGBA 16", PngBuilder(1, 1, 16, 6).Finish({0, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xFF, 0xFF}), 1,
       {Rgba(0x12, 0x56, 0x9A, 0xFF)}},
      {"RGBA 8, two rows", PngBuilder(1, 2, 8, 6).Finish({0, 1, 2, 3, 4, 0, 5, 6, 7, 8}), 1, {Rgba(1, 2, 3, 4), Rgba(5, 6, 7, 8)}},
      // Passes 1 (0,0), 4 (2,0), 5 (0,2) (2,2), 6 (1,0) (1,2) and 7 (0,1) (1,1) (2,1) hold pixels.
      {"grey 8, Adam7", PngBuilder(3, 3, 8, 0, 1).Finish({0, 0, 0, 20, 0, 60, 80, 0, 10, 0, 70, 0, 30, 40, 50}), 3,
       {Rgba(0, 0, 0, 255), Rgba(10, 10, 10, 255), Rgba(20, 20, 20, 255), Rgba(30, 30, 30, 255), Rgba(40, 40, 40, 255),
        Rgba(50, 50, 50, 255), Rgba(60, 60, 60, 255), Rgba(70, 70, 70, 255), Rgba(80, 80, 80, 255)}},
      {"16 bits round to v / 257: 0x12FF is 0x13", PngBuilder(1, 1, 16, 4).Finish({0, 0x12, 0xFF, 0x12, 0x80}), 1,
       {Rgba(0x13, 0x13, 0x13, 0x12)}},
      {"a grey key, at the file's depth", PngBuilder(2, 1, 8, 0).Chunk("tRNS", {0, 9}).Finish({0, 9, 10}), 2,
       {Rgba(9, 9, 9, 0), Rgba(10, 10, 10, 255)}},
      {"the most spare bytes after the rows", PngBuilder(1, 1, 8, 6).Finish(spare), 1, {Rgba(1, 2, 3, 4)}},
  };
  for (const auto& c : cases) {
    const Image image = DecodePng(c.file, c.what);
    EXPECT_EQ(image.width, c.width) << c.what;
    EXPECT_EQ(image.height, std::int32_t(c.pixels.size()) / c.width) << c.what;
    EXPECT_EQ(image.pixels, c.pixels) << c.what;
  }
}

// Every refusal of a file, by its message: what is not a PNG, what is too large, and what is
// damaged (its structure, its chunks, its pixel stream), with the reason.
TEST(Png, RefusesWhatIsNotAWholePngSayingWhy) {
  const auto rgb = [] { return PngBuilder(1, 1, 8, 2); };
  const auto palette = [] { return PngBuilder(1, 1, 8, 3).Chunk("PLTE", {1, 2, 3, 4, 5, 6}); };
  const std::vector<std::uint8_t> rgbRow = {0, 1, 2, 3}, indexRow = {0, 1}, rgbaRow = {0, 1, 2, 3, 4};
  std::vector<std::uint8_t> iendCut = rgb().Finish(rgbRow), noIend = iendCut;
  iendCut.pop_back();
  noIend.resize(noIend.size() - 12);
  std::vector<std::uint8_t> crc = EncodePng(RandomImage(4, 4, 5)), length = crc;
  const std::size_t idat = std::string(crc.begin(), crc.end()).find("IDAT");
  crc[idat + 6] ^= 0x01;     // one bit of the compressed pixels
  length[idat - 2] ^= 0x40;  // IDAT's length: the CRC is then read from elsewhere
  const std::vector<std::uint8_t> stream = Z(rgbaRow);
  const std::vector<std::uint8_t> half(stream.begin(), stream.begin() + 4), rest(stream.begin() + 4, stream.end());
  const std::string tooMuch = Damaged("more compressed data than the image holds");
  const std::string adler = Damaged("its compressed pixels are corrupt: incorrect data check");
  const std::string notPng = "'x.png' is not a PNG file";
  const std::vector<std::uint8_t> huge = PngBuilder(20000, 20000, 8, 6).Finish({0});
  const std::string tooLarge = "'x.png' is 20000x20000 pixels, more than the 67108864 qfhost takes";
  const FileCase cases[] = {
      {"empty", {}, notPng},
      {"a cut signature", {0x89, 'P', 'N', 'G'}, notPng},
      {"GIF", {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0}, notPng},
      {"JPEG", {0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10, 'J', 'F', 'I', 'F', 0}, notPng},
      {"BMP", {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0}, notPng},
      {"text", Bytes("hello world"), notPng},
      {"the signature alone", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, Damaged("it ends after its signature")},
      {"above the pixel limit, from the header alone", huge, tooLarge},
      {"no pixels", PngBuilder(0, 1, 8, 6).Finish({}), Damaged("its size 0x1 is not allowed")},
      {"3 bits", PngBuilder(1, 1, 3, 6).Finish(rgbaRow), Damaged("colour type 6 at 3 bits is not a PNG format")},
      {"interlace method 2", PngBuilder(1, 1, 8, 6, 2).Finish(rgbaRow),
       Damaged("unknown compression, filter or interlace method in its header")},
      {"IEND's CRC cut", iendCut, Damaged("it is cut off after " + std::to_string(iendCut.size() - 11) + " bytes")},
      {"no IEND", noIend, Damaged("it ends before its IEND chunk")},
      {"IDAT's CRC", crc, Damaged("CRC error in its IDAT chunk")},
      {"IDAT's length", length, Damaged("it is cut off inside its IDAT chunk")},
      {"name with a digit", rgb().Chunk("ab1d", {}).Finish(rgbRow), Damaged("a chunk's name, 'ab1d', is not four letters")},
      {"name beyond ASCII, shown safely", PngBuilder(1, 1, 8, 6).Chunk("\xC9" "DAT", {1, 2, 3}).Finish(rgbaRow),
       Damaged("a chunk's name, '?DAT', is not four letters")},
      {"unknown critical chunk", rgb().Chunk("ABCD", {}).Finish(rgbRow), Damaged("it has a critical chunk 'ABCD' qfhost does not know")},
      {"second gAMA", rgb().Chunk("gAMA", {0, 0, 0, 1}).Chunk("gAMA", {0, 0, 0, 1}).Finish(rgbRow), Damaged("it has a second gAMA chunk")},
      {"second tRNS", palette().Chunk("tRNS", {1}).Chunk("tRNS", {1}).Finish(indexRow), Damaged("it has a second tRNS chunk")},
      {"second iCCP", rgb().Chunk("iCCP", Iccp()).Chunk("iCCP", Iccp()).Finish(rgbRow), Damaged("it has a second iCCP chunk")},
      {"second tIME", rgb().Chunk("tIME", {7, 234, 1, 1, 0, 0, 0}).After("tIME", {7, 234, 1, 1, 0, 0, 0}).Finish(rgbRow),
       Damaged("it has a second tIME chunk")},
      {"second PLTE", palette().Chunk("PLTE", {1, 2, 3}).Finish(indexRow), Damaged("it has a second PLTE chunk")},
      {"long gAMA", rgb().Chunk("gAMA", {0, 0, 0, 1, 0}).Finish(rgbRow), Damaged("its gAMA chunk's length is 5, not 4")},
      {"short pHYs", rgb().Chunk("pHYs", {0, 0, 0, 1}).Finish(rgbRow), Damaged("its pHYs chunk's length is 4, not 9")},
      {"IEND with data", rgb().After("IEND", {0}).Finish(rgbRow), Damaged("its IEND chunk's length is 1, not 0")},
      {"RGB sBIT of 4", rgb().Chunk("sBIT", {8, 8, 8, 8}).Finish(rgbRow), Damaged("its sBIT chunk's length is 4, not 3")},
      {"palette bKGD of 2", palette().Chunk("bKGD", {0, 1}).Finish(indexRow), Damaged("its bKGD chunk's length is 2, not 1")},
      {"hIST of 1 entry", palette().Chunk("hIST", {0, 1}).Finish(indexRow), Damaged("its hIST chunk's length is 2, not 4")},
      {"tRNS past the palette", palette().Chunk("tRNS", {1, 2, 3}).Finish(indexRow), Damaged("its tRNS chunk does not fit the image")},
      {"grey PLTE", PngBuilder(1, 1, 8, 0).Chunk("PLTE", {1, 2, 3}).Finish({0, 1}), Damaged("a grey image has a PLTE chunk")},
      {"no PLTE", PngBuilder(1, 1, 8, 3).Finish({0, 0}), Damaged("it has no palette")},
      {"palette index past it", PngBuilder(2, 1, 2, 3).Chunk("PLTE", {1, 2, 3, 4, 5, 6}).Finish({0, 0b01100000}),
       Damaged("palette index 2 is past its 2-colour palette")},
      {"no IDAT", PngBuilder(1, 1, 8, 6).Chunk("IEND", {}).Finish(rgbaRow), Damaged("it has no IDAT chunk")},
      {"IDATs apart", PngBuilder(1, 1, 8, 6).Chunk("IDAT", half).Chunk("tEXt", {'k', 0}).FinishStream(rest),
       Damaged("its IDAT chunks are not consecutive")},
      {"filter 5", PngBuilder(1, 1, 8, 6).Finish({5, 1, 2, 3, 4}), Damaged("row filter 5 is not a PNG filter")},
      {"a row short", PngBuilder(1, 2, 8, 6).Finish(rgbaRow), Damaged("its pixel data ends before the last row")},
      {"wrong Adler-32", PngBuilder(1, 1, 8, 6).Finish(rgbaRow, 1), adler},
      {"wrong Adler-32's high half", PngBuilder(1, 1, 8, 6).Finish(rgbaRow, 1 << 16), adler},
      {"spare bytes, wrong Adler-32", PngBuilder(1, 1, 8, 6).Finish(rgbaRow + std::vector<std::uint8_t>(10), 1), adler},
      {"a byte more than may follow the rows",
       PngBuilder(1, 1, 8, 6).Finish(rgbaRow + std::vector<std::uint8_t>(kStreamEndAllowance + 1)), tooMuch},
      {"1 GiB past the row, in under 2 MiB", PngBuilder(1, 1, 8, 6).FinishStream(test::RowThenZeros(rgbaRow, 1024)), tooMuch},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeError(c.file), c.expected) << c.what;
  EXPECT_LT(cases[std::size(cases) - 1].file.size(), std::size_t{2} << 20);
  EXPECT_EQ(ErrorOf([&] { ReadPngHeader(huge, "x.png"); }), tooLarge);
}

TEST(Png, RefusesEveryCutOfAValidFile) {
  const std::vector<std::uint8_t> whole = EncodePng(RandomImage(9, 7, 3));
  ASSERT_NO_THROW(DecodePng(whole, "whole"));
  // Cut anywhere after the signature and before IEND's 12 bytes, the file is damaged.
  for (std::size_t size = 8; size + 12 <= whole.size(); ++size) {
    const std::string message = DecodeError(std::vector<std::uint8_t>(whole.begin(), whole.begin() + std::ptrdiff_t(size)));
    EXPECT_EQ(message.rfind(kDamaged, 0), 0u) << size << " of " << whole.size() << " bytes: " << message;
  }
}

TEST(Png, KeepsMetadataChunksButAGreyImagesProfile) {
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
  const std::vector<std::string> kept = {"iCCP", "gAMA", "cHRM", "pHYs", "tEXt", "zTXt", "iTXt", "iTXt", "eXIf"};
  EXPECT_EQ(Types(decoded.metadata), kept);
  EXPECT_EQ(decoded.warnings, std::vector<std::string>{});
  const DecodedPng again = DecodePngFile(EncodePng(decoded.image, decoded.metadata), "again");
  EXPECT_EQ(Types(again.metadata), kept);
  EXPECT_EQ(again.metadata[4].data, (std::vector<std::uint8_t>{'k', 0, 'v'}));
  const std::vector<std::uint8_t> grey =
      PngBuilder(1, 1, 8, 0).Chunk("iCCP", Iccp("GRAY")).Chunk("sRGB", {0}).Chunk("gAMA", {0, 0, 1, 2}).Finish({0, 1});
  EXPECT_EQ(Types(DecodePngFile(grey, "grey").metadata), (std::vector<std::string>{"sRGB", "gAMA"}));
}

// A kept chunk that breaks its own rules is left out with a warning that says why, and the
// image decodes.
TEST(Png, LeavesOutAKeptChunkThatBreaksItsRules) {
  const auto rgb = [] { return PngBuilder(1, 1, 8, 2); };
  const std::vector<std::uint8_t> row = {0, 1, 2, 3};
  std::vector<std::uint8_t> cut = Z(Bytes("some text")), corrupt = cut;
  cut.pop_back();
  corrupt[3] ^= 0xFF;
  const std::vector<std::uint8_t> k00 = Bytes(std::string("k\0\0", 3)), iccp = Iccp();
  const auto text = [](std::string_view data) { return Bytes(data); };
  const std::string notUtf8 = "its text is not UTF-8 without nulls", tiff = "it does not begin with a TIFF header";
  const std::string chromaticity = "a chromaticity is out of range (x and y 0 to 0.8, x + y at most 1)";
  const std::vector<std::uint8_t> greenY = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0x38, 0x81,  // 0.80001
                                            0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  const std::vector<std::uint8_t> blueSum = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 0.5 + 0.50001
                                             0, 0, 0xC3, 0x50, 0, 0, 0xC3, 0x51, 0, 0, 0, 0, 0, 0, 0, 0};
  const FileCase cases[] = {
      {"empty keyword", rgb().Chunk("tEXt", text({"\0v", 2})).Finish(row), "its keyword is empty"},
      {"80-byte keyword", rgb().Chunk("tEXt", Bytes(std::string(80, 'k') + '\0')).Finish(row), "its keyword is longer than 79 bytes"},
      {"keyword's end space", rgb().Chunk("tEXt", text({"k \0", 3})).Finish(row), "its keyword begins or ends with a space"},
      {"keyword's C1 byte", rgb().Chunk("tEXt", text({"k\x85\0", 3})).Finish(row), "its keyword holds a byte that is no Latin-1 character"},
      {"keyword's two spaces", rgb().Chunk("tEXt", text({"a  b\0", 5})).Finish(row), "its keyword holds two spaces in a row"},
      {"no keyword's null", rgb().Chunk("tEXt", text("key")).Finish(row), "its keyword has no null after it"},
      {"null in text", rgb().Chunk("tEXt", text({"k\0a\0b", 5})).Finish(row), "its text holds a null"},
      {"zTXt method 1", rgb().Chunk("zTXt", text({"k\0\1", 3}) + Z(Bytes("a"))).Finish(row), "its compression method 1 is not 0 (zlib)"},
      {"zTXt corrupt", rgb().Chunk("zTXt", k00 + corrupt).Finish(row), "its compressed data is corrupt: incorrect data check"},
      {"zTXt cut", rgb().Chunk("zTXt", k00 + cut).Finish(row), "its compressed data is cut off"},
      {"zTXt and more", rgb().Chunk("zTXt", k00 + Z(Bytes("a")) + Bytes("x")).Finish(row), "bytes follow its compressed data"},
      {"zTXt with a null", rgb().Chunk("zTXt", k00 + Z(text({"a\0", 2}))).Finish(row), "its text holds a null"},
      {"zTXt of 17 MiB", rgb().Chunk("zTXt", k00 + Z(std::vector<std::uint8_t>(17 << 20, 'a'))).Finish(row),
       "it inflates to more than the 16 MiB that qfhost checks in a file's chunks"},
      {"iTXt flag 2", rgb().Chunk("iTXt", text({"k\0\2\0\0\0a", 7})).Finish(row), "its compression flag 2 is not 0 or 1"},
      {"iTXt language", rgb().Chunk("iTXt", text({"k\0\0\0f_r\0\0a", 10})).Finish(row),
       "its language tag holds a byte other than a letter, digit or hyphen"},
      {"iTXt overlong", rgb().Chunk("iTXt", text({"k\0\0\0\0\xC0\x80\0a", 10})).Finish(row), "its translated keyword is not UTF-8"},
      {"iTXt Latin-1", rgb().Chunk("iTXt", text({"k\0\0\0\0\0caf\xE9", 10})).Finish(row), notUtf8},
      {"iTXt cut character", rgb().Chunk("iTXt", text({"k\0\1\0\0\0", 6}) + Z(Bytes("\xE6\x97"))).Finish(row), notUtf8},
      {"grey profile", rgb().Chunk("iCCP", Iccp("GRAY")).Finish(row), "its profile is not for RGB colours"},
      {"profile's length", rgb().Chunk("iCCP", Iccp("RGB ", 1)).Finish(row), "its profile's header does not give its length"},
      {"profile's empty name", rgb().Chunk("iCCP", {iccp.begin() + 1, iccp.end()}).Finish(row), "its profile name is empty"},
      {"iCCP after PLTE", PngBuilder(1, 1, 8, 3).Chunk("PLTE", {1, 2, 3}).Chunk("iCCP", iccp).Finish({0, 0}),
       "it comes after the palette"},
      {"gAMA after IDAT", rgb().After("gAMA", {0, 0, 0, 1}).Finish(row), "it comes after the pixels"},
      {"pHYs after IDAT", rgb().After("pHYs", {0, 0, 0, 1, 0, 0, 0, 1, 1}).Finish(row), "it comes after the pixels"},
      {"pHYs unit 2", rgb().Chunk("pHYs", {0, 0, 0, 1, 0, 0, 0, 1, 2}).Finish(row), "its unit 2 is not 0 or 1"},
      {"sRGB intent 4", rgb().Chunk("sRGB", {4}).Finish(row), "its rendering intent 4 is not 0 to 3"},
      {"gamma 0", rgb().Chunk("gAMA", {0, 0, 0, 0}).Finish(row), "its gamma is 0"},
      {"cHRM green y 0.80001", rgb().Chunk("cHRM", greenY).Finish(row), chromaticity},
      {"cHRM blue x + y 1.00001", rgb().Chunk("cHRM", blueSum).Finish(row), chromaticity},
      {"iCCP after sRGB", rgb().Chunk("sRGB", {0}).Chunk("iCCP", iccp).Finish(row),
       "it comes after an sRGB chunk, which it must not accompany"},
      {"sRGB after iCCP", rgb().Chunk("iCCP", iccp).Chunk("sRGB", {0}).Finish(row),
       "it comes after an iCCP chunk, which it must not accompany"},
      {"eXIf not TIFF", rgb().Chunk("eXIf", {'X', 'X', 0, 42}).Finish(row), tiff},
      {"empty eXIf", rgb().Chunk("eXIf", {}).Finish(row), tiff},
  };
  for (const auto& c : cases) {
    try {
      const DecodedPng decoded = DecodePngFile(c.file, "x.png");
      ASSERT_EQ(decoded.warnings.size(), 1u) << c.what;
      const std::string& warning = decoded.warnings[0];
      const std::string type = warning.substr(warning.find(" its ") + 5, 4);
      EXPECT_EQ(warning, "'x.png': its " + type + " chunk is left out of the output (" + c.expected + ")") << c.what;
      for (const PngChunk& chunk : decoded.metadata) EXPECT_NE(chunk.type, type) << c.what;
    } catch (const RunError& error) {
      ADD_FAILURE() << c.what << ": " << error.what();
    }
  }

  // 12 bad chunks and 995 good: the first 10 are named, 2 counted; of 1,007 the first 1,000 are
  // examined (988 kept) and 7 left out unexamined.
  PngBuilder many = rgb();
  for (int i = 0; i < 12; ++i) many.Chunk("tEXt", {' ', 0});
  for (int i = 0; i < 995; ++i) many.Chunk("tEXt", {'k', 0});
  const DecodedPng decoded = DecodePngFile(many.Finish(row), "x.png");
  EXPECT_EQ(decoded.metadata.size(), 988u);
  ASSERT_EQ(decoded.warnings.size(), 12u);
  EXPECT_EQ(decoded.warnings[10], "'x.png': 2 more chunks are left out of the output for such reasons");
  EXPECT_EQ(decoded.warnings[11], "'x.png': 7 chunks past the first 1000 of those qfhost keeps are left out of the output");
}

TEST(Png, WhatItWritesReadsBackExactly) {
  // Flat rows, noisy ones, flat ones again: the compression changes its strategy twice.
  Image mixed = RandomImage(200, 120, 9);
  for (std::int32_t y = 0; y < mixed.height; ++y) {
    for (std::int32_t x = 0; x < mixed.width && (y < 40 || y >= 80); ++x) mixed.at(x, y) = Pixel{std::uint8_t(x), 0, std::uint8_t(y), 255};
  }
  for (const Image& image : {RandomImage(1, 1, 1001), RandomImage(3, 2, 3002), RandomImage(64, 48, 64048),
                             RandomImage(1, 300, 1300), mixed}) {
    const std::vector<std::uint8_t> file = EncodePng(image);
    const PngHeader header = ReadPngHeader(file, "round trip");  // 8-bit RGBA, as any decoder reads it
    EXPECT_EQ(std::vector<int>({header.width, header.height, header.depth, header.colourType, header.interlaced}),
              std::vector<int>({image.width, image.height, 8, 6, 0}));
    EXPECT_EQ(DecodePng(file, "round trip").pixels, image.pixels) << image.width << "x" << image.height;
  }
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
  // Clearing one pixel of grey8 whose grey another opaque pixel has, before it or after it.
  const Change opaqueBefore = [](Image& i) { i.pixels[3].a = 0; };
  const Change opaqueAfter = [](Image& i) { i.pixels[2].a = 0; };
  const Change redHalf = [](Image& i) { i.pixels[1] = Rgba(255, 0, 0, 128); };
  struct Outcome {
    Change change;
    std::uint8_t type, depth;             // the output's
    std::vector<std::uint16_t> samples = {};  // of a 16-bit output: every sample, if checked
  };
  const struct {
    const char* what;
    std::uint8_t type, depth;
    std::vector<std::pair<const char*, std::vector<std::uint8_t>>> chunks;
    std::vector<std::uint16_t> samples;  // of an image 4 pixels wide
    std::vector<Outcome> outcomes;
  } cases[] = {
      {"grey 1", 0, 1, {}, grey1, {{none, 0, 1}, {grey85, 0, 2}, {grey51, 0, 4}, {red, 2, 8}}},
      {"grey 2", 0, 2, {}, {0, 1, 2, 3, 3, 2, 1, 0}, {{none, 0, 2}}},
      {"grey 4, key", 0, 4, {{"tRNS", {0, 9}}}, grey4, {{none, 0, 4}, {half, 4, 8}}},
      {"grey 8", 0, 8, {}, grey8,
       {{clearFirst, 0, 8}, {clearTwo, 4, 8}, {opaqueBefore, 4, 8}, {opaqueAfter, 4, 8}, {redHalf, 6, 8}}},
      {"grey 16, key", 0, 16, {{"tRNS", {0xFF, 0xFF}}}, grey16, {{none, 0, 16, grey16}}},
      {"grey 16", 0, 16, {}, grey16,
       {{grey32, 0, 16, {0x1234, 0x2020, 0x00FF, 0xFFFF, 0x8000, 0x7FFF, 1, 0}},
        {red, 2, 16, {0x1234, 0x1234, 0x1234, 0xFFFF, 0, 0, 0x00FF, 0x00FF, 0x00FF, 0xFFFF, 0xFFFF, 0xFFFF,
                      0x8000, 0x8000, 0x8000, 0x7FFF, 0x7FFF, 0x7FFF, 1, 1, 1, 0, 0, 0}}}},
      {"grey and alpha 8", 4, 8, {}, {9, 255, 9, 0, 200, 7, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8}, {{clearFirst, 4, 8}}},
      {"grey and alpha 16", 4, 16, {}, greyAlpha16, {{none, 4, 16, greyAlpha16}, {red, 6, 16}}},
      {"RGB 8", 2, 8, {}, rgb8, {{none, 2, 8}, {clearFirst, 2, 8}, {clearTwo, 6, 8}}},
      {"RGB 16, key", 2, 16, {{"tRNS", {0, 0, 1, 2, 0xFF, 0xFF}}}, rgb16, {{none, 2, 16, rgb16}}},
      {"RGB 16", 2, 16, {}, rgb16, {{half, 6, 16}}},
      {"palette 2 and alpha", 3, 2, {{"PLTE", palette2}, {"tRNS", alpha2}}, index2, {{none, 3, 2}, {invertAll, 3, 2}}},
      {"palette 1", 3, 1, {{"PLTE", {1, 2, 3, 4, 5, 6}}}, {0, 1, 0, 1, 0, 1, 0, 0}, {{red, 3, 2}}},
      {"palette 2, an entry unused", 3, 2, {{"PLTE", palette2}}, index2, {{red, 3, 2}}},
      {"palette 4", 3, 4, {{"PLTE", palette2}}, {0, 3, 2, 2, 1, 0, 1, 1}, {{none, 3, 4}}},
      {"palette 8", 3, 8, {{"PLTE", palette8}, {"tRNS", alpha8}}, {0, 1, 2, 3, 4, 5, 6, 255}, {{none, 3, 8}}},
      {"palette 8, to 512 colours", 3, 8, {{"PLTE", palette8}, {"tRNS", alpha8}}, index8 + index8, {{invertHalf, 6, 8}}},
      {"RGBA 8", 6, 8, {}, rgba8, {{clearFirst, 6, 8}}},
      {"RGBA 16", 6, 16, {}, greyAlpha16 + greyAlpha16, {{grey32, 6, 16}}},
  };
  constexpr std::int32_t kWidth = 4;
  for (const auto& c : cases) {
    const int channels = ChannelsOf(c.type);
    const auto height = static_cast<std::int32_t>(c.samples.size() / std::size_t(channels * kWidth));
    for (std::size_t k = 0; k < c.outcomes.size() * 2; ++k) {
      const Outcome& outcome = c.outcomes[k / 2];
      const bool interlaced = k % 2 == 1;
      SCOPED_TRACE(std::string(c.what) + ", change " + std::to_string(k / 2) + (interlaced ? ", Adam7" : ""));
      PngBuilder builder(std::uint32_t(kWidth), std::uint32_t(height), c.depth, c.type, interlaced ? 1 : 0);
      for (const auto& [type, data] : c.chunks) builder.Chunk(type, data);
      DecodedPng decoded = DecodePngFile(builder.Finish(test::Rows(kWidth, height, c.depth, channels, interlaced, c.samples)), c.what);
      outcome.change(decoded.image);
      const std::vector<std::uint8_t> file = EncodePng(decoded.image, decoded.format);
      const PngHeader header = ReadPngHeader(file, c.what);
      EXPECT_EQ(std::vector<int>({header.colourType, header.depth, header.interlaced}), std::vector<int>({outcome.type, outcome.depth, 0}));
      const DecodedPng back = DecodePngFile(file, c.what);
      EXPECT_EQ(back.image.pixels, decoded.image.pixels);
      if (!outcome.samples.empty()) {
        EXPECT_EQ(back.format.originals, outcome.samples);
      }
    }
  }
}

TEST(Png, RefusesToEncodeEmptyOrOversizedImages) {
  EXPECT_EQ(ErrorOf([] { EncodePng(Image()); }), "cannot write an empty image");
  Image huge;  // its size alone is checked, before any pixel is read
  huge.width = 1 << 28;
  huge.height = 2;
  EXPECT_EQ(ErrorOf([&] { EncodePng(huge); }), "a 268435456x2 image is too large to write");
}

TEST(PngFiles, WriteReplacesWholeAndReadGetsItBack) {
  const fs::path dir = Scratch("write");
  const std::string path = (dir / "out.png").string();
  for (const Image& image : {RandomImage(6, 4, 11), RandomImage(3, 9, 12)}) {
    WritePng(path, image);
    const Image back = ReadPng(path);
    EXPECT_EQ(back.width, image.width);
    EXPECT_EQ(back.pixels, image.pixels);
  }
  EXPECT_EQ(Entries(dir), std::vector<std::string>{"out.png"});  // no temporary file left
}

TEST(PngFiles, AFailedWriteLeavesNothingBehindAndTheOldFileAlone) {
  const fs::path dir = Scratch("failed-write");
  fs::create_directory(dir / "taken.png");  // the target is a directory
  EXPECT_THROW(WritePng((dir / "taken.png").string(), RandomImage(2, 2, 1)), RunError);
  const std::string missing = ErrorOf([&] { WritePng((dir / "missing" / "out.png").string(), RandomImage(2, 2, 1)); });
  EXPECT_NE(missing.find("cannot write '"), std::string::npos) << missing;
  // An image that cannot be encoded never touches the existing file.
  std::ofstream(dir / "old.png", std::ios::binary) << "old contents";
  EXPECT_THROW(WritePng((dir / "old.png").string(), Image()), RunError);
  EXPECT_EQ(FileBytes(dir / "old.png"), Bytes("old contents"));
  EXPECT_EQ(Entries(dir), (std::vector<std::string>{"old.png", "taken.png"}));
  EXPECT_TRUE(fs::is_empty(dir / "taken.png"));
}

TEST(PngFiles, ReadNamesTheFileAndWhyItFails) {
  const fs::path dir = Scratch("read");
  const auto messageOf = [](const std::string& path) { return ErrorOf([&] { ReadPng(path); }); };
  const std::string missing = (dir / "missing.png").string();
  EXPECT_EQ(messageOf(missing).rfind("cannot read '" + missing + "': ", 0), 0u) << messageOf(missing);
  EXPECT_NE(messageOf(dir.string()).find("irectory"), std::string::npos) << messageOf(dir.string());
  std::ofstream(dir / "text.png", std::ios::binary) << "not a picture";
  EXPECT_NE(messageOf((dir / "text.png").string()).find("is not a PNG file"), std::string::npos);
  // An absolute path, as a shell hands it over (under Wine, a Unix path).
  const Image sample = ReadPng(QFHOST_TEST_DATA "/sample.png");
  EXPECT_EQ(sample.width, 64);
  EXPECT_EQ(sample.height, 48);
}

}  // namespace
}  // namespace veilmere::qfhost
