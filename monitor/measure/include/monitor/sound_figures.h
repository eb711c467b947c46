// What the sound measurements report: the figures and the verdict. Levels in
// dBFS follow AES17 where they come from a mean square (a full-scale sine reads
// 0 dBFS, so a tone reads its peak level); peaks and DC are plain 20 log10 of
// the value. A figure that has no value yet (or none at all, such as the
// correlation of a silent channel) is NaN; silence reads -infinity.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace kx::measure {

enum class Severity { Info, Warning, Fault };
const char* SeverityName(Severity severity);  // "info", "warning", "fault"

struct Finding {
  std::string code;  // stable for scripts: "silent", "clipping", ...
  Severity severity = Severity::Info;
  std::string text;  // English; the window translates by code
  bool operator==(const Finding&) const = default;
};

// Lip-sync, from flash and beep pairs (CAvSyncMeter).
enum class AvSyncVerdict { None, Ok, Warning, Fault };
const char* AvSyncVerdictName(AvSyncVerdict verdict);  // "ok", "warning", "fault"; null for None

struct AvSyncFigures {
  int pairs = 0;          // pairs found since the reset
  double offsetMs = NAN;  // median of the last pairs; positive: the sound comes after the picture
  double spreadMs = NAN;  // max - min of the pairs the median is taken from
  AvSyncVerdict verdict = AvSyncVerdict::None;  // None until three pairs are in
};

struct ChannelFigures {
  double samplePeakDbfs = -INFINITY;
  double truePeakDbtp = -INFINITY;
  double dcOffsetDbfs = -INFINITY;  // |mean| over the last 10 s
  double levelDbfs = -INFINITY;     // RMS over the last 10 s (AES17)
  int64_t clippedSamples = 0;       // samples in runs of two or more at full scale
  bool dead = false;                // nothing above the silence level while the other channel has sound
};

struct SoundFigures {
  double seconds = 0;           // measured audio since the last reset
  int64_t badSamples = 0;       // NaN, infinities (their frames skipped) and denormals (read as 0)

  // Loudness (EBU R128 / ITU-R BS.1770-4).
  double momentaryLufs = -INFINITY;   // the last 400 ms
  double shortTermLufs = -INFINITY;   // the last 3 s
  double integratedLufs = -INFINITY;  // gated, since the reset
  double momentaryMaxLufs = -INFINITY;
  double shortTermMaxLufs = -INFINITY;
  double loudnessRangeLu = 0;
  double truePeakDbtp = -INFINITY;    // the higher channel
  double samplePeakDbfs = -INFINITY;  // the higher channel

  std::array<ChannelFigures, 2> channels;
  int64_t clippedSamples = 0;  // both channels
  double clippedShare = 0;     // of all samples measured
  double dcOffsetDbfs = -INFINITY;  // the larger channel

  double noiseFloorDbfs = NAN;  // 10th percentile of 100 ms levels over the last 10 s
  double medianLevelDbfs = NAN;
  double signalToNoiseDb = NAN;  // median minus floor

  int humHz = 0;  // 50, 60 or 0 (none)
  double humDbfs = -INFINITY;  // mains and its harmonics that stand out, together
  double bandwidthHz = NAN;    // NaN until the long-term spectrum has its first frame

  bool silent = false;  // a silent stretch at least as long as the threshold
  double longestSilenceS = 0;
  double currentSilenceS = 0;  // the stretch going on now

  double balanceDb = NAN;    // left minus right level, last 10 s
  double correlation = NAN;  // +1 same, -1 inverted, NaN with a silent channel

  AvSyncFigures avSync;

  std::vector<Finding> verdict;
  bool HasFault() const;
};

}  // namespace kx::measure
