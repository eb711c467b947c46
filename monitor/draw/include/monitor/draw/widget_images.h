// Draws the three widget images of each frame for the render loop. What does
// not change from frame to frame (background, scale, labels, grid, icons) is
// drawn once through the canvas into a kept image, redrawn only when the
// size, the colours, the icons or the mode change; a frame copies it and adds
// the levels: the meter's lit rows copied from a kept image of the fully lit
// bars, the waveform columns as row spans per pixel column, the spectrum
// curve's outline drawn alone into a kept image and its fill as row spans.
// The waveform and the spectrum are then not written into their images at
// all: the frame blends them straight from the kept parts (one pass over
// the pixels instead of three), and the images are written only when
// something else needs them. The result is pixel for pixel what the widget
// geometry draws through the canvas alone.
#pragma once

#include <QImage>
#include <cstdint>
#include <vector>

#include "monitor/draw/pixel_rows.h"
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

  // Whether the last DrawWave / DrawSpectrum left its image unwritten. The
  // frame then takes the widget from BlendWave / BlendSpectrum, and
  // WriteWave / WriteSpectrum give the image's pixels when they are needed.
  bool WaveDeferred() const { return waveDeferred_; }
  bool SpectrumDeferred() const { return spectrumDeferred_; }
  // Blends the deferred widget at dest (whole pixels, its own size) onto
  // rows [rowBegin, rowEnd) of the frame exactly as BlitImageOver blends its
  // image; false (nothing drawn) when it is not deferred or not one to one.
  bool BlendWave(QImage& frame, const RectF& dest, float opacity, int rowBegin, int rowEnd);
  bool BlendSpectrum(QImage& frame, const RectF& dest, float opacity, int rowBegin, int rowEnd);
  // Writes the deferred widget's pixels into an image of its size.
  void WriteWave(QImage& out) const;
  void WriteSpectrum(QImage& out) const;

 private:
  // A kept image and what it was drawn for.
  struct Layer {
    CQtBitmap bitmap;
    uint64_t brushSerial = 0;
    qint64 iconsKey = 0;
    float viewWidth = -1, viewHeight = -1;
    int mode = 0, bound = 0;
    uint64_t generation = 0;  // new with every redraw
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
  // The spectrum through the canvas onto its image (kept background copied).
  void DrawSpectrumImage(CQtBitmap& target, const SpectrumInput& in);
  bool DeferredSize(const QImage& image, const Layer& layer) const;
  pixels::CurveRow SpectrumRow(int r) const;
  void ClearOutlineMask();
  void MarkOutlineRows(const QPainterPath& outline);

  // A kept background scaled by the opacity as the blend scales it (with the
  // spectrum fill over it for `filled`), remade when the background, the
  // opacity or the fill colour change: most pixels of a widget then cost
  // one multiply when blended instead of two or three.
  struct Scaled {
    QImage image;
    uint64_t generation = 0;
    uint32_t alpha = 0;
    QRgb fill = 0;
  };
  const QImage& ScaledBackground(Scaled& cache, const Layer& layer, uint32_t alpha, bool filled, QRgb fill);

  CQtCanvas& canvas_;
  uint64_t generations_ = 0;
  Scaled waveScaled_, spectrumScaled_, spectrumFilled_;
  Layer meterUnlit_, meterLit_, wave_, spectrum_;
  // Rows [top, end) of each waveform column, by pixel column; all of them
  // lie in [waveRowMin_, waveRowMax_).
  std::vector<int> columnTop_, columnEnd_;
  int waveRowMin_ = 0, waveRowMax_ = 0;
  QRgb waveColor_ = 0;
  bool waveDeferred_ = false;
  // The spectrum curve: its outline drawn alone on a transparent image of
  // the widget's size (set pixels only in rows [maskTop_[x], maskEnd_[x]) of
  // each column x, all within [maskRowMin_, maskRowMax_)), its fill as
  // column spans.
  QImage outlineMask_;
  std::vector<int> maskTop_, maskEnd_;
  int maskRowMin_ = 0, maskRowMax_ = 0;
  std::vector<int> fillTop_, fillEnd_;
  CurveFill curveFill_;
  QRgb lineColor_ = 0, fillColor_ = 0;
  bool spectrumDeferred_ = false;
  CQtPath outline_, fill_;
  // Draws the spectrum curve every frame with its painter kept open on the
  // spectrum image; its brushes follow canvas_.
  CQtCanvas curve_{true};
  uint64_t curveSerial_ = 0;
};

}  // namespace kx::draw
