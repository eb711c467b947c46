// The render loop's jitter margin, driven by a small model of a live source
// and a sink: chunks arrive with jitter, the loop wakes every 5 ms and tops
// the stream up to its target from the FIFO once the margin allows, and the
// sink takes one block every period. Underruns are counted where the sink
// finds less than a block.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "audio/jitter_margin.h"

namespace kx {
namespace {

using namespace std::chrono_literals;
using Clock = CJitterMargin::Clock;

struct Source {
  int rate;          // device frames per second
  int chunk;         // frames per chunk
  double jitterMs;   // each chunk late by 0..jitterMs (uniform), never early
  int lateEvery = 0; // every n-th chunk is late by lateMs more (0: never)
  double lateMs = 0;
};

struct Result {
  int underruns = 0;          // in the whole run
  int underrunsLastHalf = 0;  // once the margin has settled
  double meanLatencyMs = 0;   // FIFO plus stream, sampled at each sink block
  double maxTargetMs = 0;
};

Result Simulate(const Source& s, std::chrono::milliseconds length, uint32_t seed) {
  CJitterMargin margin;
  margin.Reset(s.rate);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> jitter(0, s.jitterMs);
  const auto t0 = Clock::time_point{} + 1h;
  const double chunkMs = 1000.0 * s.chunk / s.rate;
  const int block = s.rate / 100;        // the sink takes 10 ms a period
  const int streamTarget = s.rate * 30 / 1000;  // the stream's own 30 ms
  int fifo = 0, stream = 0, largest = 0, n = 0;
  bool played = false;
  Result r;
  double latencySum = 0;
  int latencySamples = 0;
  double nextChunk = 0;  // ms
  for (int ms = 0; ms < length.count(); ++ms) {
    const auto now = t0 + std::chrono::milliseconds(ms);
    while (ms >= nextChunk) {  // arrivals
      fifo += s.chunk;
      largest = std::max(largest, s.chunk);
      ++n;
      double late = jitter(rng);
      if (s.lateEvery > 0 && n % s.lateEvery == 0) late += s.lateMs;
      nextChunk = n * chunkMs + late;
    }
    if (ms % 5 == 0 && fifo > 0 && margin.MayPlay(fifo, largest, now)) {  // render wake-up
      const int move = std::min(fifo, std::max(0, streamTarget - stream));
      fifo -= move;
      stream += move;
      played = played || move > 0;
    }
    if (ms % 10 == 9) {  // sink period
      if (stream < block && played) {
        ++r.underruns;
        if (ms >= length.count() / 2) ++r.underrunsLastHalf;
        margin.RanDry(now);
      }
      stream = std::max(0, stream - block);
      if (played) {
        latencySum += 1000.0 * (fifo + stream) / s.rate;
        ++latencySamples;
      }
    }
    r.maxTargetMs = std::max(r.maxTargetMs, 1000.0 * margin.TargetFrames(largest) / s.rate);
  }
  r.meanLatencyMs = latencySamples ? latencySum / latencySamples : 0;
  return r;
}

// Camera kinds as they reach the device: the chunk each decoded packet makes.
TEST(JitterMarginTest, LiveSourcesSettleWithoutGapsAndWithLittleLatency) {
  struct Case {
    const char* name;
    Source source;
    int maxUnderruns;  // while the margin settles
    double maxLatencyMs;
  } cases[] = {
      {"AAC 48 kHz, decode jitter of a 720p picture", {48000, 1024, 8}, 0, 65},
      {"AAC 44.1 kHz on a 44.1 kHz sink", {44100, 1024, 6}, 0, 65},
      {"G.711 20 ms packets on 48 kHz", {48000, 960, 5}, 0, 65},
      {"Opus 20 ms, a late packet every second", {48000, 960, 3, 50, 25}, 3, 80},
      {"AAC, heavy jitter", {48000, 1024, 30}, 4, 90},
      // The chunk itself is latency; the margin adds no whole chunk on top of it.
      {"G.711 200 ms packets", {48000, 9600, 10}, 0, 170},
  };
  for (const Case& c : cases) {
    for (uint32_t seed : {1u, 7u, 4242u}) {
      const Result r = Simulate(c.source, 60s, seed);
      EXPECT_LE(r.underruns, c.maxUnderruns) << c.name << " seed " << seed;
      EXPECT_EQ(r.underrunsLastHalf, 0) << c.name << " seed " << seed;
      EXPECT_LE(r.meanLatencyMs, c.maxLatencyMs) << c.name << " seed " << seed;
      EXPECT_LE(r.maxTargetMs, 400.5) << c.name;
    }
  }
}

// Whatever the chunk size, playing starts once the first sound has waited the
// allowance; a burst that already holds a chunk and the allowance plays at once.
TEST(JitterMarginTest, HoldsTheFirstSoundForTheAllowance) {
  const auto t = Clock::time_point{} + 1h;
  for (int chunk : {160, 1024, 6144}) {
    CJitterMargin m;
    m.Reset(48000);
    EXPECT_FALSE(m.MayPlay(0, 0, t)) << chunk;
    EXPECT_FALSE(m.MayPlay(chunk, chunk, t + 5ms)) << chunk;
    EXPECT_TRUE(m.Holding());
    EXPECT_FALSE(m.MayPlay(chunk, chunk, t + 54ms)) << chunk;
    EXPECT_TRUE(m.MayPlay(chunk, chunk, t + 55ms)) << chunk;
    EXPECT_FALSE(m.Holding());
    EXPECT_TRUE(m.MayPlay(0, chunk, t + 60ms)) << chunk;  // once playing, every wake-up plays
  }
  CJitterMargin burst;
  burst.Reset(48000);
  EXPECT_EQ(burst.TargetFrames(1024), 1024 + 2400);  // the chunk plus 50 ms
  EXPECT_FALSE(burst.MayPlay(3423, 1024, t));
  EXPECT_TRUE(burst.MayPlay(3424, 1024, t + 1ms));
}

TEST(JitterMarginTest, LateChunksRaiseTheMarginAndANewStartResetsIt) {
  CJitterMargin m;
  m.Reset(16000);  // any rate: targets are in the device's frames
  const auto t = Clock::time_point{} + 1h;
  ASSERT_TRUE(m.MayPlay(5000, 1024, t));
  EXPECT_FALSE(m.TakeRaised());

  // Dry for 4 ms: raised by the step (more than the time without).
  m.RanDry(t + 100ms);
  m.RanDry(t + 101ms);  // a second report of the same episode changes nothing
  EXPECT_FALSE(m.MayPlay(100, 1024, t + 104ms));
  EXPECT_TRUE(m.TakeRaised());
  EXPECT_FALSE(m.TakeRaised());
  EXPECT_EQ(m.Allowance(), 60ms);
  EXPECT_EQ(m.TargetFrames(1024), 1024 + 960);
  // Reports while holding are not a new episode; the raised allowance is waited out.
  m.RanDry(t + 110ms);
  EXPECT_FALSE(m.MayPlay(1400, 1024, t + 163ms));
  EXPECT_TRUE(m.MayPlay(1400, 1024, t + 164ms));
  EXPECT_FALSE(m.TakeRaised());

  // Dry for 90 ms: raised by as long as it went without.
  m.RanDry(t + 200ms);
  EXPECT_FALSE(m.MayPlay(10, 1024, t + 290ms));
  EXPECT_EQ(m.Allowance(), 150ms);
  EXPECT_EQ(m.TargetMillis(1024), 64 + 150);

  // Never more than the ceiling, however long the late chunks.
  for (int i = 0; i < 10; ++i) {
    ASSERT_TRUE(m.MayPlay(16000, 1024, t + 1s + i * 1s));
    m.RanDry(t + 1s + i * 1s);
    m.MayPlay(1, 1024, t + 1s + i * 1s + 450ms);
  }
  EXPECT_EQ(m.TargetFrames(1024), 16000 * 400 / 1000);
  EXPECT_TRUE(m.TakeRaised());

  // Sound back after a long pause (a stop, another camera): the first allowance again.
  ASSERT_TRUE(m.MayPlay(16000, 1024, t + 20s));
  m.RanDry(t + 21s);
  EXPECT_FALSE(m.MayPlay(0, 1024, t + 22s));
  EXPECT_FALSE(m.MayPlay(100, 1024, t + 22s + 1ms));
  EXPECT_FALSE(m.TakeRaised());
  EXPECT_EQ(m.Allowance(), CJitterMargin::kFirstAllowance);
}

}  // namespace
}  // namespace kx
