#include "monitor/draw/widgets.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kx::draw {

ColorF ColorFromRef(COLORREF c, float alpha) {
  // An opacity setting outside 0..100 % gives a colour that still draws.
  alpha = std::isnan(alpha) ? 1.0f : std::clamp(alpha, 0.0f, 1.0f);
  return ColorF{static_cast<float>(c & 0xFF) / 255.0f, static_cast<float>((c >> 8) & 0xFF) / 255.0f,
                static_cast<float>((c >> 16) & 0xFF) / 255.0f, alpha};
}

float DbToMeterPercent(float level) {
  if (level >= -20.0f && level <= 0.0f) return (level + 40.0f) / 0.4f;
  if (level >= -30.0f && level < -20.0f) return (level + 45.0f) * 2.0f;
  if (level >= -40.0f && level < -30.0f) return (level + 50.0f) / 0.6666667f;
  if (level >= -50.0f && level < -40.0f) return (level + 58.75f) / 1.25f;
  if (level > -62.0f && level < -50.0f) return (level + 70.0f) / 2.857143f;
  if (level >= -110.0f && level <= -62.0f) return 1.5f;
  return 0.0f;  // above full scale, below the floor, or not a number
}

float MagnitudeToMeterPercent(float v) {
  const float level = 20.0f * std::log10(v);
  return level == 0.0f ? 1.5f : DbToMeterPercent(level);
}

namespace {

constexpr const char* kMinusInfinity = "-\xE2\x88\x9E";  // "-" U+221E in UTF-8

// ---- peak meter ----

struct MeterZones {
  float yMid, yMax;
  BrushId At(float y) const {
    if (y > yMid) return BrushId::PeakMin;
    if (y > yMax) return BrushId::PeakMid;
    return BrushId::PeakMax;
  }
};

// The 0 percent line and the pixels for 100 percent of a view H high, and
// where the zones change colour.
struct MeterScale {
  float base, range;
  MeterZones zones;
  explicit MeterScale(float H)
      : base(H - 60.0f),
        range(H - 60.0f),
        zones{base - DbToMeterPercent(-10.0f) * range / 100.0f, base - DbToMeterPercent(-5.0f) * range / 100.0f} {}
};

void MeterSegment(ICanvas& canvas, const float (&bar)[2], float y, BrushId brush) {
  canvas.DrawRect(RectF{bar[0], y, bar[1], y}, brush);
}

// One bar: the lit segments from the base up to the level, then the hold
// mark on the 2-pixel grid when it lies above the level.
void DrawMeterBar(ICanvas& canvas, const float (&bar)[2], const MeterScale& scale, const MeterBarLevel& level) {
  float y = scale.base;
  do {
    MeterSegment(canvas, bar, y, scale.zones.At(y));
    y -= 2.0f;
  } while (y > level.top);
  if (level.showHold) MeterSegment(canvas, bar, level.holdY, scale.zones.At(level.holdY));
}

}  // namespace

MeterBarLevel MeterBar(float viewHeight, float magnitude, float& hold) {
  const MeterScale scale(viewHeight);
  const float p = MagnitudeToMeterPercent(magnitude);
  if (hold <= p) hold = p;
  MeterBarLevel level;
  level.top = scale.base - p * scale.range / 100.0f;
  if (p < hold) {
    const float holdY = scale.base - hold * scale.range / 100.0f;
    float y = scale.base;
    do {
      y -= 2.0f;
    } while (!(y <= holdY));
    level.showHold = true;
    level.holdY = y;
  }
  return level;
}

void DrawPeakMeter(ICanvas& canvas, const PeakMeterInput& in, float& holdOutput, float& holdInput) {
  DrawPeakMeterBackground(canvas, in);
  DrawPeakMeterBars(canvas, in, holdOutput, holdInput);
}

