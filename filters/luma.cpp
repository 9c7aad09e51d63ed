#include "filters/luma.h"

#include <bit>
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
// The vector loops work on the pixel words (0xAARRGGBB) as they are, without unpacking them:
// seven operations a register for alpha = Y, eight for 255 - Y. Let S = 77 R + 150 G + 29 B
// = 256 Y + f, with 0 <= f < 256. Read as 16-bit lanes, a word is (256 G + B, 256 A + R).
//  1. A multiply-add takes those two lanes times (29, 77) and adds the two products into the
//     word's 32-bit lane: 29 B + 77 R + 256 (29 G + 77 A).
//  2. Another takes (G, A), the odd bytes shifted down into 16-bit lanes, times
//     (150 - 256 * 29, -256 * 77 - 256) for alpha = Y, or (150 - 256 * 29, -256 * 77 + 256)
//     for 255 - Y. With the first that makes T = S - 256 A, or S + 256 A. The instruction
//     reads its lanes as signed, so a lane of 32,768 or more counts 65,536 less; that changes
//     T only from bit 16 up, which step 3 drops.
//  3. Bits 8 to 15 of T = 256 (Y - A) + f are Y - A, modulo 256. For 255 - Y, T is
//     complemented first: ~T = -S - 256 A - 1 = 256 (255 - Y - A - 256) + (255 - f), whose
//     bits 8 to 15 are 255 - Y - A. Shifted down by 8 and up by 24, those bits alone are
//     added to the word: its alpha A becomes Y, or 255 - Y, and its colour bytes stay.
// Each weight fits a signed 16-bit lane, and each sum of two products a 32-bit one.

// A 32-bit lane of two 16-bit lanes; the low one comes first in memory.
constexpr std::uint32_t Lanes(std::int16_t low, std::int16_t high) {
  return std::uint32_t{static_cast<std::uint16_t>(low)} |
         std::uint32_t{static_cast<std::uint16_t>(high)} << 16;
}
constexpr std::uint32_t kFirstWeights = Lanes(29, 77);
template <LumaAlpha kAlpha>
constexpr std::uint32_t kSecondWeights =
    Lanes(150 - 256 * 29, kAlpha == LumaAlpha::kLuma ? -256 * 77 - 256 : -256 * 77 + 256);

// A register of pixel words, in the vector types of GCC and Clang, whose operators work lane
// by lane; the multiply-add and the shift of 16-bit lanes are the instruction sets' own.
using Sse2Words = std::uint32_t __attribute__((vector_size(16)));

Sse2Words MultiplyAdd(Sse2Words a, Sse2Words b) {
  return std::bit_cast<Sse2Words>(
      _mm_madd_epi16(std::bit_cast<__m128i>(a), std::bit_cast<__m128i>(b)));
}
Sse2Words OddBytes(Sse2Words words) {
  return std::bit_cast<Sse2Words>(_mm_srli_epi16(std::bit_cast<__m128i>(words), 8));
}

#if defined(__AVX2__)
using Avx2Words = std::uint32_t __attribute__((vector_size(32)));

Avx2Words MultiplyAdd(Avx2Words a, Avx2Words b) {
  return std::bit_cast<Avx2Words>(
      _mm256_madd_epi16(std::bit_cast<__m256i>(a), std::bit_cast<__m256i>(b)));
}
Avx2Words OddBytes(Avx2Words words) {
  return std::bit_cast<Avx2Words>(_mm256_srli_epi16(std::bit_cast<__m256i>(words), 8));
}
#endif

template <class Words, LumaAlpha kAlpha>
Words ApplyLuma(Words words) {
  Words t = MultiplyAdd(words, Words{} + kFirstWeights) +
            MultiplyAdd(OddBytes(words), Words{} + kSecondWeights<kAlpha>);
  if constexpr (kAlpha == LumaAlpha::kInverseLuma) t = ~t;
  return words + ((t >> 8) << 24);
}

template <class Words>
Words LoadWords(const Pixel* pixels) {
  Words words;
  std::memcpy(&words, pixels, sizeof words);
  return words;
}

template <class Words>
void StoreWords(Pixel* pixels, Words words) {
  std::memcpy(pixels, &words, sizeof words);
}

// Two registers per step, loaded together, then one, then the plain rule for what is left.
template <class Words, LumaAlpha kAlpha>
void VectorRow(const Pixel* source, Pixel* destination, std::ptrdiff_t count) {
  constexpr std::ptrdiff_t n = sizeof(Words) / sizeof(Pixel);
  std::ptrdiff_t x = 0;
  for (; count - x >= 2 * n; x += 2 * n) {
    const Words first = LoadWords<Words>(source + x);
    const Words second = LoadWords<Words>(source + x + n);
    StoreWords(destination + x, ApplyLuma<Words, kAlpha>(first));
    StoreWords(destination + x + n, ApplyLuma<Words, kAlpha>(second));
  }
  if (count - x >= n) {
    StoreWords(destination + x, ApplyLuma<Words, kAlpha>(LoadWords<Words>(source + x)));
    x += n;
  }
  LumaRowPlain(source + x, destination + x, count - x, kAlpha);
}

template <class Words>
void VectorRow(const Pixel* source, Pixel* destination, std::ptrdiff_t count, LumaAlpha alpha) {
  if (alpha == LumaAlpha::kLuma) {
    VectorRow<Words, LumaAlpha::kLuma>(source, destination, count);
  } else {
    VectorRow<Words, LumaAlpha::kInverseLuma>(source, destination, count);
  }
}
#endif

constexpr LumaRowVariant kVariants[] = {
#if defined(__AVX2__)
    {"AVX2", &VectorRow<Avx2Words>},
#endif
#if defined(__SSE2__)
    {"SSE2", &VectorRow<Sse2Words>},
#endif
    {"plain", &LumaRowPlain},
};

}  // namespace

void LumaRow(const Pixel* source, Pixel* destination, std::ptrdiff_t count, LumaAlpha alpha) {
  kVariants[0].row(source, destination, count, alpha);
}

std::span<const LumaRowVariant> LumaRowVariants() { return kVariants; }

}  // namespace veilmere
