#include "monitor/analyser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "common/settings_block.h"
#include "monitor/window_functions.h"

namespace kx {
namespace {

using A = CSpectrumAnalyser;
using Block = std::vector<float>;

Block Ramp(float base) {
  Block b(A::kBlockSize);
  for (size_t i = 0; i < b.size(); ++i) b[i] = base + static_cast<float>(i) / 1024.0f;
  return b;
}

// 1000 Hz is exactly ten periods per block, so consecutive blocks join without a step
// whatever order the history keeps them in.
Block Tone(double hz, double amplitude) {
  Block b(A::kBlockSize);
  for (size_t i = 0; i < b.size(); ++i)
    b[i] = static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * hz * i / A::kSampleRate));
  return b;
}

size_t LoudestBin(std::span<const double> spectrum) {
  return static_cast<size_t>(std::max_element(spectrum.begin(), spectrum.begin() + A::kPowerBins) - spectrum.begin());
}

// The newest 4096 samples of a history that keeps blocks newest first, oldest
// sample first: the last 256 of block 8, then blocks 7 to 0.
std::vector<double> NewestInTimeOrder(std::span<const double, A::kSampleHistorySize> history) {
  std::vector<double> out(history.begin() + 8 * A::kBlockSize + 224, history.begin() + 9 * A::kBlockSize);
  for (size_t b = 8; b-- > 0;)
    out.insert(out.end(), history.begin() + b * A::kBlockSize, history.begin() + (b + 1) * A::kBlockSize);
  return out;
}

bool AllZero(std::span<const double> values) {
  return std::all_of(values.begin(), values.end(), [](double v) { return v == 0.0; });
}

class AnalyserTicks : public ::testing::Test {
 protected:
  bool PushAndTick(const Block& block) {
    analyser.PushAudioBlock(block.data(), block.size());
    return analyser.Tick(settings);
  }
  std::vector<double> SpectrumCopy() const { return {analyser.Spectrum().begin(), analyser.Spectrum().end()}; }

  CSettingsBlock settings;
  A analyser;
};

TEST_F(AnalyserTicks, EachBlockIsTickedOnceAndCutToOneBlock) {
  EXPECT_FALSE(analyser.HasNewBlock());
  EXPECT_FALSE(analyser.Tick(settings));
  const Block full = Ramp(0.25f);
  analyser.PushAudioBlock(full.data(), full.size());
  // A longer frame contributes its first 480 samples.
  Block longer = Ramp(0.5f);
  longer.resize(960, 0.9f);
  analyser.PushAudioBlock(longer.data(), longer.size());
  ASSERT_TRUE(analyser.Tick(settings));
  EXPECT_FALSE(analyser.HasNewBlock());
  // Both blocks, newest first, nothing of the longer frame's tail; a second tick has nothing to do.
  EXPECT_EQ(analyser.SampleHistory()[479], static_cast<double>(longer[479]));
  EXPECT_EQ(analyser.SampleHistory()[480], static_cast<double>(full[0]));
  EXPECT_FALSE(analyser.Tick(settings));
  // A short one replaces the whole block: the rest is zero, not the previous samples.
  ASSERT_TRUE(PushAndTick(Block(100, -0.75f)));
  const auto block = analyser.Block();
  EXPECT_EQ(block[99], -0.75);
  EXPECT_TRUE(AllZero(analyser.SampleHistory().subspan(100, 380)));
  analyser.PushAudioBlock(nullptr, 480);
  ASSERT_TRUE(analyser.Tick(settings));
  EXPECT_TRUE(AllZero(analyser.SampleHistory().first(A::kBlockSize)));
}