void DrawPeakMeterBackground(ICanvas& canvas, const PeakMeterInput& in) {
  const float H = in.viewHeight;
  const MeterScale scale(H);
  const float base = scale.base, range = scale.range;
  canvas.Clear(ColorF{0, 0, 0, 0});
  canvas.FillRect(RectF{0, 0, 60, H - 20.0f}, BrushId::Bkg);

  if (in.icons) {
    canvas.DrawBitmap(*in.icons, RectF{-3, H - 54.0f, 29, H - 22.0f}, 1.0f, RectF{0, 0, 31, 31});
    canvas.DrawBitmap(*in.icons, RectF{28, H - 54.0f, 60, H - 22.0f}, 1.0f, RectF{32, 0, 63, 31});
  }

  static constexpr int kMarks[] = {96, 90, 80, 70, 60, 50, 40, 35, 30, 25, 20, 15, 10, 8, 6, 4, 2, 0};
  char text[16];
  for (int d : kMarks) {
    // The 0 mark sits at the -1 dB position so that its label stays inside the strip.
    const float off = DbToMeterPercent(-static_cast<float>(d == 0 ? 1 : d)) * range / 100.0f;
    if (d >= 70) continue;
    if (d > 0) {
      std::snprintf(text, sizeof text, "-%.0lf", static_cast<double>(d));
      canvas.DrawText(text, RectF{22, base - off - 6.0f, 60, base + off}, BrushId::Axis);
    } else {
      std::snprintf(text, sizeof text, "%.0lf", 0.0);
      canvas.DrawText(text, RectF{27, base - off - 6.0f, 60, base - off}, BrushId::Axis);
    }
  }
  canvas.DrawText(kMinusInfinity, RectF{22, base - 6.0f, 60, base}, BrushId::Axis);

  for (float y = base; y >= 20.0f; y -= 2.0f) {
    MeterSegment(canvas, kMeterRightBar, y, BrushId::Axis);
    MeterSegment(canvas, kMeterLeftBar, y, BrushId::Axis);
  }
}

void DrawPeakMeterBars(ICanvas& canvas, const PeakMeterInput& in, float& holdOutput, float& holdInput) {
  const MeterScale scale(in.viewHeight);
  DrawMeterBar(canvas, kMeterRightBar, scale, MeterBar(in.viewHeight, in.outputPeak, holdOutput));
  DrawMeterBar(canvas, kMeterLeftBar, scale, MeterBar(in.viewHeight, in.inputPeak, holdInput));
}

void DrawPeakMeterAllLit(ICanvas& canvas, const PeakMeterInput& in) {
  DrawPeakMeterBackground(canvas, in);
  const MeterScale scale(in.viewHeight);
  // A full bar reaches y = 0, a hold mark one grid step beyond it.
  for (float y = scale.base; y >= -2.0f; y -= 2.0f) {
    MeterSegment(canvas, kMeterRightBar, y, scale.zones.At(y));
    MeterSegment(canvas, kMeterLeftBar, y, scale.zones.At(y));
  }
}

// ---- waveform ----

