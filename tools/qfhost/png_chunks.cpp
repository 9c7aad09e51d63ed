#include "tools/qfhost/png_chunks.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <vector>

#include "tools/qfhost/png_format.h"
#include "tools/qfhost/zlib_stream.h"

namespace veilmere::qfhost {
namespace {

// The longest keyword (or profile name) a chunk may have.
constexpr std::size_t kMaxKeyword = 79;

// Why bytes [begin, end) are not a keyword ("its NOUN ..."): 1 to 79 Latin-1 characters (32 to
// 126, 161 to 255), no space at either end, no two spaces in a row.
std::string KeywordFault(const std::uint8_t* begin, const std::uint8_t* end, const std::string& noun) {
  const std::size_t size = std::size_t(end - begin);
  const std::string its = "its " + noun;
  if (size == 0) return its + " is empty";
  if (size > kMaxKeyword) return its + " is longer than 79 bytes";
  if (begin[0] == ' ' || end[-1] == ' ') return its + " begins or ends with a space";
  for (const std::uint8_t* p = begin; p != end; ++p) {
    if (*p < 32 || (*p > 126 && *p < 161)) return its + " holds a byte that is no Latin-1 character";
    if (*p == ' ' && p + 1 != end && p[1] == ' ') return its + " holds two spaces in a row";
  }
  return "";
}

// Reads a chunk's data as fields ended by a null byte, then the rest.
class Fields {
 public:
  Fields(const std::uint8_t* data, std::uint32_t length) : at_(data), end_(data + length) {}
  // The bytes up to the next null, which is passed over; false when there is no null.
  bool UpTo0(const std::uint8_t** begin, const std::uint8_t** end) {
    const auto* zero = static_cast<const std::uint8_t*>(std::memchr(at_, 0, std::size_t(end_ - at_)));
    if (zero == nullptr) return false;
    *begin = at_;
    *end = zero;
    at_ = zero + 1;
    return true;
  }
  // The next byte; false at the end.
  bool Byte(std::uint8_t* byte) {
    if (at_ == end_) return false;
    *byte = *at_++;
    return true;
  }
  const std::uint8_t* at() const { return at_; }
  const std::uint8_t* end() const { return end_; }

 private:
  const std::uint8_t* at_;
  const std::uint8_t* end_;
};

// Checks that bytes are UTF-8 without a null, piece by piece: a character may be split
// between pieces. The shortest form only, and no surrogates (RFC 3629's table of sequences).
class Utf8Check {
 public:
  bool Take(const std::uint8_t* bytes, std::size_t size) {
    for (std::size_t i = 0; i < size && valid_; ++i) {
      const std::uint8_t b = bytes[i];
      if (pending_ > 0) {
        valid_ = b >= low_ && b <= high_;
        --pending_;
        low_ = kAnyNext.low, high_ = kAnyNext.high;
      } else if (b == 0) {
        valid_ = false;
      } else if (b >= 0x80) {
        valid_ = Lead(b);
      }
    }
    return valid_;
  }
  bool Whole() const { return valid_ && pending_ == 0; }

 private:
  // Lead bytes `first` to `last` take `continuations` bytes, the first of them in [low, high],
  // the others 0x80 to 0xBF.
  struct Sequence {
    std::uint8_t first, last, continuations, low, high;
  };
  static constexpr Sequence kAnyNext{0, 0, 0, 0x80, 0xBF};
  static constexpr Sequence kSequences[] = {
      {0xC2, 0xDF, 1, 0x80, 0xBF}, {0xE0, 0xE0, 2, 0xA0, 0xBF}, {0xE1, 0xEC, 2, 0x80, 0xBF},
      {0xED, 0xED, 2, 0x80, 0x9F}, {0xEE, 0xEF, 2, 0x80, 0xBF}, {0xF0, 0xF0, 3, 0x90, 0xBF},
      {0xF1, 0xF3, 3, 0x80, 0xBF}, {0xF4, 0xF4, 3, 0x80, 0x8F}};

  bool Lead(std::uint8_t b) {
    for (const Sequence& s : kSequences) {
      if (b < s.first || b > s.last) continue;
      pending_ = s.continuations, low_ = s.low, high_ = s.high;
      return true;
    }
    return false;
  }