TEST_F(AnalyserTicks, HistoryKeepsTenBlocksNewestFirstInArrivalOrder) {
  settings.WindowFunc = 0;
  for (int k = 1; k <= 12; ++k) ASSERT_TRUE(PushAndTick(Ramp(static_cast<float>(k))));
  const auto history = analyser.SampleHistory();
  // Blocks 12 (newest) down to 3; blocks 1 and 2 fell off.
  for (size_t b = 0; b < A::kHistoryBlocks; ++b) {
    const Block expected = Ramp(static_cast<float>(12 - b));
    for (size_t i = 0; i < A::kBlockSize; ++i)
      ASSERT_EQ(history[b * A::kBlockSize + i], static_cast<double>(expected[i])) << "block " << b << " sample " << i;
  }
  // The unweighted FFT input is the newest 4096 samples in time order: the
  // last 256 of block 4, then blocks 5 to 12 whole. The ramps rise by more than
  // a block's span from one block to the next, so time order is a rising input.
  const auto in = analyser.FftIn();
  EXPECT_EQ(in[0], static_cast<double>(Ramp(4.0f)[224]));
  EXPECT_EQ(in[4095], static_cast<double>(Ramp(12.0f)[479]));
  EXPECT_TRUE(std::is_sorted(in.begin(), in.end(), std::less_equal<double>()));
}

TEST_F(AnalyserTicks, BlocksPushedBetweenTicksAreAllProcessedInOrderOrTheOldestDropped) {
  settings.WaveScale = 480;  // one column per block: its largest sample
  settings.SpectrumView = 8;
  // The same blocks one tick each, as the reference.
  A reference;
  for (int k = 0; k < 5; ++k) {
    Block b = Tone(700.0 + 150.0 * k, 0.2 + 0.1 * k);
    for (size_t i = 0; i < b.size(); ++i) b[i] += static_cast<float>(k) * 0.01f;
    reference.PushAudioBlock(b.data(), b.size());
    ASSERT_TRUE(reference.Tick(settings));
    analyser.PushAudioBlock(b.data(), b.size());
  }
  EXPECT_EQ(analyser.PendingBlocks(), 5u);
  ASSERT_TRUE(analyser.Tick(settings));
  EXPECT_EQ(analyser.PendingBlocks(), 0u);
  // Every block went through every step, in arrival order: one tick gives what five did.
  auto same = [](auto x, auto y) { return std::equal(x.begin(), x.end(), y.begin(), y.end()); };
  EXPECT_TRUE(same(analyser.SampleHistory(), reference.SampleHistory()));
  EXPECT_TRUE(same(analyser.WaveHistory(), reference.WaveHistory()));
  EXPECT_TRUE(same(analyser.SpectrumHistory(), reference.SpectrumHistory()));
  EXPECT_TRUE(same(analyser.Power(), reference.Power()));
  EXPECT_TRUE(same(analyser.Spectrum(), reference.Spectrum()));
  EXPECT_EQ(analyser.AggregationCounter(), 5);

  // A full queue drops the oldest blocks.
  analyser.ResetAnalysis();
  const size_t pushed = A::kPendingBlocks + 3;
  for (size_t k = 1; k <= pushed; ++k) analyser.PushAudioBlock(Ramp(static_cast<float>(k)).data(), A::kBlockSize);
  EXPECT_EQ(analyser.PendingBlocks(), A::kPendingBlocks);
  ASSERT_TRUE(analyser.Tick(settings));
  // Blocks 4..35 were processed, newest first; 1..3 gave way.
  const auto wave = analyser.WaveHistory();
  for (size_t c = 0; c < A::kPendingBlocks; ++c)
    EXPECT_EQ(wave[c], static_cast<double>(Ramp(static_cast<float>(pushed - c))[479])) << c;
  EXPECT_TRUE(AllZero(wave.subspan(A::kPendingBlocks)));
  // The ring goes on correctly after wrapping.
  for (size_t k = 1; k <= 3; ++k) analyser.PushAudioBlock(Ramp(100.0f + static_cast<float>(k)).data(), A::kBlockSize);
  ASSERT_TRUE(analyser.Tick(settings));
  for (size_t c = 0; c < 3; ++c) EXPECT_EQ(wave[c], static_cast<double>(Ramp(103.0f - c)[479])) << c;
  EXPECT_EQ(wave[3], static_cast<double>(Ramp(static_cast<float>(pushed))[479]));
}

