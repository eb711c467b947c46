// Draws the three widget images of each frame for the render loop. What does
// not change from frame to frame (background, scale, labels, grid, icons) is
// drawn once through the canvas into a kept image, redrawn only when the
// size, the colours, the icons or the mode change; a frame copies it and adds
// the levels: the meter's lit rows copied from a kept image of the fully lit
// bars, the waveform columns written straight into the pixels, the spectrum
// curve drawn through the canvas. The result is pixel for pixel what the
// widget geometry draws through the canvas alone.
#pragma once

#include <QImage>
#include <cstdint>
#include <vector>

#include "monitor/draw/qt_canvas.h"
#include "monitor/draw/widgets.h"

namespace kx::draw {

class CWidgetImages {
 public:
  // The canvas draws the kept images and what must still go through it; its
  // brush colours are the widgets' colours.
  explicit CWidgetImages(CQtCanvas& canvas) : canvas_(canvas) {}
  CWidgetImages(const CWidgetImages&) = delete;
  CWidgetImages& operator=(const CWidgetImages&) = delete;

  void DrawMeter(CQtBitmap& target, const PeakMeterInput& in, float& holdOutput, float& holdInput);
  void DrawWave(CQtBitmap& target, const WaveInput& in, int modeWave);
  void DrawSpectrum(CQtBitmap& target, const SpectrumInput& in);
  // Closes the painter kept open on the spectrum image: call before that
  // image is replaced, resized or freed, and when the drawing thread ends.
  void EndPainting() { curve_.Finish(); }
  // Drops the kept images (the next frame redraws them); ends painting.
  void Invalidate();

 private:
  // A kept image and what it was drawn for.
  struct Layer {
    CQtBitmap bitmap;
    uint64_t brushSerial = 0;
    qint64 iconsKey = 0;
    float viewWidth = -1, viewHeight = -1;
    int mode = 0, bound = 0;
    bool Matches(const Layer& want) const {
      return !bitmap.IsNull() && brushSerial == want.brushSerial && iconsKey == want.iconsKey &&
             viewWidth == want.viewWidth && viewHeight == want.viewHeight && mode == want.mode && bound == want.bound;
    }
  };
  // Redraws the layer for `want` at the target's size when it is out of date;
  // false when it cannot be drawn.
  template <class Draw>
  bool Refresh(Layer& layer, const Layer& want, const CQtBitmap& target, Draw draw);
  static void CopyPixels(QImage& to, const QImage& from);

  CQtCanvas& canvas_;
  Layer meterUnlit_, meterLit_, wave_, spectrum_;
  // Rows [top, end) of each waveform column, by pixel column.
  std::vector<int> columnTop_, columnEnd_;
  CQtPath outline_, fill_;
  // Draws the spectrum curve every frame with its painter kept open on the
  // spectrum image; its brushes follow canvas_.
  CQtCanvas curve_{true};
  uint64_t curveSerial_ = 0;
};

}  // namespace kx::draw
