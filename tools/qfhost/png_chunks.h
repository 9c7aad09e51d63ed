#pragma once
// The chunk types of a PNG file that qfhost's codec names, and their rules beyond the pixels,
// as qfhost's decoder keeps them: which chunks may appear once, which have a fixed length, and
// the rules of the chunks qfhost carries into its output. Each check gives the reason a chunk
// breaks a rule, or "" when it keeps them; the decoder decides what follows (a refusal, or a
// chunk left out).

#include <cstdint>
#include <optional>
#include <string>

namespace veilmere::qfhost {

// The chunk types qfhost's codec reads, writes or checks; kOther for any other name.
enum class ChunkType : std::uint8_t {
  kIhdr, kPlte, kIdat, kIend, kTrns,                                     // the image
  kIccp, kSrgb, kGama, kChrm, kPhys, kText, kZtxt, kItxt, kExif,         // kept
  kSbit, kCicp, kMdcv, kClli, kBkgd, kHist, kTime, kActl, kFctl,         // checked, not kept
  kOther,
};

// A big-endian 32-bit field of a chunk (its length, IHDR's width, gAMA's gamma...).
inline std::uint32_t Big32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// The type of the chunk named by the four bytes at `name` (as in the file).
ChunkType ChunkTypeAt(const std::uint8_t* name);
ChunkType ChunkTypeOf(const std::string& name);  // kOther unless four bytes long

// The four letters of a named type (kOther: "????"), ended by a null.
const char* ChunkName(ChunkType type);

// True when `type` is four ASCII letters, as every chunk's name is.
bool IsChunkName(const std::string& type);

// True for a chunk that a file may hold at most once.
bool IsOnceOnlyChunk(ChunkType type);

// Why a chunk of `type` is out of place, given that a PLTE (`afterPalette`) or an IDAT
// (`afterPixels`) came before it: "it comes after the palette" or "... the pixels"; "" where
// it is not.
std::string PlaceFault(ChunkType type, bool afterPalette, bool afterPixels);

// The length in bytes that a chunk of `type` must have in an image of `colourType` whose
// palette has `paletteEntries` entries (0: none yet); nullopt where its length may vary or
// the chunk is not one of those whose length the format fixes. PLTE, IDAT and tRNS, whose
// lengths the decoder checks as it uses them, are not covered.
std::optional<std::uint32_t> FixedChunkLength(ChunkType type, std::uint8_t colourType,
                                              std::uint32_t paletteEntries);

// True for the chunks carried from the input to the output: those that say how the pixels
// look (iCCP, sRGB, gAMA, cHRM, pHYs), text (tEXt, zTXt, iTXt) and eXIf. A grey input's iCCP
// is not kept: its profile describes grey samples, and the output may need colour.
bool IsKeptChunk(ChunkType type, std::uint8_t colourType);
bool IsKeptChunk(const std::string& type, std::uint8_t colourType);

// Checks kept chunks against their own rules, for one file: a text keyword or profile name
// of 1 to 79 Latin-1 characters without a space at either end or two in a row; text without
// a null, iTXt's in UTF-8; compressed data (iCCP, zTXt, compressed iTXt) that inflates
// whole, to its Adler-32, with nothing after it; an RGB ICC profile whose header gives its
// length; values in their ranges (sRGB's intent, gAMA's non-zero gamma, cHRM's
// chromaticities, each x and y 0 to 0.8 with x + y at most 1, pHYs's unit); eXIf's TIFF
// header; the place of the chunks that must come before PLTE or IDAT; and no iCCP with an
// sRGB, of which the second is left out. Inflating is
// bounded: together a file's chunks inflate at most kMaxInflatedMetadata bytes, and a chunk
// that would go past that breaks the rule.
class KeptChunkCheck {
 public:
  // The decoder stops checking, and keeps no more chunks, after this many.
  static constexpr int kMaxChunks = 1000;
  static constexpr std::uint64_t kMaxInflatedMetadata = std::uint64_t{1} << 24;  // 16 MiB

  // Why the chunk, of a kept type, breaks its rules, or "". `afterPalette` and `afterPixels`:
  // a PLTE or an IDAT chunk came before it.
  std::string Fault(ChunkType type, const std::uint8_t* data, std::uint32_t length,
                    bool afterPalette, bool afterPixels);

 private:
  std::string OwnRulesFault(ChunkType type, const std::uint8_t* data, std::uint32_t length);

  std::uint64_t inflateLeft_ = kMaxInflatedMetadata;
  bool colourSpaceKept_ = false;  // an iCCP or sRGB chunk kept
};

}  // namespace veilmere::qfhost
