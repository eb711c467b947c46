// Sample-level figures of a stereo stream: clipping runs, DC offset, noise
// floor, silence and the two channels against each other. Whole-run counts
// (clipping, silence) run since the last reset; the rest describe the last
// 10 s, kept as one hundred 100 ms blocks.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "monitor/sound_figures.h"

namespace kx::measure {

class CLevelStats {
 public:
  static constexpr float kClipLevel = 0.999f;
  static constexpr size_t kBlocks = 100;  // 10 s of 100 ms blocks

  explicit CLevelStats(double sampleRate);

  void SetSilenceLevel(double dbfs);
  // Interleaved stereo frames, finite values only.
  void Add(const float* interleaved, size_t frames);
  void Reset();
  // Fills the level, clipping, DC, noise, silence and channel figures.
  void Fill(SoundFigures& figures) const;

 private:
  struct Block {
    double sum[2] = {0, 0};
    double squares[2] = {0, 0};
    double cross = 0;
    float peak[2] = {0, 0};
    size_t frames = 0;
  };
  void CloseBlock();

  const double m_rate;
  const size_t m_blockFrames;
  float m_silenceLevel = 0.001f;
  Block m_open;
  std::array<Block, kBlocks> m_blocks{};
  size_t m_nextBlock = 0;
  size_t m_blockCount = 0;
  int64_t m_frames = 0;
  std::array<int64_t, 2> m_clipped{};
  std::array<int32_t, 2> m_clipRun{};
  int64_t m_silentRun = 0;
  int64_t m_longestSilentRun = 0;
  mutable std::array<double, kBlocks> m_sortScratch{};
};

}  // namespace kx::measure