TEST_F(AnalyserTicks, WaveformColumnsAreMaximaOfSignedSamples) {
  Block block(A::kBlockSize);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<float>(std::sin(0.37 * i) * (0.2 + i / 600.0));
  auto expectColumns = [&](size_t width) {
    for (size_t c = 0; c < A::kBlockSize / width; ++c) {
      double peak = 0.0;
      for (size_t i = c * width; i < (c + 1) * width; ++i) peak = std::max(peak, static_cast<double>(block[i]));
      ASSERT_EQ(analyser.WaveHistory()[c], peak) << "width " << width << " column " << c;
    }
  };

  settings.WaveScale = 480;
  ASSERT_TRUE(PushAndTick(block));
  expectColumns(480);
  EXPECT_EQ(analyser.WaveHistory()[1], 0.0);

  settings.WaveScale = 24;
  ASSERT_TRUE(PushAndTick(block));
  expectColumns(24);
  // The previous block's single column moved behind the 20 new ones.
  EXPECT_EQ(analyser.WaveHistory()[20], *std::max_element(block.begin(), block.end()));
  EXPECT_EQ(analyser.WaveHistory()[21], 0.0);

  settings.WaveScale = 1;
  ASSERT_TRUE(PushAndTick(block));
  for (size_t i = 0; i < A::kBlockSize; ++i)
    ASSERT_EQ(analyser.WaveHistory()[i], std::max(0.0, static_cast<double>(block[i]))) << i;

  // A block of negative samples only gives columns of exactly 0.
  const Block negative(A::kBlockSize, -0.4f);
  settings.WaveScale = 24;
  ASSERT_TRUE(PushAndTick(negative));
  EXPECT_TRUE(AllZero(analyser.WaveHistory().first(20)));
  EXPECT_EQ(analyser.WaveHistory()[21], static_cast<double>(block[1]));  // a positive sample
}

// Hand-edited or foreign settings: WaveScale 7 leaves four samples in no
// column, 0 and below count as 1, above a block no column is complete; no
// window outside the list; no view at all keeps the spectrum still.
TEST_F(AnalyserTicks, StoredValuesFarOutsideTheListsKeepTicking) {
  Block block(A::kBlockSize, 0.1f);
  block[478] = 0.9f;
  settings.WaveScale = 7;
  ASSERT_TRUE(PushAndTick(block));
  const auto history = analyser.WaveHistory();
  EXPECT_EQ(history[67], 0.1f);
  EXPECT_EQ(history[68], 0.0);
  settings.WaveScale = -5;
  ASSERT_TRUE(PushAndTick(Ramp(0.25f)));
  EXPECT_EQ(history[479], Ramp(0.25f)[479]);
  const std::vector<double> before(history.begin(), history.end());
  settings.WaveScale = 481;
  ASSERT_TRUE(PushAndTick(Block(A::kBlockSize, 0.8f)));
  EXPECT_TRUE(std::equal(before.begin(), before.end(), history.begin()));
  for (int32_t v : {INT32_MIN, 10, INT32_MAX}) {
    settings.WindowFunc = v;
    settings.WaveScale = v;
    settings.SpectrumView = v;
    ASSERT_TRUE(PushAndTick(Tone(1000, 0.5))) << v;
    const std::vector<double> plain = NewestInTimeOrder(analyser.SampleHistory());
    EXPECT_TRUE(std::equal(analyser.FftIn().begin(), analyser.FftIn().end(), plain.begin())) << v;
    for (double x : analyser.Spectrum()) ASSERT_TRUE(std::isfinite(x)) << v;
  }
  settings.SpectrumView = 0;
  const std::vector<double> shown = SpectrumCopy();
  for (int i = 0; i < 9; ++i) ASSERT_TRUE(PushAndTick(Tone(1000, 0.25)));
  EXPECT_EQ(SpectrumCopy(), shown);
}

TEST_F(AnalyserTicks, TheChosenWindowWeightsTheFftInput) {
  std::vector<double> expected(A::kFftSize);
  float base = 0.1f;
  // Every setting, twice over so that a kept window is checked against a fresh one.
  for (int round = 0; round < 2; ++round) {
    for (int32_t windowFunc : {4, 0, 1, 2, 3, 5, 6, 7, 8, 9, 10, -1, 4}) {
      settings.WindowFunc = windowFunc;
      ASSERT_TRUE(PushAndTick(Ramp(base)));
      base += 0.05f;
      expected = NewestInTimeOrder(analyser.SampleHistory());
      if (windowFunc >= 1 && windowFunc <= 9) ApplyWindow(static_cast<int32_t>(A::kFftSize), expected.data(), windowFunc - 1);
      ASSERT_TRUE(std::equal(expected.begin(), expected.end(), analyser.FftIn().begin())) << "WindowFunc " << windowFunc;
    }
  }
}