  int pending_ = 0;  // continuation bytes the character still needs
  std::uint8_t low_ = kAnyNext.low, high_ = kAnyNext.high;  // the range of the next one
  bool valid_ = true;
};

using Take = std::function<bool(const std::uint8_t*, std::size_t)>;

// Inflates the zlib stream in [begin, end) to its end, handing each piece to `take`, and
// takes what it inflates from the budget `*left`, going at most a byte past it. Why it
// cannot, or "": `refused` when `take` returns false, the inflated data breaking its rules.
std::string InflateWhole(const std::uint8_t* begin, const std::uint8_t* end, std::uint64_t* left,
                         const Take& take, const std::string& refused) {
  Inflater inflater;
  if (::inflateInit(&inflater.stream) != Z_OK) return "zlib cannot start";
  inflater.ready = true;
  inflater.stream.next_in = const_cast<Bytef*>(begin);
  inflater.stream.avail_in = static_cast<uInt>(end - begin);
  std::array<std::uint8_t, 1 << 14> out;
  for (;;) {
    // One byte past the budget shows that the data goes past it.
    const std::size_t room = static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), *left + 1));
    inflater.stream.next_out = out.data();
    inflater.stream.avail_out = static_cast<uInt>(room);
    const int result = ::inflate(&inflater.stream, Z_NO_FLUSH);
    const std::size_t produced = room - inflater.stream.avail_out;
    if (produced > *left) {
      *left = 0;
      return "it inflates to more than the " +
             std::to_string(KeptChunkCheck::kMaxInflatedMetadata >> 20) +
             " MiB that qfhost checks in a file's chunks";
    }
    *left -= produced;
    if (!take(out.data(), produced)) return refused;
    if (result == Z_STREAM_END) break;
    if (result != Z_OK) {
      // Z_BUF_ERROR with output room left: the input ended before the stream did.
      if (result == Z_BUF_ERROR) return "its compressed data is cut off";
      const char* why = inflater.stream.msg;
      return std::string("its compressed data is corrupt") + (why != nullptr ? std::string(": ") + why : "");
    }
  }
  if (inflater.stream.avail_in != 0) return "bytes follow its compressed data";
  return "";
}

// The rules of each kept type, past its place in the file: why a chunk of that type breaks
// them, or "". `inflateLeft` is the file's budget for inflating.
using Rule = std::string (*)(const std::uint8_t* data, std::uint32_t length, std::uint64_t* inflateLeft);

std::string SrgbFault(const std::uint8_t* data, std::uint32_t, std::uint64_t*) {
  constexpr std::uint8_t kMaxIntent = 3;
  return data[0] > kMaxIntent ? "its rendering intent " + std::to_string(data[0]) + " is not 0 to 3" : "";
}

std::string GamaFault(const std::uint8_t* data, std::uint32_t, std::uint64_t*) {
  return Big32(data) == 0 ? "its gamma is 0" : "";
}

// cHRM's white point and red, green and blue primaries, each x then y in 100,000ths: each x
// and y at most 0.8, and x + y at most 1.
std::string ChrmFault(const std::uint8_t* data, std::uint32_t, std::uint64_t*) {
  constexpr std::uint32_t kMaxCoordinate = 80000, kMaxSum = 100000;
  constexpr int kPoints = 4;
  for (int point = 0; point < kPoints; ++point) {
    const std::uint32_t x = Big32(data + 8 * point), y = Big32(data + 8 * point + 4);
    if (x > kMaxCoordinate || y > kMaxCoordinate || x + y > kMaxSum) {
      return "a chromaticity is out of range (x and y 0 to 0.8, x + y at most 1)";
    }
  }
  return "";
}

std::string PhysFault(const std::uint8_t* data, std::uint32_t, std::uint64_t*) {
  constexpr std::size_t kUnit = 8;  // the unit's byte: 0 unknown, 1 the metre
  return data[kUnit] > 1 ? "its unit " + std::to_string(data[kUnit]) + " is not 0 or 1" : "";
}

std::string ExifFault(const std::uint8_t* data, std::uint32_t length, std::uint64_t*) {
  static constexpr std::uint8_t kIntel[4] = {'I', 'I', 42, 0}, kMotorola[4] = {'M', 'M', 0, 42};
  if (length < 4 || (std::memcmp(data, kIntel, 4) != 0 && std::memcmp(data, kMotorola, 4) != 0)) {
    return "it does not begin with a TIFF header";
  }
  return "";
}

// The keyword (or profile name: `noun`) and the null after it, which `fields` passes over.
std::string KeywordFieldFault(Fields& fields, const std::string& noun) {
  const std::uint8_t *keyword, *keywordEnd;
  if (!fields.UpTo0(&keyword, &keywordEnd)) return "its " + noun + " has no null after it";
  return KeywordFault(keyword, keywordEnd, noun);
}

