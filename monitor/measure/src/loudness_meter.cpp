#include "monitor/loudness_meter.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <new>

namespace kx::measure {

namespace {
// The histogram keeps the gating memory fixed however long a camera runs.
constexpr int kMode = EBUR128_MODE_M | EBUR128_MODE_S | EBUR128_MODE_I | EBUR128_MODE_LRA |
                      EBUR128_MODE_SAMPLE_PEAK | EBUR128_MODE_TRUE_PEAK | EBUR128_MODE_HISTOGRAM;

// BS.1770's loudness of a mean K-weighted energy; -inf for none.
double LoudnessOf(double energy) { return energy > 0 ? -0.691 + 10 * std::log10(energy) : -INFINITY; }

// One libebur128 loudness call; -inf when it fails.
double Loudness(int (*call)(ebur128_state*, double*), ebur128_state* state) {
  double v = -INFINITY;
  return call(state, &v) == EBUR128_SUCCESS ? v : -INFINITY;
}
}  // namespace

CLoudnessMeter::CLoudnessMeter(unsigned long sampleRate) : m_rate(sampleRate), m_stepFrames(sampleRate / 10) {
  Open();
}

CLoudnessMeter::~CLoudnessMeter() { Close(); }

void CLoudnessMeter::Open() {
  m_state = ebur128_init(kChannels, m_rate, kMode);
  if (!m_state) throw std::bad_alloc();
}

void CLoudnessMeter::Close() {
  if (m_state) ebur128_destroy(&m_state);
  m_state = nullptr;
}

void CLoudnessMeter::Reset() {
  Close();
  Open();
  m_framesInStep = 0;
  m_steps = 0;
  m_momentaryMax = -INFINITY;
  m_shortTermMax = -INFINITY;
  m_momentary = -INFINITY;
  m_shortTerm = -INFINITY;
  m_blockEnergy.fill(0.0);
  m_nextBlock = 0;
}

void CLoudnessMeter::Add(const float* interleaved, size_t frames) {
  while (frames > 0) {
    const size_t take = std::min(frames, m_stepFrames - m_framesInStep);
    ebur128_add_frames_float(m_state, interleaved, take);
    interleaved += take * kChannels;
    frames -= take;
    m_framesInStep += take;
    if (m_framesInStep == m_stepFrames) {
      m_framesInStep = 0;
      ++m_steps;
      TakeMaxima();
    }
  }
}

void CLoudnessMeter::TakeMaxima() {
  // Each 100 ms block's K-weighted energy from libebur128 (its 100 ms window
  // is exactly the block just completed); momentary and short-term loudness
  // are the means over the last 4 and 30 blocks, as libebur128's own 400 ms
  // and 3 s windows are, at a tenth of the cost of summing those windows
  // ten times a second. Blocks before the start count as silence.
  double block = -INFINITY;
  ebur128_loudness_window(m_state, 100, &block);
  m_blockEnergy[m_nextBlock] = std::isfinite(block) ? std::pow(10.0, (block + 0.691) / 10) : 0.0;
  m_nextBlock = (m_nextBlock + 1) % kShortTermBlocks;
  double momentary = 0, shortTerm = 0;
  for (size_t i = 0; i < kShortTermBlocks; ++i) {
    const double e = m_blockEnergy[(m_nextBlock + kShortTermBlocks - 1 - i) % kShortTermBlocks];
    if (i < kMomentaryBlocks) momentary += e;
    shortTerm += e;
  }
  m_momentary = LoudnessOf(momentary / kMomentaryBlocks);
  m_shortTerm = LoudnessOf(shortTerm / kShortTermBlocks);
  m_momentaryMax = std::max(m_momentaryMax, m_momentary);
  m_shortTermMax = std::max(m_shortTermMax, m_shortTerm);
}

double CLoudnessMeter::Integrated() const { return Loudness(ebur128_loudness_global, m_state); }

double CLoudnessMeter::Range() const {
  double v = 0;
  return ebur128_loudness_range(m_state, &v) == EBUR128_SUCCESS ? v : 0;
}

double CLoudnessMeter::TruePeak(unsigned channel) const {
  double v = 0;
  return ebur128_true_peak(m_state, channel, &v) == EBUR128_SUCCESS ? v : 0;
}

double CLoudnessMeter::SamplePeak(unsigned channel) const {
  double v = 0;
  return ebur128_sample_peak(m_state, channel, &v) == EBUR128_SUCCESS ? v : 0;
}

}  // namespace kx::measure
