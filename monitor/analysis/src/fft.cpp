// The spectrum's transform: a radix-2 FFT of 4096 real values with tables
// built once, and the power of its first half.
#include "monitor/fft.h"

#include <array>
#include <cmath>
#include <stdexcept>

namespace kx {

namespace {

constexpr size_t kN = kFftPoints;
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

}  // namespace

void PrepareFft() { Tables(); }

void ComputeFft(const double* in, double* re, double* im) {
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

void ComputePower(const double* re, const double* im, double* out) {
  if (re == nullptr || im == nullptr || out == nullptr) throw std::invalid_argument("Invalid argument");
  for (size_t k = 0; k < kN / 2; ++k) out[k] = re[k] * re[k] + im[k] * im[k];
}

}  // namespace kx
