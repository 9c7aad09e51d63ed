#include "tools/qfhost/png_chunks.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <vector>

#include "tools/qfhost/png_format.h"

namespace veilmere::qfhost {
namespace {

// `type` is one of `types`, each four letters. (A file may hold millions of chunks: four
// bytes compared, not strings.)
bool IsOneOf(const std::string& type, std::initializer_list<const char*> types) {
  return type.size() == 4 && std::any_of(types.begin(), types.end(), [&](const char* t) {
           return std::memcmp(type.data(), t, 4) == 0;
         });
}

std::uint32_t Big32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// Why bytes [begin, end) are not a keyword: 1 to 79 Latin-1 characters (32 to 126, 161 to
// 255), no space at either end, no two spaces in a row.
// cHRM's white point and red, green and blue primaries, each x then y in 100,000ths: each x
// and y at most 0.8, and x + y at most 1.
bool ChromaticitiesInRange(const std::uint8_t* data) {
  constexpr std::uint32_t kMaxCoordinate = 80000, kMaxSum = 100000;
  for (int point = 0; point < 4; ++point) {
    const std::uint32_t x = Big32(data + 8 * point), y = Big32(data + 8 * point + 4);
    if (x > kMaxCoordinate || y > kMaxCoordinate || x + y > kMaxSum) return false;
  }
  return true;
}

std::string KeywordFault(const std::uint8_t* begin, const std::uint8_t* end) {
  const std::size_t size = std::size_t(end - begin);
  if (size == 0) return "its keyword is empty";
  if (size > 79) return "its keyword is longer than 79 bytes";
  if (begin[0] == ' ' || end[-1] == ' ') return "its keyword begins or ends with a space";
  for (const std::uint8_t* p = begin; p != end; ++p) {
    if (*p < 32 || (*p > 126 && *p < 161)) return "its keyword holds a byte that is no Latin-1 character";
    if (*p == ' ' && p + 1 != end && p[1] == ' ') return "its keyword holds two spaces in a row";
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
// between pieces. The shortest form only, and no surrogates (RFC 3629).
class Utf8Check {
 public:
  bool Take(const std::uint8_t* bytes, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
      const std::uint8_t b = bytes[i];
      if (pending_ > 0) {
        if (b < low_ || b > high_) return valid_ = false;
        --pending_;
        low_ = 0x80;
        high_ = 0xBF;
        continue;
      }
      if (b == 0) return valid_ = false;
      if (b < 0x80) continue;
      if (b >= 0xC2 && b <= 0xDF) {
        pending_ = 1;
      } else if (b >= 0xE0 && b <= 0xEF) {
        pending_ = 2;
        if (b == 0xE0) low_ = 0xA0;
        if (b == 0xED) high_ = 0x9F;
      } else if (b >= 0xF0 && b <= 0xF4) {
        pending_ = 3;
        if (b == 0xF0) low_ = 0x90;
        if (b == 0xF4) high_ = 0x8F;
      } else {
        return valid_ = false;
      }
    }
    return valid_;
  }
  bool Whole() const { return valid_ && pending_ == 0; }

 private:
  int pending_ = 0;  // continuation bytes the character still needs
  std::uint8_t low_ = 0x80, high_ = 0xBF;  // the range of the next continuation byte
  bool valid_ = true;
};

bool HasNoNull(const std::uint8_t* begin, const std::uint8_t* end) {
  return std::memchr(begin, 0, std::size_t(end - begin)) == nullptr;
}

struct Inflater {
  z_stream stream{};
  bool ready = false;
  ~Inflater() {
    if (ready) ::inflateEnd(&stream);
  }
};

// Inflates the zlib stream in [begin, end) to its end, handing each piece to `take`, and
// takes what it inflates from the budget `*left`, going at most a byte past it. Why it
// cannot, or "": `refused` when `take` returns false, the inflated data breaking its rules.
std::string InflateWhole(const std::uint8_t* begin, const std::uint8_t* end, std::uint64_t* left,
                         const std::function<bool(const std::uint8_t*, std::size_t)>& take,
                         const std::string& refused) {
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
      return result == Z_BUF_ERROR ? "its compressed data is cut off"
                                   : std::string("its compressed data is corrupt") +
                                         (inflater.stream.msg != nullptr
                                              ? std::string(": ") + inflater.stream.msg
                                              : "");
    }
  }
  if (inflater.stream.avail_in != 0) return "bytes follow its compressed data";
  return "";
}

}  // namespace

