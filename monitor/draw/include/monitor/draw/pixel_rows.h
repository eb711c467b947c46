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

}  // namespace kx::draw::pixels
