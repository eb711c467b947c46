// Geometry of the three audio widgets: the peak meter, the waveform panel and
// the spectrum panel, each drawn into its own image through a canvas. Inputs
// are plain values and arrays, so the drawing needs no analyser or device.
#pragma once

#include <span>

#include "monitor/draw/canvas.h"

namespace kx::draw {

// Meter scale position in percent for a level in dB (piecewise linear,
// 0 for levels above 0 dB, below -110 dB or not a number).
float DbToMeterPercent(float level);

// Percent of the meter scale for a magnitude: exactly 1.0 (0 dB) shows as
// 1.5, everything else follows DbToMeterPercent of 20 log10 v.
float MagnitudeToMeterPercent(float v);

// The peak meter in a 60 x (H - 20) image for a view of W x H pixels.
// icons is the 64 x 32 strip of the two bar icons (may be null); the hold
// marks are raised here to the current levels.
struct PeakMeterInput {
  float viewWidth = 0;
  float viewHeight = 0;
  const IBitmap* icons = nullptr;
  float outputPeak = 0;  // magnitude the output device plays, 0..1
  float inputPeak = 0;   // magnitude of the stream's own audio, 0..1
};
void DrawPeakMeter(ICanvas& canvas, const PeakMeterInput& in, float& holdOutput, float& holdInput);

// The meter's parts, in the order DrawPeakMeter draws them: everything that
// does not depend on the levels (cleared image, background, icons, labels,
// unlit grid), then the lit segments and hold marks of the two bars.
void DrawPeakMeterBackground(ICanvas& canvas, const PeakMeterInput& in);
void DrawPeakMeterBars(ICanvas& canvas, const PeakMeterInput& in, float& holdOutput, float& holdInput);
// The background with every segment of both bars lit in its zone colour.
void DrawPeakMeterAllLit(ICanvas& canvas, const PeakMeterInput& in);

// Where the lit part of one bar ends: segments at y = base, base - 2, ...
// while y > top (the one at base always), plus one hold mark at holdY when
// showHold. Raises hold to the level.
struct MeterBarLevel {
  float top = 0;
  bool showHold = false;
  float holdY = 0;
};
MeterBarLevel MeterBar(float viewHeight, float magnitude, float& hold);
// Lines of the 2-pixel grid: the right (output) bar runs from x = 57 to 44,
// the left (input) bar from 18 to 5.
inline constexpr float kMeterRightBar[2] = {57, 44};
inline constexpr float kMeterLeftBar[2] = {18, 5};

// The waveform panel in a (W - 90) x (H/2 - 15) image. history holds the
// waveform columns, newest first.
struct WaveInput {
  float viewWidth = 0;
  float viewHeight = 0;
  std::span<const double> history;
  int waveScale = 480;  // samples per column
};
void DrawWavePanel(ICanvas& canvas, const WaveInput& in, int modeWave);
void DrawWaveLog(ICanvas& canvas, const WaveInput& in);
void DrawWaveLine(ICanvas& canvas, const WaveInput& in);

// The panel's parts, in the order DrawWavePanel draws them: the cleared
// background with the scale of the mode, then the columns.
void DrawWavePanelBackground(ICanvas& canvas, const WaveInput& in, int modeWave);
void DrawWaveColumns(ICanvas& canvas, const WaveInput& in, int modeWave);

// Column geometry: the centre line, the deflection of a value (0 for 0) in
// modes 0 (decibels) and 1 (linear), the columns drawn (element i at
// x = W - 125 - i, only where x > 10), and whether columns are joined into
// a zigzag (few samples per column) rather than drawn as vertical lines.
float WaveCentre(float viewHeight);
float WaveDeflection(int modeWave, float v, float centre);
size_t WaveColumnCount(const WaveInput& in);
inline bool WaveZigzag(const WaveInput& in) { return in.waveScale < 6; }

// Frequency shown at pixel x of a spectrum image of width rc.right - rc.left
// (logarithmic axis from 10 Hz at x = 30), 0 outside the axis.
double FreqAtPixel(int x, const RectF& rc);

// The spectrum panel in a w x h image. spectrum holds power per FFT bin
// (4096-point transform at 48 kHz; bins 0..2047 are read).
struct SpectrumInput {
  int width = 0;
  int height = 0;
  std::span<const double> spectrum;
  int spectrumBound = 80;  // depth of the dB axis
  int modeSpectrum = 0;    // 0 lines, 1 bars
};
void DrawSpectrumPanel(ICanvas& canvas, const SpectrumInput& in);

// The panel's parts, in the order DrawSpectrumPanel draws them: the cleared
// background with grid, labels and frame, then the curve built into two
// empty paths (outline and fill) and drawn.
void DrawSpectrumBackground(ICanvas& canvas, const SpectrumInput& in);
void DrawSpectrumCurve(ICanvas& canvas, const SpectrumInput& in, IPath& outline, IPath& fill);
// Only builds the two paths; false when there is no curve to draw.
bool BuildSpectrumCurve(const SpectrumInput& in, IPath& outline, IPath& fill);

}  // namespace kx::draw