bool IsChunkName(const std::string& type) {
  return type.size() == 4 && std::all_of(type.begin(), type.end(), [](char c) {
           return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
         });
}

bool IsOnceOnlyChunk(const std::string& type) {
  return IsOneOf(type, {"IHDR", "PLTE", "IEND", "tRNS", "cHRM", "gAMA", "iCCP", "sBIT", "sRGB",
                        "cICP", "mDCv", "cLLi", "bKGD", "hIST", "pHYs", "eXIf", "tIME", "acTL"});
}

std::optional<std::uint32_t> FixedChunkLength(const std::string& type, std::uint8_t colourType,
                                              std::uint32_t paletteEntries) {
  static constexpr struct {
    const char* type;
    std::uint32_t length;
  } kFixed[] = {{"IHDR", 13}, {"IEND", 0},  {"cHRM", 32}, {"gAMA", 4}, {"sRGB", 1},
                {"cICP", 4},  {"mDCv", 24}, {"cLLi", 8},  {"pHYs", 9}, {"tIME", 7},
                {"acTL", 8},  {"fcTL", 26}};
  for (const auto& fixed : kFixed) {
    if (IsOneOf(type, {fixed.type})) return fixed.length;
  }
  // Grey, RGB, palette, grey and alpha, RGBA: a significant-bits byte for each channel (a
  // palette's three), a background of one sample a channel at two bytes (a palette index).
  static constexpr std::uint32_t kSbit[7] = {1, 0, 3, 3, 2, 0, 4};
  static constexpr std::uint32_t kBkgd[7] = {2, 0, 6, 1, 2, 0, 6};
  if (colourType > 6) return std::nullopt;
  if (type == "sBIT") return kSbit[colourType];
  if (type == "bKGD") return kBkgd[colourType];
  if (type == "hIST" && paletteEntries > 0) return 2 * paletteEntries;
  return std::nullopt;
}

bool IsKeptChunk(const std::string& type, std::uint8_t colourType) {
  if (type == "iCCP") return colourType != kGrey && colourType != kGreyAlpha;
  return IsOneOf(type, {"sRGB", "gAMA", "cHRM", "pHYs", "tEXt", "zTXt", "iTXt", "eXIf"});
}

std::string KeptChunkCheck::Fault(const std::string& type, const std::uint8_t* data,
                                  std::uint32_t length, bool afterPalette, bool afterPixels) {
  std::string fault = OwnRulesFault(type, data, length, afterPalette, afterPixels);
  // A profile and sRGB each say what the colours mean: a file keeps the first of the two.
  if (fault.empty() && (type == "iCCP" || type == "sRGB")) {
    if (colourSpaceKept_) fault = "it comes after an " + std::string(type == "iCCP" ? "sRGB" : "iCCP") + " chunk, which it must not accompany";
    colourSpaceKept_ = true;
  }
  return fault;
}

