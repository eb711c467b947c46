// Every sound measurement of one stereo float stream, fed in order: bad values
// are counted and kept out, the rest goes to the loudness meter, the level
// statistics and the long-term spectrum. Not thread-safe: one thread feeds and
// reads it (CMeasureWorker).
#pragma once

#include <array>
#include <cstddef>
#include <cmath>
#include <cstdint>

#include "monitor/av_sync.h"
#include "monitor/level_stats.h"
#include "monitor/long_term_power.h"
#include "monitor/loudness_meter.h"
#include "monitor/sound_figures.h"
#include "monitor/thresholds.h"

namespace kx::measure {

class CSoundMeter {
 public:
  explicit CSoundMeter(unsigned long sampleRate = 48000, const Thresholds& thresholds = {});

  void SetThresholds(const Thresholds& thresholds);
  const Thresholds& GetThresholds() const { return m_thresholds; }
  // Interleaved stereo frames. A frame holding a NaN or an infinity is
  // skipped; a denormal reads as 0. Each such value is counted.
  // With the stream time of the first frame (`seconds`), the frames also
  // feed the lip-sync measurement.
  void Add(const float* interleaved, size_t frames, double seconds = NAN);
  // A picture's brightness grid for the lip-sync measurement.
  void AddPicture(const LumaThumb& thumb) { m_avSync.AddPicture(thumb); }
  void Reset();
  int64_t Frames() const { return m_frames; }
  // The figures and the verdict now.
  SoundFigures Figures() const;

 private:
  static constexpr size_t kChunkFrames = 4800;
  void AddClean(const float* interleaved, size_t frames);

  const unsigned long m_rate;
  Thresholds m_thresholds;
  CLoudnessMeter m_loudness;
  CLevelStats m_levels;
  CLongSpectrum m_spectrum;
  CAvSyncMeter m_avSync;
  std::array<float, 2 * kChunkFrames> m_clean{};
  int64_t m_frames = 0;
  int64_t m_badSamples = 0;
  // The spectrum's figures, worked out again only when a new frame is in
  // (every 0.7 s) while the figures are read ten times a second.
  struct SpectrumFigures {
    size_t spectra = SIZE_MAX;
    HumFigures hum;
    double bandwidthHz = NAN;
  };
  mutable SpectrumFigures m_spectrumFigures;
};

}  // namespace kx::measure
