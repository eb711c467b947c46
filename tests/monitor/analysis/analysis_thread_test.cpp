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
    EXPECT_EQ(v * 256.0, std::floor(v * 256.0));
    newer = v;
    ++count;
  }
  return count;
}

// A producer at the decode thread's pace, a reader at the render thread's,
// and (in the second round) resets from a third thread.
TEST(AnalysisThread, ProcessesEachPushedBlockOnceWhileOthersReadAndReset) {
  for (const bool resets : {false, true}) {
    SCOPED_TRACE(resets ? "with resets" : "without resets");
    CSettingsBlock settings;
    A analyser;
    CAnalysisThread thread(analyser, settings);
    std::atomic<bool> producing{true};
    std::thread producer([&] {
      for (int k = 1; k < kBlocks; ++k) {
        // Never more than the queue holds, so no block is dropped however late
        // the ticks are (the bound only guards against a hang).
        for (int i = 0; i < 10000 && analyser.PendingBlocks() >= A::kPendingBlocks; ++i) std::this_thread::sleep_for(1ms);
        analyser.PushAudioBlock(NumberedBlock(k).data(), A::kBlockSize);
        std::this_thread::sleep_for(10ms);
      }
      producing = false;
    });
    std::thread resetter([&] {
      while (resets && producing) {
        std::this_thread::sleep_for(70ms);
        analyser.ResetAnalysis();
      }
    });
    int reads = 0;
    std::thread reader([&] {
      std::vector<double> wave(A::kWaveHistorySize), spectrum(A::kFftSize);
      while (producing) {
        // One consistent moment: the newest block holds the loudest sample of the history.
        const float peak = analyser.ReadDisplay(wave, spectrum);
        EXPECT_EQ(peak, static_cast<float>(wave[0]));
        CheckColumns(wave);
        for (double p : spectrum) ASSERT_TRUE(std::isfinite(p) && p >= 0.0);
        ++reads;
        std::this_thread::sleep_for(40ms);
      }
    });
    producer.join();
    reader.join();
    resetter.join();
    EXPECT_GT(reads, 0);
    // The last block comes after the resets have stopped; joining waits for the tick that took it.
    analyser.PushAudioBlock(NumberedBlock(kBlocks).data(), A::kBlockSize);
    for (int i = 0; i < 1000 && analyser.HasNewBlock(); ++i) std::this_thread::sleep_for(10ms);
    thread.Stop();
    EXPECT_EQ(thread.Id(), 0u);
    std::vector<double> wave(A::kWaveHistorySize), spectrum(A::kFftSize);
    analyser.ReadDisplay(wave, spectrum);
    EXPECT_EQ(wave[0], kBlocks / 256.0) << "the last block was not processed";
    const size_t columns = CheckColumns(wave);
    if (!resets) {
      EXPECT_EQ(columns, static_cast<size_t>(kBlocks)) << "blocks lost";
      EXPECT_LE(thread.ProcessedBlocks(), columns);  // a tick may take several blocks
    }
  }
}

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

// Wake-ups of the analysis thread while nothing is pushed for 300 ms, after
// 50 ms for the tick that finds nothing and stops the timer. Ticking every
// 10 ms (or polling every 1 ms) would wake it ~30 (~300) times; slowness can
// only lower the count.
long WakeUpsWhileIdle() {
  std::this_thread::sleep_for(50ms);
  const long before = AnalysisThreadWakeUps();
  std::this_thread::sleep_for(300ms);
  return AnalysisThreadWakeUps() - before;
}

TEST(AnalysisThread, SleepsWhileNothingIsPendingAndWakesForABlockOrAReset) {
  CSettingsBlock settings;
  A analyser;
  CAnalysisThread thread(analyser, settings);
  for (int i = 0; i < 1000 && AnalysisThreadWakeUps() < 0; ++i) std::this_thread::sleep_for(1ms);
  ASSERT_GE(AnalysisThreadWakeUps(), 0) << "the analysis thread is not named kx-analysis";
  EXPECT_LE(WakeUpsWhileIdle(), 2);
  for (int round = 1; round <= 3; ++round) {
    // Two blocks, then a reset: each wakes it, and the displays follow on the next tick.
    if (round < 3)
      analyser.PushAudioBlock(NumberedBlock(round).data(), A::kBlockSize);
    else
      analyser.ResetAnalysis();
    for (int i = 0; i < 1000 && thread.ProcessedBlocks() < static_cast<uint64_t>(round); ++i)
      std::this_thread::sleep_for(1ms);
    ASSERT_EQ(thread.ProcessedBlocks(), static_cast<uint64_t>(round)) << "a sleeping thread missed round " << round;
    EXPECT_EQ(analyser.GetInputPeak(), round < 3 ? round / 256.0f : 0.0f);
    EXPECT_LE(WakeUpsWhileIdle(), 2) << "round " << round;
  }
  // A quit message ends a sleeping thread, and a later push calls nothing that is gone.
  thread.Stop();
  EXPECT_EQ(AnalysisThreadWakeUps(), -1);
  analyser.PushAudioBlock(NumberedBlock(9).data(), A::kBlockSize);
  EXPECT_TRUE(analyser.HasNewBlock());
}

}  // namespace
}  // namespace kx
