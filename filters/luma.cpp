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
// The vector loops work on pixel words (0xAARRGGBB) in place, without unpacking them, with
// eight operations per register. Read as 16-bit lanes, a word is (256 G + B, 256 A + R).
//  1. One multiply-add takes the word's two 16-bit lanes times (29, 77) and adds the two
//     products into the word's 32-bit lane: 29 B + 77 R + 256 (29 G + 77 A).
//  2. A second one takes (G, A), the odd bytes shifted down into 16-bit lanes, times
//     (150 - 256 * 29, -256 * 77), which takes 256 (29 G + 77 A) away again and adds 150 G.
//  The sum of the two is S = 77 R + 150 G + 29 B, less than 65,536, modulo 65,536: the
//  instruction reads its lanes as signed, so a lane of 32,768 or more counts 65,536 less,
//  which changes only the bits from 16 up. Y is bits 8 to 15 of S.
//  3. Shifted left by 16, Y lands in the alpha byte; a mask keeps it alone (alpha = Y), or
//     keeps its complement (alpha = ~Y = 255 - Y), next to the word's colour bytes.
// Each weight fits a signed 16-bit lane and each sum of two products a 32-bit one.

// A 32-bit lane of two 16-bit lanes; the low one comes first in memory.
constexpr std::int32_t Lanes(std::int16_t low, std::int16_t high) {
  return static_cast<std::int32_t>(static_cast<std::uint16_t>(low) |
                                   std::uint32_t{static_cast<std::uint16_t>(high)} << 16);
}
constexpr std::int32_t kFirstWeights = Lanes(29, 77);
constexpr std::int32_t kSecondWeights = Lanes(150 - 256 * 29, -256 * 77);

// Two registers per step, loaded together, then one, then the plain rule for what is left.
template <class Kernel, LumaAlpha kAlpha>
void VectorRow(const Pixel* source, Pixel* destination, std::ptrdiff_t count) {
  constexpr std::ptrdiff_t n = Kernel::kPixels;
  const Kernel kernel;
  std::ptrdiff_t x = 0;
  for (; count - x >= 2 * n; x += 2 * n) {
    const auto first = Kernel::Load(source + x);
    const auto second = Kernel::Load(source + x + n);
    Kernel::Store(destination + x, kernel.template Apply<kAlpha>(first));
    Kernel::Store(destination + x + n, kernel.template Apply<kAlpha>(second));
  }
  if (count - x >= n) {
    Kernel::Store(destination + x, kernel.template Apply<kAlpha>(Kernel::Load(source + x)));
    x += n;
  }
  LumaRowPlain(source + x, destination + x, count - x, kAlpha);
}

template <class Kernel>
void RunVectorRow(const Pixel* source, Pixel* destination, std::ptrdiff_t count,
                  LumaAlpha alpha) {
  if (alpha == LumaAlpha::kLuma) {
    VectorRow<Kernel, LumaAlpha::kLuma>(source, destination, count);
  } else {
    VectorRow<Kernel, LumaAlpha::kInverseLuma>(source, destination, count);
  }
}

struct Sse2Kernel {
  static constexpr std::ptrdiff_t kPixels = 4;
  static __m128i Load(const Pixel* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  static void Store(Pixel* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

  template <LumaAlpha kAlpha>
  __m128i Apply(__m128i words) const {
    const __m128i sum = _mm_add_epi32(_mm_madd_epi16(words, first),
                                      _mm_madd_epi16(_mm_srli_epi16(words, 8), second));
    const __m128i high = _mm_slli_epi32(sum, 16);
    const __m128i alpha = kAlpha == LumaAlpha::kLuma ? _mm_and_si128(high, alphaBits)
                                                     : _mm_andnot_si128(high, alphaBits);
    return _mm_or_si128(_mm_andnot_si128(alphaBits, words), alpha);
  }

  const __m128i first = _mm_set1_epi32(kFirstWeights);
  const __m128i second = _mm_set1_epi32(kSecondWeights);
  const __m128i alphaBits = _mm_set1_epi32(static_cast<std::int32_t>(kAlphaBits));
};

void LumaRowSse2(const Pixel* source, Pixel* destination, std::ptrdiff_t count,
                 LumaAlpha alpha) {
  RunVectorRow<Sse2Kernel>(source, destination, count, alpha);
}
#endif

#if defined(__AVX2__)
// The SSE2 kernel on eight words at once.
struct Avx2Kernel {
  static constexpr std::ptrdiff_t kPixels = 8;
  static __m256i Load(const Pixel* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  }
  static void Store(Pixel* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
  }

  template <LumaAlpha kAlpha>
  __m256i Apply(__m256i words) const {
    const __m256i sum = _mm256_add_epi32(_mm256_madd_epi16(words, first),
                                         _mm256_madd_epi16(_mm256_srli_epi16(words, 8), second));
    const __m256i high = _mm256_slli_epi32(sum, 16);
    const __m256i alpha = kAlpha == LumaAlpha::kLuma ? _mm256_and_si256(high, alphaBits)
                                                     : _mm256_andnot_si256(high, alphaBits);
    return _mm256_or_si256(_mm256_andnot_si256(alphaBits, words), alpha);
  }

  const __m256i first = _mm256_set1_epi32(kFirstWeights);
  const __m256i second = _mm256_set1_epi32(kSecondWeights);
  const __m256i alphaBits = _mm256_set1_epi32(static_cast<std::int32_t>(kAlphaBits));
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