// A tone off the 50 Hz grid, continuous across blocks: one block cannot hold
// a whole number of its periods, so any reordering of blocks shows up as
// phase jumps, a displaced peak and sidebands.
TEST_F(AnalyserTicks, OffGridTonesPeakAtTheirOwnBin) {
  for (const double hz : {437.0, 3001.0, 11111.0}) {
    A fresh;  // no history of the previous tone
    size_t n = 0;
    for (int b = 0; b < 12; ++b) {
      Block block(A::kBlockSize);
      for (float& v : block) v = static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * hz * static_cast<double>(n++) / A::kSampleRate));
      fresh.PushAudioBlock(block.data(), block.size());
      ASSERT_TRUE(fresh.Tick(settings));  // default Blackman window
    }
    const auto spectrum = fresh.Spectrum();
    const size_t nearest = static_cast<size_t>(std::lround(hz / A::kBinHz));
    EXPECT_EQ(LoudestBin(spectrum), nearest) << hz << " Hz";
    // Every bin 200 Hz or more away lies at least 50 dB below the peak.
    const size_t away = static_cast<size_t>(std::ceil(200.0 / A::kBinHz));
    double worst = 0;
    for (size_t k = 1; k < A::kPowerBins; ++k)
      if (k + away <= nearest || k >= nearest + away) worst = std::max(worst, spectrum[k]);
    EXPECT_GT(10 * std::log10(spectrum[nearest] / worst), 50.0) << hz << " Hz";
  }
}

TEST_F(AnalyserTicks, RealTimeSpectrumAndSwitchingViews) {
  const Block tone = Tone(1000.0, 0.5);
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(PushAndTick(tone));
  const auto spectrum = analyser.Spectrum();
  EXPECT_EQ(LoudestBin(spectrum), 85u);
  EXPECT_TRUE(AllZero(spectrum.subspan(A::kPowerBins)));
  // The spectrum is the newest power, which is |X|^2 of the transform.
  for (size_t k = 0; k < A::kPowerBins; ++k) {
    const double re = analyser.FftRe()[k], im = analyser.FftIm()[k];
    ASSERT_EQ(spectrum[k], re * re + im * im) << k;
  }
  // The spectrum history keeps the newest power first.
  const std::vector<double> previous = SpectrumCopy();
  ASSERT_TRUE(PushAndTick(Tone(3000.0, 0.5)));
  EXPECT_TRUE(std::equal(previous.begin(), previous.end(), analyser.SpectrumHistory().begin() + A::kFftSize));

  // An aggregate view shows nothing until its eighth block; back in real
  // time the next block shows, and does not count towards the aggregation.
  A fresh;
  settings.SpectrumView = 8;
  for (int i = 0; i < 3; ++i) {
    fresh.PushAudioBlock(tone.data(), tone.size());
    ASSERT_TRUE(fresh.Tick(settings));
  }
  EXPECT_TRUE(AllZero(fresh.Spectrum()));
  settings.SpectrumView = 1;
  fresh.PushAudioBlock(tone.data(), tone.size());
  ASSERT_TRUE(fresh.Tick(settings));
  EXPECT_TRUE(std::equal(fresh.Power().begin(), fresh.Power().end(), fresh.Spectrum().begin()));
  EXPECT_EQ(fresh.AggregationCounter(), 3);
}

