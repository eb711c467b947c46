#include "monitor/analyser.h"

#include <cmath>
#include <cstring>

#include "common/settings_block.h"
#include "monitor/fft.h"
#include "monitor/window_functions.h"

namespace kx {

namespace {

// Shifts `history` right by `count` elements (the oldest fall off) and puts
// src[0..count-1] at the front.
template <size_t N>
void ShiftIn(CFixedArray<N>& history, const double* src, size_t count) {
  if (count == 0) return;
  std::memmove(history.data() + count, history.data(), (N - count) * sizeof(double));
  std::memcpy(history.data(), src, count * sizeof(double));
}

double PeakOf(const double* values, size_t count) {
  double peak = 0.0;
  for (size_t i = 0; i < count; ++i) {
    const double a = std::fabs(values[i]);
    peak = a > peak ? a : peak;
  }
  return peak;
}

}  // namespace

CSpectrumAnalyser::CSpectrumAnalyser() {
  PrepareFft();  // build the transform's tables before the first tick needs them
}

void CSpectrumAnalyser::PushAudioBlock(const float* values, size_t count) {
  const size_t n = values == nullptr ? 0 : std::min(count, kBlockSize);
  std::lock_guard<std::mutex> block(m_csBlock);
  double* dst = m_vBlock.data();
  for (size_t i = 0; i < n; ++i) dst[i] = static_cast<double>(values[i]);
  std::fill(dst + n, dst + kBlockSize, 0.0);
  if (m_nPendingCount == kPendingBlocks) {
    // The analysis lags: the oldest pending block gives way.
    m_nPendingFirst = (m_nPendingFirst + 1) % kPendingBlocks;
    --m_nPendingCount;
  }
  const size_t slot = (m_nPendingFirst + m_nPendingCount) % kPendingBlocks;
  std::memcpy(m_vPending.data() + slot * kBlockSize, dst, kBlockSize * sizeof(double));
  ++m_nPendingCount;
  if (m_bNewBlock.exchange(1, std::memory_order_release) == 0 && m_pendingSignal) m_pendingSignal();
}

void CSpectrumAnalyser::SetPendingSignal(std::function<void()> signal) {
  std::lock_guard<std::mutex> block(m_csBlock);
  m_pendingSignal = std::move(signal);
}

size_t CSpectrumAnalyser::PendingBlocks() const {
  std::lock_guard<std::mutex> block(m_csBlock);
  return m_nPendingCount;
}

void CSpectrumAnalyser::ResetAnalysis() {
  std::lock_guard<std::mutex> tick(m_csTick);
  {
    std::lock_guard<std::mutex> block(m_csBlock);
    m_vBlock.Zero();
    std::fill_n(m_vPending.data(), kBlockSize, 0.0);
    m_nPendingFirst = 0;
    m_nPendingCount = 1;  // the silent block
    if (m_bNewBlock.exchange(1, std::memory_order_release) == 0 && m_pendingSignal) m_pendingSignal();
  }
  {
    std::lock_guard<std::mutex> display(m_csDisplay);
    m_vSampleHistory.Zero();
    m_vWaveHistory.Zero();
    m_vSpectrum.Zero();
  }
  m_vTickBlock.Zero();
  m_vWaveBlock.Zero();
  m_vFftIn.Zero();
  m_vFftRe.Zero();
  m_vFftIm.Zero();
  m_vPower.Zero();
  m_vSpectrumHistory.Zero();
  m_nSpectrumNewest = 0;
}

float CSpectrumAnalyser::GetInputPeak() const {
  std::lock_guard<std::mutex> display(m_csDisplay);
  return static_cast<float>(PeakOf(m_vSampleHistory.data(), kSampleHistorySize));
}

float CSpectrumAnalyser::ReadDisplay(std::span<double> waveHistory, std::span<double> spectrum) const {
  const size_t waves = std::min(waveHistory.size(), kWaveHistorySize);
  const size_t bins = std::min(spectrum.size(), kFftSize);
  std::lock_guard<std::mutex> display(m_csDisplay);
  std::memcpy(waveHistory.data(), m_vWaveHistory.data(), waves * sizeof(double));
  std::memcpy(spectrum.data(), m_vSpectrum.data(), bins * sizeof(double));
  return static_cast<float>(PeakOf(m_vSampleHistory.data(), kSampleHistorySize));
}

std::span<const double, CSpectrumAnalyser::kSpectrumHistorySize> CSpectrumAnalyser::SpectrumHistory() const {
  if (!m_pSpectrumHistoryInOrder) m_pSpectrumHistoryInOrder = std::make_unique<CFixedArray<kSpectrumHistorySize>>();
  for (size_t s = 0; s < kHistoryBlocks; ++s)
    std::memcpy(m_pSpectrumHistoryInOrder->data() + s * kFftSize,
                m_vSpectrumHistory.data() + ((m_nSpectrumNewest + s) % kHistoryBlocks) * kFftSize,
                kFftSize * sizeof(double));
  return m_pSpectrumHistoryInOrder->view();
}

bool CSpectrumAnalyser::Tick(const CSettingsBlock& settings) {
  // Idle ticks (no stream) take no lock.
  if (m_bNewBlock.load(std::memory_order_relaxed) == 0) return false;
  std::lock_guard<std::mutex> tick(m_csTick);
  size_t count = 0;
  {
    // Clearing the flag and taking the queue under one lock: a block pushed
    // meanwhile waits for the next tick instead of being processed twice.
    std::lock_guard<std::mutex> block(m_csBlock);
    if (m_bNewBlock.exchange(0, std::memory_order_acquire) == 0) return false;
    count = m_nPendingCount;
    // The ring in at most two runs, oldest first.
    const size_t first = std::min(count, kPendingBlocks - m_nPendingFirst);
    std::memcpy(m_vTickBlocks.data(), m_vPending.data() + m_nPendingFirst * kBlockSize,
                first * kBlockSize * sizeof(double));
    std::memcpy(m_vTickBlocks.data() + first * kBlockSize, m_vPending.data(),
                (count - first) * kBlockSize * sizeof(double));
    m_nPendingFirst = 0;
    m_nPendingCount = 0;
  }
  if (count == 0) return false;
  const int32_t waveScale = settings.WaveScale;
  const int32_t windowFunc = settings.WindowFunc;
  const int32_t spectrumView = settings.SpectrumView;
  for (size_t b = 0; b < count; ++b) {
    std::memcpy(m_vTickBlock.data(), m_vTickBlocks.data() + b * kBlockSize, kBlockSize * sizeof(double));
    ProcessBlock(waveScale, windowFunc, spectrumView);
  }
  return true;
}

void CSpectrumAnalyser::ProcessBlock(int32_t waveScale, int32_t windowFunc, int32_t spectrumView) {
  const size_t columns = MakeWaveColumns(waveScale);
  {
    std::lock_guard<std::mutex> display(m_csDisplay);
    ShiftIn(m_vSampleHistory, m_vTickBlock.data(), kBlockSize);
    ShiftIn(m_vWaveHistory, m_vWaveBlock.data(), columns);
  }
  CopyNewestInTimeOrder();
  WindowFftInput(windowFunc);
  ComputeFft(m_vFftIn.data(), m_vFftRe.data(), m_vFftIm.data());
  ComputePower(m_vFftRe.data(), m_vFftIm.data(), m_vPower.data());
  m_nSpectrumNewest = (m_nSpectrumNewest + kHistoryBlocks - 1) % kHistoryBlocks;
  std::memcpy(m_vSpectrumHistory.data() + m_nSpectrumNewest * kFftSize, m_vPower.data(), kFftSize * sizeof(double));
  UpdateSpectrum(spectrumView);
}

void CSpectrumAnalyser::CopyNewestInTimeOrder() {
  // The history keeps blocks newest first, so its first 4096 values as they
  // lie jump in phase at every block boundary: a tone off the 50 Hz grid
  // would peak beside its frequency. The transform gets the newest 4096
  // samples as they were played: the last 256 of block 8, then blocks 7 to 0.
  constexpr size_t kWholeBlocks = kFftSize / kBlockSize;             // 8
  constexpr size_t kPartial = kFftSize - kWholeBlocks * kBlockSize;  // 256
  static_assert(kWholeBlocks < kHistoryBlocks);
  const double* history = m_vSampleHistory.data();
  double* out = m_vFftIn.data();
  std::memcpy(out, history + kWholeBlocks * kBlockSize + (kBlockSize - kPartial), kPartial * sizeof(double));
  out += kPartial;
  for (size_t b = kWholeBlocks; b-- > 0; out += kBlockSize)
    std::memcpy(out, history + b * kBlockSize, kBlockSize * sizeof(double));
}

size_t CSpectrumAnalyser::MakeWaveColumns(int32_t waveScale) {
  // A scale of 0 (or below) counts as one sample per column; above a block no
  // column is complete.
  const size_t w = waveScale < 1 ? 1 : static_cast<size_t>(waveScale);
  if (w > kBlockSize) return 0;
  const size_t columns = kBlockSize / w;
  const double* in = m_vTickBlock.data();
  double* out = m_vWaveBlock.data();
  for (size_t c = 0; c < columns; ++c) {
    // Maximum of the signed samples, starting at 0: an all-negative column is 0.
    double peak = 0.0;
    for (size_t i = 0; i < w; ++i) {
      const double v = in[c * w + i];
      if (v > peak) peak = v;
    }
    out[c] = peak;
  }
  return columns;
}

void CSpectrumAnalyser::WindowFftInput(int32_t windowFunc) {
  // Rectangular (0), and any stored value outside the list: no multiplication.
  if (windowFunc < 1 || windowFunc > kWindowCount) return;
  const int32_t index = windowFunc - 1;
  // The weights of the current window are kept: they only change with the setting.
  if (index != m_nWindowIndex) {
    FillWindow(static_cast<int32_t>(kFftSize), m_vWindow.data(), index);
    m_nWindowIndex = index;
  }
  double* data = m_vFftIn.data();
  const double* w = m_vWindow.data();
  for (size_t i = 0; i < kFftSize; ++i) data[i] = data[i] * w[i];
}

void CSpectrumAnalyser::UpdateSpectrum(int32_t spectrumView) {
  if (spectrumView & 1) {
    std::lock_guard<std::mutex> display(m_csDisplay);
    std::memcpy(m_vSpectrum.data(), m_vPower.data(), kFftSize * sizeof(double));
    return;
  }
  if (m_nAggregation < static_cast<int32_t>(kAggregateSpectra) - 1) {
    ++m_nAggregation;
    return;
  }
  m_nAggregation = 0;
  const bool middle = spectrumView & 2, minimum = spectrumView & 4, maximum = spectrumView & 8;
  if (!middle && !minimum && !maximum) return;

  // Per bin over the newest eight spectra; run spectrum by spectrum so that the
  // inner loop walks contiguous memory.
  double* mx = m_vAggregate.data();
  double* mn = m_vAggregateMin.data();
  std::fill_n(mx, kFftSize, 2e-308);
  std::fill_n(mn, kFftSize, 1e308);
  for (size_t s = 0; s < kAggregateSpectra; ++s) {
    const double* spectrum = m_vSpectrumHistory.data() + ((m_nSpectrumNewest + s) % kHistoryBlocks) * kFftSize;
    for (size_t k = 0; k < kFftSize; ++k) {
      const double v = spectrum[k];
      mx[k] = v >= mx[k] ? v : mx[k];
      mn[k] = mn[k] >= v ? v : mn[k];
    }
  }
  if (middle) {
    // Half the spread, not the mean.
    for (size_t k = 0; k < kFftSize; ++k) mx[k] = (mx[k] - mn[k]) * 0.5;
  } else if (minimum) {
    mx = mn;
  }
  std::lock_guard<std::mutex> display(m_csDisplay);
  std::memcpy(m_vSpectrum.data(), mx, kFftSize * sizeof(double));
}

}  // namespace kx
