// The spectrum analyser behind the audio monitor: rolling sample, waveform and
// spectrum histories of 480-sample blocks (10 ms at 48 kHz), a windowed
// 4096-point FFT (monitor/fft.h) and the spectrum that the spectrum panel shows.
//
// Threads:
//  - the decode thread calls PushAudioBlock (and ResetAnalysis at stream changes);
//  - the analysis thread calls Tick every 10 ms (CAnalysisThread);
//  - the render thread reads through GetInputPeak and ReadDisplay;
//  - the UI thread calls ResetAnalysis.
// Every public operation may be called from any of these threads at any time.
// The span accessors at the end are for the thread that ticks (or for code that
// knows no other thread touches the analyser, such as tests).
//
// Locks: m_csTick (one whole tick, against ResetAnalysis), m_csBlock
// (m_vBlock, the pending queue and m_bNewBlock), m_csDisplay (the arrays the
// render side reads), taken in that order; the analyser never takes any
// other lock. Their place in the whole lock order: docs/threads.md.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <span>

#include "monitor/fft.h"

namespace kx {

struct CSettingsBlock;

// A zero-filled, cache-line aligned array of N doubles on the heap: allocated
// once, never resized.
template <size_t N>
class CFixedArray {
 public:
  CFixedArray() : m_p(static_cast<double*>(::operator new[](N * sizeof(double), std::align_val_t{64}))) {
    Zero();
  }
  static constexpr size_t size() { return N; }
  double* data() { return m_p.get(); }
  const double* data() const { return m_p.get(); }
  double& operator[](size_t i) { return m_p.get()[i]; }
  const double& operator[](size_t i) const { return m_p.get()[i]; }
  std::span<const double, N> view() const { return std::span<const double, N>(m_p.get(), N); }
  void Zero() { std::fill_n(m_p.get(), N, 0.0); }

 private:
  struct Free {
    void operator()(double* p) const { ::operator delete[](p, std::align_val_t{64}); }
  };
  std::unique_ptr<double, Free> m_p;
};

class CSpectrumAnalyser {
 public:
  static constexpr size_t kBlockSize = 480;             // samples per block, 10 ms at 48 kHz
  static constexpr size_t kHistoryBlocks = 10;
  static constexpr size_t kSampleHistorySize = kBlockSize * kHistoryBlocks;  // 4800
  static constexpr size_t kWaveHistorySize = 4800;
  static constexpr size_t kFftSize = kFftPoints;
  static constexpr size_t kPowerBins = kFftSize / 2;   // bins 0..2047 are written
  static constexpr size_t kSpectrumHistorySize = kFftSize * kHistoryBlocks;  // 40960
  static constexpr size_t kAggregateSpectra = 8;
  // Blocks that may wait for a tick (320 ms): audio arrives in chunks of
  // several blocks, and a late tick must not lose any of them.
  static constexpr size_t kPendingBlocks = 32;
  static constexpr double kSampleRate = 48000.0;
  static constexpr double kBinHz = kSampleRate / kFftSize;  // 11.71875

  CSpectrumAnalyser();
  CSpectrumAnalyser(const CSpectrumAnalyser&) = delete;
  CSpectrumAnalyser& operator=(const CSpectrumAnalyser&) = delete;

  // Decode thread. Takes the first 480 of `count` values, widened to double,
  // into m_vBlock; fewer values (or none) leave the rest of the block zero.
  // The block joins the pending queue and m_bNewBlock is raised (release).
  // With the queue full, the oldest pending block is dropped.
  void PushAudioBlock(const float* values, size_t count);

  // Zeroes every analysis array, drops the pending blocks and queues one
  // silent block, so the next tick runs on it and the displays fall to zero.
  // Waits for a running tick.
  void ResetAnalysis();

  // Largest magnitude among the last 4800 samples (100 ms); 0 for silence.
  float GetInputPeak() const;

  // Render thread: under one short lock, copies the first waveHistory.size()
  // (at most 4800) columns of m_vWaveHistory, newest first, and the first
  // spectrum.size() (at most 4096) bins of m_vSpectrum into the caller's
  // buffers, and returns the input peak of the same moment. Longer spans are
  // filled only up to the array sizes. No allocation.
  float ReadDisplay(std::span<double> waveHistory, std::span<double> spectrum) const;

  // Analysis thread, every 10 ms: does nothing unless blocks are pending;
  // otherwise processes each pending block in arrival order with the current
  // WaveScale, WindowFunc and SpectrumView. Returns true when a block was
  // processed.
  bool Tick(const CSettingsBlock& settings);

