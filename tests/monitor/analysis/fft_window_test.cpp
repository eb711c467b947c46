// The FFT against a direct transform, and the window weights.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <stdexcept>
#include <vector>

#include "monitor/fft.h"
#include "monitor/window_functions.h"

namespace kx {
namespace {

constexpr size_t kPoints = kFftPoints;

struct Transform {
  std::vector<double> re = std::vector<double>(kPoints), im = std::vector<double>(kPoints);
  explicit Transform(const std::vector<double>& in) { ComputeFft(in.data(), re.data(), im.data()); }
};

std::vector<double> RandomInput(unsigned seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  std::vector<double> x(kPoints);
  for (auto& v : x) v = dist(rng);
  return x;
}

TEST(Fft, MatchesADirectTransformOfRandomInput) {
  const auto x = RandomInput(1);
  const Transform t(x);
  // Direct sum with exact twiddles from a long double table indexed by k*n mod N.
  std::vector<long double> c(kPoints), s(kPoints);
  for (size_t m = 0; m < kPoints; ++m) {
    const long double a = -2.0L * 3.14159265358979323846264338327950288L * m / kPoints;
    c[m] = std::cos(a);
    s[m] = std::sin(a);
  }
  double maxError = 0.0, maxMagnitude = 0.0;
  for (size_t k = 0; k < kPoints; ++k) {
    long double re = 0, im = 0;
    for (size_t n = 0; n < kPoints; ++n) {
      re += x[n] * c[(k * n) % kPoints];
      im += x[n] * s[(k * n) % kPoints];
    }
    maxError = std::max(maxError, static_cast<double>(std::hypot(re - t.re[k], im - t.im[k])));
    maxMagnitude = std::max(maxMagnitude, static_cast<double>(std::hypot(re, im)));
  }
  EXPECT_LT(maxError / maxMagnitude, 1e-9);
}

// ---- windows ----

constexpr int32_t kN = 4096;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kBh3 = 0.011680000461637974;  // 0.01168f

std::vector<double> Weights(int32_t index, int32_t n = kN) {
  std::vector<double> w(static_cast<size_t>(n), 1.0);
  ApplyWindow(n, w.data(), index);
  return w;
}

double Gauss(double a, int n) { return std::exp(-0.5 * std::pow(a * (2.0 * n / kN - 1), 2)); }

TEST(WindowFunctions, WeightsAtTheirKeyPoints) {
  const struct {
    int32_t index, n, at;
    double want, tolerance;
  } cases[] = {
      {kWindowHanning, kN, 0, 0.0, 1e-16},
      {kWindowHanning, kN, 2047, 0.5 - 0.5 * std::cos(kTwoPi * 2047 / 4095), 1e-16},
      {kWindowHanning, kN, 2048, 0.5 - 0.5 * std::cos(kTwoPi * 2047 / 4095), 1e-16},
      {kWindowHamming, kN, 4095, 0.08, 1e-15},
      {kWindowBlackman, kN, 0, 0.0, 1e-15},  // zero only within double precision
      {kWindowBlackman, kN, 1365, 0.42 - 0.5 * std::cos(kTwoPi * 1365 / 4095) + 0.08 * std::cos(2 * kTwoPi * 1365 / 4095), 1e-15},
      // Blackman-Harris' last coefficient is the single-precision 0.01168
      // (the double one would be 4.6e-10 higher at n = 0).
      {kWindowBlackmanHarris, kN, 0, 0.35875 - 0.48829 + 0.14128 - kBh3, 1e-16},
      {kWindowBlackmanHarris, 5, 2, 0.35875 + 0.48829 + 0.14128 + kBh3, 1e-15},
      {kWindowBartlett, kN, 0, 0.0, 0},
      {kWindowBartlett, kN, 3072, 0.5, 0},
      {kWindowBartlett, kN, 4095, 1.0 / 2048, 0},
      // The rising half is single precision (with N = 10 float and double differ), the falling half double.
      {kWindowBartlett, 10, 1, static_cast<double>(1.0f / 5.0f), 0},
      {kWindowBartlett, 10, 6, 1.0 - 1 / 5.0, 0},
      {kWindowBartlett, 5, 4, 0.2, 1e-16},  // odd: falls to the last sample
      {kWindowWelch, kN, 1024, 0.75, 0},
      {kWindowWelch, kN, 4095, (1.0 / 4096) * (4.0 * 4095 / 4096), 1e-18},
      {kWindowGauss25, kN, 0, std::exp(-2.5 * 2.5 / 2), 1e-16},
      {kWindowGauss35, kN, 1000, Gauss(3.5, 1000), 1e-14},
      {kWindowGauss45, kN, 2048, 1.0, 0},
      {kWindowGauss45, kN, 1000, Gauss(4.5, 1000), 1e-14},
      {kWindowHanning, 1, 0, 1.0, 0},  // one point: no division by zero
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "window " << c.index << " n " << c.n << " at " << c.at);
    EXPECT_NEAR(Weights(c.index, c.n)[c.at], c.want, c.tolerance);
  }
  EXPECT_NE(Weights(kWindowBartlett, 10)[1], 0.2);
  for (int32_t index = 0; index < kWindowCount; ++index) EXPECT_TRUE(std::isfinite(Weights(index, 1)[0])) << index;
}

}  // namespace
}  // namespace kx
