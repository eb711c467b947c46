#include "monitor/analyser.h"

#include <cmath>
#include <cstring>
#include <stdexcept>

#include "common/settings_block.h"
#include "monitor/window_functions.h"

namespace kx {

namespace {

constexpr size_t kN = CSpectrumAnalyser::kFftSize;
constexpr int kBits = 12;
static_assert(size_t{1} << kBits == kN);

// One butterfly with twiddle (ar, ai); the operations and their order are the
// transform's definition, whatever loop calls it.
[[gnu::always_inline]] inline void Butterfly(double& rj, double& ij, double& rk, double& ik, double ar, double ai) {
  const double tr = ar * rk - ai * ik;
  const double ti = ar * ik + ai * rk;
  rk = rj - tr;
  ik = ij - ti;
  rj = rj + tr;
  ij = ij + ti;
}

// Element n of four quarter-blocks: the two butterflies of the first stage,
// then the two of the second, while in registers. The quarters never overlap,
// so the loop over n vectorises.
[[gnu::always_inline]] inline void GroupButterflies(
    double* __restrict r0, double* __restrict r1, double* __restrict r2, double* __restrict r3,
    double* __restrict i0, double* __restrict i1, double* __restrict i2, double* __restrict i3,
    const double* __restrict tw1r, const double* __restrict tw1i, const double* __restrict tw2r,
    const double* __restrict tw2i, const double* __restrict tw3r, const double* __restrict tw3i, size_t count) {
  for (size_t n = 0; n < count; ++n) {
    double a0 = r0[n], a1 = r1[n], a2 = r2[n], a3 = r3[n];
    double b0 = i0[n], b1 = i1[n], b2 = i2[n], b3 = i3[n];
    Butterfly(a0, b0, a1, b1, tw1r[n], tw1i[n]);
    Butterfly(a2, b2, a3, b3, tw1r[n], tw1i[n]);
    Butterfly(a0, b0, a2, b2, tw2r[n], tw2i[n]);
    Butterfly(a1, b1, a3, b3, tw3r[n], tw3i[n]);
    r0[n] = a0;
    r1[n] = a1;
    r2[n] = a2;
    r3[n] = a3;
    i0[n] = b0;
    i1[n] = b1;
    i2[n] = b2;
    i3[n] = b3;
  }
}

// Two consecutive stages with BlockEnd = half and 2 half (half = 4, 16, ...,
// 1024) in one pass over each block of 4 half: the same operations in the same
// order as two separate passes, with half the memory traffic.
[[gnu::always_inline]] inline void StagePair(double* re, double* im, const double* tw1r, const double* tw1i,
                                             const double* tw2r, const double* tw2i, size_t half) {
  for (size_t i = 0; i < kN; i += 4 * half) {
    double* r = re + i;
    double* m = im + i;
    GroupButterflies(r, r + half, r + 2 * half, r + 3 * half, m, m + half, m + 2 * half, m + 3 * half, tw1r, tw1i,
                     tw2r, tw2i, tw2r + half, tw2i + half, half);
  }
}

// The stages from BlockEnd 4 on, built twice: for the baseline processor and
// for AVX2. Neither uses fused multiply-add, so both round alike. The choice
// is made once at run time (no ifunc: resolvers run before the sanitizers'
// runtimes are ready).
using LongStages = void (*)(double*, double*, const double*, const double*);

[[gnu::always_inline]] inline void LongStagesBody(double* re, double* im, const double* twr, const double* twi) {
  for (size_t half = 4; half < kN; half <<= 2)
    StagePair(re, im, twr + (half - 1), twi + (half - 1), twr + (2 * half - 1), twi + (2 * half - 1), half);
}

void RunLongStages(double* re, double* im, const double* twr, const double* twi) {
  LongStagesBody(re, im, twr, twi);
}

[[gnu::target("avx2")]] void RunLongStagesAvx2(double* re, double* im, const double* twr, const double* twi) {
  LongStagesBody(re, im, twr, twi);
}

LongStages ChooseLongStages() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") ? &RunLongStagesAvx2 : &RunLongStages;
}


// The transform's constant tables. The twiddles of a stage are the values its
// three-term recurrence produces; the recurrence restarts from the same values
// in every block of a stage, so each stage's sequence is computed once here and
// the transform's rounding is exactly that of running the recurrence per block.
struct FftTables {
  std::array<uint16_t, kN> bitReverse{};
  // Stage with BlockEnd h (h = 1, 2, ..., 2048) uses elements h-1 .. 2h-2.
  std::array<double, kN - 1> twiddleRe{};
  std::array<double, kN - 1> twiddleIm{};
  LongStages longStages = ChooseLongStages();