  // Lets the ticking thread sleep while nothing is pending: `signal` is called
  // whenever a block (or a reset) becomes pending with none before it. It runs
  // on the pushing thread under the block lock, so it must be short and must
  // not call the analyser; clear it (null) before what it calls goes away.
  void SetPendingSignal(std::function<void()> signal);

  // True while a pushed block (or a reset) waits for the next tick.
  bool HasNewBlock() const { return m_bNewBlock.load(std::memory_order_acquire) != 0; }
  // Blocks waiting for the next tick (0..kPendingBlocks).
  size_t PendingBlocks() const;

  // The arrays, for the ticking thread or when no other thread runs.
  // Block() is the newest pushed block.
  std::span<const double, kBlockSize> Block() const { return m_vBlock.view(); }
  std::span<const double, kSampleHistorySize> SampleHistory() const { return m_vSampleHistory.view(); }
  std::span<const double, kBlockSize> WaveBlock() const { return m_vWaveBlock.view(); }
  std::span<const double, kWaveHistorySize> WaveHistory() const { return m_vWaveHistory.view(); }
  std::span<const double, kFftSize> FftIn() const { return m_vFftIn.view(); }
  std::span<const double, kFftSize> FftRe() const { return m_vFftRe.view(); }
  std::span<const double, kFftSize> FftIm() const { return m_vFftIm.view(); }
  std::span<const double, kFftSize> Power() const { return m_vPower.view(); }
  // Ten spectra, newest first (put in that order from the ring on each call).
  std::span<const double, kSpectrumHistorySize> SpectrumHistory() const;
  std::span<const double, kFftSize> Spectrum() const { return m_vSpectrum.view(); }
  // Blocks processed since the last aggregation (0..7), kept across resets.
  int32_t AggregationCounter() const { return m_nAggregation; }

 private:
  // One block (m_vTickBlock) through the histories, the FFT and the spectrum.
  void ProcessBlock(int32_t waveScale, int32_t windowFunc, int32_t spectrumView);
  // m_vFftIn = the newest 4096 samples of the history, oldest first.
  void CopyNewestInTimeOrder();
  // Returns the number of waveform columns written into m_vWaveBlock.
  size_t MakeWaveColumns(int32_t waveScale);
  void WindowFftInput(int32_t windowFunc);
  void UpdateSpectrum(int32_t spectrumView);

  mutable std::mutex m_csTick;
  mutable std::mutex m_csBlock;
  mutable std::mutex m_csDisplay;

  // Guarded by m_csBlock; m_bNewBlock is set with release and cleared with
  // acquire, inside m_csBlock, together with emptying the queue, so each
  // pushed block is processed at most once. The queue is a ring of
  // m_nPendingCount blocks from slot m_nPendingFirst.
  CFixedArray<kBlockSize> m_vBlock;
  CFixedArray<kBlockSize * kPendingBlocks> m_vPending;
  size_t m_nPendingFirst = 0;
  size_t m_nPendingCount = 0;
  std::atomic<int32_t> m_bNewBlock{0};
  std::function<void()> m_pendingSignal;

  // Written by the tick under m_csDisplay (read there by the render side).
  CFixedArray<kSampleHistorySize> m_vSampleHistory;
  CFixedArray<kWaveHistorySize> m_vWaveHistory;
  CFixedArray<kFftSize> m_vSpectrum;

  // The tick's own arrays (guarded by m_csTick).
  CFixedArray<kBlockSize * kPendingBlocks> m_vTickBlocks;  // the blocks taken by this tick, oldest first
  CFixedArray<kBlockSize> m_vTickBlock;  // the block being processed
  CFixedArray<kBlockSize> m_vWaveBlock;
  CFixedArray<kFftSize> m_vFftIn;
  CFixedArray<kFftSize> m_vFftRe;
  CFixedArray<kFftSize> m_vFftIm;
  CFixedArray<kFftSize> m_vPower;
  // Ten spectra in a ring, the newest in slot m_nSpectrumNewest, the one
  // before it in the next slot: a new spectrum takes the oldest one's slot
  // instead of moving the other nine.
  CFixedArray<kSpectrumHistorySize> m_vSpectrumHistory;
  size_t m_nSpectrumNewest = 0;
  mutable std::unique_ptr<CFixedArray<kSpectrumHistorySize>> m_pSpectrumHistoryInOrder;  // SpectrumHistory()'s copy
  CFixedArray<kFftSize> m_vAggregate;     // the aggregated spectrum before it is published
  CFixedArray<kFftSize> m_vAggregateMin;  // the per-bin minimum while aggregating
  CFixedArray<kFftSize> m_vWindow;     // weights of window m_nWindowIndex
  int32_t m_nWindowIndex = -1;         // -1: no weights computed yet
  int32_t m_nAggregation = 0;
};

}  // namespace kx
