#include "monitor/loudness_meter.h"

#include <ebur128.h>

#include <algorithm>
#include <new>

namespace kx::measure {

namespace {
// The histogram keeps the gating memory fixed however long a camera runs.
constexpr int kMode = EBUR128_MODE_M | EBUR128_MODE_S | EBUR128_MODE_I | EBUR128_MODE_LRA |
                      EBUR128_MODE_SAMPLE_PEAK | EBUR128_MODE_TRUE_PEAK | EBUR128_MODE_HISTOGRAM;

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
  // As a meter shows them: a window reads from its first 100 ms on, with
  // the time before the start counted as silence.
  m_momentaryMax = std::max(m_momentaryMax, Momentary());
  m_shortTermMax = std::max(m_shortTermMax, ShortTerm());
}

double CLoudnessMeter::Momentary() const { return Loudness(ebur128_loudness_momentary, m_state); }

double CLoudnessMeter::ShortTerm() const { return Loudness(ebur128_loudness_shortterm, m_state); }

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