  FftTables() {
    for (size_t i = 0; i < kN; ++i) {
      size_t r = 0;
      for (int b = 0; b < kBits; ++b) r |= ((i >> b) & 1u) << (kBits - 1 - b);
      bitReverse[i] = static_cast<uint16_t>(r);
    }
    size_t blockEnd = 1;
    for (size_t blockSize = 2; blockSize <= kN; blockSize <<= 1) {
      const double delta = 6.283185307179586 / static_cast<double>(blockSize);
      const double sm2 = std::sin(-2.0 * delta);
      const double sm1 = std::sin(-delta);
      const double cm2 = std::cos(-2.0 * delta);
      const double cm1 = std::cos(-delta);
      const double w = 2.0 * cm1;
      // The recurrence steps the angle up from its two seeds, so the sines are
      // seeded with the opposite sign (exact negations) to walk 0, -delta,
      // -2 delta, ...: the forward transform, e^(-i n delta). Seeded with
      // sin(-2 delta), sin(-delta) it would walk upwards and return the complex
      // conjugate.
      double ar2 = cm2, ar1 = cm1, ai2 = -sm2, ai1 = -sm1;
      for (size_t n = 0; n < blockEnd; ++n) {
        const double ar0 = w * ar1 - ar2;
        ar2 = ar1;
        ar1 = ar0;
        const double ai0 = w * ai1 - ai2;
        ai2 = ai1;
        ai1 = ai0;
        twiddleRe[blockEnd - 1 + n] = ar0;
        twiddleIm[blockEnd - 1 + n] = ai0;
      }
      blockEnd = blockSize;
    }
  }
};

const FftTables& Tables() {
  static const FftTables tables;
  return tables;
}

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
  Tables();  // build the transform's tables before the first tick needs them
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
  ComputeFFT(m_vFftIn.data(), m_vFftRe.data(), m_vFftIm.data());
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


void CSpectrumAnalyser::ComputeFFT(const double* in, double* re, double* im) {
  if (in == nullptr || re == nullptr || im == nullptr) throw std::invalid_argument("Invalid argument");
  const FftTables& t = Tables();
  // Bit reversal is its own inverse, so Re[j] = in[reverse(j)] is the
  // bit-reversed copy; it writes in order, which the cache prefers to
  // scattered stores. The two shortest stages (BlockEnd 1 and 2) run on each
  // group of four outputs while it is still in registers.
  const double ar1 = t.twiddleRe[0], ai1 = t.twiddleIm[0];
  const double ar20 = t.twiddleRe[1], ai20 = t.twiddleIm[1];
  const double ar21 = t.twiddleRe[2], ai21 = t.twiddleIm[2];
  for (size_t j = 0; j < kN; j += 4) {
    double r0 = in[t.bitReverse[j]], r1 = in[t.bitReverse[j + 1]];
    double r2 = in[t.bitReverse[j + 2]], r3 = in[t.bitReverse[j + 3]];
    double i0 = 0.0, i1 = 0.0, i2 = 0.0, i3 = 0.0;
    Butterfly(r0, i0, r1, i1, ar1, ai1);
    Butterfly(r2, i2, r3, i3, ar1, ai1);
    Butterfly(r0, i0, r2, i2, ar20, ai20);
    Butterfly(r1, i1, r3, i3, ar21, ai21);
    re[j] = r0;
    re[j + 1] = r1;
    re[j + 2] = r2;
    re[j + 3] = r3;
    im[j] = i0;
    im[j + 1] = i1;
    im[j + 2] = i2;
    im[j + 3] = i3;
  }
  t.longStages(re, im, t.twiddleRe.data(), t.twiddleIm.data());
}

void CSpectrumAnalyser::ComputePower(const double* re, const double* im, double* out) {
  if (re == nullptr || im == nullptr || out == nullptr) throw std::invalid_argument("Invalid argument");
  for (size_t k = 0; k < kPowerBins; ++k) out[k] = re[k] * re[k] + im[k] * im[k];
}

}  // namespace kx
