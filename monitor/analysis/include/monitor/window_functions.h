// The FFT input windows chosen by the WindowFunc setting (index = WindowFunc - 1).
// Fixed formulas without normalisation: the tone level in the spectrum depends on
// the window chosen.
#pragma once

#include <cstdint>

namespace kx {

// Window indexes as ApplyWindow takes them (WindowFunc 0, "Rectangular", calls nothing).
enum WindowIndex : int32_t {
  kWindowBartlett = 0,
  kWindowHamming = 1,
  kWindowHanning = 2,
  kWindowBlackman = 3,
  kWindowBlackmanHarris = 4,
  kWindowWelch = 5,
  kWindowGauss25 = 6,
  kWindowGauss35 = 7,
  kWindowGauss45 = 8,
};
inline constexpr int32_t kWindowCount = 9;

// Weights data[0..n-1] in place with window `index` (0..8). n <= 0, a null array
// or an index outside 0..8 leave the data unchanged.
void ApplyWindow(int32_t n, double* data, int32_t index);

// Writes the weights of window `index` for length n into weights[0..n-1]; the
// same values ApplyWindow multiplies by, so data[i] * weights[i] is bit-identical
// to ApplyWindow. Returns false (and writes nothing) where ApplyWindow would
// leave the data unchanged.
bool FillWindow(int32_t n, double* weights, int32_t index);

}  // namespace kx
