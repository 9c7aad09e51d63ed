#include "tools/qfhost/png_format.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

#include "tools/qfhost/image.h"

namespace veilmere::qfhost {

// A palette's colours (as RGBA words) and their entries: open addressing over 2,048 slots,
// which the most it holds, the file's 256 entries and 257 more, leave three quarters empty.
class ColourIndex {
 public:
  static constexpr std::size_t kMaxColours = 2 * kMaxPaletteEntries + 1;

  ColourIndex() { entries_.fill(kEmpty); }

  // The entry of `colour`, or -1.
  int Find(std::uint32_t colour) const {
    for (std::size_t slot = Slot(colour);; slot = (slot + 1) & (kSlots - 1)) {
      if (entries_[slot] == kEmpty) return -1;
      if (colours_[slot] == colour) return entries_[slot];
    }
  }

  // A colour Find does not know yet; at most kMaxColours of them.
  void Add(std::uint32_t colour, int entry) {
    std::size_t slot = Slot(colour);
    while (entries_[slot] != kEmpty) slot = (slot + 1) & (kSlots - 1);
    colours_[slot] = colour;
    entries_[slot] = static_cast<std::int16_t>(entry);
  }

 private:
  static constexpr int kSlotBits = 11;
  static constexpr std::size_t kSlots = std::size_t{1} << kSlotBits;
  static_assert(kSlots >= 3 * kMaxColours);
  static constexpr std::int16_t kEmpty = -1;
  // Fibonacci hashing: the top bits of the colour times 2^32 / golden ratio.
  static std::size_t Slot(std::uint32_t colour) { return (colour * 0x9E3779B1u) >> (32 - kSlotBits); }

  std::array<std::uint32_t, kSlots> colours_{};
  std::array<std::int16_t, kSlots> entries_{};
};

// image.h counts what choosing and writing hold beyond the image and a 16-bit file's samples
// (the chooser's index and palette, the writer's index, as if held at once) in kCodecOverhead.
static_assert(2 * sizeof(ColourIndex) + ColourIndex::kMaxColours * sizeof(Pixel) < (std::size_t{32} << 10));

namespace {

constexpr std::uint32_t kDeepScale = 257;  // an 8-bit value v is v x 257 in 16 bits
constexpr std::uint8_t kDeepDepth = 16;
constexpr std::uint8_t kByteDepth = 8;

std::uint32_t Word(Pixel p) {
  return std::uint32_t{p.b} | std::uint32_t{p.g} << 8 | std::uint32_t{p.r} << 16 | std::uint32_t{p.a} << 24;
}

// A pixel's samples as the output holds them: 8-bit values, or 16-bit ones for a 16-bit file.
struct Samples {
  std::uint16_t r, g, b, a;
  bool SameColour(const Samples& o) const { return r == o.r && g == o.g && b == o.b; }
};

// Reads an image's pixels as Samples: for a 16-bit file, each sample whose 8-bit value the
// filter left as round(original / 257) is the original, any other the value x 257.
class SampleReader {
 public:
  SampleReader(const Image& image, const PixelFormat& source)
      : pixels_(image.pixels.data()),
        deep_(source.depth == kDeepDepth),
        originals_(source.originals.empty() ? nullptr : source.originals.data()),
        channels_(static_cast<std::size_t>(ChannelsOf(source.colourType))),
        from_(OriginalChannels(source.colourType)) {}

  std::uint16_t Max() const { return deep_ ? 0xFFFF : 0xFF; }

  Samples At(std::size_t i) const {
    const Pixel p = pixels_[i];
    if (!deep_) return {p.r, p.g, p.b, p.a};
    const std::uint16_t* o = originals_ == nullptr ? nullptr : originals_ + i * channels_;
    return {Widen(p.r, o, from_[0]), Widen(p.g, o, from_[1]), Widen(p.b, o, from_[2]),
            Widen(p.a, o, from_[3])};
  }

 private:
  // The file's channel that red, green, blue and alpha come from; -1 for alpha where the
  // file has none (its alpha, 0 or 65535, is then the 8-bit value x 257 anyway).
  static std::array<int, 4> OriginalChannels(std::uint8_t colourType) {
    switch (colourType) {
      case kGrey: return {0, 0, 0, -1};
      case kGreyAlpha: return {0, 0, 0, 1};
      case kRgb: return {0, 1, 2, -1};
      default: return {0, 1, 2, 3};
    }
  }

  static std::uint16_t Widen(std::uint8_t value, const std::uint16_t* originals, int channel) {
    if (originals != nullptr && channel >= 0 &&
        (originals[channel] + kDeepScale / 2) / kDeepScale == value) {
      return originals[channel];
    }
    return static_cast<std::uint16_t>(value * kDeepScale);
  }

