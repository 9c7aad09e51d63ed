#include "filters/luma.h"

#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace veilmere {
namespace {

void LumaRowPlain(const Pixel* source, Pixel* destination, std::ptrdiff_t count,
                  LumaAlpha alpha) {
  for (std::ptrdiff_t x = 0; x < count; ++x)
    StorePixelWord(destination + x, WithLumaAlpha(LoadPixelWord(source + x), alpha));
}

#if defined(__SSE2__)
// The vector loops work on the pixel words (0xAARRGGBB) as they are, without unpacking them,
// in the vector types of GCC and Clang, whose operators work lane by lane: eight operations
// a register. The same code makes the 16-byte (SSE2) and the 32-byte (AVX2) loop; only the
// register width differs. All arithmetic is modulo 2^16 in 16-bit lanes, so it is exact
// whatever the pixel. Read as 16-bit lanes, a word is (L, H) = (256 G + B, 256 A + R), and
// S = 77 R + 150 G + 29 B = 256 Y + f with 0 <= f < 256.
//  1. (L, H) times (29, 77), plus (G, A) = (L >> 8, H >> 8) times (150 - 256 * 29,
//     -256 * 77 - 256), lane by lane: L' = 29 B + 150 G and H' = 77 R - 256 A. For 255 - Y
//     the second weight of A is -256 * 77 + 256, so that H' = 77 R + 256 A.
//  2. The word plus itself shifted up by 16 puts H' + L' in the high lane: T = S - 256 A,
//     or S + 256 A, whose top byte (bits 24 to 31 of the word) is Y - A modulo 256, or
//     Y + A. For 255 - Y, T is complemented, which makes that byte 255 - Y - A.
//  3. That byte alone, added to the word, turns its alpha A into Y, or 255 - Y; the carry out
//     of the top bit is dropped and the colour bytes stay.

// A 32-bit lane of two 16-bit lanes; the low one comes first in memory.
constexpr std::uint32_t Lanes(std::uint16_t low, std::uint16_t high) {
  return std::uint32_t{low} | std::uint32_t{high} << 16;
}
constexpr std::uint32_t kFirstWeights = Lanes(29, 77);
template <LumaAlpha kAlpha>
constexpr std::uint32_t kSecondWeights =
    Lanes(static_cast<std::uint16_t>(150 - 256 * 29),
          static_cast<std::uint16_t>(kAlpha == LumaAlpha::kLuma ? -256 * 77 - 256
                                                                : -256 * 77 + 256));

// A register as pixel words and as 16-bit lanes, 16 bytes wide or 32. Written as typedefs:
// GCC silently drops a vector_size that depends on a template parameter from an alias
// declaration, and the static_assert holds the typedefs to their width.
template <std::size_t kBytes>
struct Register {
  typedef std::uint32_t Words __attribute__((vector_size(kBytes)));
  typedef std::uint16_t Halves __attribute__((vector_size(kBytes)));
  static_assert(sizeof(Words) == kBytes && sizeof(Halves) == kBytes);
};

// The rule on the kBytes / 4 pixels from `source` on. Always inlined: the caller's
// instruction set decides how the lane operations are compiled, 16 or 32 bytes at a time.
template <std::size_t kBytes, LumaAlpha kAlpha>
[[gnu::always_inline]] inline void ApplyLuma(const Pixel* source, Pixel* destination) {
  using Words = typename Register<kBytes>::Words;
  using Halves = typename Register<kBytes>::Halves;
  Words words;
  std::memcpy(&words, source, sizeof words);
  // Casts between vector types of one size keep the bits. They are written as casts, not
  // std::bit_cast, whose 32-byte results would pass through a function compiled without AVX.
  const Halves halves = (Halves)words;
  const Words t = (Words)(halves * (Halves)(Words{} + kFirstWeights) +
                          (halves >> 8) * (Halves)(Words{} + kSecondWeights<kAlpha>));
  Words top = t + (t << 16);
  if constexpr (kAlpha == LumaAlpha::kInverseLuma) top = ~top;
  words += top & 0xFF000000u;
  std::memcpy(destination, &words, sizeof words);
}

// The rule over as many whole registers from the row's start as fit in `count` pixels: two
// registers per step, then one. Returns how many pixels that was; the plain rule does the rest.
template <std::size_t kBytes, LumaAlpha kAlpha>
[[gnu::always_inline]] inline std::ptrdiff_t VectorSteps(const Pixel* source, Pixel* destination,
                                                         std::ptrdiff_t count) {
  constexpr std::ptrdiff_t n = kBytes / sizeof(Pixel);
  std::ptrdiff_t x = 0;
  for (; count - x >= 2 * n; x += 2 * n) {
    ApplyLuma<kBytes, kAlpha>(source + x, destination + x);
    ApplyLuma<kBytes, kAlpha>(source + x + n, destination + x + n);
  }
  if (count - x >= n) {
    ApplyLuma<kBytes, kAlpha>(source + x, destination + x);
    x += n;
  }
  return x;
}

template <std::size_t kBytes>
[[gnu::always_inline]] inline std::ptrdiff_t VectorSteps(const Pixel* source, Pixel* destination,
                                                         std::ptrdiff_t count, LumaAlpha alpha) {
  return alpha == LumaAlpha::kLuma
             ? VectorSteps<kBytes, LumaAlpha::kLuma>(source, destination, count)
             : VectorSteps<kBytes, LumaAlpha::kInverseLuma>(source, destination, count);
}

void Sse2Row(const Pixel* source, Pixel* destination, std::ptrdiff_t count, LumaAlpha alpha) {
  const std::ptrdiff_t x = VectorSteps<16>(source, destination, count, alpha);
  LumaRowPlain(source + x, destination + x, count - x, alpha);
}

// Compiled for AVX2 whatever the build's instruction set; run only where the processor has
// it (and the system saves its registers), which ProcessorHasAvx2 tells. It clears the upper
// halves of the registers before it goes on to code that may use SSE (the plain rule, the
// host): on Intel processors, SSE code run while they hold data is slowed. GCC leaves that
// out before a call to a function of this file, so it is written here.
[[gnu::target("avx2")]] void Avx2Row(const Pixel* source, Pixel* destination,
                                     std::ptrdiff_t count, LumaAlpha alpha) {
  const std::ptrdiff_t x = VectorSteps<32>(source, destination, count, alpha);
  _mm256_zeroupper();
  LumaRowPlain(source + x, destination + x, count - x, alpha);
}

bool ProcessorHasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}
#endif

}  // namespace

std::span<const LumaRowVariant> LumaRowVariants() {
  // Built once, on first use; C++ makes that safe when several threads get here at once.
  static const LumaRowVariant variants[] = {
#if defined(__SSE2__)
      {"AVX2", &Avx2Row, ProcessorHasAvx2()},
      {"SSE2", &Sse2Row, true},
#endif
      {"plain", &LumaRowPlain, true},
  };
  return variants;
}

void LumaRow(const Pixel* source, Pixel* destination, std::ptrdiff_t count, LumaAlpha alpha) {
  for (const LumaRowVariant& variant : LumaRowVariants()) {
    if (variant.runsHere) return variant.row(source, destination, count, alpha);
  }
}

}  // namespace veilmere
