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

// s' = s * constAlpha (when not 255), then d = s' + d * (255 - alpha of s').
__attribute__((target("avx2"))) inline __m256i Over8(__m256i s, __m256i d, __m256i ca, bool scale) {
  if (scale) s = ByteMul8(s, ca);
  __m256i a = _mm256_srli_epi32(s, 24);
  a = _mm256_sub_epi16(_mm256_set1_epi16(255), _mm256_or_si256(a, _mm256_slli_epi32(a, 16)));
  return _mm256_add_epi32(s, ByteMul8(d, a));
}

__attribute__((target("avx2"))) inline __m256i Covered8(const int* top, const int* end, __m256i r) {
  const __m256i t = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(top));
  const __m256i e = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(end));
  return _mm256_andnot_si256(_mm256_cmpgt_epi32(t, r), _mm256_cmpgt_epi32(e, r));
}

__attribute__((target("avx2"))) int SelectOverRowAvx2(uint32_t* d, const uint32_t* from, const int* top,
                                                      const int* end, int r, uint32_t color, uint32_t constAlpha,
                                                      int n) {
  const __m256i ca = _mm256_set1_epi16(static_cast<short>(constAlpha));
  const __m256i rr = _mm256_set1_epi32(r), c = _mm256_set1_epi32(static_cast<int>(color));
  const bool scale = constAlpha != 255;
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i f = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + i));
    const __m256i s = _mm256_blendv_epi8(f, c, Covered8(top + i, end + i, rr));
    const __m256i dp = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), Over8(s, dp, ca, scale));
  }
  return i;
}

// The spectrum row's own pixels, eight at a time.
__attribute__((target("avx2"))) inline __m256i Curve8(const CurveRow& row, int i, __m256i rr, __m256i fill,
                                                      __m256i inverseFill) {
  const __m256i from = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row.from + i));
  const __m256i line = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row.outline + i));
  __m256i s = _mm256_blendv_epi8(line, from, _mm256_cmpeq_epi32(line, _mm256_setzero_si256()));
  const __m256i covered = Covered8(row.top + i, row.end + i, rr);
  if (!_mm256_testz_si256(covered, covered))
    s = _mm256_blendv_epi8(s, _mm256_add_epi32(fill, ByteMul8(s, inverseFill)), covered);
  return s;
}

__attribute__((target("avx2"))) int CurveRowAvx2(uint32_t* d, const CurveRow& row, int n) {
  const __m256i rr = _mm256_set1_epi32(row.r);
  const __m256i fill = _mm256_set1_epi32(static_cast<int>(row.fill));
  const __m256i inverseFill = _mm256_set1_epi16(static_cast<short>(255u - (row.fill >> 24)));
  int i = 0;
  for (; i + 8 <= n; i += 8)
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), Curve8(row, i, rr, fill, inverseFill));
  return i;
}

__attribute__((target("avx2"))) int ScaleRowAvx2(uint32_t* d, const uint32_t* s, uint32_t fill, bool withFill,
                                                 uint32_t constAlpha, int n) {
  const __m256i ca = _mm256_set1_epi16(static_cast<short>(constAlpha));
  const __m256i f = _mm256_set1_epi32(static_cast<int>(fill));
  const __m256i inverseFill = _mm256_set1_epi16(static_cast<short>(255u - (fill >> 24)));
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i));
    if (withFill) p = _mm256_add_epi32(f, ByteMul8(p, inverseFill));
    if (constAlpha != 255) p = ByteMul8(p, ca);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), p);
  }
  return i;
}