  const Pixel* pixels_;
  bool deep_;
  const std::uint16_t* originals_;
  std::size_t channels_;
  std::array<int, 4> from_;
};

// The step between the 8-bit values of a grey sample of `depth` bits (1, 2 or 4), which
// spreads 0 to 2^depth - 1 over 0 to 255: 255 / (2^depth - 1).
std::uint32_t GreyStep(std::uint8_t depth) { return 255u / ((1u << depth) - 1); }

// The depths of 1, 2 and 4 bits (bit d for depth d) that hold the 8-bit grey value v exactly.
constexpr std::uint32_t kAllLowDepths = 1u << 1 | 1u << 2 | 1u << 4;
std::uint32_t LowDepthsHolding(std::uint16_t v) {
  std::uint32_t depths = 0;
  for (const std::uint8_t depth : {1, 2, 4}) {
    if (v % GreyStep(depth) == 0) depths |= 1u << depth;
  }
  return depths;
}

// What one pass over the result tells of the formats that hold it.
struct Survey {
  bool grey = true;                     // every pixel's red, green and blue equal
  std::uint32_t lowDepths = kAllLowDepths;  // of a grey result, the low depths holding it
  bool variedAlpha = false;             // some pixel neither opaque nor transparent
  bool transparent = false;             // some pixel fully transparent
  bool oneTransparentColour = true;
  bool keyOpaque = false;               // an opaque pixel has the transparent ones' colour
  Samples key{};
  std::size_t firstTransparent = 0;

  bool KeyFits() const { return !variedAlpha && oneTransparentColour && !keyOpaque; }

  static Survey Of(const SampleReader& samples, std::size_t count, bool lowDepths) {
    Survey s;
    const std::uint16_t opaque = samples.Max();
    for (std::size_t i = 0; i < count; ++i) {
      const Samples p = samples.At(i);
      if (p.r != p.g || p.g != p.b) {
        s.grey = false;
      } else if (lowDepths) {
        s.lowDepths &= LowDepthsHolding(p.r);
      }
      if (p.a == opaque) {
        s.keyOpaque = s.keyOpaque || (s.transparent && p.SameColour(s.key));
      } else if (p.a != 0) {
        s.variedAlpha = true;
      } else if (!s.transparent) {
        s.transparent = true;
        s.key = p;
        s.firstTransparent = i;
      } else {
        s.oneTransparentColour = s.oneTransparentColour && p.SameColour(s.key);
      }
    }
    // The pixels before the first transparent one were not compared with its colour.
    for (std::size_t i = 0; s.transparent && s.KeyFits() && i < s.firstTransparent; ++i) {
      s.keyOpaque = samples.At(i).SameColour(s.key);
    }
    return s;
  }
};

OutputFormat Format(std::uint8_t colourType, std::uint8_t depth) {
  OutputFormat format;
  format.colourType = colourType;
  format.depth = depth;
  return format;
}

// RGB with a key where alpha fits one, else RGBA.
OutputFormat ColourFormat(const Survey& s, std::uint8_t depth) {
  if (!s.KeyFits()) return Format(kRgba, depth);
  OutputFormat format = Format(kRgb, depth);
  format.keyed = s.transparent;
  format.key[0] = s.key.r;
  format.key[1] = s.key.g;
  format.key[2] = s.key.b;
  return format;
}

OutputFormat GreyFormat(const Survey& s, std::uint8_t sourceDepth) {
  const std::uint8_t wide = std::max(sourceDepth, kByteDepth);
  if (!s.grey) return ColourFormat(s, wide);
  if (!s.KeyFits()) return Format(kGreyAlpha, wide);
  std::uint8_t depth = sourceDepth;
  while (depth < kByteDepth && (s.lowDepths & (1u << depth)) == 0) depth = std::uint8_t(depth * 2);
  OutputFormat format = Format(kGrey, depth);
  format.keyed = s.transparent;
  format.key[0] = depth < kByteDepth ? std::uint16_t(s.key.r / GreyStep(depth)) : s.key.r;
  return format;
}

// The palette the rules give, or nothing when the result has more than 256 colours.
std::optional<OutputFormat> PaletteFormat(const Image& image, const PixelFormat& source) {
  ColourIndex index;
  std::vector<Pixel> entries(source.palette.begin(),
                             source.palette.begin() + std::ptrdiff_t(std::min(source.palette.size(), kMaxPaletteEntries)));
  const std::size_t fromFile = entries.size();
  for (std::size_t i = 0; i < fromFile; ++i) {
    if (index.Find(Word(entries[i])) < 0) index.Add(Word(entries[i]), int(i));
  }
  std::vector<bool> used(fromFile, false);
  std::uint32_t last = 0;
  int lastEntry = -1;
  for (const Pixel& p : image.pixels) {
    const std::uint32_t word = Word(p);
    if (lastEntry >= 0 && word == last) continue;
    int entry = index.Find(word);
    if (entry < 0) {
      if (entries.size() - fromFile == kMaxPaletteEntries) return std::nullopt;
      entry = int(entries.size());
      index.Add(word, entry);
      entries.push_back(p);
    } else if (std::size_t(entry) < fromFile) {
      used[std::size_t(entry)] = true;
    }
    last = word;
    lastEntry = entry;
  }
  if (entries.size() > (std::size_t{1} << source.depth)) {
    std::vector<Pixel> kept;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (i >= fromFile || used[i]) kept.push_back(entries[i]);
    }
    entries.swap(kept);
  }
  if (entries.size() > kMaxPaletteEntries) return std::nullopt;
  std::uint8_t depth = std::max<std::uint8_t>(source.depth, 1);
  while ((std::size_t{1} << depth) < entries.size()) depth = std::uint8_t(depth * 2);
  OutputFormat format = Format(kPalette, depth);
  format.palette = std::move(entries);
  return format;
}

// Sets `count` bits of `row` at bit `count` x `i` (PNG packs pixels from a byte's top bit).
void PutBits(std::uint8_t* row, std::size_t i, std::uint8_t count, std::uint32_t value) {
  const std::size_t bit = i * count;
  row[bit / 8] = std::uint8_t(row[bit / 8] | value << (8 - count - bit % 8));
}

}  // namespace

