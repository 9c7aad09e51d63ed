#include "filters/luma.h"

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
constexpr std::int32_t Lanes(std::int16_t low, std::int16_t high) {
  return static_cast<std::int32_t>(static_cast<std::uint16_t>(low) |
                                   std::uint32_t{static_cast<std::uint16_t>(high)} << 16);
}
constexpr std::int32_t kFirstWeights = Lanes(29, 77);
template <LumaAlpha kAlpha>
constexpr std::int32_t kSecondWeights =
    Lanes(150 - 256 * 29, kAlpha == LumaAlpha::kLuma ? -256 * 77 - 256 : -256 * 77 + 256);

// Two registers per step, loaded together, then one, then the plain rule for what is left.
template <template <LumaAlpha> class Kernel, LumaAlpha kAlpha>
void VectorRow(const Pixel* source, Pixel* destination, std::ptrdiff_t count) {
  using K = Kernel<kAlpha>;
  constexpr std::ptrdiff_t n = K::kPixels;
  const K kernel;
  std::ptrdiff_t x = 0;
  for (; count - x >= 2 * n; x += 2 * n) {
    const auto first = K::Load(source + x);
    const auto second = K::Load(source + x + n);
    K::Store(destination + x, kernel.Apply(first));
    K::Store(destination + x + n, kernel.Apply(second));
  }
  if (count - x >= n) {
    K::Store(destination + x, kernel.Apply(K::Load(source + x)));
    x += n;
  }
  LumaRowPlain(source + x, destination + x, count - x, kAlpha);
}

template <template <LumaAlpha> class Kernel>
void RunVectorRow(const Pixel* source, Pixel* destination, std::ptrdiff_t count,
                  LumaAlpha alpha) {
  if (alpha == LumaAlpha::kLuma) {
    VectorRow<Kernel, LumaAlpha::kLuma>(source, destination, count);
  } else {
    VectorRow<Kernel, LumaAlpha::kInverseLuma>(source, destination, count);
  }
}

template <LumaAlpha kAlpha>
struct Sse2Kernel {
  static constexpr std::ptrdiff_t kPixels = 4;
  static __m128i Load(const Pixel* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  }
  static void Store(Pixel* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

  __m128i Apply(__m128i words) const {
    __m128i t = _mm_add_epi32(_mm_madd_epi16(words, first),
                              _mm_madd_epi16(_mm_srli_epi16(words, 8), second));
    if constexpr (kAlpha == LumaAlpha::kInverseLuma) t = _mm_xor_si128(t, allBits);
    return _mm_add_epi32(words, _mm_slli_epi32(_mm_srli_epi32(t, 8), 24));
  }

  const __m128i first = _mm_set1_epi32(kFirstWeights);
  const __m128i second = _mm_set1_epi32(kSecondWeights<kAlpha>);
  const __m128i allBits = _mm_set1_epi32(-1);
};

void LumaRowSse2(const Pixel* source, Pixel* destination, std::ptrdiff_t count,
                 LumaAlpha alpha) {
  RunVectorRow<Sse2Kernel>(source, destination, count, alpha);
}
#endif

#if defined(__AVX2__)
// The SSE2 kernel on eight words at once.
template <LumaAlpha kAlpha>
struct Avx2Kernel {
  static constexpr std::ptrdiff_t kPixels = 8;
  static __m256i Load(const Pixel* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  }
  static void Store(Pixel* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
  }

  __m256i Apply(__m256i words) const {
    __m256i t = _mm256_add_epi32(_mm256_madd_epi16(words, first),
                                 _mm256_madd_epi16(_mm256_srli_epi16(words, 8), second));
    if constexpr (kAlpha == LumaAlpha::kInverseLuma) t = _mm256_xor_si256(t, allBits);
    return _mm256_add_epi32(words, _mm256_slli_epi32(_mm256_srli_epi32(t, 8), 24));
  }

  const __m256i first = _mm256_set1_epi32(kFirstWeights);
  const __m256i second = _mm256_set1_epi32(kSecondWeights<kAlpha>);
  const __m256i allBits = _mm256_set1_epi32(-1);
};

void LumaRowAvx2(const Pixel* source, Pixel* destination, std::ptrdiff_t count,
                 LumaAlpha alpha) {
  RunVectorRow<Avx2Kernel>(source, destination, count, alpha);
}
#endif

constexpr LumaRowVariant kVariants[] = {
#if defined(__AVX2__)
    {"AVX2", &LumaRowAvx2},
#endif
#if defined(__SSE2__)
    {"SSE2", &LumaRowSse2},
#endif
    {"plain", &LumaRowPlain},
};

}  // namespace

void LumaRow(const Pixel* source, Pixel* destination, std::ptrdiff_t count, LumaAlpha alpha) {
  kVariants[0].row(source, destination, count, alpha);
}

std::span<const LumaRowVariant> LumaRowVariants() { return kVariants; }

}  // namespace veilmere