// zTXt's, iTXt's and iCCP's data: a keyword (iCCP: a profile name, the `noun`), the
// compression flag (iTXt's alone: `flagged`) and method, then the rest, left in `fields`.
struct CompressedData {
  CompressedData(const std::uint8_t* data, std::uint32_t length, const std::string& noun, bool flagged)
      : fields(data, length), fault(HeadFault(noun, flagged)) {}

  Fields fields;
  std::uint8_t compressed = 1;  // the flag; 1 where there is none
  std::string fault;            // why the head breaks its rules, or ""

 private:
  std::string HeadFault(const std::string& noun, bool flagged) {
    if (std::string keyword = KeywordFieldFault(fields, noun); !keyword.empty()) return keyword;
    std::uint8_t method = 0;
    if (flagged && !fields.Byte(&compressed)) return "it ends after its keyword";
    if (!fields.Byte(&method)) return "it ends after its keyword";
    if (compressed > 1) return "its compression flag " + std::to_string(compressed) + " is not 0 or 1";
    if (method != 0) return "its compression method " + std::to_string(method) + " is not 0 (zlib)";
    return "";
  }
};

bool HasNoNull(const std::uint8_t* bytes, std::size_t size) { return std::memchr(bytes, 0, size) == nullptr; }

std::string TextFault(const std::uint8_t* data, std::uint32_t length, std::uint64_t*) {
  Fields fields(data, length);
  if (std::string fault = KeywordFieldFault(fields, "keyword"); !fault.empty()) return fault;
  return HasNoNull(fields.at(), std::size_t(fields.end() - fields.at())) ? "" : "its text holds a null";
}

std::string ZtxtFault(const std::uint8_t* data, std::uint32_t length, std::uint64_t* inflateLeft) {
  CompressedData text(data, length, "keyword", false);
  if (!text.fault.empty()) return text.fault;
  return InflateWhole(text.fields.at(), text.fields.end(), inflateLeft, HasNoNull, "its text holds a null");
}

