// Where the parts of a frame go in a view of W x H pixels: the camera
// picture in a 16:9 box, the three widget images and the spinner.
#pragma once

#include "monitor/draw/canvas.h"

namespace kx::draw {

struct SizeI {
  int width = 0, height = 0;
  friend bool operator==(const SizeI&, const SizeI&) = default;
};

// The 16:9 box of the picture, bars above and below or left and right.
RectF LetterboxRect(float W, float H);
// The same box with whole-pixel corners: where a picture made at its size is
// placed one to one.
RectF LetterboxPixels(float W, float H);

// Pixel sizes of the widget images, from the view's size in whole pixels;
// a side can come out zero or negative for a small view.
SizeI MeterImageSize(int width, int height);
SizeI WaveImageSize(int width, int height);  // the spectrum image has the same size

struct FrameLayout {
  RectF meter, wave, spectrum, spinner;
};
FrameLayout LayoutFrame(float W, float H);

// The spinner strip holds eight square frames side by side.
inline constexpr int kSpinnerFrames = 8;
inline constexpr int kSpinnerFrameSize = 128;
// Frames composed before the spinner steps to its next picture.
inline constexpr int kSpinnerTicksPerFrame = 3;

}  // namespace kx::draw
