#include "monitor/draw/pixel_rows.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define KX_PIXELS_AVX2 1
#endif

namespace kx::draw::pixels {

#if defined(__SSE2__)
namespace {

// ByteMul of four pixels by per-channel factors held as 16-bit lanes.
inline __m128i ByteMul4(__m128i p, __m128i a) {
  const __m128i mask = _mm_set1_epi32(0x00FF00FF);
  const __m128i half = _mm_set1_epi16(0x0080);
  __m128i ag = _mm_srli_epi16(p, 8);
  __m128i rb = _mm_and_si128(p, mask);
  ag = _mm_mullo_epi16(ag, a);
  rb = _mm_mullo_epi16(rb, a);
  rb = _mm_add_epi16(_mm_add_epi16(rb, _mm_srli_epi16(rb, 8)), half);
  ag = _mm_add_epi16(_mm_add_epi16(ag, _mm_srli_epi16(ag, 8)), half);
  rb = _mm_srli_epi16(rb, 8);
  ag = _mm_andnot_si128(mask, ag);
  return _mm_or_si128(ag, rb);
}

// 255 - alpha of each pixel in both 16-bit lanes of its 32 bits.
inline __m128i InverseAlpha4(__m128i p) {
  __m128i a = _mm_srli_epi32(p, 24);
  a = _mm_or_si128(a, _mm_slli_epi32(a, 16));
  return _mm_sub_epi16(_mm_set1_epi16(255), a);
}

inline __m128i Over4(__m128i s, __m128i d) { return _mm_add_epi32(s, ByteMul4(d, InverseAlpha4(s))); }

// top <= r < end for four columns.
inline __m128i Covered4(const int* top, const int* end, __m128i r) {
  const __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(top));
  const __m128i e = _mm_loadu_si128(reinterpret_cast<const __m128i*>(end));
  return _mm_andnot_si128(_mm_cmpgt_epi32(t, r), _mm_cmpgt_epi32(e, r));
}

inline __m128i Select4(__m128i mask, __m128i a, __m128i b) {
  return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}

}  // namespace
#endif

#if defined(KX_PIXELS_AVX2)
namespace {

// The same arithmetic eight pixels at a time, on processors that have AVX2.
__attribute__((target("avx2"))) inline __m256i ByteMul8(__m256i p, __m256i a) {
  const __m256i mask = _mm256_set1_epi32(0x00FF00FF);
  const __m256i half = _mm256_set1_epi16(0x0080);
  __m256i ag = _mm256_srli_epi16(p, 8);
  __m256i rb = _mm256_and_si256(p, mask);
  ag = _mm256_mullo_epi16(ag, a);
  rb = _mm256_mullo_epi16(rb, a);
  rb = _mm256_add_epi16(_mm256_add_epi16(rb, _mm256_srli_epi16(rb, 8)), half);
  ag = _mm256_add_epi16(_mm256_add_epi16(ag, _mm256_srli_epi16(ag, 8)), half);
  rb = _mm256_srli_epi16(rb, 8);
  ag = _mm256_andnot_si256(mask, ag);
  return _mm256_or_si256(ag, rb);
}

__attribute__((target("avx2"))) int OverRowAvx2(uint32_t* d, const uint32_t* s, int n, uint32_t constAlpha) {
  const __m256i ca = _mm256_set1_epi16(static_cast<short>(constAlpha));
  const __m256i full = _mm256_set1_epi16(255);
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    __m256i sp = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i));
    if (constAlpha != 255) sp = ByteMul8(sp, ca);
    const __m256i dp = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i));
    __m256i a = _mm256_srli_epi32(sp, 24);
    a = _mm256_sub_epi16(full, _mm256_or_si256(a, _mm256_slli_epi32(a, 16)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), _mm256_add_epi32(sp, ByteMul8(dp, a)));
  }
  return i;
}

const bool kHasAvx2 = __builtin_cpu_supports("avx2");

}  // namespace
#endif

void OverRow(uint32_t* d, const uint32_t* s, int n, uint32_t constAlpha) {
  int i = 0;
#if defined(KX_PIXELS_AVX2)
  if (kHasAvx2) i = OverRowAvx2(d, s, n, constAlpha);
#endif
#if defined(__SSE2__)
  const __m128i ca = _mm_set1_epi16(static_cast<short>(constAlpha));
  for (; i + 4 <= n; i += 4) {
    __m128i sp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    if (constAlpha != 255) sp = ByteMul4(sp, ca);
    const __m128i dp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), Over4(sp, dp));
  }
#endif
  for (; i < n; ++i) {
    const uint32_t p = constAlpha == 255 ? s[i] : ByteMul(s[i], constAlpha);
    d[i] = p + ByteMul(d[i], 255u - (p >> 24));
  }
}

void OverBlackRow(uint32_t* d, const uint32_t* s, int n) {
  // s + black * (255 - a) / 255 keeps the colour and tops the alpha up to 255.
  int i = 0;
#if defined(__SSE2__)
  const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  for (; i + 8 <= n; i += 8) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 4));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm_or_si128(a, alpha));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i + 4), _mm_or_si128(b, alpha));
  }
#endif
  for (; i < n; ++i) d[i] = s[i] | 0xFF000000u;
}

void SelectRow(uint32_t* d, const uint32_t* from, const int* top, const int* end, int r, uint32_t color, int n) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i rr = _mm_set1_epi32(r), c = _mm_set1_epi32(static_cast<int>(color));
  for (; i + 4 <= n; i += 4) {
    const __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), Select4(Covered4(top + i, end + i, rr), c, f));
  }
#endif
  for (; i < n; ++i) d[i] = (top[i] <= r && r < end[i]) ? color : from[i];
}

void BlendWhereRow(uint32_t* d, const int* top, const int* end, int r, uint32_t color, int n) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i rr = _mm_set1_epi32(r), c = _mm_set1_epi32(static_cast<int>(color));
  const __m128i inverse = InverseAlpha4(c);
  for (; i + 4 <= n; i += 4) {
    const __m128i mask = Covered4(top + i, end + i, rr);
    if (_mm_movemask_epi8(mask) == 0) continue;
    const __m128i dp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
    const __m128i blended = _mm_add_epi32(c, ByteMul4(dp, inverse));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), Select4(mask, blended, dp));
  }
#endif
  const uint32_t inv = 255u - (color >> 24);
  for (; i < n; ++i)
    if (top[i] <= r && r < end[i]) d[i] = color + ByteMul(d[i], inv);
}

}  // namespace kx::draw::pixels
