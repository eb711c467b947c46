#include "monitor/draw/layout.h"

#include <cmath>

namespace kx::draw {

RectF LetterboxRect(float W, float H) {
  constexpr float kAspect = 1.7777778f;
  if (H >= W / kAspect) {
    const float bar = std::fabs(W / kAspect - H) * 0.5f;
    return RectF{0, bar, W, H - bar};
  }
  const float bar = std::fabs(H * kAspect - W) * 0.5f;
  return RectF{bar, 0, W - bar, H};
}

RectF LetterboxPixels(float W, float H) {
  const RectF box = LetterboxRect(W, H);
  return RectF{std::round(box.left), std::round(box.top), std::round(box.right), std::round(box.bottom)};
}

SizeI MeterImageSize(int, int height) { return SizeI{60, height - 20}; }

SizeI WaveImageSize(int width, int height) { return SizeI{width - 90, (height >> 1) - 15}; }

FrameLayout LayoutFrame(float W, float H) {
  FrameLayout l;
  l.meter = RectF{W - 70.0f, 10, W - 10.0f, H - 10.0f};
  l.wave = RectF{10, 10, W - 80.0f, H * 0.5f - 5.0f};
  l.spectrum = RectF{10, H * 0.5f + 5.0f, W - 80.0f, H - 10.0f};
  l.spinner = RectF{W * 0.5f - 64.0f, H * 0.5f - 64.0f, W * 0.5f + 64.0f, H * 0.5f + 64.0f};
  return l;
}

}  // namespace kx::draw