// iTXt's language tag and translated keyword, each ended by a null.
std::string ItxtNamesFault(Fields& fields) {
  const std::uint8_t *language, *languageEnd, *translated, *translatedEnd;
  if (!fields.UpTo0(&language, &languageEnd)) return "its language tag has no null after it";
  for (const std::uint8_t* p = language; p != languageEnd; ++p) {
    const bool allowed = (*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') ||
                         (*p >= '0' && *p <= '9') || *p == '-';
    if (!allowed) return "its language tag holds a byte other than a letter, digit or hyphen";
  }
  if (!fields.UpTo0(&translated, &translatedEnd)) return "its translated keyword has no null after it";
  Utf8Check keyword;
  if (!keyword.Take(translated, std::size_t(translatedEnd - translated)) || !keyword.Whole()) {
    return "its translated keyword is not UTF-8";
  }
  return "";
}

std::string ItxtFault(const std::uint8_t* data, std::uint32_t length, std::uint64_t* inflateLeft) {
  CompressedData itxt(data, length, "keyword", true);
  if (!itxt.fault.empty()) return itxt.fault;
  if (std::string fault = ItxtNamesFault(itxt.fields); !fault.empty()) return fault;
  const std::string notUtf8 = "its text is not UTF-8 without nulls";
  const std::uint8_t *at = itxt.fields.at(), *end = itxt.fields.end();
  Utf8Check text;
  if (itxt.compressed == 0) {
    text.Take(at, std::size_t(end - at));
  } else {
    const auto take = [&](const std::uint8_t* bytes, std::size_t size) { return text.Take(bytes, size); };
    if (std::string fault = InflateWhole(at, end, inflateLeft, take, notUtf8); !fault.empty()) return fault;
  }
  return text.Whole() ? "" : notUtf8;
}

// iCCP: a profile name, then a profile whose header (128 bytes, then the tag count) gives its
// length, its signature "acsp" and its colour space, which must be RGB: only colour images
// keep it.
std::string IccpFault(const std::uint8_t* data, std::uint32_t length, std::uint64_t* inflateLeft) {
  constexpr std::size_t kSpaceAt = 16, kSignatureAt = 36;
  CompressedData profile(data, length, "profile name", false);
  if (!profile.fault.empty()) return profile.fault;
  std::array<std::uint8_t, 132> head{};
  std::uint64_t size = 0;
  const auto keepHead = [&](const std::uint8_t* bytes, std::size_t n) {
    for (std::size_t i = 0; i < n && size + i < head.size(); ++i) head[std::size_t(size + i)] = bytes[i];
    size += n;
    return true;
  };
  const std::string fault = InflateWhole(profile.fields.at(), profile.fields.end(), inflateLeft, keepHead, "");
  if (!fault.empty()) return fault;
  if (size < head.size() || Big32(head.data()) != size) return "its profile's header does not give its length";
  if (std::memcmp(head.data() + kSignatureAt, "acsp", 4) != 0) return "its profile lacks the ICC signature";
  if (std::memcmp(head.data() + kSpaceAt, "RGB ", 4) != 0) return "its profile is not for RGB colours";
  return "";
}

// Where a chunk may come, relative to PLTE and the pixels (IDAT).
enum class Place : std::uint8_t { kAnywhere, kBeforePixels, kBeforePalette };
// Whether the output carries a chunk: never, always, or from a colour (not grey) image alone.
enum class Kept : std::uint8_t { kNo, kYes, kInColour };
constexpr std::uint32_t kAnyLength = ~std::uint32_t{0};  // its length varies, or depends on the image

// Every type qfhost names, once, in ChunkType's order. A row leaves out what its type does not
// have: a fixed length, being kept, rules of its own, a place before PLTE or IDAT.
struct TypeRow {
  ChunkType type;
  char name[5];
  bool once = false;                  // a file holds at most one
  std::uint32_t length = kAnyLength;  // its fixed length
  Kept kept = Kept::kNo;
  Rule rule = nullptr;                // a kept type's own rules
  Place place = Place::kAnywhere;
};
constexpr TypeRow kTypes[] = {
    {ChunkType::kIhdr, "IHDR", true, 13},
    {ChunkType::kPlte, "PLTE", true, kAnyLength, Kept::kNo, nullptr, Place::kBeforePixels},
    {ChunkType::kIdat, "IDAT"},
    {ChunkType::kIend, "IEND", true, 0},
    {ChunkType::kTrns, "tRNS", true, kAnyLength, Kept::kNo, nullptr, Place::kBeforePixels},
    {ChunkType::kIccp, "iCCP", true, kAnyLength, Kept::kInColour, IccpFault, Place::kBeforePalette},
    {ChunkType::kSrgb, "sRGB", true, 1, Kept::kYes, SrgbFault, Place::kBeforePalette},
    {ChunkType::kGama, "gAMA", true, 4, Kept::kYes, GamaFault, Place::kBeforePalette},
    {ChunkType::kChrm, "cHRM", true, 32, Kept::kYes, ChrmFault, Place::kBeforePalette},
    {ChunkType::kPhys, "pHYs", true, 9, Kept::kYes, PhysFault, Place::kBeforePixels},
    {ChunkType::kText, "tEXt", false, kAnyLength, Kept::kYes, TextFault},
    {ChunkType::kZtxt, "zTXt", false, kAnyLength, Kept::kYes, ZtxtFault},
    {ChunkType::kItxt, "iTXt", false, kAnyLength, Kept::kYes, ItxtFault},
    {ChunkType::kExif, "eXIf", true, kAnyLength, Kept::kYes, ExifFault},
    {ChunkType::kSbit, "sBIT", true},  // its length depends on the colour type: FixedChunkLength
    {ChunkType::kCicp, "cICP", true, 4},
    {ChunkType::kMdcv, "mDCv", true, 24},
    {ChunkType::kClli, "cLLi", true, 8},
    {ChunkType::kBkgd, "bKGD", true},  // as sBIT
    {ChunkType::kHist, "hIST", true},  // two bytes a palette entry
    {ChunkType::kTime, "tIME", true, 7},
    {ChunkType::kActl, "acTL", true, 8},
    {ChunkType::kFctl, "fcTL", false, 26},
    {ChunkType::kOther, "????"},
};
constexpr std::size_t kNamedTypes = std::size(kTypes) - 1;

constexpr bool InChunkTypesOrder() {
  for (std::size_t i = 0; i < std::size(kTypes); ++i) {
    if (std::size_t(kTypes[i].type) != i) return false;
  }
  return kTypes[kNamedTypes].type == ChunkType::kOther;
}
static_assert(InChunkTypesOrder());

// Each named type's name as a big-endian word: a file may hold millions of chunks, and a
// type is found by comparing words, not strings.
constexpr std::array<std::uint32_t, kNamedTypes> Codes() {
  std::array<std::uint32_t, kNamedTypes> codes{};
  for (std::size_t i = 0; i < kNamedTypes; ++i) {
    const char* n = kTypes[i].name;
    codes[i] = std::uint32_t(std::uint8_t(n[0])) << 24 | std::uint32_t(std::uint8_t(n[1])) << 16 |
               std::uint32_t(std::uint8_t(n[2])) << 8 | std::uint8_t(n[3]);
  }
  return codes;
}
constexpr std::array<std::uint32_t, kNamedTypes> kCodes = Codes();

const TypeRow& RowOf(ChunkType type) { return kTypes[std::size_t(type)]; }

}  // namespace

