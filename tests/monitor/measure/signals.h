// Test signals for the sound measurements: stereo tones built from segments.
#pragma once

#include <cmath>
#include <numbers>
#include <vector>

namespace kx::measure::test {

inline double FromDb(double db) { return std::pow(10.0, db / 20.0); }

struct Segment {
  double dbfs;      // peak level of the sine; -inf for silence
  double seconds;
};

// A sine of `hz` through the segments, the same in both channels, phase
// running on across segments; `fadeSeconds` of raised-cosine fade at both
// ends (an abrupt start rings in any oversampling filter and reads as a peak
// the tone does not have).
inline std::vector<float> Tone(double hz, const std::vector<Segment>& segments, int rate = 48000,
                               double phaseDegrees = 0, double fadeSeconds = 0) {
  std::vector<float> out;
  size_t n = 0;
  for (const Segment& s : segments) {
    const size_t count = static_cast<size_t>(std::lround(s.seconds * rate));
    const double a = std::isfinite(s.dbfs) ? FromDb(s.dbfs) : 0.0;
    for (size_t i = 0; i < count; ++i, ++n) {
      const float v = static_cast<float>(
          a * std::sin(2 * std::numbers::pi * hz * static_cast<double>(n) / rate + phaseDegrees * std::numbers::pi / 180));
      out.push_back(v);
      out.push_back(v);
    }
  }
  const size_t frames = out.size() / 2, fade = static_cast<size_t>(fadeSeconds * rate);
  for (size_t i = 0; i < fade && i < frames; ++i) {
    const float g = static_cast<float>(0.5 - 0.5 * std::cos(std::numbers::pi * static_cast<double>(i) / static_cast<double>(fade)));
    for (size_t k : {2 * i, 2 * i + 1, 2 * (frames - 1 - i), 2 * (frames - 1 - i) + 1}) out[k] *= g;
  }
  return out;
}

}  // namespace kx::measure::test
