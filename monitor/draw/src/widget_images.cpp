#include "monitor/draw/widget_images.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "monitor/draw/pixel_rows.h"

namespace kx::draw {

namespace {

bool Whole(float v) { return v == std::floor(v); }

// The columns of the bars in the meter image: the left bar lies left of
// x = 31, the right bar right of it, the labels between them.
constexpr int kMeterSplit = 31;

}  // namespace

void CWidgetImages::Invalidate() {
  EndPainting();
  waveDeferred_ = false;
  spectrumDeferred_ = false;
  waveScaled_ = Scaled{};
  spectrumScaled_ = Scaled{};
  spectrumFilled_ = Scaled{};
  meterUnlit_.bitmap.Reset();
  meterLit_.bitmap.Reset();
  wave_.bitmap.Reset();
  spectrum_.bitmap.Reset();
}

void CWidgetImages::CopyPixels(QImage& to, const QImage& from) {
  if (to.bytesPerLine() == from.bytesPerLine()) {
    std::memcpy(to.bits(), from.constBits(), static_cast<size_t>(from.sizeInBytes()));
    return;
  }
  const size_t row = static_cast<size_t>(std::min(to.bytesPerLine(), from.bytesPerLine()));
  for (int y = 0; y < std::min(to.height(), from.height()); ++y) std::memcpy(to.scanLine(y), from.constScanLine(y), row);
}

template <class Draw>
bool CWidgetImages::Refresh(Layer& layer, const Layer& want, const CQtBitmap& target, Draw draw) {
  if (layer.Matches(want) && layer.bitmap.Width() == target.Width() && layer.bitmap.Height() == target.Height())
    return true;
  layer.bitmap.Reset();
  CQtBitmap bitmap;
  if (!bitmap.Create(target.Width(), target.Height()) || !canvas_.Begin(bitmap)) return false;
  draw();
  canvas_.End();
  layer = want;
  layer.bitmap = std::move(bitmap);
  layer.generation = ++generations_;
  return true;
}

void CWidgetImages::DrawMeter(CQtBitmap& target, const PeakMeterInput& in, float& holdOutput, float& holdInput) {
  Layer want;
  want.brushSerial = canvas_.BrushSerial();
  want.iconsKey = in.icons ? static_cast<const CQtBitmap*>(in.icons)->Image().cacheKey() : 0;
  want.viewHeight = in.viewHeight;
  const bool unlit = Refresh(meterUnlit_, want, target, [&] { DrawPeakMeterBackground(canvas_, in); });
  if (unlit && Whole(in.viewHeight) &&
      Refresh(meterLit_, want, target, [&] { DrawPeakMeterAllLit(canvas_, in); })) {
    QImage& out = target.Image();
    CopyPixels(out, meterUnlit_.bitmap.Image());
    // A segment at y is the one row y: take that row of the bar from the
    // fully lit image.
    const QImage& lit = meterLit_.bitmap.Image();
    const auto copyRow = [&](float y, int x0, int x1) {
      const int row = static_cast<int>(y);
      x1 = std::min(x1, out.width());
      if (row < 0 || row >= out.height() || x0 >= x1) return;
      std::memcpy(reinterpret_cast<uint32_t*>(out.scanLine(row)) + x0,
                  reinterpret_cast<const uint32_t*>(lit.constScanLine(row)) + x0,
                  static_cast<size_t>(x1 - x0) * sizeof(uint32_t));
    };
    const float base = in.viewHeight - 60.0f;
    const auto bar = [&](float magnitude, float& hold, int x0, int x1) {
      const MeterBarLevel level = MeterBar(in.viewHeight, magnitude, hold);
      float y = base;
      do {
        copyRow(y, x0, x1);
        y -= 2.0f;
      } while (y > level.top);
      if (level.showHold) copyRow(level.holdY, x0, x1);
    };
    bar(in.outputPeak, holdOutput, kMeterSplit, out.width());
    bar(in.inputPeak, holdInput, 0, kMeterSplit);
    return;
  }
  // No kept image or a view of fractional height: through the canvas.
  if (!canvas_.Begin(target)) return;
  if (unlit) {
    CopyPixels(target.Image(), meterUnlit_.bitmap.Image());
    DrawPeakMeterBars(canvas_, in, holdOutput, holdInput);
  } else {
    DrawPeakMeter(canvas_, in, holdOutput, holdInput);
  }
  canvas_.End();
}

void CWidgetImages::DrawWave(CQtBitmap& target, const WaveInput& in, int modeWave) {
  waveDeferred_ = false;
  Layer want;
  want.brushSerial = canvas_.BrushSerial();
  want.viewWidth = in.viewWidth;
  want.viewHeight = in.viewHeight;
  want.mode = modeWave;
  if (!Refresh(wave_, want, target, [&] { DrawWavePanelBackground(canvas_, in, modeWave); })) {
    if (canvas_.Begin(target)) {
      DrawWavePanel(canvas_, in, modeWave);
      canvas_.End();
    }
    return;
  }
  QImage& out = target.Image();
  const QImage& background = wave_.bitmap.Image();
  const QRgb color = canvas_.Premultiplied(BrushId::Wave);
  const bool columns = modeWave == 0 || modeWave == 1;
  if (!columns) {
    waveRowMin_ = waveRowMax_ = 0;  // the background alone
    waveDeferred_ = true;
    return;
  }
  if (WaveZigzag(in) || qAlpha(color) != 255 || !Whole(in.viewWidth)) {
    CopyPixels(out, background);
    if (canvas_.Begin(target)) {
      DrawWaveColumns(canvas_, in, modeWave);
      canvas_.End();
    }
    return;
  }
  // Vertical columns of one opaque colour: each column's rows.
  const int width = out.width(), height = out.height();
  if (static_cast<int>(columnTop_.size()) < width) {
    columnTop_.assign(static_cast<size_t>(width), 0);
    columnEnd_.assign(static_cast<size_t>(width), 0);
  }
  std::fill(columnTop_.begin(), columnTop_.begin() + width, 0);
  std::fill(columnEnd_.begin(), columnEnd_.begin() + width, 0);
  const float c = WaveCentre(in.viewHeight);
  const float xEnd = in.viewWidth - 125.0f;
  const size_t n = WaveColumnCount(in);
  int rowMin = height, rowMax = 0;
  for (size_t i = 0; i < n; ++i) {
    const float x = xEnd - static_cast<float>(i);
    if (x <= 10.0f) break;
    const float v = static_cast<float>(in.history[i]);
    if (v == 0.0f) continue;
    const float a = WaveDeflection(modeWave, v, c);
    const ColumnSpan span = VerticalLineSpan(PointF{x, c - a}, PointF{x, c + a - 1.0f});
    if (span.x < 0 || span.x >= width) continue;
    const int r0 = std::max(span.r0, 0), r1 = std::min(span.r1, height);
    if (r0 >= r1) continue;
    columnTop_[span.x] = r0;
    columnEnd_[span.x] = r1;
    rowMin = std::min(rowMin, r0);
    rowMax = std::max(rowMax, r1);
  }
  waveRowMin_ = std::min(rowMin, rowMax);
  waveRowMax_ = rowMax;
  waveColor_ = color;
  waveDeferred_ = true;
}

bool CWidgetImages::DeferredSize(const QImage& image, const Layer& layer) const {
  return !layer.bitmap.IsNull() && image.size() == layer.bitmap.Image().size() &&
         image.format() == QImage::Format_ARGB32_Premultiplied;
}

void CWidgetImages::WriteWave(QImage& out) const {
  if (!waveDeferred_ || !DeferredSize(out, wave_)) return;
  const QImage& background = wave_.bitmap.Image();
  const size_t rowBytes = static_cast<size_t>(out.width()) * sizeof(uint32_t);
  for (int r = 0; r < out.height(); ++r) {
    uint32_t* dst = reinterpret_cast<uint32_t*>(out.scanLine(r));
    const uint32_t* from = reinterpret_cast<const uint32_t*>(background.constScanLine(r));
    if (r < waveRowMin_ || r >= waveRowMax_)
      std::memcpy(dst, from, rowBytes);
    else
      pixels::SelectRow(dst, from, columnTop_.data(), columnEnd_.data(), r, waveColor_, out.width());
  }
}

const QImage& CWidgetImages::ScaledBackground(Scaled& cache, const Layer& layer, uint32_t alpha, bool filled,
                                              QRgb fill) {
  const QImage& background = layer.bitmap.Image();
  if (cache.generation == layer.generation && cache.alpha == alpha && cache.fill == fill &&
      cache.image.size() == background.size())
    return cache.image;
  if (cache.image.size() != background.size())
    cache.image = QImage(background.size(), QImage::Format_ARGB32_Premultiplied);
  for (int r = 0; r < cache.image.height(); ++r) {
    uint32_t* d = reinterpret_cast<uint32_t*>(cache.image.scanLine(r));
    const uint32_t* s = reinterpret_cast<const uint32_t*>(background.constScanLine(r));
    if (filled)
      pixels::FillScaleRow(d, s, fill, alpha, background.width());
    else
      pixels::ScaleRow(d, s, alpha, background.width());
  }
  cache.generation = layer.generation;
  cache.alpha = alpha;
  cache.fill = fill;
  return cache.image;
}

bool CWidgetImages::BlendWave(QImage& frame, const RectF& dest, float opacity, int rowBegin, int rowEnd) {
  if (!waveDeferred_) return false;
  const QImage& background = wave_.bitmap.Image();
  const RectF whole{0, 0, static_cast<float>(background.width()), static_cast<float>(background.height())};
  if (!CanBlitImage(frame, dest, background, whole)) return false;
  const uint32_t constAlpha = PainterAlpha(opacity);
  const BlitArea a = ClipBlit(frame, dest, background.width(), background.height(), whole, rowBegin, rowEnd);
  if (constAlpha == 0 || a.Empty()) return true;
  const QImage& scaled = ScaledBackground(waveScaled_, wave_, constAlpha, false, 0);
  if (scaled.isNull()) return false;
  const uint32_t color = constAlpha == 255 ? waveColor_ : pixels::ByteMul(waveColor_, constAlpha);
  const int n = a.x1 - a.x0;
  for (int r = a.y0; r < a.y1; ++r) {
    uint32_t* d = reinterpret_cast<uint32_t*>(frame.scanLine(a.dy + r)) + a.dx + a.x0;
    const uint32_t* from = reinterpret_cast<const uint32_t*>(scaled.constScanLine(r)) + a.x0;
    if (r < waveRowMin_ || r >= waveRowMax_)
      pixels::OverRow(d, from, n, 255);
    else
      pixels::SelectOverRow(d, from, columnTop_.data() + a.x0, columnEnd_.data() + a.x0, r, color, 255, n);
  }
  return true;
}

void CWidgetImages::DrawSpectrumImage(CQtBitmap& target, const SpectrumInput& in) {
  CopyPixels(target.Image(), spectrum_.bitmap.Image());
  if (in.spectrumBound <= 0 || !curve_.Begin(target)) return;
  outline_.Clear();
  fill_.Clear();
  DrawSpectrumCurve(curve_, in, outline_, fill_);
  curve_.End();
}

void CWidgetImages::DrawSpectrum(CQtBitmap& target, const SpectrumInput& in) {
  spectrumDeferred_ = false;
  Layer want;
  want.brushSerial = canvas_.BrushSerial();
  want.viewWidth = static_cast<float>(in.width);
  want.viewHeight = static_cast<float>(in.height);
  want.bound = in.spectrumBound;
  if (!Refresh(spectrum_, want, target, [&] { DrawSpectrumBackground(canvas_, in); })) {
    if (canvas_.Begin(target)) {
      DrawSpectrumPanel(canvas_, in);
      canvas_.End();
    }
    return;
  }
  if (curveSerial_ != canvas_.BrushSerial()) {
    for (int i = 0; i < kBrushCount; ++i)
      curve_.SetBrushColor(static_cast<BrushId>(i), canvas_.BrushColor(static_cast<BrushId>(i)));
    curveSerial_ = canvas_.BrushSerial();
  }
  const int width = target.Width(), height = target.Height();
  fillColor_ = canvas_.Premultiplied(BrushId::SpectrumFill);
  lineColor_ = canvas_.Premultiplied(BrushId::Spectrum);
  // A translucent outline would mix with what lies under it: through the
  // canvas then.
  if (qAlpha(lineColor_) != 255) {
    DrawSpectrumImage(target, in);
    return;
  }
  if (outlineMask_.size() != QSize(width, height)) {
    curve_.Finish();  // its painter may be open on the old image
    outlineMask_ = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
    if (outlineMask_.isNull()) {
      DrawSpectrumImage(target, in);
      return;
    }
    outlineMask_.fill(0u);
    maskTop_.assign(static_cast<size_t>(width), 0);
    maskEnd_.assign(static_cast<size_t>(width), 0);
    maskRowMin_ = maskRowMax_ = 0;
  }
  ClearOutlineMask();
  if (static_cast<int>(fillTop_.size()) < width) {
    fillTop_.resize(static_cast<size_t>(width));
    fillEnd_.resize(static_cast<size_t>(width));
  }
  std::fill(fillTop_.begin(), fillTop_.end(), 0);
  std::fill(fillEnd_.begin(), fillEnd_.end(), 0);
  curveFill_ = CurveFill{};
  outline_.Clear();
  fill_.Clear();
  if (BuildSpectrumCurve(in, outline_, fill_)) {
    if (!CurveFillSpans(fill_.Path(), width, height, fillTop_, fillEnd_, curveFill_) ||
        !curve_.Begin(outlineMask_)) {
      DrawSpectrumImage(target, in);
      return;
    }
    curve_.DrawPath(outline_, BrushId::Spectrum);
    curve_.End();
    MarkOutlineRows(outline_.Path());
  }
  spectrumDeferred_ = true;
}

void CWidgetImages::ClearOutlineMask() {
  const qsizetype stride = outlineMask_.bytesPerLine() / 4;
  uint32_t* bits = reinterpret_cast<uint32_t*>(outlineMask_.bits());
  for (int x = 0; x < outlineMask_.width(); ++x) {
    for (int r = maskTop_[x]; r < maskEnd_[x]; ++r) bits[r * stride + x] = 0;
    maskTop_[x] = maskEnd_[x] = 0;
  }
  maskRowMin_ = maskRowMax_ = 0;
}

void CWidgetImages::MarkOutlineRows(const QPainterPath& outline) {
  // A one-pixel line lands on pixels whose centres lie within half a pixel
  // of it, a cap half a pixel past its end: a pixel around each segment's
  // box holds all it can have set.
  const int width = outlineMask_.width(), height = outlineMask_.height();
  int rowMin = height, rowMax = 0;
  for (int i = 1; i < outline.elementCount(); ++i) {
    const QPainterPath::Element a = outline.elementAt(i - 1), b = outline.elementAt(i);
    const int x0 = std::max(0, static_cast<int>(std::floor(std::min(a.x, b.x))) - 1);
    const int x1 = std::min(width, static_cast<int>(std::floor(std::max(a.x, b.x))) + 2);
    const int r0 = std::clamp(static_cast<int>(std::floor(std::min(a.y, b.y))) - 1, 0, height);
    const int r1 = std::clamp(static_cast<int>(std::floor(std::max(a.y, b.y))) + 2, r0, height);
    if (r0 >= r1) continue;
    for (int x = x0; x < x1; ++x) {
      if (maskTop_[x] >= maskEnd_[x]) {
        maskTop_[x] = r0;
        maskEnd_[x] = r1;
      } else {
        maskTop_[x] = std::min(maskTop_[x], r0);
        maskEnd_[x] = std::max(maskEnd_[x], r1);
      }
    }
    rowMin = std::min(rowMin, r0);
    rowMax = std::max(rowMax, r1);
  }
  maskRowMin_ = std::min(rowMin, rowMax);
  maskRowMax_ = rowMax;
}

pixels::CurveRow CWidgetImages::SpectrumRow(int r) const {
  return pixels::CurveRow{reinterpret_cast<const uint32_t*>(spectrum_.bitmap.Image().constScanLine(r)),
                          reinterpret_cast<const uint32_t*>(outlineMask_.constScanLine(r)),
                          fillTop_.data(),
                          fillEnd_.data(),
                          r,
                          fillColor_};
}

void CWidgetImages::WriteSpectrum(QImage& out) const {
  if (!spectrumDeferred_ || !DeferredSize(out, spectrum_) || outlineMask_.size() != out.size()) return;
  const QImage& background = spectrum_.bitmap.Image();
  const size_t rowBytes = static_cast<size_t>(out.width()) * sizeof(uint32_t);
  for (int r = 0; r < out.height(); ++r) {
    uint32_t* dst = reinterpret_cast<uint32_t*>(out.scanLine(r));
    const bool curve = (r >= maskRowMin_ && r < maskRowMax_) || (r >= curveFill_.rowMin && r < curveFill_.rowMax);
    if (curve)
      pixels::CurveRowPixels(dst, SpectrumRow(r), out.width());
    else
      std::memcpy(dst, background.constScanLine(r), rowBytes);
  }
}

bool CWidgetImages::BlendSpectrum(QImage& frame, const RectF& dest, float opacity, int rowBegin, int rowEnd) {
  if (!spectrumDeferred_) return false;
  const QImage& background = spectrum_.bitmap.Image();
  const RectF whole{0, 0, static_cast<float>(background.width()), static_cast<float>(background.height())};
  if (!CanBlitImage(frame, dest, background, whole) || outlineMask_.size() != background.size()) return false;
  const uint32_t constAlpha = PainterAlpha(opacity);
  const BlitArea a = ClipBlit(frame, dest, background.width(), background.height(), whole, rowBegin, rowEnd);
  if (constAlpha == 0 || a.Empty()) return true;
  const QImage& back = ScaledBackground(spectrumScaled_, spectrum_, constAlpha, false, 0);
  const QImage& filled = ScaledBackground(spectrumFilled_, spectrum_, constAlpha, true, fillColor_);
  if (back.isNull() || filled.isNull()) return false;
  const auto scale = [&](uint32_t p) { return constAlpha == 255 ? p : pixels::ByteMul(p, constAlpha); };
  const uint32_t line = scale(lineColor_);
  const uint32_t filledLine = scale(fillColor_ + pixels::ByteMul(lineColor_, 255u - qAlpha(fillColor_)));
  const int n = a.x1 - a.x0;
  for (int r = a.y0; r < a.y1; ++r) {
    uint32_t* d = reinterpret_cast<uint32_t*>(frame.scanLine(a.dy + r)) + a.dx + a.x0;
    const bool curve = (r >= maskRowMin_ && r < maskRowMax_) || (r >= curveFill_.rowMin && r < curveFill_.rowMax);
    if (!curve) {
      pixels::OverRow(d, reinterpret_cast<const uint32_t*>(back.constScanLine(r)) + a.x0, n, 255);
      continue;
    }
    const pixels::ScaledCurveRow row{reinterpret_cast<const uint32_t*>(back.constScanLine(r)) + a.x0,
                                     reinterpret_cast<const uint32_t*>(filled.constScanLine(r)) + a.x0,
                                     reinterpret_cast<const uint32_t*>(outlineMask_.constScanLine(r)) + a.x0,
                                     maskTop_.data() + a.x0,
                                     maskEnd_.data() + a.x0,
                                     fillTop_.data() + a.x0,
                                     fillEnd_.data() + a.x0,
                                     r,
                                     line,
                                     filledLine};
    pixels::CurveOverRow(d, row, n);
  }
  return true;
}

}  // namespace kx::draw