namespace {

struct WaveFrame {
  float W, c, xScaleEnd, xLabel, xLabelEnd;
  explicit WaveFrame(const WaveInput& in)
      : W(in.viewWidth),
        c(WaveCentre(in.viewHeight)),
        xScaleEnd(in.viewWidth - 125.0f),
        xLabel(in.viewWidth - 123.0f),
        xLabelEnd(in.viewWidth - 100.0f) {}
  void ScaleLine(ICanvas& canvas, float y, BrushId brush) const {
    canvas.DrawLine(PointF{10, y}, PointF{xScaleEnd, y}, brush);
  }
};

void DrawWaveLogScale(ICanvas& canvas, const WaveFrame& f) {
  const float c = f.c;
  char text[16];
  for (int d = 0; d <= 90; d += 10) {
    if (d >= 10 && d <= 50) {
      const float off = DbToMeterPercent(-static_cast<float>(d)) * c / 100.0f;
      f.ScaleLine(canvas, c - off, BrushId::Axis);
      f.ScaleLine(canvas, c + off, BrushId::Axis);
      std::snprintf(text, sizeof text, "-%.0lf", static_cast<double>(d));
      canvas.DrawText(text, RectF{f.xLabel, c - off - 6.0f, f.xLabelEnd, c - off}, BrushId::Axis);
      canvas.DrawText(text, RectF{f.xLabel, c + off - 6.0f, f.xLabelEnd, c + off}, BrushId::Axis);
    } else {
      f.ScaleLine(canvas, c, BrushId::Wave);
      canvas.DrawText(kMinusInfinity, RectF{f.W - 122.0f, c - 6.0f, f.xLabelEnd, c}, BrushId::Wave);
    }
  }
}

void DrawWaveLineScale(ICanvas& canvas, const WaveFrame& f) {
  const float c = f.c;
  f.ScaleLine(canvas, c, BrushId::Wave);
  canvas.DrawText("0.0", RectF{f.W - 122.0f, c - 6.0f, f.xLabelEnd, c}, BrushId::Wave);
  char text[16];
  for (float frac : {0.25f, 0.5f, 0.75f}) {
    const float off = frac * c;
    f.ScaleLine(canvas, c - off, BrushId::Axis);
    f.ScaleLine(canvas, c + off, BrushId::Axis);
    std::snprintf(text, sizeof text, "%.*f", 2, static_cast<double>(frac));
    canvas.DrawText(text, RectF{f.xLabel, c - off - 5.0f, f.xLabelEnd, c - off}, BrushId::Axis);
    canvas.DrawText(text, RectF{f.xLabel, c + off - 5.0f, f.xLabelEnd, c + off}, BrushId::Axis);
  }
  f.ScaleLine(canvas, 0.0f, BrushId::Axis);
  f.ScaleLine(canvas, 2.0f * c, BrushId::Axis);
  canvas.DrawText("1.0", RectF{f.xLabel, 1, f.xLabelEnd, 0}, BrushId::Axis);
  canvas.DrawText("1.0", RectF{f.xLabel, 2.0f * c - 19.0f, f.xLabelEnd, 2.0f * c}, BrushId::Axis);
}

}  // namespace

float WaveCentre(float viewHeight) { return (viewHeight * 0.5f - 10.0f) * 0.5f; }

float WaveDeflection(int modeWave, float v, float centre) {
  if (v == 0.0f) return 0.0f;
  return modeWave == 0 ? MagnitudeToMeterPercent(v) * centre / 100.0f : v * centre;
}

size_t WaveColumnCount(const WaveInput& in) {
  const float limit = in.viewWidth - 25.0f;
  size_t n = 0;
  while (n < in.history.size() && static_cast<float>(n) < limit) ++n;
  return n;
}

void DrawWaveColumns(ICanvas& canvas, const WaveInput& in, int modeWave) {
  if (modeWave != 0 && modeWave != 1) return;
  const WaveFrame f(in);
  const size_t n = WaveColumnCount(in);
  auto at = [&](size_t i) { return WaveDeflection(modeWave, static_cast<float>(in.history[i]), f.c); };
  if (!WaveZigzag(in)) {
    for (size_t i = 0; i < n; ++i) {
      const float x = f.xScaleEnd - static_cast<float>(i);
      if (x <= 10.0f) break;
      if (static_cast<float>(in.history[i]) == 0.0f) continue;
      const float a = at(i);
      canvas.DrawLine(PointF{x, f.c - a}, PointF{x, f.c + a - 1.0f}, BrushId::Wave);
    }
    return;
  }
  // Few samples per column: join neighbouring columns into a zigzag.
  if (n == 0) return;
  float aPrev = at(0);
  for (size_t i = 1; i < n; ++i) {
    const float x = f.xScaleEnd - static_cast<float>(i);
    const float a = at(i);
    if (x > 10.0f) canvas.DrawLine(PointF{x - 1.0f, f.c - aPrev}, PointF{x, f.c + a - 1.0f}, BrushId::Wave);
    aPrev = a;
  }
}

