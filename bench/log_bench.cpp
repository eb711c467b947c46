// Latency of one log call from 1 and 4 producer threads: CKxLog against
// spdlog's asynchronous logger writing to a file, both measured in this run.
//   log_bench [rounds]
#include <spdlog/async.h>
#include <spdlog/async_logger.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <latch>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "kxSystem.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPerThreadPerRound = 2500;

struct Figures {
  double p50, p99, p999;
};

void Print(const char* name, int threads, const Figures& f) {
  std::printf("%-34s threads=%d  p50=%7.0f ns  p99=%7.0f ns  p99.9=%7.0f ns\n", name, threads, f.p50, f.p99, f.p999);
}

// Runs one round of `call(thread, i)` from `threads` producers at once,
// appending the single-call latencies (ns) to `out`.
void Round(int threads, const std::function<void(int, int)>& call, std::vector<int64_t>& out) {
  std::vector<std::vector<int64_t>> samples(threads);
  std::latch start(threads);
  std::vector<std::thread> producers;
  for (int t = 0; t < threads; ++t) {
    samples[t].reserve(kPerThreadPerRound);
    producers.emplace_back([&, t] {
      start.arrive_and_wait();
      for (int i = 0; i < kPerThreadPerRound; ++i) {
        const auto a = Clock::now();
        call(t, i);
        const auto b = Clock::now();
        samples[t].push_back(std::chrono::duration_cast<std::chrono::nanoseconds>(b - a).count());
      }
    });
  }
  for (auto& p : producers) p.join();
  for (auto& s : samples) out.insert(out.end(), s.begin(), s.end());
}

Figures Percentiles(std::vector<int64_t>& all) {
  std::sort(all.begin(), all.end());
  auto at = [&all](double q) { return static_cast<double>(all[static_cast<size_t>(q * (all.size() - 1))]); };
  return {at(0.50), at(0.99), at(0.999)};
}

// The two loggers take turns round by round, so that the machine's noise
// falls on both alike; the pause lets both writers drain.
void Compare(const char* nameA, const std::function<void(int, int)>& a, const char* nameB,
             const std::function<void(int, int)>& b, int threads, int rounds) {
  std::vector<int64_t> sa, sb;
  // Uncounted warm-up: spdlog's ring is touched when it is built; CKxLog's
  // chunks are touched by a first burst and recycled at the writer's next tick.
  for (int r = 0; r < 4; ++r) {  // about what the writer takes in one tick below
    Round(threads, a, sa);
    Round(threads, b, sb);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  sa.clear();
  sb.clear();
  for (int r = 0; r < rounds; ++r) {
    Round(threads, a, sa);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    Round(threads, b, sb);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
  }
  Print(nameA, threads, Percentiles(sa));
  Print(nameB, threads, Percentiles(sb));
}


}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 8;
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("kx_log_bench_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);

  // The same text for both: a typical line of the program.
  const std::u16string text16 = u"Audio stream: aac, 48000 Hz, stereo, fltp, 128 kb/s";
  const std::string text8 = ConvertUnicodeToUTF8(text16);

  CKxLog kx;
  kx.CreateLogFile(ConvertUTF8ToUnicode(dir.string()), u"Bench");
  // A queue large enough that spdlog never blocks in a round: its best case.
  spdlog::init_thread_pool(65536, 1);
  auto sink = std::make_shared<spdlog::sinks::basic_file_sink_mt>((dir / "spdlog.log").string(), true);
  auto spd = std::make_shared<spdlog::async_logger>("bench", sink, spdlog::thread_pool(),
                                                    spdlog::async_overflow_policy::block);

  std::printf("%d rounds of %d calls per thread\n", rounds, kPerThreadPerRound);
  for (int threads : {1, 4}) {
    Compare(
        "CKxLog::Log(string)", [&](int, int) { kx.Log(kxLogEventInfo, kxLocalFileTimeNow(), text16); },
        "spdlog async info(string)", [&](int, int) { spd->info(text8); }, threads, rounds);
    Compare(
        "CKxLog::Log(format, ...)",
        [&](int t, int i) { kx.Log(kxLogEventInfo, kxLocalFileTimeNow(), u"thread %d frame %d decoded", t, i); },
        "spdlog async info(format, ...)", [&](int t, int i) { spd->info("thread {} frame {} decoded", t, i); },
        threads, rounds);
  }
  kx.Close();
  spd->flush();
  spd.reset();
  spdlog::shutdown();
  std::filesystem::remove_all(dir);
  return 0;
}
