// Rows of premultiplied ARGB32 pixels blended the way QPainter's raster
// engine blends them (source over, its rounding of d * a / 255), four pixels
// at a time where the processor has SSE2. Used where the canvas writes
// straight into an image instead of going through the painter.
#pragma once

#include <cstdint>

namespace kx::draw::pixels {

// d * a / 255 for the four bytes of a pixel at once, rounded as QPainter does.
inline uint32_t ByteMul(uint32_t d, uint32_t a) {
  uint32_t rb = (d & 0x00FF00FFu) * a;
  rb = ((rb + ((rb >> 8) & 0x00FF00FFu) + 0x00800080u) >> 8) & 0x00FF00FFu;
  uint32_t ag = ((d >> 8) & 0x00FF00FFu) * a;
  ag = (ag + ((ag >> 8) & 0x00FF00FFu) + 0x00800080u) & 0xFF00FF00u;
  return rb | ag;
}

// d = s' + d * (255 - alpha of s') / 255 with s' = s * constAlpha / 255
// (constAlpha 255: s itself).
void OverRow(uint32_t* d, const uint32_t* s, int n, uint32_t constAlpha);
// d = s over opaque black: s with its alpha made 255.
void OverBlackRow(uint32_t* d, const uint32_t* s, int n);
// d[x] = color where top[x] <= r < end[x], else from[x].
void SelectRow(uint32_t* d, const uint32_t* from, const int* top, const int* end, int r, uint32_t color, int n);
// d[x] = color over d[x] where top[x] <= r < end[x].
void BlendWhereRow(uint32_t* d, const int* top, const int* end, int r, uint32_t color, int n);

// The waveform row of SelectRow blended at once onto d, as OverRow would
// blend it: the row is never written anywhere else.
void SelectOverRow(uint32_t* d, const uint32_t* from, const int* top, const int* end, int r, uint32_t color,
                   uint32_t constAlpha, int n);

// A spectrum row: outline[x] where it is not 0 (the outline drawn alone on
// a transparent image), else from[x]; then, where top[x] <= r < end[x],
// the fill colour over that.
struct CurveRow {
  const uint32_t* from;
  const uint32_t* outline;
  const int* top;
  const int* end;
  int r;
  uint32_t fill;
};
void CurveRowPixels(uint32_t* d, const CurveRow& row, int n);

// d = s * constAlpha (as OverRow scales its source).
void ScaleRow(uint32_t* d, const uint32_t* s, uint32_t constAlpha, int n);
// d = (fill + s * (255 - alpha of fill)) * constAlpha: the fill over s,
// scaled as OverRow scales its source.
void FillScaleRow(uint32_t* d, const uint32_t* s, uint32_t fill, uint32_t constAlpha, int n);

// A spectrum row whose pixels are already scaled by the opacity: back (the
// background) and filled (the fill over the background), the outline
// colour and the fill over it; the outline's pixels are where outline[x]
// is not 0 (read only where lineTop[x] <= r < lineEnd[x]), the fill's where
// top[x] <= r < end[x].
struct ScaledCurveRow {
  const uint32_t* back;
  const uint32_t* filled;
  const uint32_t* outline;
  const int* lineTop;
  const int* lineEnd;
  const int* top;
  const int* end;
  int r;
  uint32_t line, filledLine;
};
// The row blended onto d: OverRow of the scaled pixels.
void CurveOverRow(uint32_t* d, const ScaledCurveRow& row, int n);

}  // namespace kx::draw::pixels
