// The sound meter: loudness and true peak against the EBU Tech 3341 and 3342 signals and ffmpeg's
// ebur128 filter; each detector on signals that must and must not trigger it; bad values kept out.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>
#include <optional>
#include <random>
#include <set>
#include <string>

#include "ffmpeg_loudness.h"
#include "monitor/sound_meter.h"
#include "signals.h"

namespace kx::measure {
namespace {

using test::Segment;
constexpr double kNone = NAN;

struct EbuCase {
  const char* name;
  double hz;
  std::vector<Segment> segments;
  double phaseDegrees;
  // Expected figures (NaN: not checked by this case).
  double momentaryMax, shortTermMax, integrated, range, truePeak;
};

// Tech 3341's minimum requirements (1-5, 9 and the true-peak signals 15-18)
// and Tech 3342's loudness range signals (1-4), stereo, both channels alike.
const EbuCase kEbuCases[] = {
    {"Tech3341_1_Minus23", 1000, {{-23, 20}}, 0, -23, -23, -23, kNone, kNone},
    {"Tech3341_2_Minus33", 1000, {{-33, 20}}, 0, -33, -33, -33, kNone, kNone},
    {"Tech3341_3_RelativeGate", 1000, {{-36, 10}, {-23, 60}, {-36, 10}}, 0, kNone, kNone, -23, kNone, kNone},
    {"Tech3341_4_AbsoluteGate", 1000, {{-72, 10}, {-36, 10}, {-23, 60}, {-36, 10}, {-72, 10}}, 0, kNone, kNone, -23, kNone, kNone},
    {"Tech3341_5_Steps", 1000, {{-26, 20}, {-20, 20.1}, {-26, 20}}, 0, kNone, kNone, -23, kNone, kNone},
    {"Tech3341_9_ShortTerm", 1000,
     {{-20, 1.34}, {-30, 1.66}, {-20, 1.34}, {-30, 1.66}, {-20, 1.34}, {-30, 1.66}, {-20, 1.34}, {-30, 1.66},
      {-20, 1.34}, {-30, 1.66}},
     0, kNone, -23, kNone, kNone, kNone},
    {"Tech3342_1_Range10", 1000, {{-20, 20}, {-30, 20}}, 0, kNone, kNone, kNone, 10, kNone},
    {"Tech3342_2_Range5", 1000, {{-20, 20}, {-15, 20}}, 0, kNone, kNone, kNone, 5, kNone},
    {"Tech3342_3_Range20", 1000, {{-40, 20}, {-20, 20}}, 0, kNone, kNone, kNone, 20, kNone},
    {"Tech3342_4_Range15", 1000, {{-50, 20}, {-35, 20}, {-20, 20}, {-35, 20}, {-50, 20}}, 0, kNone, kNone, kNone, 15, kNone},
    {"Tech3341_15_TruePeakQuarter0", 12000, {{-6, 5}}, 0, kNone, kNone, kNone, kNone, -6},
    {"Tech3341_16_TruePeakQuarter45", 12000, {{-6, 5}}, 45, kNone, kNone, kNone, kNone, -6},
    {"Tech3341_17_TruePeakSixth60", 8000, {{-6, 5}}, 60, kNone, kNone, kNone, kNone, -6},
    {"Tech3341_18_TruePeakEighth67", 6000, {{-6, 5}}, 67.5, kNone, kNone, kNone, kNone, -6},
};

class Conformance : public ::testing::TestWithParam<EbuCase> {};

// Loudness within 0.1 LU of the standard and of ffmpeg, the range within
// 1 LU of the standard, true peak within +0.2/-0.4 dB of the standard and
// 0.3 dB of ffmpeg. The table the tests print is the one in the README.
TEST_P(Conformance, MatchesStandardAndFfmpeg) {
  const EbuCase& c = GetParam();
  const std::vector<float> samples = test::Tone(c.hz, c.segments, 48000, c.phaseDegrees, std::isnan(c.truePeak) ? 0 : 0.1);
  CSoundMeter meter;
  meter.Add(samples.data(), samples.size() / 2);
  const SoundFigures ours = meter.Figures();

  const std::string wav = ::testing::TempDir() + "kx_conformance_" + c.name + "_" + std::to_string(getpid()) + ".wav";
  ASSERT_TRUE(kx::test::WriteStereoFloatWav(wav, samples, 48000));
  const std::optional<kx::test::FfmpegLoudness> ff = kx::test::RunFfmpegEbur128(wav);
  std::remove(wav.c_str());
  ASSERT_TRUE(ff) << "ffmpeg's ebur128 filter did not run";

  struct Figure {
    const char* what;
    double expected, ours, ffmpeg, below, above, ffmpegTolerance;
  };
  const Figure figures[] = {
      {"momentary max", c.momentaryMax, ours.momentaryMaxLufs, ff->momentaryMax, 0.1, 0.1, 0.1},
      {"short-term max", c.shortTermMax, ours.shortTermMaxLufs, ff->shortTermMax, 0.1, 0.1, 0.1},
      {"integrated", c.integrated, ours.integratedLufs, ff->integrated, 0.1, 0.1, 0.1},
      {"loudness range", c.range, ours.loudnessRangeLu, ff->range, 1, 1, 0.1},
      {"true peak", c.truePeak, ours.truePeakDbtp, ff->truePeakDbtp, 0.4, 0.2, 0.3},
  };
  for (const Figure& f : figures) {
    if (std::isnan(f.expected)) continue;
    std::printf("| %s | %s | %.1f | %.2f | %.2f |\n", c.name, f.what, f.expected, f.ours, f.ffmpeg);
    EXPECT_GE(f.ours, f.expected - f.below) << f.what;
    EXPECT_LE(f.ours, f.expected + f.above) << f.what;
    EXPECT_NEAR(f.ours, f.ffmpeg, f.ffmpegTolerance) << f.what << " against ffmpeg";
  }
  // The 45-degree case is the one whose samples miss the peak by 3 dB.
  if (c.phaseDegrees == 45) {
    EXPECT_NEAR(ours.samplePeakDbfs, -6 - 3.01, 0.05);
  }
}

INSTANTIATE_TEST_SUITE_P(Ebu, Conformance, ::testing::ValuesIn(kEbuCases),
                         [](const ::testing::TestParamInfo<EbuCase>& info) { return std::string(info.param.name); });

// ---- detectors ----

using test::FromDb;
constexpr double kTwoPi = 2 * std::numbers::pi;

struct Stereo {
  double l, r;
};
using Source = std::function<Stereo(double t, std::mt19937& noise)>;

double Sine(double hz, double dbfs, double t) { return FromDb(dbfs) * std::sin(kTwoPi * hz * t); }
Stereo Both(double v) { return {v, v}; }
// White noise whose level reads `dbfs` (AES17, so its RMS is 3 dB lower).
double Noise(double dbfs, std::mt19937& g) {
  return std::normal_distribution<double>(0, FromDb(dbfs) / std::sqrt(2.0))(g);
}

std::vector<float> Render(const Source& source, int rate, double seconds) {
  std::mt19937 noise(7);
  std::vector<float> out;
  const size_t frames = static_cast<size_t>(seconds * rate);
  out.reserve(2 * frames);
  for (size_t i = 0; i < frames; ++i) {
    const Stereo s = source(static_cast<double>(i) / rate, noise);
    out.push_back(static_cast<float>(std::clamp(s.l, -1.0, 1.0)));
    out.push_back(static_cast<float>(std::clamp(s.r, -1.0, 1.0)));
  }
  return out;
}

constexpr double kSeconds = 8;
Source Tone(double hz, double dbfs) {
  return [=](double t, std::mt19937&) { return Both(Sine(hz, dbfs, t)); };
}
std::function<std::vector<float>(int)> Of(Source s) {
  return [=](int rate) { return Render(s, rate, kSeconds); };
}

// A figure and what it must read: NaN and infinities exactly, others within the tolerance.
struct Figure {
  double SoundFigures::*field;
  double want, tolerance;
};
using F = SoundFigures;

struct Case {
  const char* name;
  int rate;
  std::function<std::vector<float>(int rate)> signal;
  std::set<std::string> expected;  // exactly these findings
  int humHz;
  std::vector<Figure> figures;
  std::function<void(const SoundFigures&)> check = [](const SoundFigures&) {};
};

const Case kCases[] = {
    {"CleanTone48k", 48000, Of(Tone(437.3, -20)), {"narrow_band"}, 0,
     // AES17: a tone reads its peak; its bandwidth reaches its own line, to a band or two.
     {{&F::correlation, 1, 1e-6}, {&F::balanceDb, 0, 0.01}, {&F::bandwidthHz, 437.3, 25}},
     [](const F& f) { EXPECT_NEAR(f.channels[0].levelDbfs, -20.0, 0.05); }},
    {"CleanTone44k", 44100, Of(Tone(523.7, -18)), {"narrow_band"}, 0, {{&F::integratedLufs, -18.3, 0.6}}},
    {"Hum50UnderTone48k", 48000, Of([](double t, std::mt19937&) { return Both(Sine(437.3, -20, t) + Sine(50, -40, t)); }),
     {"hum", "narrow_band"}, 50, {{&F::humDbfs, -40, 0.5}}},
    {"Hum60WithHarmonics44k", 44100, Of([](double t, std::mt19937&) {
       return Both(Sine(611.9, -20, t) + Sine(60, -46, t) + Sine(120, -43, t) + Sine(180, -50, t));
     }),
     {"hum", "narrow_band"}, 60, {{&F::humDbfs, -40.9, 0.5}}},  // -46, -43 and -50 dBFS together
    {"HumBelowMinimumLevel48k", 48000,
     Of([](double t, std::mt19937&) { return Both(Sine(437.3, -20, t) + Sine(50, -80, t)); }), {"narrow_band"}, 0, {}},
    {"HumUnderNoise16k", 16000, Of([](double t, std::mt19937& g) { return Both(Noise(-30, g) + Sine(50, -45, t)); }),
     {"hum"}, 50, {}},
    {"WidebandNoise48k", 48000, Of([](double, std::mt19937& g) { return Both(Noise(-20, g)); }), {}, 0, {},
     [](const F& f) { EXPECT_GT(f.bandwidthHz, 23000); }},
    // A telephone band: 31 lines of scattered phase from 431 to 3341 Hz.
    {"TelephoneBand48k", 48000, Of([](double t, std::mt19937&) {
       double v = 0;
       for (int k = 0; k <= 30; ++k) v += Sine(431 + 97 * k, -36, t + 0.00037 * k * k);
       return Both(v);
     }),
     {"narrow_band"}, 0, {{&F::bandwidthHz, 3400, 300}}},
    {"RightChannelDead48k", 48000, Of([](double t, std::mt19937&) { return Stereo{Sine(437.3, -20, t), 0}; }),
     {"dead_channel", "narrow_band"}, 0, {{&F::correlation, NAN, 0}},
     [](const F& f) { EXPECT_TRUE(f.channels[1].dead && !f.channels[0].dead); }},
    {"RightChannelQuietButAlive44k", 44100,
     Of([](double t, std::mt19937&) { return Stereo{Sine(437.3, -20, t), Sine(437.3, -50, t)}; }), {"narrow_band"}, 0,
     {{&F::balanceDb, 30, 0.05}}},
    {"InvertedPolarity48k", 48000,
     Of([](double t, std::mt19937&) { return Stereo{Sine(437.3, -20, t), -Sine(437.3, -20, t)}; }),
     {"inverted_polarity", "narrow_band"}, 0, {{&F::correlation, -1, 1e-6}}},
    {"DcOffset48k", 48000, Of([](double t, std::mt19937&) { return Both(Sine(437.3, -20, t) + 0.02); }),
     {"dc_offset", "narrow_band"}, 0, {{&F::dcOffsetDbfs, 20 * std::log10(0.02), 0.1}}},
    {"SmallDcBelowThreshold44k", 44100, Of([](double t, std::mt19937&) { return Both(Sine(437.3, -20, t) + 0.002); }),
     {"narrow_band"}, 0, {{&F::dcOffsetDbfs, -54, 0.1}}},
    // 0.3 s driven 12 dB over full scale: a sine at twice full scale stays
    // clipped for a third of each cycle, in both channels.
    {"ClippingBurst48k", 48000, Of([](double t, std::mt19937&) { return Both(Sine(437.3, t >= 4 && t < 4.3 ? 6 : -6, t)); }),
     {"clipping", "too_loud", "narrow_band"}, 0, {},
     [](const F& f) {
       EXPECT_NEAR(static_cast<double>(f.clippedSamples), 2 * 0.3 * 48000 * 0.67, 2 * 0.3 * 48000 * 0.1);
       EXPECT_EQ(f.channels[0].clippedSamples, f.channels[1].clippedSamples);
       EXPECT_EQ(f.verdict.at(0).severity, Severity::Fault);  // the clipping, first
     }},
    {"LoudButUnclipped44k", 44100, Of(Tone(437.3, -1)), {"too_loud", "narrow_band"}, 0, {}},
    {"SilentGap3s48k", 48000, Of([](double t, std::mt19937&) { return Both(t >= 3 && t < 6 ? 0 : Sine(437.3, -20, t)); }),
     {"silence_gap", "narrow_band"}, 0, {{&F::longestSilenceS, 3, 0.01}, {&F::currentSilenceS, 0, 0.01}}},
    {"ShortGap44k", 44100, Of([](double t, std::mt19937&) { return Both(t >= 3 && t < 4.5 ? 0 : Sine(611.9, -20, t)); }),
     {"narrow_band"}, 0, {{&F::longestSilenceS, 1.5, 0.01}}},
    {"SilentStream48k", 48000, Of([](double, std::mt19937&) { return Both(0); }), {"silent"}, 0,
     {{&F::integratedLufs, -INFINITY, 0}, {&F::bandwidthHz, NAN, 0}}},
    {"TooQuiet44k", 44100, Of(Tone(437.3, -50)), {"too_quiet", "narrow_band"}, 0, {{&F::integratedLufs, -50.3, 0.6}}},
    // The noise stands more than 40 dB under the tone's speech-band level.
    {"NoiseFloorUnderBursts48k", 48000, Of([](double t, std::mt19937& g) {
       return Both(Noise(-50, g) + (std::fmod(t, 1.0) < 0.5 ? Sine(437.3, -10, t) : 0));
     }),
     {"narrow_band"}, 0, {{&F::noiseFloorDbfs, -50, 1}}, [](const F& f) { EXPECT_GT(f.signalToNoiseDb, 35); }},
};

class Detectors : public ::testing::TestWithParam<Case> {};

TEST_P(Detectors, FindExactlyWhatTheSignalHolds) {
  const Case& c = GetParam();
  const std::vector<float> samples = c.signal(c.rate);
  CSoundMeter meter(static_cast<unsigned long>(c.rate));
  meter.Add(samples.data(), samples.size() / 2);
  const SoundFigures f = meter.Figures();
  std::set<std::string> found;
  for (const Finding& finding : f.verdict) found.insert(finding.code);
  EXPECT_EQ(found, c.expected);
  EXPECT_EQ(f.humHz, c.humHz);
  EXPECT_EQ(f.badSamples, 0);
  for (const Figure& want : c.figures) {
    const double got = f.*want.field;
    if (std::isnan(want.want) || std::isinf(want.want))
      EXPECT_TRUE(std::isnan(want.want) ? std::isnan(got) : got == want.want) << got;
    else
      EXPECT_NEAR(got, want.want, want.tolerance);
  }
  c.check(f);
}

INSTANTIATE_TEST_SUITE_P(Signals, Detectors, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// NaN and infinities drop their frame, denormals read as 0; each is counted
// and the figures stay those of the clean signal.
TEST(SoundMeter, BadValuesAreCountedAndKeptOut) {
  const std::vector<float> clean = Render(Tone(437.3, -20), 48000, 5);
  const float denormal = std::numeric_limits<float>::denorm_min() * 3;
  std::vector<float> dirty = {NAN, 0.5f, 0.25f, -INFINITY, denormal, -denormal};  // 4 bad values, either side
  dirty.insert(dirty.end(), clean.begin(), clean.end());
  CSoundMeter a, b;
  a.Add(clean.data(), clean.size() / 2);
  b.Add(dirty.data(), dirty.size() / 2);
  const SoundFigures fa = a.Figures(), fb = b.Figures();
  EXPECT_EQ(fb.badSamples, 4);
  EXPECT_NEAR(fb.integratedLufs, fa.integratedLufs, 0.01);
  EXPECT_NEAR(fb.truePeakDbtp, fa.truePeakDbtp, 0.01);
  EXPECT_NEAR(fb.correlation, 1.0, 1e-3);
  EXPECT_TRUE(std::isfinite(fb.bandwidthHz));
}

// Reset starts every figure again.
TEST(SoundMeter, ResetForgetsTheEarlierSound) {
  const std::vector<float> loud = Render(Tone(437.3, -3), 48000, 4), quiet = Render(Tone(611.9, -30), 48000, 4);
  CSoundMeter meter;
  meter.Add(loud.data(), loud.size() / 2);
  meter.Reset();
  meter.Add(quiet.data(), quiet.size() / 2);
  EXPECT_NEAR(meter.Figures().samplePeakDbfs, -30, 0.01);
  EXPECT_LT(meter.Figures().momentaryMaxLufs, -29);
  EXPECT_NEAR(meter.Figures().seconds, 4, 1e-9);
}

}  // namespace
}  // namespace kx::measure
