#include "monitor/window_functions.h"

#include <cmath>

namespace kx {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kFourPi = 12.566370614359172;
constexpr double kSixPi = 18.84955592153876;
// Blackman-Harris' last coefficient is the single-precision 0.01168.
constexpr double kBlackmanHarris3 = static_cast<double>(0.01168f);

// Calls put(i, w) with the weight w of every sample i of window `index`.
// One place for the formulas, shared by ApplyWindow and FillWindow.
template <typename Put>
bool ForEachWeight(int32_t n, int32_t index, Put put) {
  if (n <= 0 || index < 0 || index >= kWindowCount) return false;
  const double len = n;
  // The cosine windows are symmetric over n - 1; a one-point window is 1.
  const double den = n > 1 ? len - 1.0 : 1.0;
  const bool single = n == 1;
  auto cosine = [&](auto weight) {
    for (int32_t i = 0; i < n; ++i) put(i, single ? 1.0 : weight(static_cast<double>(i)));
  };
  switch (index) {
    case kWindowBartlett: {
      const int32_t half = n / 2;
      const double halfLen = len * 0.5;
      const float halfLenF = static_cast<float>(halfLen);
      // The rising half is computed in single precision.
      for (int32_t i = 0; i < half; ++i)
        put(i, static_cast<double>(static_cast<float>(i) / halfLenF));
      // The falling half runs to the last sample (one more than the rising half for an odd n).
      for (int32_t m = 0; half + m < n; ++m) put(half + m, 1.0 - m / halfLen);
      break;
    }
    case kWindowHamming:
      cosine([&](double i) { return 0.54 - 0.46 * std::cos(i * kTwoPi / den); });
      break;
    case kWindowHanning:
      cosine([&](double i) { return 0.5 - 0.5 * std::cos(i * kTwoPi / den); });
      break;
    case kWindowBlackman:
      cosine([&](double i) {
        return 0.42 - 0.5 * std::cos(i * kTwoPi / den) + 0.08 * std::cos(i * kFourPi / den);
      });
      break;
    case kWindowBlackmanHarris:
      cosine([&](double i) {
        return 0.35875 - 0.48829 * std::cos(i * kTwoPi / den) + 0.14128 * std::cos(i * kFourPi / den) -
               kBlackmanHarris3 * std::cos(i * kSixPi / den);
      });
      break;
    case kWindowWelch:
      for (int32_t i = 0; i < n; ++i) put(i, (1.0 - i / len) * (4.0 * i / len));
      break;
    case kWindowGauss25:
    case kWindowGauss35:
    case kWindowGauss45: {
      // -2 a^2 for a = 2.5, 3.5, 4.5
      const double k = index == kWindowGauss25 ? -12.5 : index == kWindowGauss35 ? -24.5 : -40.5;
      for (int32_t i = 0; i < n; ++i) {
        const double x = i / len;
        put(i, std::exp((x * x + 0.25 - x) * k));
      }
      break;
    }
  }
  return true;
}

}  // namespace

void ApplyWindow(int32_t n, double* data, int32_t index) {
  if (data == nullptr) return;
  ForEachWeight(n, index, [data](int32_t i, double w) { data[i] = data[i] * w; });
}

bool FillWindow(int32_t n, double* weights, int32_t index) {
  if (weights == nullptr) return false;
  return ForEachWeight(n, index, [weights](int32_t i, double w) { weights[i] = w; });
}

}  // namespace kx
