#include "monitor/fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <stdexcept>
#include <vector>

namespace kx {
namespace {

constexpr size_t kN = kFftPoints;

struct Transform {
  std::vector<double> re = std::vector<double>(kN), im = std::vector<double>(kN);
  explicit Transform(const std::vector<double>& in) { ComputeFft(in.data(), re.data(), im.data()); }
};

std::vector<double> RandomInput(unsigned seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  std::vector<double> x(kN);
  for (auto& v : x) v = dist(rng);
  return x;
}

TEST(Fft, MatchesADirectTransformOfRandomInput) {
  const auto x = RandomInput(1);
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
      re += x[n] * c[(k * n) % kN];
      im += x[n] * s[(k * n) % kN];
    }
    maxError = std::max(maxError, static_cast<double>(std::hypot(re - t.re[k], im - t.im[k])));
    maxMagnitude = std::max(maxMagnitude, static_cast<double>(std::hypot(re, im)));
  }
  EXPECT_LT(maxError / maxMagnitude, 1e-9);
}

TEST(Fft, MissingArraysThrowBeforeWritingAnything) {
  std::vector<double> a(kN, 1.0), b(kN), c(kN);
  EXPECT_THROW(ComputeFft(a.data(), nullptr, c.data()), std::invalid_argument);
  EXPECT_THROW(ComputeFft(a.data(), b.data(), nullptr), std::invalid_argument);
  EXPECT_THROW(ComputePower(a.data(), b.data(), nullptr), std::invalid_argument);
  EXPECT_THROW(ComputePower(nullptr, b.data(), c.data()), std::invalid_argument);
  for (size_t k = 0; k < kN; ++k) ASSERT_EQ(c[k], 0.0);
}

}  // namespace
}  // namespace kx