ChunkType ChunkTypeAt(const std::uint8_t* name) {
  const std::uint32_t code = Big32(name);
  for (std::size_t i = 0; i < kNamedTypes; ++i) {
    if (kCodes[i] == code) return kTypes[i].type;
  }
  return ChunkType::kOther;
}

ChunkType ChunkTypeOf(const std::string& name) {
  if (name.size() != 4) return ChunkType::kOther;
  return ChunkTypeAt(reinterpret_cast<const std::uint8_t*>(name.data()));
}

const char* ChunkName(ChunkType type) { return RowOf(type).name; }

bool IsChunkName(const std::string& type) {
  return type.size() == 4 && std::all_of(type.begin(), type.end(), [](char c) {
           return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
         });
}

bool IsOnceOnlyChunk(ChunkType type) { return RowOf(type).once; }

std::string PlaceFault(ChunkType type, bool afterPalette, bool afterPixels) {
  const Place place = RowOf(type).place;
  if (place != Place::kAnywhere && afterPixels) return "it comes after the pixels";
  if (place == Place::kBeforePalette && afterPalette) return "it comes after the palette";
  return "";
}

std::optional<std::uint32_t> FixedChunkLength(ChunkType type, std::uint8_t colourType,
                                              std::uint32_t paletteEntries) {
  if (const std::uint32_t length = RowOf(type).length; length != kAnyLength) return length;
  // Grey, RGB, palette, grey and alpha, RGBA: a significant-bits byte for each channel (a
  // palette's three), a background of one sample a channel at two bytes (a palette index).
  static constexpr std::uint32_t kSbit[kRgba + 1] = {1, 0, 3, 3, 2, 0, 4};
  static constexpr std::uint32_t kBkgd[kRgba + 1] = {2, 0, 6, 1, 2, 0, 6};
  if (colourType > kRgba) return std::nullopt;
  if (type == ChunkType::kSbit) return kSbit[colourType];
  if (type == ChunkType::kBkgd) return kBkgd[colourType];
  if (type == ChunkType::kHist && paletteEntries > 0) return 2 * paletteEntries;
  return std::nullopt;
}

bool IsKeptChunk(ChunkType type, std::uint8_t colourType) {
  switch (RowOf(type).kept) {
    case Kept::kYes: return true;
    case Kept::kInColour: return colourType != kGrey && colourType != kGreyAlpha;
    default: return false;
  }
}

bool IsKeptChunk(const std::string& type, std::uint8_t colourType) {
  return IsKeptChunk(ChunkTypeOf(type), colourType);
}

std::string KeptChunkCheck::Fault(ChunkType type, const std::uint8_t* data, std::uint32_t length,
                                  bool afterPalette, bool afterPixels) {
  std::string fault = PlaceFault(type, afterPalette, afterPixels);
  if (fault.empty()) fault = OwnRulesFault(type, data, length);
  // A profile and sRGB each say what the colours mean: a file keeps the first of the two.
  if (fault.empty() && (type == ChunkType::kIccp || type == ChunkType::kSrgb)) {
    const char* other = ChunkName(type == ChunkType::kIccp ? ChunkType::kSrgb : ChunkType::kIccp);
    if (colourSpaceKept_) fault = "it comes after an " + std::string(other) + " chunk, which it must not accompany";
    colourSpaceKept_ = true;
  }
  return fault;
}

std::string KeptChunkCheck::OwnRulesFault(ChunkType type, const std::uint8_t* data, std::uint32_t length) {
  const Rule rule = RowOf(type).rule;
  return rule == nullptr ? "" : rule(data, length, &inflateLeft_);
}

}  // namespace veilmere::qfhost
