#include "monitor/level_stats.h"

#include <algorithm>
#include <cmath>

namespace kx::measure {

namespace {
// AES17: a full-scale sine reads 0 dBFS, so the mean square is doubled.
double MeanSquareDbfs(double meanSquare) { return 10.0 * std::log10(2.0 * meanSquare); }
double Db(double linear) { return 20.0 * std::log10(linear); }
}  // namespace

CLevelStats::CLevelStats(double sampleRate)
    : m_rate(sampleRate), m_blockFrames(static_cast<size_t>(sampleRate / 10)) {}

void CLevelStats::SetSilenceLevel(double dbfs) { m_silenceLevel = static_cast<float>(std::pow(10.0, dbfs / 20.0)); }

void CLevelStats::Reset() {
  m_open = Block{};
  m_blocks.fill(Block{});
  m_nextBlock = m_blockCount = 0;
  m_frames = 0;
  m_clipped.fill(0);
  m_clipRun.fill(0);
  m_silentRun = m_longestSilentRun = 0;
}

void CLevelStats::Add(const float* x, size_t frames) {
  for (size_t i = 0; i < frames; ++i, x += 2) {
    const float l = x[0], r = x[1];
    const float al = std::fabs(l), ar = std::fabs(r);
    // A clipped run counts from its second sample, which then counts the first too.
    for (int c = 0; c < 2; ++c) {
      if ((c ? ar : al) >= kClipLevel) {
        const int32_t run = ++m_clipRun[c];
        m_clipped[c] += run == 2 ? 2 : run > 2 ? 1 : 0;
      } else {
        m_clipRun[c] = 0;
      }
    }
    if (std::max(al, ar) <= m_silenceLevel) {
      m_longestSilentRun = std::max(m_longestSilentRun, ++m_silentRun);
    } else {
      m_silentRun = 0;
    }
    m_open.sum[0] += l;
    m_open.sum[1] += r;
    m_open.squares[0] += static_cast<double>(l) * l;
    m_open.squares[1] += static_cast<double>(r) * r;
    m_open.cross += static_cast<double>(l) * r;
    m_open.peak[0] = std::max(m_open.peak[0], al);
    m_open.peak[1] = std::max(m_open.peak[1], ar);
    if (++m_open.frames == m_blockFrames) CloseBlock();
  }
  m_frames += static_cast<int64_t>(frames);
}

void CLevelStats::CloseBlock() {
  m_blocks[m_nextBlock] = m_open;
  m_nextBlock = (m_nextBlock + 1) % kBlocks;
  m_blockCount = std::min(m_blockCount + 1, kBlocks);
  m_open = Block{};
}

void CLevelStats::Fill(SoundFigures& f) const {
  // The closed blocks of the last 10 s, and the open one while none is closed.
  Block total;
  size_t levels = 0;
  auto addBlock = [&](const Block& b) {
    for (int c = 0; c < 2; ++c) {
      total.sum[c] += b.sum[c];
      total.squares[c] += b.squares[c];
      total.peak[c] = std::max(total.peak[c], b.peak[c]);
    }
    total.cross += b.cross;
    total.frames += b.frames;
    if (b.frames > 0) m_sortScratch[levels++] = MeanSquareDbfs((b.squares[0] + b.squares[1]) / (2.0 * b.frames));
  };
  for (size_t i = 0; i < m_blockCount; ++i) addBlock(m_blocks[i]);
  if (m_blockCount == 0) addBlock(m_open);

  const int64_t allSamples = 2 * m_frames;
  f.clippedSamples = m_clipped[0] + m_clipped[1];
  f.clippedShare = allSamples > 0 ? static_cast<double>(f.clippedSamples) / static_cast<double>(allSamples) : 0;
  f.longestSilenceS = static_cast<double>(m_longestSilentRun) / m_rate;
  f.currentSilenceS = static_cast<double>(m_silentRun) / m_rate;
  if (total.frames == 0) return;

  const double n = static_cast<double>(total.frames);
  f.dcOffsetDbfs = -INFINITY;
  for (int c = 0; c < 2; ++c) {
    ChannelFigures& ch = f.channels[c];
    ch.clippedSamples = m_clipped[c];
    ch.dcOffsetDbfs = Db(std::fabs(total.sum[c]) / n);
    ch.levelDbfs = MeanSquareDbfs(total.squares[c] / n);
    f.dcOffsetDbfs = std::max(f.dcOffsetDbfs, ch.dcOffsetDbfs);
  }
  const bool sound[2] = {total.peak[0] > m_silenceLevel, total.peak[1] > m_silenceLevel};
  f.channels[0].dead = !sound[0] && sound[1];
  f.channels[1].dead = !sound[1] && sound[0];
  f.balanceDb = f.channels[0].levelDbfs - f.channels[1].levelDbfs;
  if (!std::isfinite(f.balanceDb)) f.balanceDb = NAN;  // a channel of exact zeros
  const double energy = total.squares[0] * total.squares[1];
  f.correlation = sound[0] && sound[1] && energy > 0 ? total.cross / std::sqrt(energy) : NAN;

  // The floor is the 10th percentile of the 100 ms levels; the median stands for the signal.
  auto percentile = [&](double p) {
    const size_t k = static_cast<size_t>(p * static_cast<double>(levels - 1) + 0.5);
    std::nth_element(m_sortScratch.begin(), m_sortScratch.begin() + k, m_sortScratch.begin() + levels);
    return m_sortScratch[k];
  };
  f.noiseFloorDbfs = percentile(0.10);
  f.medianLevelDbfs = percentile(0.50);
  f.signalToNoiseDb = f.medianLevelDbfs - f.noiseFloorDbfs;
}

}  // namespace kx::measure
