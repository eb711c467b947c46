#include "monitor/window_functions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace kx {
namespace {

constexpr int32_t kN = 4096;

std::vector<double> Weights(int32_t index, int32_t n = kN) {
  std::vector<double> w(static_cast<size_t>(n), 1.0);
  ApplyWindow(n, w.data(), index);
  return w;
}

TEST(WindowFunctions, CosineWindowsAtTheirKeyPoints) {
  const auto hanning = Weights(kWindowHanning);
  EXPECT_NEAR(hanning[0], 0.0, 1e-16);
  EXPECT_NEAR(hanning[4095], 0.0, 1e-16);
  const double centre = 0.5 - 0.5 * std::cos(6.283185307179586 * 2047 / 4095);
  EXPECT_DOUBLE_EQ(hanning[2047], centre);
  EXPECT_DOUBLE_EQ(hanning[2048], centre);
  EXPECT_LT(hanning[2047], 1.0);
  EXPECT_GT(hanning[2047], 0.9999998);

  const auto hamming = Weights(kWindowHamming);
  EXPECT_NEAR(hamming[0], 0.08, 1e-15);
  EXPECT_NEAR(hamming[4095], 0.08, 1e-15);

  // 0.42 - 0.5 + 0.08 is zero only within double precision; it is not forced.
  const auto blackman = Weights(kWindowBlackman);
  EXPECT_NEAR(blackman[0], 0.0, 1e-15);
  EXPECT_NEAR(blackman[2047], 1.0, 1e-6);
  EXPECT_NEAR(blackman[1365], 0.42 - 0.5 * std::cos(6.283185307179586 * 1365 / 4095) +
                                  0.08 * std::cos(12.566370614359172 * 1365 / 4095),
              1e-15);
}

TEST(WindowFunctions, BlackmanHarrisUsesTheSinglePrecisionLastCoefficient) {
  const auto w = Weights(kWindowBlackmanHarris);
  // At n = 0 every cosine is 1: the sum of the coefficients with 0.01168f.
  EXPECT_NEAR(w[0], 0.35875 - 0.48829 + 0.14128 - 0.011680000461637974, 1e-16);
  // The double-precision 0.01168 would be 4.6e-10 higher.
  EXPECT_GT(std::fabs(w[0] - (0.35875 - 0.48829 + 0.14128 - 0.01168)), 4e-10);
  // At n = (N-1)/2 the cosines are -1, 1, -1.
  const auto odd = Weights(kWindowBlackmanHarris, 5);
  EXPECT_NEAR(odd[2], 0.35875 + 0.48829 + 0.14128 + 0.011680000461637974, 1e-15);
}

TEST(WindowFunctions, SymmetricCosineWindowsAndPeriodicOthers) {
  // The cosine windows use N - 1 and mirror around (N - 1) / 2.
  for (int32_t index : {kWindowHamming, kWindowHanning, kWindowBlackman, kWindowBlackmanHarris}) {
    const auto w = Weights(index);
    for (int32_t n = 0; n < kN; ++n) ASSERT_NEAR(w[n], w[kN - 1 - n], 1e-12) << index << " at " << n;
  }
  // Bartlett, Welch and the Gaussians use N and mirror around N / 2.
  for (int32_t index : {kWindowBartlett, kWindowWelch, kWindowGauss25, kWindowGauss35, kWindowGauss45}) {
    const auto w = Weights(index);
    EXPECT_DOUBLE_EQ(w[kN / 2], 1.0) << index;
    for (int32_t m = 1; m < kN / 2; ++m) ASSERT_NEAR(w[kN / 2 - m], w[kN / 2 + m], 1e-12) << index << " at " << m;
    EXPECT_GT(std::fabs(w[kN - 1] - w[0]), 1e-3 * std::max(w[0], w[kN - 1])) << index;
  }
}

TEST(WindowFunctions, BartlettWelchAndGaussians) {
  const auto bartlett = Weights(kWindowBartlett);
  EXPECT_EQ(bartlett[0], 0.0);
  EXPECT_EQ(bartlett[1024], 0.5);
  EXPECT_EQ(bartlett[2048], 1.0);
  EXPECT_EQ(bartlett[4095], 1.0 / 2048);
  EXPECT_EQ(bartlett[3072], 0.5);

  const auto welch = Weights(kWindowWelch);
  EXPECT_EQ(welch[0], 0.0);
  EXPECT_EQ(welch[2048], 1.0);
  EXPECT_EQ(welch[1024], 0.75);
  EXPECT_NEAR(welch[4095], (1.0 / 4096) * (4.0 * 4095 / 4096), 1e-18);

  const struct {
    int32_t index;
    double a;
    double edge;
  } gaussians[] = {{kWindowGauss25, 2.5, 0.0439}, {kWindowGauss35, 3.5, 0.00219}, {kWindowGauss45, 4.5, 0.0000400}};
  for (const auto& g : gaussians) {
    const auto w = Weights(g.index);
    EXPECT_DOUBLE_EQ(w[2048], 1.0);
    EXPECT_DOUBLE_EQ(w[0], std::exp(-g.a * g.a / 2));
    EXPECT_NEAR(w[0], g.edge, g.edge * 0.01);
    const double x = 1000.0 / 4096;
    EXPECT_NEAR(w[1000], std::exp(-0.5 * std::pow(g.a * (2 * x - 1), 2)), 1e-14);
  }
}

TEST(WindowFunctions, BartlettRisingHalfIsSinglePrecision) {
  // With N = 10 the divisor 5 makes float and double quotients differ.
  const auto w = Weights(kWindowBartlett, 10);
  EXPECT_EQ(w[1], static_cast<double>(1.0f / 5.0f));
  EXPECT_NE(w[1], 0.2);
  EXPECT_EQ(w[3], static_cast<double>(3.0f / 5.0f));
  // The falling half is double precision.
  EXPECT_EQ(w[5], 1.0);
  EXPECT_EQ(w[6], 1.0 - 1 / 5.0);
  EXPECT_EQ(w[9], 1.0 - 4 / 5.0);
}

TEST(WindowFunctions, OddAndOnePointLengthsStayFinite) {
  // An odd Bartlett keeps falling to the last sample instead of leaving it unweighted.
  const auto odd = Weights(kWindowBartlett, 5);
  EXPECT_EQ(odd[0], 0.0);
  EXPECT_EQ(odd[2], 1.0);
  EXPECT_DOUBLE_EQ(odd[4], 0.2);
  // One point: the symmetric windows would divide by zero.
  for (int32_t index = 0; index < kWindowCount; ++index) {
    const auto one = Weights(index, 1);
    EXPECT_TRUE(std::isfinite(one[0])) << index;
  }
  EXPECT_EQ(Weights(kWindowHanning, 1)[0], 1.0);
}

TEST(WindowFunctions, NothingChangesForEmptyLengthsOrUnknownIndexes) {
  std::vector<double> data{0.25, -0.5, 0.75, 1.0};
  const auto original = data;
  for (int32_t index = 0; index < kWindowCount; ++index) {
    ApplyWindow(0, data.data(), index);
    ApplyWindow(-4, data.data(), index);
  }
  ApplyWindow(4, data.data(), -1);
  ApplyWindow(4, data.data(), kWindowCount);
  ApplyWindow(4, nullptr, kWindowHanning);
  EXPECT_EQ(data, original);
  EXPECT_FALSE(FillWindow(0, data.data(), kWindowHanning));
  EXPECT_FALSE(FillWindow(4, data.data(), kWindowCount));
  EXPECT_EQ(data, original);
}

TEST(WindowFunctions, WeightsMultiplyTheData) {
  // FillWindow gives exactly the factors ApplyWindow multiplies by.
  std::vector<double> data(kN), weights(kN);
  for (int32_t n = 0; n < kN; ++n) data[n] = std::sin(0.01 * n) - 0.3;
  for (int32_t index = 0; index < kWindowCount; ++index) {
    auto weighted = data;
    ApplyWindow(kN, weighted.data(), index);
    ASSERT_TRUE(FillWindow(kN, weights.data(), index));
    for (int32_t n = 0; n < kN; ++n) ASSERT_EQ(weighted[n], data[n] * weights[n]) << index << " at " << n;
  }
}

}  // namespace
}  // namespace kx
