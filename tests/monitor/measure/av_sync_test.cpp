// Lip-sync: flash and onset detection and their pairing, on synthetic
// pictures and sound stamped as a decode thread stamps them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "monitor/av_sync.h"
#include "monitor/sound_meter.h"

namespace kx::measure {
namespace {

constexpr int kRate = 48000;
constexpr double kFps = 25;

LumaThumb Uniform(double seconds, uint8_t level) {
  LumaThumb t;
  t.seconds = seconds;
  t.cells.fill(level);
  return t;
}

// A test stream: pictures at 25 fps from `start`, flashing for two pictures at
// each whole second after it; a 50 ms beep of 1237 Hz `offset` seconds after
// each flash over noise at -60 dBFS; sound fed in chunks of 1021 frames.
struct SyncStream {
  double start = 3.217;  // a stream clock does not start at 0
  double offset = 0;
  bool flashes = true, beeps = true;
  double seconds = 12;
};

template <class Meter>
void Feed(Meter& meter, const SyncStream& s) {
  std::mt19937 rng(7);
  std::normal_distribution<double> noise(0, 0.001);
  const size_t chunk = 1021;
  const auto total = static_cast<size_t>(s.seconds * kRate);
  std::vector<float> sound(2 * chunk);
  int64_t picture = 0;
  for (size_t at = 0; at < total; at += chunk) {
    for (size_t i = 0; i < chunk; ++i) {
      const double t = static_cast<double>(at + i) / kRate;  // since the start
      const double sinceBeep = t - s.offset - std::floor(t - s.offset);
      double v = noise(rng);
      if (s.beeps && t - s.offset >= 0.999 && sinceBeep < 0.05) v += 0.5 * std::sin(2 * std::numbers::pi * 1237 * sinceBeep);
      sound[2 * i] = sound[2 * i + 1] = static_cast<float>(v);
    }
    const double chunkStart = s.start + static_cast<double>(at) / kRate;
    if constexpr (std::is_same_v<Meter, CSoundMeter>)
      meter.Add(sound.data(), chunk, chunkStart);
    else
      meter.AddSound(chunkStart, sound.data(), chunk);
    // The pictures up to the end of this chunk, as the decode thread interleaves them.
    for (; static_cast<double>(picture) / kFps < static_cast<double>(at + chunk) / kRate; ++picture) {
      const bool lit = s.flashes && picture >= 25 && picture % 25 < 2;
      meter.AddPicture(Uniform(s.start + static_cast<double>(picture) / kFps, lit ? 235 : 16));
    }
  }
}

// Whole streams through the meter: offsets of either sign and their verdicts;
// no figure without both events or before three pairs.
TEST(AvSync, StreamsGiveTheirOffsetAndVerdict) {
  constexpr double kNoFigure = NAN;
  struct Case {
    SyncStream stream;
    double offsetMs;
    AvSyncVerdict verdict;
    int minPairs, maxPairs;
  } cases[] = {
      {{.offset = -0.083}, -83, AvSyncVerdict::Fault, 9, 11}, {{.offset = -0.043}, -43, AvSyncVerdict::Warning, 9, 11},
      {{.offset = -0.017}, -17, AvSyncVerdict::Ok, 9, 11},    {{.offset = 0.059}, 59, AvSyncVerdict::Ok, 9, 11},
      {{.offset = 0.121}, 121, AvSyncVerdict::Warning, 9, 11}, {{.offset = 0.131}, 131, AvSyncVerdict::Fault, 9, 11},
      {{.offset = 0.463}, 463, AvSyncVerdict::Fault, 9, 11},
      {{.beeps = false}, kNoFigure, AvSyncVerdict::None, 0, 2},
      {{.flashes = false}, kNoFigure, AvSyncVerdict::None, 0, 2},
      {{.seconds = 3.5}, kNoFigure, AvSyncVerdict::None, 0, 2},
      {{.seconds = 4.5}, 0, AvSyncVerdict::Ok, 3, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.stream.offset << " s late, " << c.stream.seconds << " s");
    CAvSyncMeter meter;
    Feed(meter, c.stream);
    const AvSyncFigures f = meter.Figures();
    EXPECT_GE(f.pairs, c.minPairs);
    EXPECT_LE(f.pairs, c.maxPairs);
    EXPECT_EQ(f.verdict, c.verdict);
    if (std::isnan(c.offsetMs)) {
      EXPECT_TRUE(std::isnan(f.offsetMs) && std::isnan(f.spreadMs));
    } else {
      EXPECT_NEAR(f.offsetMs, c.offsetMs, 1.0);  // sample-exact sound, exact picture times
      EXPECT_LT(f.spreadMs, 1.0);
    }
  }
}

// Pairs are mutual nearest events within the second; the figure is the
// median of the last nine with their spread.
TEST(AvSync, PairingStaysInItsSecondAndTakesTheMedian) {
  struct Case {
    const char* name;
    std::vector<double> flashes, onsets;
    int pairs;
    double offsetMs, spreadMs;
  } cases[] = {
      // Sound 400 ms late; no flash in second 3 (its onset must not pair with
      // 4's flash, 600 ms away); an extra onset 450 ms before 5's flash, whose
      // own beep is nearer.
      {"missing flash, extra onset", {0, 1, 2, 4, 5, 6, 7, 8, 9},
       {0.4, 1.4, 2.4, 3.4, 4.4, 4.55, 5.4, 6.4, 7.4, 8.4, 9.4}, 9, 400, 0},
      // The last nine: 20 30 25 15 12 18 22 16 14 -> median 18, spread 30 - 12.
      {"median of the last nine", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
       {0.3, 1.01, 2.02, 3.03, 4.025, 5.015, 6.012, 7.018, 8.022, 9.016, 10.014}, 11, 18, 18},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CAvSyncPairing p;
    for (double t : c.flashes) p.AddFlash(t);
    for (double t : c.onsets) p.AddOnset(t);
    p.PictureClock(13);
    p.SoundClock(13);
    const AvSyncFigures f = p.Figures();
    EXPECT_EQ(f.pairs, c.pairs);
    EXPECT_NEAR(f.offsetMs, c.offsetMs, 1e-6);
    EXPECT_NEAR(f.spreadMs, c.spreadMs, 1e-6);
    // A clock that goes back (a new run) drops the events, not the pairs.
    p.PictureClock(0.5);
    EXPECT_EQ(p.Figures().pairs, c.pairs);
    p.Reset();
    EXPECT_EQ(p.Figures().pairs, 0);
    EXPECT_EQ(p.Figures().verdict, AvSyncVerdict::None);
  }
}

TEST(AvSync, OnsetDetectorFindsBandRisesAtTheirFirstSample) {
  struct Case {
    const char* name;
    double hz;
    double dbfs;
    double fadeSeconds;  // rising from 80 dB below, evenly in dB
    double beforeDbfs;   // the same tone before the rise
    double noiseDbfs;
    bool onset;
  } cases[] = {
      {"beep", 1237, -6, 0, -INFINITY, -90, true},
      {"quiet beep over noise", 2011, -30, 0, -INFINITY, -55, true},
      {"clap-like rise in 4 ms", 733, -12, 0.004, -INFINITY, -70, true},
      {"too quiet", 1237, -50, 0, -INFINITY, -90, false},
      {"swell of 8 dB in 10 ms", 1237, -6, 0.1, -INFINITY, -90, false},
      {"rise in 20 ms", 1237, -20, 0.02, -INFINITY, -90, true},
      {"the same below the band", 151, -20, 0.02, -INFINITY, -90, false},
      {"the same above the band", 12007, -20, 0.02, -INFINITY, -90, false},
      {"rise of 15 dB only", 1237, -20, 0, -35, -90, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::mt19937 rng(3);
    std::normal_distribution<double> noise(0, std::pow(10.0, c.noiseDbfs / 20) / std::numbers::sqrt2);
    const size_t begin = 33'331;  // an odd sample, in the middle of a chunk
    std::vector<float> x(2 * 72'000);
    for (size_t i = 0; i < x.size() / 2; ++i) {
      double v = noise(rng);
      const double t = (static_cast<double>(i) - static_cast<double>(begin)) / kRate;
      const double gainDb = i < begin ? c.beforeDbfs - c.dbfs
                            : c.fadeSeconds > 0 ? std::min(0.0, -80 + 80 * t / c.fadeSeconds)
                                                : 0.0;
      v += std::pow(10.0, (c.dbfs + gainDb) / 20) * std::sin(2 * std::numbers::pi * c.hz * t);
      x[2 * i] = x[2 * i + 1] = static_cast<float>(v);
    }
    COnsetDetector d;
    std::vector<double> found;
    for (size_t at = 0; at < x.size() / 2; at += 4409)
      d.Add(10.0 + static_cast<double>(at) / kRate, x.data() + 2 * at, std::min<size_t>(4409, x.size() / 2 - at), found);
    if (!c.onset) {
      EXPECT_TRUE(found.empty()) << found.size() << " onsets, first at " << found.front();
      continue;
    }
    ASSERT_EQ(found.size(), 1u);
    EXPECT_NEAR(found[0], 10.0 + static_cast<double>(begin) / kRate, c.fadeSeconds + 0.0005);
    EXPECT_GE(found[0], 10.0 + static_cast<double>(begin) / kRate - 0.0005);  // never before the sound
  }
}

TEST(AvSync, FlashIsALargeSuddenRise) {
  struct Case {
    const char* name;
    int cells;      // cells lit, of 192
    int rise;       // levels
    int steps;      // pictures the rise takes
    bool flash;
  } cases[] = {
      {"whole picture", 192, 200, 1, true},
      {"a phone screen, a quarter", 48, 120, 1, true},
      {"a fifth", 38, 200, 1, false},
      {"dim", 192, 35, 1, false},
      {"over two pictures (mid-exposure)", 192, 90, 2, true},
      {"light coming up over a second", 192, 200, 25, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CFlashDetector d;
    int events = 0, at = -1;
    for (int p = 0; p < 40; ++p) {
      LumaThumb t = Uniform(p / kFps, 30);
      const int done = std::clamp(p - 5 + 1, 0, c.steps);  // rising from picture 5
      for (int i = 0; i < c.cells; ++i) t.cells[static_cast<size_t>(i)] = static_cast<uint8_t>(30 + c.rise * done / c.steps);
      if (p >= 32) t = Uniform(p / kFps, 30);  // and dark again: no second event
      if (d.Add(t)) ++events, at = p;
    }
    EXPECT_EQ(events, c.flash ? 1 : 0);
    if (c.flash) {
      EXPECT_LE(at, 5 + c.steps - 1);
    }
  }
}

// 333 x 187 (cells of unequal sizes, padded BGRA rows): dark, the right half white.
TEST(AvSync, ThumbOfLumaAndOfBgraAgree) {
  const int w = 333, h = 187, bgraLine = w * 4 + 12;
  std::vector<uint8_t> luma(static_cast<size_t>(w * h)), bgra(static_cast<size_t>(h * bgraLine));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      luma[static_cast<size_t>(y * w + x)] = x >= w / 2 ? 235 : 16;
      for (int k = 0; k < 3; ++k) bgra[static_cast<size_t>(y * bgraLine + 4 * x + k)] = x >= w / 2 ? 235 : 16;
    }
  LumaThumb a, b;
  ASSERT_TRUE(MakeLumaThumb(luma.data(), w, h, w, PixelLayout::Luma8, a));
  ASSERT_TRUE(MakeLumaThumb(bgra.data(), w, h, bgraLine, PixelLayout::Bgra, b));
  for (size_t i = 0; i < a.cells.size(); ++i) EXPECT_NEAR(a.cells[i], b.cells[i], 1) << i;
  EXPECT_EQ(a.cells[LumaThumb::kCols], 16);
  EXPECT_EQ(a.cells[2 * LumaThumb::kCols - 1], 235);
  EXPECT_FALSE(MakeLumaThumb(luma.data(), 15, 11, 15, PixelLayout::Luma8, a));
}

// The sound meter's verdict names the lip sync first when it is a fault; a
// reset forgets the pairs.
TEST(AvSync, SoundMeterJudgesLipSyncAndResetsIt) {
  CSoundMeter meter;
  Feed(meter, {.offset = 0.211});
  const SoundFigures f = meter.Figures();
  ASSERT_FALSE(f.verdict.empty());
  EXPECT_EQ(f.verdict.front().code, "lip_sync");
  EXPECT_EQ(f.verdict.front().severity, Severity::Fault);
  EXPECT_EQ(f.verdict.front().text, "Lip sync: the sound is 211 ms late");
  meter.Reset();
  EXPECT_EQ(meter.Figures().avSync.pairs, 0);
  Feed(meter, {.offset = -0.041});
  const auto& verdict = meter.Figures().verdict;
  EXPECT_TRUE(std::any_of(verdict.begin(), verdict.end(), [](const Finding& x) {
    return x.severity == Severity::Warning && x.text == "Lip sync: the sound is 41 ms early";
  }));
}

}  // namespace
}  // namespace kx::measure