void DrawWavePanel(ICanvas& canvas, const WaveInput& in, int modeWave) {
  DrawWavePanelBackground(canvas, in, modeWave);
  DrawWaveColumns(canvas, in, modeWave);
}

void DrawWavePanelBackground(ICanvas& canvas, const WaveInput& in, int modeWave) {
  canvas.Clear(ColorF{0, 0, 0, 0});
  canvas.FillRect(RectF{0, 0, in.viewWidth - 90.0f, in.viewHeight * 0.5f - 15.0f}, BrushId::Bkg);
  if (modeWave == 0)
    DrawWaveLogScale(canvas, WaveFrame(in));
  else if (modeWave == 1)
    DrawWaveLineScale(canvas, WaveFrame(in));
}

void DrawWaveLog(ICanvas& canvas, const WaveInput& in) {
  DrawWaveLogScale(canvas, WaveFrame(in));
  DrawWaveColumns(canvas, in, 0);
}

void DrawWaveLine(ICanvas& canvas, const WaveInput& in) {
  DrawWaveLineScale(canvas, WaveFrame(in));
  DrawWaveColumns(canvas, in, 1);
}

// ---- spectrum ----

namespace {

// Pixels per decade of the frequency axis: the plot from x = 30 to w - 37
// holds 3 ln 3 decades from 10 Hz.
double DecadeWidth(int w) { return (w - 67) / (3.0 * std::log(3.0)); }

constexpr double kSampleRate = 48000.0;
constexpr int kFftSize = 4096;

}  // namespace

double FreqAtPixel(int x, const RectF& rc) {
  const int width = static_cast<int>(rc.right - rc.left);
  const double dec = DecadeWidth(width);
  const double u = x - 30;
  if (u >= 0 && u < 4.0 * dec) return std::pow(10.0, u / dec) * 10.0;
  return 0.0;
}

void DrawSpectrumPanel(ICanvas& canvas, const SpectrumInput& in) {
  DrawSpectrumBackground(canvas, in);
  if (in.spectrumBound <= 0) return;
  std::unique_ptr<IPath> outline = canvas.CreatePath();
  std::unique_ptr<IPath> fill = canvas.CreatePath();
  if (!outline || !fill) return;
  DrawSpectrumCurve(canvas, in, *outline, *fill);
}

