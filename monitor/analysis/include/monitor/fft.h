// The spectrum's transform, platform-free: a forward radix-2 FFT of 4096 real
// values and the power of its first half. The rounding is fixed (no fused
// multiply-add), so results are the same on every processor.
#pragma once

#include <cstddef>

namespace kx {

inline constexpr size_t kFftPoints = 4096;

// Builds the constant tables now instead of on the first transform.
void PrepareFft();

// Forward transform of in[0..4095], unscaled: X[k] = sum x[n] e^(-2 pi i k n / 4096).
// Throws std::invalid_argument ("Invalid argument") on a null array. The
// outputs must not overlap the input.
void ComputeFft(const double* in, double* re, double* im);

// out[k] = re[k]^2 + im[k]^2 for k = 0..2047; out[2048..4095] untouched.
// Throws std::invalid_argument ("Invalid argument") on a null array.
void ComputePower(const double* re, const double* im, double* out);

}  // namespace kx
