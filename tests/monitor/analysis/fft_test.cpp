#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <stdexcept>
#include <vector>

#include "monitor/analyser.h"
#include "monitor/window_functions.h"

namespace kx {
namespace {

constexpr size_t kN = CSpectrumAnalyser::kFftSize;

struct Transform {
  std::vector<double> re = std::vector<double>(kN), im = std::vector<double>(kN);
  explicit Transform(const std::vector<double>& in) { CSpectrumAnalyser::ComputeFFT(in.data(), re.data(), im.data()); }
};

std::vector<double> RandomInput(unsigned seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  std::vector<double> x(kN);
  for (auto& v : x) v = dist(rng);
  return x;
}

std::vector<double> Tone(double hz, double amplitude = 1.0) {
  std::vector<double> x(kN);
  for (size_t n = 0; n < kN; ++n) x[n] = amplitude * std::sin(2 * std::numbers::pi * hz * n / 48000.0);
  return x;
}

size_t LoudestBin(const std::vector<double>& power) {
  size_t best = 0;
  for (size_t k = 1; k < CSpectrumAnalyser::kPowerBins; ++k)
    if (power[k] > power[best]) best = k;
  return best;
}

TEST(Fft, MatchesADirectTransformOfRandomInput) {
  for (unsigned seed : {1u, 2u}) {
    const auto x = RandomInput(seed);
    const Transform t(x);
    // Direct sum with exact twiddles from a long double table indexed by k*n mod N.
    std::vector<long double> c(kN), s(kN);
    for (size_t m = 0; m < kN; ++m) {
      const long double a = -2.0L * 3.14159265358979323846264338327950288L * m / kN;
      c[m] = std::cos(a);
      s[m] = std::sin(a);
    }
    double maxError = 0.0, maxMagnitude = 0.0;
    for (size_t k = 0; k < kN; ++k) {
      long double re = 0, im = 0;
      for (size_t n = 0; n < kN; ++n) {
        const size_t m = (k * n) % kN;
        re += x[n] * c[m];
        im += x[n] * s[m];
      }
      maxError = std::max(maxError, static_cast<double>(std::hypot(re - t.re[k], im - t.im[k])));
      maxMagnitude = std::max(maxMagnitude, static_cast<double>(std::hypot(re, im)));
    }
    EXPECT_LT(maxError / maxMagnitude, 1e-9) << "seed " << seed;
  }
}

TEST(Fft, KeepsTheEnergyAndConjugateSymmetryOfRealInput) {
  const auto x = RandomInput(3);
  const Transform t(x);
  double timeEnergy = 0.0, freqEnergy = 0.0, largest = 0.0;
  for (size_t n = 0; n < kN; ++n) {
    timeEnergy += x[n] * x[n];
    freqEnergy += t.re[n] * t.re[n] + t.im[n] * t.im[n];
    largest = std::max(largest, std::hypot(t.re[n], t.im[n]));
  }
  // Parseval for the unscaled transform. The twiddle recurrence costs a few
  // digits against exact twiddles (about 1e-11 here), far above what an error
  // in the butterflies would leave.
  EXPECT_NEAR(freqEnergy / kN, timeEnergy, timeEnergy * 1e-10);

  const double tolerance = largest * 1e-10;
  EXPECT_NEAR(t.im[0], 0.0, tolerance);
  EXPECT_NEAR(t.im[kN / 2], 0.0, tolerance);
  for (size_t k = 1; k < kN / 2; ++k) {
    ASSERT_NEAR(t.re[kN - k], t.re[k], tolerance) << k;
    ASSERT_NEAR(t.im[kN - k], -t.im[k], tolerance) << k;
  }
}

TEST(Fft, AThousandHertzTonePeaksInBin85) {
  std::vector<double> power(kN, 0.0);
  for (int32_t windowFunc : {0, 4}) {  // Rectangular and Blackman
    auto x = Tone(1000.0);
    if (windowFunc > 0) ApplyWindow(static_cast<int32_t>(kN), x.data(), windowFunc - 1);
    const Transform t(x);
    CSpectrumAnalyser::ComputePower(t.re.data(), t.im.data(), power.data());
    EXPECT_EQ(LoudestBin(power), 85u) << windowFunc;
    EXPECT_NEAR(power[85], t.re[85] * t.re[85] + t.im[85] * t.im[85], power[85] * 1e-15);
  }
  // A tone exactly on bin 100 with amplitude 1 has |X| = N/2 there.
  const Transform t(Tone(100 * CSpectrumAnalyser::kBinHz));
  CSpectrumAnalyser::ComputePower(t.re.data(), t.im.data(), power.data());
  EXPECT_NEAR(std::sqrt(power[100]), kN / 2.0, 1e-8);
  EXPECT_LT(power[99], 1e-12);
}

// The transform with the three-term twiddle recurrence run inside every block.
// `upward` seeds the sines with sin(-2 delta), sin(-delta), which walks the
// angle upwards and yields the conjugate transform.
void RecurrenceTransform(const double* in, double* re, double* im, bool upward) {
  for (size_t i = 0; i < kN; ++i) {
    size_t j = 0;
    for (int b = 0; b < 12; ++b) j |= ((i >> b) & 1u) << (11 - b);
    re[j] = in[i];
    im[j] = 0.0;
  }
  size_t blockEnd = 1;
  for (size_t blockSize = 2; blockSize <= kN; blockSize <<= 1) {
    const double delta = 6.283185307179586 / blockSize;
    const double sign = upward ? 1.0 : -1.0;
    const double sm2 = sign * std::sin(-2 * delta), sm1 = sign * std::sin(-delta);
    const double cm2 = std::cos(-2 * delta), cm1 = std::cos(-delta), w = 2 * cm1;
    for (size_t i = 0; i < kN; i += blockSize) {
      double ar2 = cm2, ar1 = cm1, ai2 = sm2, ai1 = sm1;
      for (size_t n = 0; n < blockEnd; ++n) {
        const size_t j = i + n, k = j + blockEnd;
        const double ar0 = w * ar1 - ar2;
        ar2 = ar1;
        ar1 = ar0;
        const double ai0 = w * ai1 - ai2;
        ai2 = ai1;
        ai1 = ai0;
        const double tr = ar0 * re[k] - ai0 * im[k];
        const double ti = ar0 * im[k] + ai0 * re[k];
        re[k] = re[j] - tr;
        im[k] = im[j] - ti;
        re[j] = re[j] + tr;
        im[j] = im[j] + ti;
      }
    }
    blockEnd = blockSize;
  }
}

TEST(Fft, RoundsExactlyAsTheRecurrenceDoes) {
  // Exact twiddles would be more accurate but differ in the last bits.
  for (unsigned seed : {4u, 5u}) {
    const auto x = RandomInput(seed);
    const Transform t(x);
    std::vector<double> re(kN), im(kN);
    RecurrenceTransform(x.data(), re.data(), im.data(), false);
    EXPECT_EQ(std::memcmp(re.data(), t.re.data(), kN * sizeof(double)), 0);
    EXPECT_EQ(std::memcmp(im.data(), t.im.data(), kN * sizeof(double)), 0);
    // Walking the angle upwards gives the same real part and power, only the
    // imaginary part's sign differs.
    RecurrenceTransform(x.data(), re.data(), im.data(), true);
    EXPECT_EQ(std::memcmp(re.data(), t.re.data(), kN * sizeof(double)), 0);
    for (size_t k = 0; k < kN; ++k) ASSERT_EQ(im[k], -t.im[k]) << k;
  }
}

TEST(Fft, PowerFillsTheLowerHalfOnly) {
  std::vector<double> re(kN), im(kN), out(kN, 7.0);
  for (size_t k = 0; k < kN; ++k) {
    re[k] = 0.5 * k;
    im[k] = -1.0 - k;
  }
  CSpectrumAnalyser::ComputePower(re.data(), im.data(), out.data());
  for (size_t k = 0; k < kN / 2; ++k) ASSERT_EQ(out[k], re[k] * re[k] + im[k] * im[k]) << k;
  for (size_t k = kN / 2; k < kN; ++k) ASSERT_EQ(out[k], 7.0) << k;
}

template <typename Call>
void ExpectInvalidArgument(Call call) {
  try {
    call();
    ADD_FAILURE() << "no exception";
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(), "Invalid argument");
  }
}

TEST(Fft, MissingArraysThrow) {
  std::vector<double> a(kN, 1.0), b(kN), c(kN);
  ExpectInvalidArgument([&] { CSpectrumAnalyser::ComputeFFT(nullptr, b.data(), c.data()); });
  ExpectInvalidArgument([&] { CSpectrumAnalyser::ComputeFFT(a.data(), nullptr, c.data()); });
  ExpectInvalidArgument([&] { CSpectrumAnalyser::ComputeFFT(a.data(), b.data(), nullptr); });
  ExpectInvalidArgument([&] { CSpectrumAnalyser::ComputePower(nullptr, b.data(), c.data()); });
  ExpectInvalidArgument([&] { CSpectrumAnalyser::ComputePower(a.data(), nullptr, c.data()); });
  ExpectInvalidArgument([&] { CSpectrumAnalyser::ComputePower(a.data(), b.data(), nullptr); });
  // Nothing was written before the throw.
  for (size_t k = 0; k < kN; ++k) ASSERT_EQ(c[k], 0.0);
}

}  // namespace
}  // namespace kx