int ChannelsOf(std::uint8_t colourType) {
  switch (colourType) {
    case kRgb: return 3;
    case kGreyAlpha: return 2;
    case kRgba: return 4;
    default: return 1;  // grey, palette
  }
}

OutputFormat ChooseOutputFormat(const Image& image, const PixelFormat& source) {
  if (source.colourType == kPalette) {
    if (std::optional<OutputFormat> palette = PaletteFormat(image, source)) return *std::move(palette);
  }
  const std::uint8_t depth = std::max(source.depth, kByteDepth);
  if (source.colourType == kRgba) return Format(kRgba, depth);  // holds anything: no pass
  const SampleReader samples(image, source);
  const bool lowGrey = source.colourType == kGrey && source.depth < kByteDepth;
  const Survey survey = Survey::Of(samples, image.pixels.size(), lowGrey);
  switch (source.colourType) {
    case kGrey: return GreyFormat(survey, source.depth);
    case kGreyAlpha: return Format(survey.grey ? kGreyAlpha : kRgba, depth);
    default: return ColourFormat(survey, depth);  // RGB, and palettes of too many colours
  }
}

ScanlineWriter::ScanlineWriter(const Image& image, const PixelFormat& source, const OutputFormat& format)
    : image_(image), source_(source), format_(format) {
  const std::size_t bits = std::size_t(ChannelsOf(format.colourType)) * format.depth;
  rowBytes_ = (std::size_t(image.width) * bits + 7) / 8;
  bytesPerPixel_ = std::max<std::size_t>(1, bits / 8);
  if (format.colourType == kPalette) {
    indexes_ = std::make_unique<ColourIndex>();
    for (std::size_t i = 0; i < format.palette.size(); ++i) {
      if (indexes_->Find(Word(format.palette[i])) < 0) indexes_->Add(Word(format.palette[i]), int(i));
    }
  }
}

ScanlineWriter::~ScanlineWriter() = default;

void ScanlineWriter::Row(std::int32_t y, std::uint8_t* out) const {
  const std::size_t first = std::size_t(y) * std::size_t(image_.width);
  const std::size_t width = std::size_t(image_.width);
  const std::uint8_t depth = format_.depth;
  if (depth < kByteDepth) std::memset(out, 0, rowBytes_);
  if (format_.colourType == kPalette) {
    for (std::size_t x = 0; x < width; ++x) {
      const auto entry = std::uint32_t(indexes_->Find(Word(image_.pixels[first + x])));
      if (depth < kByteDepth) PutBits(out, x, depth, entry); else out[x] = std::uint8_t(entry);
    }
    return;
  }
  // 8-bit RGBA, from a file of 8 bits or fewer: the pixels as they are, in the file's order.
  if (format_.colourType == kRgba && depth == kByteDepth && source_.depth != kDeepDepth) {
    PixelsToRgba(image_.pixels.data() + first, width, out);
    return;
  }
  const SampleReader samples(image_, source_);
  if (depth < kByteDepth) {  // grey
    const std::uint32_t step = GreyStep(depth);
    for (std::size_t x = 0; x < width; ++x) PutBits(out, x, depth, samples.At(first + x).r / step);
    return;
  }
  const auto put = depth == kDeepDepth
                       ? +[](std::uint8_t*& at, std::uint16_t v) { *at++ = std::uint8_t(v >> 8), *at++ = std::uint8_t(v); }
                       : +[](std::uint8_t*& at, std::uint16_t v) { *at++ = std::uint8_t(v); };
  for (std::size_t x = 0; x < width; ++x) {
    const Samples s = samples.At(first + x);
    put(out, s.r);
    if (format_.colourType == kRgb || format_.colourType == kRgba) put(out, s.g), put(out, s.b);
    if (format_.colourType == kGreyAlpha || format_.colourType == kRgba) put(out, s.a);
  }
}

}  // namespace veilmere::qfhost
