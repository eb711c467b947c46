#include "monitor/av_sync.h"

#include <algorithm>
#include <numbers>

namespace kx::measure {

namespace {

// Mean square of a sine whose peak is at `dbfs` (a full-scale sine reads 0 dBFS).
double SineEnergy(double dbfs) { return 0.5 * std::pow(10.0, dbfs / 10.0); }

}  // namespace

bool MakeLumaThumb(const uint8_t* plane, int width, int height, int lineSize, PixelLayout layout, LumaThumb& thumb) {
  constexpr int kCols = LumaThumb::kCols, kRows = LumaThumb::kRows, kSamples = 8;
  if (!plane || width < kCols || height < kRows) return false;
  const int bytes = layout == PixelLayout::Bgra ? 4 : 1;
  for (int r = 0; r < kRows; ++r) {
    const int y0 = r * height / kRows, y1 = (r + 1) * height / kRows;
    const int stepY = std::max(1, (y1 - y0) / kSamples);
    for (int c = 0; c < kCols; ++c) {
      const int x0 = c * width / kCols, x1 = (c + 1) * width / kCols;
      const int stepX = std::max(1, (x1 - x0) / kSamples);
      uint32_t sum = 0, count = 0;
      for (int y = y0 + stepY / 2; y < y1; y += stepY) {
        const uint8_t* row = plane + static_cast<ptrdiff_t>(y) * lineSize;
        for (int x = x0 + stepX / 2; x < x1; x += stepX) {
          const uint8_t* p = row + static_cast<ptrdiff_t>(x) * bytes;
          // BT.601 weights in 8 bits for B, G, R.
          sum += layout == PixelLayout::Bgra ? (29u * p[0] + 150u * p[1] + 77u * p[2]) >> 8 : p[0];
          ++count;
        }
      }
      thumb.cells[static_cast<size_t>(r * kCols + c)] = static_cast<uint8_t>(count ? sum / count : 0);
    }
  }
  return true;
}

bool CFlashDetector::Add(const LumaThumb& thumb) {
  if (thumb.seconds < m_lastEvent) m_lastEvent = -INFINITY;  // a new run's clock
  bool flash = false;
  if (m_count > 0 && thumb.seconds - m_lastEvent >= kRefractorySeconds) {
    size_t risen = 0;
    for (size_t i = 0; i < thumb.cells.size(); ++i) {
      int lowest = 255;
      for (int h = 0; h < m_count; ++h) lowest = std::min<int>(lowest, m_history[static_cast<size_t>(h)][i]);
      if (thumb.cells[i] - lowest >= kRiseLevels) ++risen;
    }
    flash = static_cast<double>(risen) >= kShare * static_cast<double>(thumb.cells.size());
  }
  if (flash) m_lastEvent = thumb.seconds;
  m_history[static_cast<size_t>(m_next)] = thumb.cells;
  m_next = (m_next + 1) % static_cast<int>(m_history.size());
  m_count = std::min(m_count + 1, static_cast<int>(m_history.size()));
  return flash;
}

void CFlashDetector::Reset() {
  m_count = 0;
  m_next = 0;
  m_lastEvent = -INFINITY;
}

double COnsetDetector::Biquad::Step(double x) {
  double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
  if (std::abs(y) < 1e-25) y = 0;  // a decay into silence never reaches the slow denormals
  x2 = x1;
  x1 = x;
  y2 = y1;
  y1 = y;
  return y;
}

COnsetDetector::COnsetDetector() {
  // Fourth-order Butterworth edges, each two sections (the audio EQ
  // cookbook's forms with the Butterworth Qs): a tone an octave and a half
  // outside the band is some 40 dB down.
  auto make = [](double hz, bool high, double q) {
    const double w = 2 * std::numbers::pi * hz / kRate, cw = std::cos(w), alpha = std::sin(w) / (2 * q);
    const double a0 = 1 + alpha;
    const double b1 = high ? -(1 + cw) : 1 - cw, b0 = high ? (1 + cw) / 2 : (1 - cw) / 2;
    return Biquad{b0 / a0, b1 / a0, b0 / a0, -2 * cw / a0, (1 - alpha) / a0};
  };
  constexpr double kQ1 = 0.5411961, kQ2 = 1.3065630;
  m_band = {make(500, true, kQ1), make(500, true, kQ2), make(4000, false, kQ1), make(4000, false, kQ2)};
}

void COnsetDetector::Reset() { *this = COnsetDetector(); }

void COnsetDetector::Add(double seconds, const float* interleaved, size_t frames, std::vector<double>& onsets) {
  m_clock = seconds;
  const double minEnergy = SineEnergy(kMinDbfs), floor = SineEnergy(-90), rise = std::pow(10.0, kRiseDb / 10);
  constexpr size_t kEnergies = kLookBack + 2;
  for (size_t i = 0; i < frames; ++i) {
    double x = 0.5 * (static_cast<double>(interleaved[2 * i]) + interleaved[2 * i + 1]);
    if (!std::isfinite(x)) x = 0;
    double y = x;
    for (Biquad& section : m_band) y = section.Step(y);
    m_ring[static_cast<size_t>(m_sample) % kRing] = static_cast<float>(y);
    ++m_sample;
    m_clock += 1.0 / kRate;
    m_blockSum += y * y;
    if (++m_inBlock < kBlock) continue;
    m_energyAt = (m_energyAt + 1) % static_cast<int>(kEnergies);
    m_energy[static_cast<size_t>(m_energyAt)] = m_blockSum / kBlock;
    m_blockSum = 0;
    m_inBlock = 0;
    if (++m_blocks < static_cast<int64_t>(kEnergies)) continue;
    auto energy = [&](int back) {  // the block `back` blocks before the newest
      return m_energy[static_cast<size_t>((m_energyAt - back + static_cast<int>(kEnergies)) % static_cast<int>(kEnergies))];
    };
    const double now = 0.5 * (energy(0) + energy(1));
    const double before = std::max(floor, 0.5 * (energy(kLookBack) + energy(kLookBack + 1)));
    if (now < minEnergy || now < rise * before) continue;
    // The first sample of the rise: the first of the last 12 ms that comes
    // within 20 dB of the level reached (and well above the level before, so
    // the noise before the rise is not taken for it).
    const double threshold = std::max(now / rise, 10 * before);
    const int64_t from = m_sample - static_cast<int64_t>(kEnergies) * kBlock;
    int64_t first = m_sample - 1;
    for (int64_t k = from; k < m_sample; ++k) {
      const double v = m_ring[static_cast<size_t>(k) % kRing];
      if (v * v >= threshold) {
        first = k;
        break;
      }
    }
    const double t = m_clock - static_cast<double>(m_sample - first) / kRate;
    if (t < m_lastOnset) m_lastOnset = -INFINITY;  // a new run's clock
    if (t - m_lastOnset < kRefractorySeconds) continue;
    m_lastOnset = t;
    onsets.push_back(t);
  }
}

const char* AvSyncVerdictName(AvSyncVerdict verdict) {
  switch (verdict) {
    case AvSyncVerdict::Ok: return "ok";
    case AvSyncVerdict::Warning: return "warning";
    case AvSyncVerdict::Fault: return "fault";
    case AvSyncVerdict::None: break;
  }
  return nullptr;
}

AvSyncVerdict JudgeAvOffset(double offsetMs) {
  if (std::isnan(offsetMs)) return AvSyncVerdict::None;
  if (offsetMs < kAvFaultEarlyMs || offsetMs > kAvFaultLateMs) return AvSyncVerdict::Fault;
  if (offsetMs < kAvWarnEarlyMs || offsetMs > kAvWarnLateMs) return AvSyncVerdict::Warning;
  return AvSyncVerdict::Ok;
}

void CAvSyncPairing::AddFlash(double seconds) {
  PictureClock(seconds);
  m_flashes.push_back(seconds);
}

void CAvSyncPairing::AddOnset(double seconds) {
  // The onset lies a little behind the sound clock: only a clock going back restarts.
  if (seconds < m_soundClock - 1) Restart();
  m_onsets.push_back(seconds);
}

void CAvSyncPairing::PictureClock(double seconds) {
  if (seconds < m_pictureClock - 1) Restart();
  m_pictureClock = seconds;
  Decide();
}

void CAvSyncPairing::SoundClock(double seconds) {
  if (seconds < m_soundClock - 1) Restart();
  m_soundClock = seconds;
  Decide();
}

void CAvSyncPairing::Restart() {
  m_flashes.clear();
  m_onsets.clear();
  m_decided = 0;
  m_pictureClock = m_soundClock = -INFINITY;
}

void CAvSyncPairing::Reset() {
  Restart();
  m_offsets.clear();
  m_pairs = 0;
}

void CAvSyncPairing::Decide() {
  const double known = std::min(m_pictureClock, m_soundClock);
  // The nearest of `events` to `t` within the window; NaN when none is.
  auto nearest = [](const std::deque<double>& events, double t) {
    double best = NAN;
    for (double e : events)
      if (std::abs(e - t) <= kWindowSeconds && !(std::abs(e - t) >= std::abs(best - t))) best = e;
    return best;
  };
  while (m_decided < m_onsets.size() && m_onsets[m_decided] + 2 * kWindowSeconds <= known) {
    const double onset = m_onsets[m_decided++];
    const double flash = nearest(m_flashes, onset);
    if (std::isnan(flash) || nearest(m_onsets, flash) != onset) continue;
    m_offsets.push_back(onset - flash);
    if (m_offsets.size() > kMedianPairs) m_offsets.pop_front();
    ++m_pairs;
  }
  // Events more than two windows behind both clocks can be nobody's nearest any more.
  const double old = known - 4 * kWindowSeconds;
  while (!m_flashes.empty() && m_flashes.front() < old) m_flashes.pop_front();
  while (m_decided > 0 && m_onsets.front() < old) {
    m_onsets.pop_front();
    --m_decided;
  }
}

AvSyncFigures CAvSyncPairing::Figures() const {
  AvSyncFigures f;
  f.pairs = m_pairs;
  if (m_offsets.size() < kMinPairs) return f;
  std::vector<double> sorted(m_offsets.begin(), m_offsets.end());
  std::sort(sorted.begin(), sorted.end());
  const size_t n = sorted.size();
  const double median = n % 2 ? sorted[n / 2] : 0.5 * (sorted[n / 2 - 1] + sorted[n / 2]);
  f.offsetMs = 1000 * median;
  f.spreadMs = 1000 * (sorted.back() - sorted.front());
  f.verdict = JudgeAvOffset(f.offsetMs);
  return f;
}

void CAvSyncMeter::AddPicture(const LumaThumb& thumb) {
  if (m_flashes.Add(thumb))
    m_pairing.AddFlash(thumb.seconds);
  else
    m_pairing.PictureClock(thumb.seconds);
}

void CAvSyncMeter::AddSound(double seconds, const float* interleaved, size_t frames) {
  m_found.clear();
  m_onsets.Add(seconds, interleaved, frames, m_found);
  for (double t : m_found) m_pairing.AddOnset(t);
  m_pairing.SoundClock(seconds + static_cast<double>(frames) / COnsetDetector::kRate);
}

void CAvSyncMeter::Reset() {
  m_flashes.Reset();
  m_onsets.Reset();
  m_pairing.Reset();
}

}  // namespace kx::measure