TEST_F(AnalyserTicks, AggregateViewsChangeOnEveryEighthBlock) {
  struct Case {
    int32_t view;
    const char* name;
  } cases[] = {{8, "max"}, {4, "min"}, {2, "middle"}, {6, "middle before min"}};
  for (const Case& c : cases) {
    A a;
    settings.SpectrumView = c.view;
    for (int round = 0; round < 2; ++round) {
      std::vector<double> before(a.Spectrum().begin(), a.Spectrum().end());
      for (int i = 1; i <= 8; ++i) {
        const Block b = Tone(1000.0 + 40.0 * i, 0.05 * (i + 8 * round));
        a.PushAudioBlock(b.data(), b.size());
        ASSERT_TRUE(a.Tick(settings));
        if (i < 8) {
          ASSERT_TRUE(std::equal(before.begin(), before.end(), a.Spectrum().begin())) << c.name << " tick " << i;
          ASSERT_EQ(a.AggregationCounter(), i);
        }
      }
      EXPECT_EQ(a.AggregationCounter(), 0);
      const auto history = a.SpectrumHistory();
      for (size_t k = 0; k < A::kFftSize; ++k) {
        double mx = history[k], mn = history[k];
        for (size_t s = 1; s < 8; ++s) {
          mx = std::max(mx, history[s * A::kFftSize + k]);
          mn = std::min(mn, history[s * A::kFftSize + k]);
        }
        // The running maximum starts at 2e-308 and the minimum at 1e308.
        mx = std::max(mx, 2e-308);
        mn = std::min(mn, 1e308);
        const double expected = c.view == 8 ? mx : c.view == 4 ? mn : (mx - mn) * 0.5;
        ASSERT_EQ(a.Spectrum()[k], expected) << c.name << " bin " << k;
      }
    }
    EXPECT_GT(a.Spectrum()[85], 0.0) << c.name;
  }
}

TEST_F(AnalyserTicks, ResetMakesTheNextTickSilent) {
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(PushAndTick(Tone(1000.0, 0.5)));
  // Blocks pushed but not yet processed are dropped by the reset too.
  const Block loud = Tone(1000.0, 0.9);
  for (int i = 0; i < 4; ++i) analyser.PushAudioBlock(loud.data(), loud.size());
  analyser.ResetAnalysis();
  EXPECT_EQ(analyser.PendingBlocks(), 1u);  // the silent block
  EXPECT_EQ(analyser.GetInputPeak(), 0.0f);
  EXPECT_TRUE(AllZero(analyser.Spectrum()) && AllZero(analyser.SampleHistory()));
  EXPECT_TRUE(AllZero(analyser.WaveHistory()) && AllZero(analyser.SpectrumHistory()));
  ASSERT_TRUE(analyser.Tick(settings));
  EXPECT_TRUE(AllZero(analyser.SampleHistory()) && AllZero(analyser.Spectrum()));
  EXPECT_FALSE(analyser.Tick(settings));
}

TEST_F(AnalyserTicks, InputPeakAndReadDisplay) {
  // The peak is the largest magnitude of the last 100 ms.
  Block block(A::kBlockSize, 0.3f);
  block[200] = -0.5f;
  ASSERT_TRUE(PushAndTick(block));
  EXPECT_EQ(analyser.GetInputPeak(), 0.5f);
  for (int i = 0; i < 9; ++i) ASSERT_TRUE(PushAndTick(Block(A::kBlockSize, -0.1f)));
  EXPECT_EQ(analyser.GetInputPeak(), 0.5f);
  ASSERT_TRUE(PushAndTick(Block(A::kBlockSize, -0.1f)));  // the -0.5 block falls off
  EXPECT_EQ(analyser.GetInputPeak(), 0.1f);
  // ReadDisplay copies within the caller's buffers: short spans get their prefix.
  settings.WaveScale = 1;
  ASSERT_TRUE(PushAndTick(Tone(1000.0, 0.5)));
  std::vector<double> wave(5000, -7.0), spectrum(5000, -7.0);
  EXPECT_EQ(analyser.ReadDisplay(std::span(wave).first(100), std::span(spectrum).first(90)), analyser.GetInputPeak());
  EXPECT_EQ(wave[99], analyser.WaveHistory()[99]);
  EXPECT_EQ(wave[100], -7.0);
  EXPECT_EQ(spectrum[90], -7.0);
  analyser.ReadDisplay(wave, spectrum);
  EXPECT_TRUE(std::equal(spectrum.begin(), spectrum.begin() + A::kFftSize, analyser.Spectrum().begin()));
  EXPECT_EQ(wave[A::kWaveHistorySize], -7.0);
}

}  // namespace
}  // namespace kx