std::string KeptChunkCheck::OwnRulesFault(const std::string& type, const std::uint8_t* data,
                                          std::uint32_t length, bool afterPalette, bool afterPixels) {
  // Those that say how the pixels look must come before them; all but pHYs before the palette.
  if (IsOneOf(type, {"iCCP", "sRGB", "gAMA", "cHRM"}) && (afterPalette || afterPixels)) {
    return afterPixels ? "it comes after the pixels" : "it comes after the palette";
  }
  if (type == "pHYs" && afterPixels) return "it comes after the pixels";

  if (type == "sRGB" && data[0] > 3) return "its rendering intent " + std::to_string(data[0]) + " is not 0 to 3";
  if (type == "gAMA" && Big32(data) == 0) return "its gamma is 0";
  if (type == "cHRM" && !ChromaticitiesInRange(data)) {
    return "a chromaticity is out of range (x and y 0 to 0.8, x + y at most 1)";
  }
  if (type == "pHYs" && data[8] > 1) return "its unit " + std::to_string(data[8]) + " is not 0 or 1";
  if (type == "eXIf") {
    static constexpr std::uint8_t kIntel[4] = {'I', 'I', 42, 0}, kMotorola[4] = {'M', 'M', 0, 42};
    if (length < 4 || (std::memcmp(data, kIntel, 4) != 0 && std::memcmp(data, kMotorola, 4) != 0)) {
      return "it does not begin with a TIFF header";
    }
    return "";
  }
  if (!IsOneOf(type, {"tEXt", "zTXt", "iTXt", "iCCP"})) return "";

  // Keyword (a profile's name), a null, then what each type holds.
  Fields fields(data, length);
  const std::uint8_t *keyword, *keywordEnd;
  if (!fields.UpTo0(&keyword, &keywordEnd)) {
    return "its " + std::string(type == "iCCP" ? "profile name" : "keyword") + " has no null after it";
  }
  if (std::string fault = KeywordFault(keyword, keywordEnd); !fault.empty()) {
    if (type == "iCCP") fault.replace(0, 11, "its profile name");
    return fault;
  }
  if (type == "tEXt") return HasNoNull(fields.at(), fields.end()) ? "" : "its text holds a null";

  std::uint8_t compressed = 1, method = 0;
  if (type == "iTXt" && !fields.Byte(&compressed)) return "it ends after its keyword";
  if (!fields.Byte(&method)) return "it ends after its keyword";
  if (compressed > 1) return "its compression flag " + std::to_string(compressed) + " is not 0 or 1";
  if (method != 0) return "its compression method " + std::to_string(method) + " is not 0 (zlib)";

  if (type == "zTXt") {
    const auto noNull = [](const std::uint8_t* bytes, std::size_t size) {
      return std::memchr(bytes, 0, size) == nullptr;
    };
    return InflateWhole(fields.at(), fields.end(), &inflateLeft_, noNull, "its text holds a null");
  }
  if (type == "iTXt") {
    const std::uint8_t *language, *languageEnd, *translated, *translatedEnd;
    if (!fields.UpTo0(&language, &languageEnd)) return "its language tag has no null after it";
    for (const std::uint8_t* p = language; p != languageEnd; ++p) {
      const bool allowed = (*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') ||
                           (*p >= '0' && *p <= '9') || *p == '-';
      if (!allowed) return "its language tag holds a byte other than a letter, digit or hyphen";
    }
    if (!fields.UpTo0(&translated, &translatedEnd)) return "its translated keyword has no null after it";
    Utf8Check keywordCheck;
    if (!keywordCheck.Take(translated, std::size_t(translatedEnd - translated)) || !keywordCheck.Whole()) {
      return "its translated keyword is not UTF-8";
    }
    const std::string notUtf8 = "its text is not UTF-8 without nulls";
    Utf8Check text;
    if (compressed == 0) {
      text.Take(fields.at(), std::size_t(fields.end() - fields.at()));
    } else {
      const std::string fault = InflateWhole(
          fields.at(), fields.end(), &inflateLeft_,
          [&](const std::uint8_t* bytes, std::size_t size) { return text.Take(bytes, size); },
          notUtf8);
      if (!fault.empty()) return fault;
    }
    return text.Whole() ? "" : notUtf8;
  }

  // iCCP: the profile's header (128 bytes, then the tag count) gives its length, its
  // signature "acsp" and its colour space, which must be RGB: only colour images keep it.
  std::array<std::uint8_t, 132> head{};
  std::uint64_t size = 0;
  const std::string fault = InflateWhole(
      fields.at(), fields.end(), &inflateLeft_, [&](const std::uint8_t* bytes, std::size_t n) {
        for (std::size_t i = 0; i < n && size + i < head.size(); ++i) head[std::size_t(size + i)] = bytes[i];
        size += n;
        return true;
      },
      "");
  if (!fault.empty()) return fault;
  if (size < head.size() || Big32(head.data()) != size) return "its profile's header does not give its length";
  if (std::memcmp(head.data() + 36, "acsp", 4) != 0) return "its profile lacks the ICC signature";
  if (std::memcmp(head.data() + 16, "RGB ", 4) != 0) return "its profile is not for RGB colours";
  return "";
}

}  // namespace veilmere::qfhost
