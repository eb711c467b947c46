// The long-term spectrum of a stereo stream and what it tells: mains hum
// (50 or 60 Hz and harmonics standing out of the 40-400 Hz band) and the
// effective bandwidth.
//
// Frames of about 0.7 s (a power of two of samples), Blackman-Harris
// windowed, without overlap; both channels go through one complex transform
// (left real, right imaginary) and their power spectra are summed, so a
// channel in opposite polarity does not cancel. The spectra are averaged over
// the run, then exponentially over about the last 10 s.
//
// Effective bandwidth: the reference is the mean power per bin over the
// telephone speech band, 300-3400 Hz. The bandwidth is the highest 1/48-octave
// band whose mean power per bin stands within `distanceDb` of it; when that
// band lies on a cliff (the spectrum falling by more than 24 dB per octave,
// as a codec's low-pass and the resampler's skirt above it do, and sound
// itself does not), the point 3 dB down from the top of the cliff, as a
// filter's cut-off is given. So G.711 upsampled to 48 kHz reads its own band
// edge under 4 kHz, not the skirt of the upsampler.
#pragma once

#include <cmath>
#include <complex>
#include <cstddef>
#include <vector>

namespace kx::measure {

struct HumFigures {
  int mainsHz = 0;  // 0: none
  double levelDbfs = -INFINITY;
};

class CLongSpectrum {
 public:
  static constexpr double kAverageSeconds = 10;

  explicit CLongSpectrum(double sampleRate);

  void Add(const float* interleaved, size_t frames);
  void Reset();

  bool HasSpectrum() const { return m_spectra > 0; }
  // Frames averaged since the reset: the figures below change only with it.
  size_t Spectra() const { return m_spectra; }
  double BinHz() const { return m_rate / static_cast<double>(m_n); }
  // Mean power of a sine of amplitude A in its own few bins reads A (AES17).
  HumFigures Hum(double standOutDb, double minDbfs) const;
  double BandwidthHz(double distanceDb) const;
  // Level of the line nearest `hz` (its main lobe), AES17 dBFS.
  double LineDbfs(double hz) const;

 private:
  void Transform();
  double LobePower(size_t centre) const;
  double BandPower(double hz) const;

  const double m_rate;
  const size_t m_n;
  std::vector<float> m_window;
  double m_windowPower = 0;  // sum of the squared window
  std::vector<std::complex<double>> m_twiddle;
  std::vector<size_t> m_bitReverse;
  std::vector<std::complex<double>> m_buffer;
  size_t m_fill = 0;
  std::vector<double> m_power;  // n/2 + 1 bins, the long-term average
  size_t m_spectra = 0;
  mutable std::vector<double> m_scratch;
};

}  // namespace kx::measure
