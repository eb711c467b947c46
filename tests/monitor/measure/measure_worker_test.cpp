// The worker beside the analysis: what a decode thread pushes is measured in
// order, as the meter alone measures it; reset and the queue's bound.
#include <gtest/gtest.h>

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
  EXPECT_DOUBLE_EQ(f->seconds, expected.seconds);
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
  worker.Push(samples.data(), 4800);
  worker.Flush();
  ASSERT_TRUE(worker.Figures());
  EXPECT_DOUBLE_EQ(worker.Figures()->seconds, 0.1);
}

}  // namespace
}  // namespace kx::measure
