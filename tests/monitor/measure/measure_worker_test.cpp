// The worker beside the analysis: what a decode thread pushes is measured in
// order, as the meter alone measures it; reset and the queue's bound.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "monitor/measure_worker.h"
#include "signals.h"

namespace kx::measure {
namespace {

TEST(MeasureWorker, MeasuresWhatIsPushedInOrder) {
  // A loudness step: the order of the chunks shows in the short-term maximum and the range.
  const std::vector<float> samples = test::Tone(437.3, {{-30, 4}, {-10, 4}, {-40, 2}});
  CSoundMeter reference;
  reference.Add(samples.data(), samples.size() / 2);
  const SoundFigures expected = reference.Figures();

  CMeasureWorker worker;
  EXPECT_FALSE(worker.Figures());
  std::thread decode([&] {
    // Chunks of 1024 frames, as a decoder hands them over, while the
    // worker takes the queue on its own; a flush after each second keeps
    // the queue inside its bound however fast this thread runs.
    for (size_t frame = 0; frame < samples.size() / 2; frame += 1024) {
      worker.Push(samples.data() + 2 * frame, std::min<size_t>(1024, samples.size() / 2 - frame));
      if (frame % 48128 == 0) worker.Flush();
    }
  });
  decode.join();
  worker.Flush();
  const std::optional<SoundFigures> f = worker.Figures();
  ASSERT_TRUE(f);
  EXPECT_EQ(worker.DroppedFrames(), 0);
  EXPECT_DOUBLE_EQ(f->integratedLufs, expected.integratedLufs);
  EXPECT_DOUBLE_EQ(f->shortTermMaxLufs, expected.shortTermMaxLufs);
  EXPECT_DOUBLE_EQ(f->loudnessRangeLu, expected.loudnessRangeLu);
  EXPECT_DOUBLE_EQ(f->truePeakDbtp, expected.truePeakDbtp);
}

TEST(MeasureWorker, ResetDropsTheQueueAndTheFigures) {
  const std::vector<float> samples = test::Tone(611.9, {{-20, 3}});
  CMeasureWorker worker;
  worker.Push(samples.data(), samples.size() / 2);  // more than the queue holds: the rest is dropped
  EXPECT_EQ(worker.DroppedFrames(), static_cast<int64_t>(samples.size() / 2 - CMeasureWorker::kQueueFrames));
  worker.Flush();
  ASSERT_TRUE(worker.Figures());
  EXPECT_DOUBLE_EQ(worker.Figures()->seconds, 2.0);

  worker.Reset();
  EXPECT_FALSE(worker.Figures()) << "the old figures go with the reset, before the worker runs";
  worker.Flush();
  EXPECT_FALSE(worker.Figures());  // no audio since the reset
}

TEST(MeasureWorker, LipSyncTakesEachChunksOwnStreamTime) {
  // Flashes at each second, beeps 70 ms after them; the sound loses 3 chunks
  // (60 ms) at 2.5 s, so only the chunks' own times keep the beeps after it
  // in place. Pictures and chunks come from another thread, pictures first.
  CMeasureWorker worker;
  constexpr size_t kChunk = 960;
  std::vector<float> chunk(2 * kChunk);
  std::thread decode([&] {
    int picture = 0;
    for (size_t at = 0; at < 9 * 48000; at += kChunk) {
      const double t = static_cast<double>(at) / 48000;
      for (; picture < static_cast<int>((at + kChunk) * 25 / 48000); ++picture) {
        LumaThumb thumb;
        thumb.seconds = 5 + picture / 25.0;
        thumb.cells.fill(picture % 25 == 0 ? 220 : 20);
        worker.PushPicture(thumb);
      }
      if (t >= 2.5 && t < 2.56) continue;  // lost
      for (size_t i = 0; i < kChunk; ++i) {
        const double since = static_cast<double>(at + i) / 48000 - 0.07;
        const double s = since - std::floor(since);
        chunk[2 * i] = chunk[2 * i + 1] = since > 0.5 && s < 0.05 ? static_cast<float>(0.5 * std::sin(2 * M_PI * 1237 * s)) : 0.f;
      }
      worker.Push(chunk.data(), kChunk, 5 + t);
      if (at % (48000 / 2) == 0) worker.Flush();
    }
  });
  decode.join();
  worker.Flush();
  ASSERT_TRUE(worker.Figures());
  const AvSyncFigures f = worker.Figures()->avSync;
  EXPECT_GE(f.pairs, 6);
  EXPECT_NEAR(f.offsetMs, 70, 1);
  EXPECT_LT(f.spreadMs, 1);
  worker.Reset();
  worker.Push(chunk.data(), kChunk, 20);
  worker.Flush();
  ASSERT_TRUE(worker.Figures());
  EXPECT_EQ(worker.Figures()->avSync.pairs, 0);
}

}  // namespace
}  // namespace kx::measure