void DrawSpectrumBackground(ICanvas& canvas, const SpectrumInput& in) {
  const int w = in.width, h = in.height;
  const float fw = static_cast<float>(w), fh = static_cast<float>(h);
  const float bottom = fh - 26.0f;
  canvas.Clear(ColorF{0, 0, 0, 0});
  canvas.FillRect(RectF{0, 0, fw, fh}, BrushId::Bkg);

  const double dec = DecadeWidth(w);
  char text[16];
  for (int decade = 0; decade < 4; ++decade) {
    int multiplier = 10;
    for (int i = 0; i < decade; ++i) multiplier *= 10;
    for (int k = 1; k <= (decade == 3 ? 2 : 9); ++k) {
      const int freq = k * multiplier;
      const float X = static_cast<float>(30.0 + (std::log10(static_cast<double>(k)) + decade) * dec);
      canvas.DrawLine(PointF{X, 10}, PointF{X, bottom}, BrushId::Axis);
      if (freq < 1000)
        std::snprintf(text, sizeof text, "%d", freq);
      else
        std::snprintf(text, sizeof text, "%d K", freq / 1000);
      canvas.DrawText(text, RectF{X - 2.0f, bottom, X + 25.0f, fh - 16.0f}, BrushId::Axis);
    }
  }
  const float x20k = static_cast<float>(30.0 + (3.0 + std::log10(2.0)) * dec);

  // A bound of 0 or less has no dB axis to draw on. A stored bound far past
  // the list (up to -200) keeps its scale, but its labels and lines stop at
  // -10000 dB: beyond that they would only pile up, and a huge bound must not
  // stall the render thread.
  const int bound = in.spectrumBound;
  const float ppd = bound > 0 ? (fh - 36.0f) / static_cast<float>(bound) : 0.0f;
  constexpr int kMaxAxisBound = 10000;
  const int axisBound = std::min(bound, kMaxAxisBound);
  for (int i = 0; i < axisBound; i += 10) {
    if (i == 0)
      std::snprintf(text, sizeof text, "%d", 0);
    else
      std::snprintf(text, sizeof text, "-%d", i);
    const float y0 = static_cast<float>(i) * ppd + 10.0f;
    const float y1 = static_cast<float>(i) * ppd + 30.0f;
    canvas.DrawText(text, RectF{2, y0, 27, y1}, BrushId::Axis);
    canvas.DrawText(text, RectF{fw - 33.0f, y0, fw - 8.0f, y1}, BrushId::Axis);
  }
  canvas.DrawRect(RectF{30, 10, x20k, bottom}, BrushId::Axis);
  for (int i = 10; i < axisBound; i += 10) {
    const float y = static_cast<float>(i) * ppd + 10.0f;
    canvas.DrawRect(RectF{30, y, x20k, y}, BrushId::Axis);
  }
}

void DrawSpectrumCurve(ICanvas& canvas, const SpectrumInput& in, IPath& outline, IPath& fill) {
  if (!BuildSpectrumCurve(in, outline, fill)) return;
  canvas.DrawPath(outline, BrushId::Spectrum);
  canvas.FillPath(fill, BrushId::SpectrumFill);
}

bool BuildSpectrumCurve(const SpectrumInput& in, IPath& outline, IPath& fill) {
  const int w = in.width, h = in.height;
  const float fw = static_cast<float>(w), fh = static_cast<float>(h);
  const float bottom = fh - 26.0f;
  const int bound = in.spectrumBound;
  const float ppd = bound > 0 ? (fh - 36.0f) / static_cast<float>(bound) : 0.0f;
  if (bound <= 0) return false;

  fill.BeginFigure(PointF{30, bottom});
  const RectF rc{0, 0, fw, fh};
  int lastBin = -1;
  bool any = false;
  float xPrev = 30.0f;
  for (double x = 30.0; x <= w - 37; x += 1.0) {
    const double freq = FreqAtPixel(static_cast<int>(x), rc);
    const int bin = static_cast<int>(freq * kFftSize / kSampleRate);
    if (bin >= kFftSize || bin == lastBin || static_cast<size_t>(bin) >= in.spectrum.size()) continue;
    lastBin = bin;
    const float power = static_cast<float>(in.spectrum[bin]);
    const float level = 10.0f * std::log10(power);
    // 40 dB of this unscaled power lies on the "0" line; louder bins rise above the frame.
    const float y = std::min((40.0f - level) * ppd + 10.0f, bottom);
    const float fx = static_cast<float>(x);
    if (!any) {
      outline.BeginFigure(PointF{30, y});
      fill.AddLine(PointF{30, y});
      any = true;
    }
    if (in.modeSpectrum == 0) {
      outline.AddLine(PointF{fx, y});
      fill.AddLine(PointF{fx, y});
    } else if (in.modeSpectrum == 1) {
      outline.AddLine(PointF{xPrev, y});
      outline.AddLine(PointF{fx, y});
      fill.AddLine(PointF{xPrev, y});
      fill.AddLine(PointF{fx, y});
      xPrev = fx;
    }
  }
  if (!any) return false;
  outline.EndFigure(false);
  fill.AddLine(PointF{fw - 37.0f, bottom});
  fill.EndFigure(true);
  return true;
}

}  // namespace kx::draw
