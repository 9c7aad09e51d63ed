#include "filters/luma.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace veilmere {

void LumaRow(const Pixel* source, Pixel* destination, std::ptrdiff_t count, LumaAlpha alpha) {
#if defined(__SSE2__)
  LumaRowSse2(source, destination, count, alpha);
#else
  LumaRowPlain(source, destination, count, alpha);
#endif
}

void LumaRowPlain(const Pixel* source, Pixel* destination, std::ptrdiff_t count,
                  LumaAlpha alpha) {
  for (std::ptrdiff_t x = 0; x < count; ++x)
    StorePixelWord(destination + x, WithLumaAlpha(LoadPixelWord(source + x), alpha));
}

#if defined(__SSE2__)
namespace {

// WithLumaAlpha on four pixel words (0xAARRGGBB) in one register, without unpacking them.
// The sum 77 R + 150 G + 29 B of each word comes from two multiply-adds, each of which
// multiplies 16-bit lanes and adds each pair of products into one 32-bit lane:
//   the even bytes (B, R) as 16-bit lanes, times (29, 77), make 29 B + 77 R;
//   the odd bytes (G, A) as 16-bit lanes, times (150, 0), make 150 G.
// Every input is 0..255 and every weight positive, so the instruction's signed reading of its
// 16-bit lanes changes nothing, and each sum, at most 255 * 256 - 1, is exact in its 32-bit
// lane. Y is the sum's bits 8 to 15: shifted left by 16 they land in the alpha byte, and the
// mask drops the fraction below them.
class LumaSse2 {
 public:
  explicit LumaSse2(LumaAlpha alpha)
      : flip_(_mm_set1_epi32(static_cast<std::int32_t>(static_cast<std::uint32_t>(alpha) << 24))) {}

  __m128i operator()(__m128i words) const {
    const __m128i blueRed = _mm_and_si128(words, evenBytes_);
    const __m128i greenAlpha = _mm_srli_epi16(words, 8);
    const __m128i sum = _mm_add_epi32(_mm_madd_epi16(blueRed, blueRedWeights_),
                                      _mm_madd_epi16(greenAlpha, greenAlphaWeights_));
    const __m128i luma = _mm_and_si128(_mm_slli_epi32(sum, 16), alphaBits_);
    return _mm_or_si128(_mm_and_si128(words, colourBits_), _mm_xor_si128(luma, flip_));
  }

 private:
  // A 32-bit lane's low 16-bit lane comes first in memory: (B, R) and (G, A).
  const __m128i evenBytes_ = _mm_set1_epi32(0x00FF00FF);
  const __m128i blueRedWeights_ = _mm_set1_epi32(29 | 77 << 16);
  const __m128i greenAlphaWeights_ = _mm_set1_epi32(150);
  const __m128i alphaBits_ = _mm_set1_epi32(static_cast<std::int32_t>(kAlphaBits));
  const __m128i colourBits_ = _mm_set1_epi32(static_cast<std::int32_t>(kColourBits));
  const __m128i flip_;
};

__m128i LoadFour(const Pixel* pixels) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels));
}

void StoreFour(Pixel* pixels, __m128i words) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels), words);
}

}  // namespace

void LumaRowSse2(const Pixel* source, Pixel* destination, std::ptrdiff_t count,
                 LumaAlpha alpha) {
  const LumaSse2 rule(alpha);
  std::ptrdiff_t x = 0;
  for (; count - x >= 8; x += 8) {
    const __m128i first = LoadFour(source + x);
    const __m128i second = LoadFour(source + x + 4);
    StoreFour(destination + x, rule(first));
    StoreFour(destination + x + 4, rule(second));
  }
  if (count - x >= 4) {
    StoreFour(destination + x, rule(LoadFour(source + x)));
    x += 4;
  }
  LumaRowPlain(source + x, destination + x, count - x, alpha);
}
#endif

}  // namespace veilmere
