#include "monitor/long_term_power.h"

#include <algorithm>
#include <numbers>

namespace kx::measure {

namespace {

// About 0.6 s or more: lines 1.5 Hz apart at 48 kHz, so 50 and 60 Hz and
// their harmonics fall in bins of their own.
size_t FrameLength(double rate) {
  size_t n = 1024;
  while (static_cast<double>(n) < rate * 0.6) n *= 2;
  return n;
}

constexpr double kHumLowHz = 40, kHumHighHz = 400;
constexpr double kSpeechLowHz = 300, kSpeechHighHz = 3400;
constexpr int kLobeBins = 3;
constexpr double kCliffDbPerTwelfth = 2;  // 24 dB per octave  // the Blackman-Harris main lobe, +-3 bins hold all but -50 dB of a line

}  // namespace

CLongSpectrum::CLongSpectrum(double sampleRate)
    : m_rate(sampleRate),
      m_n(FrameLength(sampleRate)),
      m_window(m_n),
      m_twiddle(m_n / 2),
      m_bitReverse(m_n),
      m_buffer(m_n),
      m_power(m_n / 2 + 1, 0.0),
      m_scratch(m_n / 2 + 2) {
  // Four-term Blackman-Harris: side lobes 92 dB down, so a loud tone does not
  // raise the floor the hum lines are compared with.
  const double a0 = 0.35875, a1 = 0.48829, a2 = 0.14128, a3 = 0.01168;
  for (size_t i = 0; i < m_n; ++i) {
    const double t = 2 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(m_n);
    const double w = a0 - a1 * std::cos(t) + a2 * std::cos(2 * t) - a3 * std::cos(3 * t);
    m_window[i] = static_cast<float>(w);
    m_windowPower += static_cast<double>(m_window[i]) * m_window[i];
  }
  for (size_t k = 0; k < m_n / 2; ++k)
    m_twiddle[k] = std::polar(1.0, -2 * std::numbers::pi * static_cast<double>(k) / static_cast<double>(m_n));
  size_t bits = 0;
  while ((size_t{1} << bits) < m_n) ++bits;
  for (size_t i = 0; i < m_n; ++i) {
    size_t r = 0;
    for (size_t b = 0; b < bits; ++b) r |= ((i >> b) & 1) << (bits - 1 - b);
    m_bitReverse[i] = r;
  }
}

void CLongSpectrum::Reset() {
  m_fill = 0;
  m_spectra = 0;
  std::fill(m_power.begin(), m_power.end(), 0.0);
}

void CLongSpectrum::Add(const float* x, size_t frames) {
  for (size_t i = 0; i < frames; ++i, x += 2) {
    const double w = m_window[m_fill];
    m_buffer[m_bitReverse[m_fill]] = {w * x[0], w * x[1]};
    if (++m_fill == m_n) {
      Transform();
      m_fill = 0;
    }
  }
}

void CLongSpectrum::Transform() {
  // In-place radix-2 on the bit-reversed frame.
  std::complex<double>* z = m_buffer.data();
  for (size_t half = 1; half < m_n; half *= 2) {
    const size_t stride = m_n / (2 * half);
    for (size_t start = 0; start < m_n; start += 2 * half) {
      for (size_t j = 0; j < half; ++j) {
        const std::complex<double> t = m_twiddle[j * stride] * z[start + j + half];
        z[start + j + half] = z[start + j] - t;
        z[start + j] += t;
      }
    }
  }
  // Left real, right imaginary: |L[k]|^2 + |R[k]|^2 = (|Z[k]|^2 + |Z[n-k]|^2) / 2.
  ++m_spectra;
  const double frameSeconds = static_cast<double>(m_n) / m_rate;
  const double alpha = std::max(1.0 / static_cast<double>(m_spectra), frameSeconds / kAverageSeconds);
  for (size_t k = 0; k <= m_n / 2; ++k) {
    const double p = (std::norm(z[k]) + std::norm(z[(m_n - k) % m_n])) / 2;
    m_power[k] += alpha * (p - m_power[k]);
  }
}

double CLongSpectrum::LobePower(size_t centre) const {
  const size_t lo = centre > kLobeBins ? centre - kLobeBins : 0;
  const size_t hi = std::min(centre + kLobeBins, m_n / 2);
  double sum = 0;
  for (size_t k = lo; k <= hi; ++k) sum += m_power[k];
  return sum;
}

double CLongSpectrum::LineDbfs(double hz) const {
  const size_t centre = static_cast<size_t>(std::lround(hz / BinHz()));
  // The mean square of both channels' lines, doubled for AES17.
  return 10 * std::log10(2 * LobePower(centre) / (static_cast<double>(m_n) * m_windowPower));
}

HumFigures CLongSpectrum::Hum(double standOutDb, double minDbfs) const {
  HumFigures best;
  if (!HasSpectrum()) return best;
  const double bin = BinHz();
  const size_t lo = static_cast<size_t>(std::ceil(kHumLowHz / bin));
  const size_t hi = std::min(static_cast<size_t>(kHumHighHz / bin), m_n / 2);
  std::copy(m_power.begin() + static_cast<std::ptrdiff_t>(lo), m_power.begin() + static_cast<std::ptrdiff_t>(hi + 1),
            m_scratch.begin());
  const size_t count = hi + 1 - lo;
  std::nth_element(m_scratch.begin(), m_scratch.begin() + count / 2, m_scratch.begin() + count);
  const double floor = m_scratch[count / 2];
  const double standOut = std::pow(10.0, standOutDb / 10);

  for (int mains : {50, 60}) {
    double lines = 0;
    bool low = false;  // the mains frequency or its double stands out
    for (int h = 1; h * mains <= kHumHighHz; ++h) {
      const size_t c = static_cast<size_t>(std::lround(h * mains / bin));
      const double peak = std::max({m_power[c - 1], m_power[c], m_power[c + 1]});
      if (!(peak >= floor * standOut) || peak <= 0) continue;
      lines += LobePower(c);
      if (h <= 2) low = true;
    }
    if (!low) continue;
    const double level = 10 * std::log10(2 * lines / (static_cast<double>(m_n) * m_windowPower));
    if (level >= minDbfs && level > best.levelDbfs) best = {mains, level};
  }
  return best;
}

double CLongSpectrum::BandPower(double hz) const {
  // The mean power per bin of a 1/48-octave band centred on hz (at least one bin).
  const double bin = BinHz();
  const size_t top = m_n / 2;
  const size_t b0 = std::min(top, static_cast<size_t>(hz * std::pow(2.0, -1.0 / 96) / bin));
  const size_t b1 = std::min(top + 1, std::max(b0 + 1, static_cast<size_t>(hz * std::pow(2.0, 1.0 / 96) / bin)));
  double sum = 0;
  for (size_t k = b0; k < b1; ++k) sum += m_power[k];
  return sum / static_cast<double>(b1 - b0);
}

double CLongSpectrum::BandwidthHz(double distanceDb) const {
  if (!HasSpectrum()) return NAN;
  const double bin = BinHz();
  double reference = 0;
  const size_t s0 = static_cast<size_t>(kSpeechLowHz / bin), s1 = static_cast<size_t>(kSpeechHighHz / bin);
  for (size_t k = s0; k < s1; ++k) reference += m_power[k];
  reference /= static_cast<double>(s1 - s0);
  if (!(reference > 0)) return NAN;
  const double threshold = reference * std::pow(10.0, -distanceDb / 10);
  const double step = std::pow(2.0, 1.0 / 48);
  // The highest band within the distance...
  double f = m_rate / 2 / std::pow(2.0, 1.0 / 96);
  while (f > kSpeechLowHz && BandPower(f) < threshold) f /= step;
  // ...moved down to the top of the cliff it may stand on: a low-pass (the
  // codec's, or the resampler's skirt above it) falls far steeper than any
  // sound does.
  const double cliff = std::pow(10.0, kCliffDbPerTwelfth / 10);
  while (f > kSpeechLowHz && BandPower(f) > cliff * BandPower(f * std::pow(2.0, 1.0 / 12))) f /= step;
  // The top of the cliff is where the fall begins; the edge is taken, as a
  // filter's cut-off is, where it has fallen by 3 dB.
  const double edge = BandPower(f) / 2;
  while (f * step < m_rate / 2 && BandPower(f * step) >= edge) f *= step;
  return std::max(f, kSpeechLowHz);
}

}  // namespace kx::measure