__attribute__((target("avx2"))) int CurveOverRowAvx2(uint32_t* d, const ScaledCurveRow& row, int n) {
  const __m256i rr = _mm256_set1_epi32(row.r);
  const __m256i zero = _mm256_setzero_si256();
  const __m256i line = _mm256_set1_epi32(static_cast<int>(row.line));
  const __m256i filledLine = _mm256_set1_epi32(static_cast<int>(row.filledLine));
  const __m256i ca = _mm256_set1_epi16(255);
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i covered = Covered8(row.top + i, row.end + i, rr);
    const __m256i nearLine = Covered8(row.lineTop + i, row.lineEnd + i, rr);
    __m256i onLine = zero;
    if (!_mm256_testz_si256(nearLine, nearLine)) {
      const __m256i outline = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row.outline + i));
      onLine = _mm256_andnot_si256(_mm256_cmpeq_epi32(outline, zero), nearLine);
    }
    // Read only the pixels that can show.
    __m256i s;
    if (_mm256_testz_si256(covered, covered))
      s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row.back + i));
    else if (_mm256_testc_si256(covered, _mm256_set1_epi32(-1)))
      s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row.filled + i));
    else
      s = _mm256_blendv_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(row.back + i)),
                             _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row.filled + i)), covered);
    if (!_mm256_testz_si256(onLine, onLine))
      s = _mm256_blendv_epi8(s, _mm256_blendv_epi8(line, filledLine, covered), onLine);
    const __m256i dp = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), Over8(s, dp, ca, false));
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

namespace {
inline uint32_t Over(uint32_t s, uint32_t d, uint32_t constAlpha) {
  const uint32_t p = constAlpha == 255 ? s : ByteMul(s, constAlpha);
  return p + ByteMul(d, 255u - (p >> 24));
}

inline uint32_t CurvePixel(const CurveRow& row, int x) {
  uint32_t s = row.outline[x] ? row.outline[x] : row.from[x];
  if (row.top[x] <= row.r && row.r < row.end[x]) s = row.fill + ByteMul(s, 255u - (row.fill >> 24));
  return s;
}
}  // namespace

void SelectOverRow(uint32_t* d, const uint32_t* from, const int* top, const int* end, int r, uint32_t color,
                   uint32_t constAlpha, int n) {
  int i = 0;
#if defined(KX_PIXELS_AVX2)
  if (kHasAvx2) i = SelectOverRowAvx2(d, from, top, end, r, color, constAlpha, n);
#endif
  for (; i < n; ++i) d[i] = Over((top[i] <= r && r < end[i]) ? color : from[i], d[i], constAlpha);
}

void CurveRowPixels(uint32_t* d, const CurveRow& row, int n) {
  int i = 0;
#if defined(KX_PIXELS_AVX2)
  if (kHasAvx2) i = CurveRowAvx2(d, row, n);
#endif
  for (; i < n; ++i) d[i] = CurvePixel(row, i);
}

void ScaleRow(uint32_t* d, const uint32_t* s, uint32_t constAlpha, int n) {
  int i = 0;
#if defined(KX_PIXELS_AVX2)
  if (kHasAvx2) i = ScaleRowAvx2(d, s, 0, false, constAlpha, n);
#endif
  for (; i < n; ++i) d[i] = constAlpha == 255 ? s[i] : ByteMul(s[i], constAlpha);
}

void FillScaleRow(uint32_t* d, const uint32_t* s, uint32_t fill, uint32_t constAlpha, int n) {
  int i = 0;
#if defined(KX_PIXELS_AVX2)
  if (kHasAvx2) i = ScaleRowAvx2(d, s, fill, true, constAlpha, n);
#endif
  for (; i < n; ++i) {
    const uint32_t p = fill + ByteMul(s[i], 255u - (fill >> 24));
    d[i] = constAlpha == 255 ? p : ByteMul(p, constAlpha);
  }
}

void CurveOverRow(uint32_t* d, const ScaledCurveRow& row, int n) {
  int i = 0;
#if defined(KX_PIXELS_AVX2)
  if (kHasAvx2) i = CurveOverRowAvx2(d, row, n);
#endif
  for (; i < n; ++i) {
    const bool covered = row.top[i] <= row.r && row.r < row.end[i];
    const bool onLine = row.lineTop[i] <= row.r && row.r < row.lineEnd[i] && row.outline[i];
    const uint32_t s = onLine ? (covered ? row.filledLine : row.line) : (covered ? row.filled[i] : row.back[i]);
    d[i] = s + ByteMul(d[i], 255u - (s >> 24));
  }
}

}  // namespace kx::draw::pixels
