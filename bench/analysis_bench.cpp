// One analysis tick (history shifts, waveform columns, window, 4096-point
// transform, power, spectrum history) with the analyser's own transform,
// against the same tick built on FFTW's r2c plan (FFTW_MEASURE).
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "common/settings_block.h"
#include "monitor/analyser.h"
#include "monitor/window_functions.h"

namespace {

using kx::CSpectrumAnalyser;
constexpr size_t kN = CSpectrumAnalyser::kFftSize;
constexpr size_t kBlock = CSpectrumAnalyser::kBlockSize;

std::vector<float> TestBlock(int salt) {
  std::vector<float> b(kBlock);
  for (size_t i = 0; i < kBlock; ++i)
    b[i] = static_cast<float>(0.5 * std::sin(0.13 * (i + salt)) + 0.1 * std::sin(0.71 * i));
  return b;
}

void BM_AnalyserTick(benchmark::State& state) {
  kx::CSettingsBlock settings;
  settings.SpectrumView = static_cast<int32_t>(state.range(0));
  CSpectrumAnalyser analyser;
  const auto a = TestBlock(0), b = TestBlock(7);
  bool odd = false;
  for (auto _ : state) {
    const auto& block = odd ? a : b;
    odd = !odd;
    analyser.PushAudioBlock(block.data(), block.size());
    benchmark::DoNotOptimize(analyser.Tick(settings));
  }
  benchmark::DoNotOptimize(analyser.Spectrum()[85]);
}
// 1: real time; 8: maximum, one aggregation every eighth tick.
BENCHMARK(BM_AnalyserTick)->Arg(1)->Arg(8)->Unit(benchmark::kMicrosecond);

// The same tick with the same arrays and shifts, the transform done by FFTW.
class FftwTick {
 public:
  FftwTick()
      : history_(CSpectrumAnalyser::kSampleHistorySize),
        waveBlock_(kBlock),
        waveHistory_(CSpectrumAnalyser::kWaveHistorySize),
        window_(kN),
        power_(kN),
        spectrumHistory_(CSpectrumAnalyser::kSpectrumHistorySize),
        spectrum_(kN) {
    in_ = fftw_alloc_real(kN);
    out_ = fftw_alloc_complex(kN / 2 + 1);
    plan_ = fftw_plan_dft_r2c_1d(static_cast<int>(kN), in_, out_, FFTW_MEASURE);
    kx::FillWindow(static_cast<int>(kN), window_.data(), kx::kWindowBlackman);
  }
  ~FftwTick() {
    fftw_destroy_plan(plan_);
    fftw_free(out_);
    fftw_free(in_);
  }
  void Tick(const std::vector<float>& block) {
    double fresh[kBlock];
    for (size_t i = 0; i < kBlock; ++i) fresh[i] = block[i];
    ShiftIn(history_, fresh, kBlock);
    double peak = 0.0;  // WaveScale 480: one column per block
    for (size_t i = 0; i < kBlock; ++i) peak = fresh[i] > peak ? fresh[i] : peak;
    waveBlock_[0] = peak;
    ShiftIn(waveHistory_, waveBlock_.data(), 1);
    for (size_t i = 0; i < kN; ++i) in_[i] = history_[i] * window_[i];
    fftw_execute(plan_);
    for (size_t k = 0; k < kN / 2; ++k) power_[k] = out_[k][0] * out_[k][0] + out_[k][1] * out_[k][1];
    ShiftIn(spectrumHistory_, power_.data(), kN);
    std::memcpy(spectrum_.data(), power_.data(), kN * sizeof(double));
  }
  double Bin(size_t k) const { return spectrum_[k]; }

 private:
  static void ShiftIn(std::vector<double>& h, const double* src, size_t count) {
    std::memmove(h.data() + count, h.data(), (h.size() - count) * sizeof(double));
    std::memcpy(h.data(), src, count * sizeof(double));
  }
  std::vector<double> history_, waveBlock_, waveHistory_, window_, power_, spectrumHistory_, spectrum_;
  double* in_ = nullptr;
  fftw_complex* out_ = nullptr;
  fftw_plan plan_ = nullptr;
};

void BM_FftwTick(benchmark::State& state) {
  FftwTick tick;
  const auto a = TestBlock(0), b = TestBlock(7);
  bool odd = false;
  for (auto _ : state) {
    tick.Tick(odd ? a : b);
    odd = !odd;
  }
  benchmark::DoNotOptimize(tick.Bin(85));
}
BENCHMARK(BM_FftwTick)->Unit(benchmark::kMicrosecond);

// The transforms alone.
void BM_ComputeFFT(benchmark::State& state) {
  std::vector<double> in(kN), re(kN), im(kN);
  for (size_t i = 0; i < kN; ++i) in[i] = std::sin(0.37 * i);
  for (auto _ : state) {
    kx::ComputeFft(in.data(), re.data(), im.data());
    benchmark::DoNotOptimize(re[85]);
  }
}
BENCHMARK(BM_ComputeFFT)->Unit(benchmark::kMicrosecond);

void BM_FftwR2c(benchmark::State& state) {
  double* in = fftw_alloc_real(kN);
  fftw_complex* out = fftw_alloc_complex(kN / 2 + 1);
  fftw_plan plan = fftw_plan_dft_r2c_1d(static_cast<int>(kN), in, out, FFTW_MEASURE);
  for (size_t i = 0; i < kN; ++i) in[i] = std::sin(0.37 * i);
  for (auto _ : state) {
    fftw_execute(plan);
    benchmark::DoNotOptimize(out[85][0]);
  }
  fftw_destroy_plan(plan);
  fftw_free(out);
  fftw_free(in);
}
BENCHMARK(BM_FftwR2c)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
