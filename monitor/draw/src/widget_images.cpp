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
    CopyPixels(out, background);
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
  // Vertical columns of one opaque colour: find each column's rows, then
  // write the image row by row from the background and the columns.
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
  int xMin = width, xMax = -1, rowMin = height, rowMax = 0;
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
    xMin = std::min(xMin, span.x);
    xMax = std::max(xMax, span.x);
    rowMin = std::min(rowMin, r0);
    rowMax = std::max(rowMax, r1);
  }
  const size_t rowBytes = static_cast<size_t>(width) * sizeof(uint32_t);
  for (int r = 0; r < height; ++r) {
    uint32_t* dst = reinterpret_cast<uint32_t*>(out.scanLine(r));
    const uint32_t* from = reinterpret_cast<const uint32_t*>(background.constScanLine(r));
    if (r < rowMin || r >= rowMax) {
      std::memcpy(dst, from, rowBytes);
      continue;
    }
    std::memcpy(dst, from, static_cast<size_t>(xMin) * sizeof(uint32_t));
    pixels::SelectRow(dst + xMin, from + xMin, columnTop_.data() + xMin, columnEnd_.data() + xMin, r, color,
                      xMax + 1 - xMin);
    std::memcpy(dst + xMax + 1, from + xMax + 1, static_cast<size_t>(width - xMax - 1) * sizeof(uint32_t));
  }
}

void CWidgetImages::DrawSpectrum(CQtBitmap& target, const SpectrumInput& in) {
  Layer want;
  want.brushSerial = canvas_.BrushSerial();
  want.viewWidth = static_cast<float>(in.width);
  want.viewHeight = static_cast<float>(in.height);
  want.bound = in.spectrumBound;
  const bool kept = Refresh(spectrum_, want, target, [&] { DrawSpectrumBackground(canvas_, in); });
  if (kept) CopyPixels(target.Image(), spectrum_.bitmap.Image());
  if (!kept) {
    if (canvas_.Begin(target)) {
      DrawSpectrumPanel(canvas_, in);
      canvas_.End();
    }
    return;
  }
  if (in.spectrumBound <= 0) return;
  if (curveSerial_ != canvas_.BrushSerial()) {
    for (int i = 0; i < kBrushCount; ++i)
      curve_.SetBrushColor(static_cast<BrushId>(i), canvas_.BrushColor(static_cast<BrushId>(i)));
    curveSerial_ = canvas_.BrushSerial();
  }
  if (!curve_.Begin(target)) return;
  outline_.Clear();
  fill_.Clear();
  DrawSpectrumCurve(curve_, in, outline_, fill_);
  curve_.End();
}

}  // namespace kx::draw
