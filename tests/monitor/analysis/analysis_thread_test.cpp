#include "monitor/analysis_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <dirent.h>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "common/settings_block.h"
#include "monitor/analyser.h"

namespace kx {
namespace {

using namespace std::chrono_literals;
using A = CSpectrumAnalyser;

constexpr int kBlocks = 200;  // 2 s at 10 ms per block

// Block k has the largest sample k / 256 (exact in float and double), so with
// WaveScale 480 its single waveform column names it.
std::vector<float> NumberedBlock(int k) {
  std::vector<float> b(A::kBlockSize);
  const float top = static_cast<float>(k) / 256.0f;
  for (size_t i = 0; i < b.size(); ++i) b[i] = (i % 3 == 0) ? top : -0.5f * top * std::sin(0.1f * i);
  return b;
}

// The non-zero columns, newest first, must name strictly older blocks: a block
// processed twice would repeat its number. Returns how many there are.
size_t CheckColumns(const std::vector<double>& wave) {
  size_t count = 0;
  double newer = INFINITY;
  for (double v : wave) {
    if (v == 0.0) continue;
    EXPECT_LT(v, newer) << "a block was processed twice or out of order";
    const double k = v * 256.0;
    EXPECT_EQ(k, std::floor(k));
    EXPECT_GE(k, 1.0);
    EXPECT_LE(k, kBlocks);
    newer = v;
    ++count;
  }
  return count;
}

void RunProducerAndReader(bool resetsToo) {
  CSettingsBlock settings;
  A analyser;
  auto thread = std::make_unique<CAnalysisThread>(analyser, settings);
  ASSERT_NE(thread->Id(), 0u);

  std::atomic<bool> producing{true};
  std::thread producer([&] {
    for (int k = 1; k < kBlocks; ++k) {
      const auto block = NumberedBlock(k);
      // Never more than the queue holds, so no block is dropped however late
      // the ticks are (the bound only guards against a hang).
      for (int i = 0; i < 10000 && analyser.PendingBlocks() >= A::kPendingBlocks; ++i)
        std::this_thread::sleep_for(1ms);
      analyser.PushAudioBlock(block.data(), block.size());
      std::this_thread::sleep_for(10ms);
    }
    producing = false;
  });
  std::thread resetter;
  if (resetsToo) {
    resetter = std::thread([&] {
      while (producing) {
        std::this_thread::sleep_for(70ms);
        analyser.ResetAnalysis();
      }
    });
  }
  int reads = 0;
  std::thread reader([&] {
    std::vector<double> wave(A::kWaveHistorySize), spectrum(A::kFftSize);
    while (producing) {
      const float peak = analyser.ReadDisplay(wave, spectrum);
      // One consistent moment: the newest block holds the loudest sample of the history.
      EXPECT_EQ(peak, static_cast<float>(wave[0]));
      CheckColumns(wave);
      for (double p : spectrum) ASSERT_TRUE(std::isfinite(p) && p >= 0.0);
      const float alone = analyser.GetInputPeak();
      EXPECT_TRUE(alone >= 0.0f && alone <= kBlocks / 256.0f);
      ++reads;
      std::this_thread::sleep_for(40ms);
    }
  });
  producer.join();
  reader.join();
  if (resetter.joinable()) resetter.join();
  EXPECT_GT(reads, 0);
  // The last block comes after the resets have stopped.
  const auto last = NumberedBlock(kBlocks);
  analyser.PushAudioBlock(last.data(), last.size());

  // Let the thread take the last block; the bound only guards against a hang.
  for (int i = 0; i < 1000 && analyser.HasNewBlock(); ++i) std::this_thread::sleep_for(10ms);
  ASSERT_FALSE(analyser.HasNewBlock());
  // Joining waits for the tick that took it.
  thread->Stop();
  EXPECT_EQ(thread->Id(), 0u);
  const uint64_t processed = thread->ProcessedBlocks();
  std::vector<double> wave(A::kWaveHistorySize), spectrum(A::kFftSize);
  analyser.ReadDisplay(wave, spectrum);
  EXPECT_EQ(wave[0], kBlocks / 256.0) << "the last block was not processed";
  const size_t columns = CheckColumns(wave);
  if (!resetsToo) {
    // Every pushed block left exactly one column: none lost, none twice.
    EXPECT_EQ(columns, static_cast<size_t>(kBlocks));
    // A tick may take several blocks.
    EXPECT_LE(processed, columns);
  }
  EXPECT_GE(processed, 1u);
  EXPECT_LE(processed, static_cast<uint64_t>(kBlocks) + (resetsToo ? kBlocks : 0));
}

TEST(AnalysisThread, ProcessesEachPushedBlockAtMostOnceWhileTheRenderSideReads) { RunProducerAndReader(false); }

TEST(AnalysisThread, ResetsFromAnotherThreadAreSafe) { RunProducerAndReader(true); }

// Times the thread named "kx-analysis" has gone to sleep and been woken so
// far (its voluntary context switches), or -1 while there is no such thread.
long AnalysisThreadWakeUps() {
  long result = -1;
  DIR* dir = opendir("/proc/self/task");
  if (!dir) return result;
  while (dirent* e = readdir(dir)) {
    if (e->d_name[0] == '.') continue;
    const std::string task = std::string("/proc/self/task/") + e->d_name;
    std::ifstream comm(task + "/comm");
    std::string name;
    std::getline(comm, name);
    if (name != "kx-analysis") continue;
    std::ifstream status(task + "/status");
    for (std::string line; std::getline(status, line);)
      if (line.rfind("voluntary_ctxt_switches:", 0) == 0) result = std::stol(line.substr(24));
  }
  closedir(dir);
  return result;
}

// Wake-ups of the analysis thread while nothing is pushed for `quiet`.
long WakeUpsWhileIdle(std::chrono::milliseconds quiet) {
  const long before = AnalysisThreadWakeUps();
  std::this_thread::sleep_for(quiet);
  return AnalysisThreadWakeUps() - before;
}

TEST(AnalysisThread, SleepsWhileNothingIsPendingAndWakesForABlockOrAReset) {
  CSettingsBlock settings;
  A analyser;
  auto thread = std::make_unique<CAnalysisThread>(analyser, settings);
  for (int i = 0; i < 1000 && AnalysisThreadWakeUps() < 0; ++i) std::this_thread::sleep_for(1ms);
  ASSERT_GE(AnalysisThreadWakeUps(), 0) << "the analysis thread is not named kx-analysis";
  // Ticking every 10 ms (or polling every 1 ms) would wake it ~30 (~300)
  // times in 300 ms; a sleeping thread wakes only when asked. Slowness can
  // only lower the count.
  std::this_thread::sleep_for(50ms);  // the first tick finds nothing and stops the timer
  EXPECT_LE(WakeUpsWhileIdle(300ms), 2);

  for (int round = 1; round <= 2; ++round) {
    const auto block = NumberedBlock(round);
    analyser.PushAudioBlock(block.data(), block.size());
    for (int i = 0; i < 1000 && thread->ProcessedBlocks() < static_cast<uint64_t>(round); ++i)
      std::this_thread::sleep_for(1ms);
    ASSERT_EQ(thread->ProcessedBlocks(), static_cast<uint64_t>(round)) << "a block pushed to a sleeping thread";
    EXPECT_EQ(analyser.GetInputPeak(), round / 256.0f);
    std::this_thread::sleep_for(50ms);
    EXPECT_LE(WakeUpsWhileIdle(300ms), 2) << "round " << round;
  }

  // A reset wakes it too: the displays fall to zero on the next tick.
  analyser.ResetAnalysis();
  for (int i = 0; i < 1000 && thread->ProcessedBlocks() < 3; ++i) std::this_thread::sleep_for(1ms);
  EXPECT_FALSE(analyser.HasNewBlock());
  EXPECT_EQ(thread->ProcessedBlocks(), 3u);
  EXPECT_EQ(analyser.GetInputPeak(), 0.0f);

  // A quit message ends a sleeping thread, and a later push calls nothing that is gone.
  std::this_thread::sleep_for(50ms);
  thread->Stop();
  EXPECT_EQ(AnalysisThreadWakeUps(), -1);
  const auto block = NumberedBlock(9);
  analyser.PushAudioBlock(block.data(), block.size());
  EXPECT_TRUE(analyser.HasNewBlock());
}

}  // namespace
}  // namespace kx
