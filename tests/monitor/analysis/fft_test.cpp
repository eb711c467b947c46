#include "monitor/fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
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
  const auto x = RandomInput(4);
  const Transform t(x);
  std::vector<double> re(kN), im(kN);
  RecurrenceTransform(x.data(), re.data(), im.data(), false);
  EXPECT_EQ(std::memcmp(re.data(), t.re.data(), kN * sizeof(double)), 0);
  EXPECT_EQ(std::memcmp(im.data(), t.im.data(), kN * sizeof(double)), 0);
  // Walking the angle upwards gives the same real part, the imaginary part negated.
  RecurrenceTransform(x.data(), re.data(), im.data(), true);
  EXPECT_EQ(std::memcmp(re.data(), t.re.data(), kN * sizeof(double)), 0);
  for (size_t k = 0; k < kN; ++k) ASSERT_EQ(im[k], -t.im[k]) << k;
}

TEST(Fft, PowerFillsTheLowerHalfOnly) {
  std::vector<double> re(kN), im(kN), out(kN, 7.0);
  for (size_t k = 0; k < kN; ++k) {
    re[k] = 0.5 * k;
    im[k] = -1.0 - k;
  }
  ComputePower(re.data(), im.data(), out.data());
  for (size_t k = 0; k < kN / 2; ++k) ASSERT_EQ(out[k], re[k] * re[k] + im[k] * im[k]) << k;
  for (size_t k = kN / 2; k < kN; ++k) ASSERT_EQ(out[k], 7.0) << k;
}

TEST(Fft, MissingArraysThrowBeforeWritingAnything) {
  std::vector<double> a(kN, 1.0), b(kN), c(kN);
  const std::function<void()> calls[] = {
      [&] { ComputeFft(nullptr, b.data(), c.data()); },    [&] { ComputeFft(a.data(), nullptr, c.data()); },
      [&] { ComputeFft(a.data(), b.data(), nullptr); },    [&] { ComputePower(nullptr, b.data(), c.data()); },
      [&] { ComputePower(a.data(), nullptr, c.data()); }, [&] { ComputePower(a.data(), b.data(), nullptr); }};
  for (const auto& call : calls) {
    try {
      call();
      ADD_FAILURE() << "no exception";
    } catch (const std::invalid_argument& e) {
      EXPECT_STREQ(e.what(), "Invalid argument");
    }
  }
  for (size_t k = 0; k < kN; ++k) ASSERT_EQ(c[k], 0.0);
}

}  // namespace
}  // namespace kx
