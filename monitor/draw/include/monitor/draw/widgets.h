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

}  // namespace kx::draw
