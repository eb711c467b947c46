// Loudness and peaks of a stereo float stream through libebur128: momentary,
// short-term and integrated loudness, loudness range, true and sample peak
// per channel. Momentary and short-term loudness and their maxima are taken
// every 100 ms of audio, as a loudness meter shows them.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include <ebur128.h>

namespace kx::measure {

class CLoudnessMeter {
 public:
  static constexpr unsigned kChannels = 2;
  explicit CLoudnessMeter(unsigned long sampleRate);
  ~CLoudnessMeter();
  CLoudnessMeter(const CLoudnessMeter&) = delete;
  CLoudnessMeter& operator=(const CLoudnessMeter&) = delete;

  // Interleaved stereo frames, finite values only.
  void Add(const float* interleaved, size_t frames);
  // Starts again from nothing (a new state: the only allocation after creation).
  void Reset();

  // As of the last whole 100 ms of audio.
  double Momentary() const { return m_momentary; }  // LUFS, -inf before any sound
  double ShortTerm() const { return m_shortTerm; }
  double Integrated() const;
  double Range() const;       // LU
  double MomentaryMax() const { return m_momentaryMax; }
  double ShortTermMax() const { return m_shortTermMax; }
  double TruePeak(unsigned channel) const;    // linear
  double SamplePeak(unsigned channel) const;  // linear

 private:
  void Open();
  void Close();
  void TakeMaxima();

  static constexpr size_t kMomentaryBlocks = 4;    // 400 ms
  static constexpr size_t kShortTermBlocks = 30;   // 3 s

  const unsigned long m_rate;
  const size_t m_stepFrames;  // 100 ms
  ebur128_state* m_state = nullptr;
  size_t m_framesInStep = 0;
  int64_t m_steps = 0;
  double m_momentaryMax = -INFINITY;
  double m_shortTermMax = -INFINITY;
  double m_momentary = -INFINITY;
  double m_shortTerm = -INFINITY;
  std::array<double, kShortTermBlocks> m_blockEnergy{};  // K-weighted, a ring of the last 3 s
  size_t m_nextBlock = 0;
};

}  // namespace kx::measure
