// Audio output figures on a private PulseAudio daemon (one float32 48 kHz
// stereo null sink, kept at a 10 ms block like a hardware sink):
//  1. CPU time of the render thread per second of 48 kHz stereo playback,
//     against the whole paplay process playing the same tone;
//  2. latency from CAVFifo::Write (through ConvertAndWrite) to the sink's
//     monitor, measured with a click, against paplay playing the same click
//     (from its start, so its figure includes starting and connecting);
//     several rounds, each on a freshly opened device, alternating with
//     paplay's rounds; medians of every click and of the round medians.
//
//   audio_bench [--rounds N]     figures 1 and 2 (5 rounds of 10 clicks)
//   audio_bench --soak SECONDS   a live 437 Hz tone for that long; counts the
//                                stream's underflow reports and the gaps in
//                                what the sink's monitor recorded
#include <pulse/simple.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <spawn.h>
#include <thread>

#include "bench_figures.h"
#include "audio/audio_output.h"
#include "pulse_support.h"

using namespace std::chrono;
using namespace kx;

namespace {

constexpr int kRate = 48000;

// CPU nanoseconds of this process's thread named `name` (from schedstat).
uint64_t ThreadCpuNs(const std::string& name) {
  DIR* d = opendir("/proc/self/task");
  uint64_t ns = 0;
  while (dirent* e = d ? readdir(d) : nullptr) {
    if (e->d_name[0] == '.') continue;
    const std::string base = std::string("/proc/self/task/") + e->d_name;
    std::ifstream comm(base + "/comm");
    std::string c;
    std::getline(comm, c);
    if (c != name) continue;
    std::ifstream sched(base + "/schedstat");
    sched >> ns;
  }
  if (d) closedir(d);
  return ns;
}

void WriteWav(const std::string& path, const std::vector<float>& stereo) {
  std::ofstream f(path, std::ios::binary);
  auto u32 = [&](uint32_t v) { f.write(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [&](uint16_t v) { f.write(reinterpret_cast<const char*>(&v), 2); };
  const uint32_t bytes = static_cast<uint32_t>(stereo.size() * 4);
  f.write("RIFF", 4); u32(36 + bytes); f.write("WAVEfmt ", 8); u32(16);
  u16(3); u16(2); u32(kRate); u32(kRate * 8); u16(8); u16(32);
  f.write("data", 4); u32(bytes);
  f.write(reinterpret_cast<const char*>(stereo.data()), bytes);
}

// Runs paplay on the file; returns its CPU seconds (user + system).
double RunPaplay(const std::string& server, const std::string& file, pid_t* started = nullptr) {
  const std::string env = "PULSE_SERVER=" + server;
  std::vector<std::string> args = {"paplay", "-d", "kx_bench", file};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> envs;
  for (char** e = environ; *e; ++e) envs.emplace_back(*e);
  envs.push_back(env);
  std::vector<char*> envp;
  for (auto& e : envs) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t pid;
  if (posix_spawnp(&pid, "paplay", nullptr, nullptr, argv.data(), envp.data()) != 0) return -1;
  if (started) *started = pid;
  int status;
  rusage ru{};
  wait4(pid, &status, 0, &ru);
  return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// Reads the monitor in 2.5 ms pieces and notes when the first click arrives.
class ClickWatch {
 public:
  explicit ClickWatch(const std::string& server) {
    pa_sample_spec sampleSpec{PA_SAMPLE_S16LE, kRate, 1};
    pa_buffer_attr attr{static_cast<uint32_t>(-1), static_cast<uint32_t>(-1), static_cast<uint32_t>(-1),
                        static_cast<uint32_t>(-1), 240};
    int error = 0;
    m_pa = pa_simple_new(server.c_str(), "kx bench watch", PA_STREAM_RECORD, "kx_bench.monitor", "watch", &sampleSpec,
                         nullptr, &attr, &error);
    m_thread = std::thread([this] { Run(); });
  }
  ~ClickWatch() {
    m_run = false;
    m_thread.join();
    if (m_pa) pa_simple_free(m_pa);
  }
  // Starts looking for a click; Wait returns when it arrived.
  void Arm() {
    m_seen = steady_clock::time_point{};
    m_armed = true;
  }
  steady_clock::time_point Wait() {
    kx::test::WaitFor([&] { return !m_armed.load(); }, seconds(10));
    return m_seen;
  }

 private:
  void Run() {
    int16_t buf[120];
    while (m_run && m_pa) {
      int error;
      if (pa_simple_read(m_pa, buf, sizeof buf, &error) < 0) return;
      const auto now = steady_clock::now();
      if (!m_armed) continue;
      for (int i = 0; i < 120; ++i) {
        if (std::abs(buf[i]) > 16000) {
          // The sample arrived (120 - i) frames before the end of this piece.
          m_seen = now - microseconds((120 - i) * 1000000LL / kRate);
          m_armed = false;
          break;
        }
      }
    }
  }
  pa_simple* m_pa = nullptr;
  std::atomic<bool> m_run{true}, m_armed{false};
  steady_clock::time_point m_seen;
  std::thread m_thread;
};

std::vector<float> Click() {
  std::vector<float> v(480 * 2, 0.0f);
  for (int i = 0; i < 48; ++i) v[2 * i] = v[2 * i + 1] = 0.9f;  // 1 ms
  return v;
}

using kx::bench::LoadAverage;
using kx::bench::Median;

bool Open(CAudioOutput& out) {
  out.EnumDevices();
  return !out.Devices().empty() && out.SetAudioDevice(out.Devices()[0].device) == 0;
}

// A live source: one 10 ms chunk every 10 ms on one schedule (a late chunk
// is made up at once, as a network stream would deliver it).
class LiveSchedule {
 public:
  LiveSchedule() : m_next(steady_clock::now()) {}
  void Tick() {
    m_next += milliseconds(10);
    std::this_thread::sleep_until(m_next);
  }

 private:
  steady_clock::time_point m_next;
};

// Stretches of at least `minimum` samples quieter than 1/8 of `level`
// between the first and the last loud sample: silence where a tone of that
// level should sound.
int CountGaps(const std::vector<int16_t>& x, int level, int minimum, size_t* loudSamples) {
  const int quiet = level / 8;
  size_t first = x.size(), last = 0;
  for (size_t i = 0; i < x.size(); ++i)
    if (std::abs(static_cast<int>(x[i])) > level / 2) {
      first = std::min(first, i);
      last = i;
    }
  *loudSamples = first < last ? last - first : 0;
  int gaps = 0, run = 0;
  for (size_t i = first; i < last; ++i) {
    if (std::abs(static_cast<int>(x[i])) < quiet) {
      if (++run == minimum) ++gaps;
    } else {
      run = 0;
    }
  }
  return gaps;
}

int Soak(test::PrivatePulse& pulse, test::MonitorRecording& keeper, double seconds) {
  CSettingsBlock settings;
  CAudioOutput out(settings);
  if (!Open(out)) return 1;
  std::printf("soak: %.0f s of a live 437 Hz tone; load average at start %s\n", seconds, LoadAverage().c_str());
  std::fflush(stdout);
  constexpr double kAmplitude = 0.5;
  std::vector<float> chunk(960);
  LiveSchedule schedule;
  const auto begin = steady_clock::now();
  int maxQueued = 0;
  uint32_t reported = 0;
  const int64_t chunks = static_cast<int64_t>(seconds * 100);
  for (int64_t c = 0; c < chunks; ++c) {
    for (int i = 0; i < 480; ++i) {
      const int64_t n = c * 480 + i;
      const float v = static_cast<float>(kAmplitude * std::sin(2 * M_PI * 437.0 * static_cast<double>(n % 48000) / 48000.0));
      chunk[2 * i] = chunk[2 * i + 1] = v;
    }
    maxQueued = std::max(maxQueued, out.QueuedFrames());
    out.ConvertAndWrite(chunk.data(), 480, {});
    schedule.Tick();
    if ((c + 1) % 6000 == 0) {
      const uint32_t now = out.UnderrunCount();
      std::printf("  %4.0f s: underruns %u (+%u), most frames queued %d, load %s\n",
                  duration<double>(steady_clock::now() - begin).count(), now, now - reported, maxQueued,
                  LoadAverage().c_str());
      std::fflush(stdout);
      reported = now;
    }
  }
  test::WaitFor([&] { return out.QueuedFrames() == 0; });
  std::this_thread::sleep_for(milliseconds(300));
  const uint32_t underruns = out.UnderrunCount();
  out.CloseDevice();
  std::this_thread::sleep_for(milliseconds(300));
  // The feed stops at the end: one underflow is the end of the tone itself.
  const std::vector<int16_t> recorded = keeper.Stop();
  size_t loud = 0;
  const int gaps = CountGaps(recorded, static_cast<int>(32767 * kAmplitude), keeper.Rate() / 500, &loud);
  std::printf("soak result: %u underflow reports (the last is the feed's end), %d gaps of 2 ms or more in %.1f s "
              "recorded from the monitor, most frames queued %d; load average at end %s\n",
              underruns, gaps, static_cast<double>(loud) / keeper.Rate(), maxQueued, LoadAverage().c_str());
  (void)pulse;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 5;
  double soak = 0;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--rounds") && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else if (!std::strcmp(argv[i], "--soak") && i + 1 < argc) {
      soak = std::atof(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: audio_bench [--rounds N] [--soak SECONDS]\n");
      return 2;
    }
  }
  test::PrivatePulse pulse;
  if (!pulse.Start({{"kx_bench", "kxBench", "float32le", kRate, 2}}, "kx_bench")) {
    std::fprintf(stderr, "pulseaudio cannot run here\n");
    return 1;
  }
  pulse.UseInThisProcess();
  test::MonitorRecording keeper(pulse.Server(), "kx_bench.monitor", 8000);  // keeps the sink at a short block
  std::this_thread::sleep_for(milliseconds(2200));
  if (soak > 0) return Soak(pulse, keeper, soak);
  const bool verbose = getenv("KX_BENCH_VERBOSE") != nullptr;
  std::printf("load average at start: %s\n", LoadAverage().c_str());

  // 1. CPU of the render thread while a live source feeds 10 ms chunks.
  {
    CSettingsBlock settings;
    CAudioOutput out(settings);
    if (!Open(out)) return 1;
    constexpr double kSeconds = 10;
    const std::vector<float> tone = test::StereoTone(1000, 0.5, kSeconds);
    const uint64_t cpu0 = ThreadCpuNs("kx-audio-render");
    LiveSchedule schedule;
    for (size_t at = 0; at + 960 <= tone.size(); at += 960) {
      out.ConvertAndWrite(tone.data() + at, 480, {});
      schedule.Tick();
    }
    test::WaitFor([&] { return out.QueuedFrames() == 0; });
    const double renderCpu = (ThreadCpuNs("kx-audio-render") - cpu0) / 1e9;
    WriteWav("/tmp/kx_bench_tone.wav", tone);
    const double paplayCpu = RunPaplay(pulse.Server(), "/tmp/kx_bench_tone.wav");
    std::printf("render thread CPU: %.4f s per %.0f s = %.3f%% of one core (paplay process: %.4f s = %.3f%%)\n",
                renderCpu, kSeconds, 100 * renderCpu / kSeconds, paplayCpu, 100 * paplayCpu / kSeconds);
  }

  // 2. Latency: silence flows in 10 ms chunks; every 40th chunk carries a
  // click. Each round opens the device afresh, so an underrun in one round
  // cannot carry its added delay into the next.
  ClickWatch watch(pulse.Server());
  const std::vector<float> silence(960, 0.0f), click = Click();
  // paplay's file: 100 ms of silence, the click, silence; the 100 ms are taken off.
  std::vector<float> clickFile(kRate / 10 * 2, 0.0f);
  clickFile.insert(clickFile.end(), click.begin(), click.end());
  clickFile.resize(kRate * 2, 0.0f);
  WriteWav("/tmp/kx_bench_click.wav", clickFile);
  constexpr int kClicks = 10, kPaplayClicks = 5;
  std::vector<double> ours, theirs, oursRounds, theirsRounds;
  uint32_t underruns = 0;
  for (int round = 0; round < rounds; ++round) {
    std::vector<double> o, t;
    uint32_t roundUnderruns = 0;
    int reported = -1;
    {
      CSettingsBlock settings;
      CAudioOutput out(settings);
      if (!Open(out)) return 1;
      LiveSchedule schedule;
      for (int i = 0; i < 20; ++i) {  // the stream settles
        out.ConvertAndWrite(silence.data(), 480, {});
        schedule.Tick();
      }
      for (int k = 0; k < kClicks; ++k) {
        int queuedAtClick = 0;
        steady_clock::time_point written;
        for (int i = 0; i < 40; ++i) {
          if (i == 10) {
            watch.Arm();
            queuedAtClick = out.QueuedFrames();
            roundUnderruns = out.UnderrunCount();  // while the feed still flows
            written = steady_clock::now();
            out.ConvertAndWrite(click.data(), 480, {});
          } else {
            out.ConvertAndWrite(silence.data(), 480, {});
          }
          schedule.Tick();
        }
        const auto seen = watch.Wait();
        if (seen != steady_clock::time_point{}) o.push_back(duration<double, std::milli>(seen - written).count());
        reported = out.OutputLatencyMs();
        if (verbose)
          std::printf("  round %d click %d: %.1f ms, %d frames queued before it\n", round, k,
                      seen != steady_clock::time_point{} ? o.back() : -1.0, queuedAtClick);
      }
    }
    for (int k = 0; k < kPaplayClicks; ++k) {
      watch.Arm();
      const auto started = steady_clock::now();
      RunPaplay(pulse.Server(), "/tmp/kx_bench_click.wav");
      const auto seen = watch.Wait();
      if (seen != steady_clock::time_point{}) t.push_back(duration<double, std::milli>(seen - started).count() - 100.0);
    }
    std::printf("round %d: Write -> monitor median %.1f ms (%zu clicks, %u underruns; the output's own figure %d ms); "
                "paplay median %.1f ms (%zu)\n",
                round, Median(o), o.size(), roundUnderruns, reported, Median(t), t.size());
    std::fflush(stdout);
    ours.insert(ours.end(), o.begin(), o.end());
    theirs.insert(theirs.end(), t.begin(), t.end());
    oursRounds.push_back(Median(o));
    theirsRounds.push_back(Median(t));
    underruns += roundUnderruns;
  }
  std::printf("latency Write -> monitor: median %.1f ms over %zu clicks, median of round medians %.1f ms; "
              "%u underruns while clicking\n",
              Median(ours), ours.size(), Median(oursRounds), underruns);
  std::printf("paplay (from its start, less the file's 100 ms lead): median %.1f ms over %zu, of round medians %.1f ms; "
              "ratio ours/paplay %.2f\n",
              Median(theirs), theirs.size(), Median(theirsRounds), Median(ours) / Median(theirs));
  std::printf("load average at end: %s\n", LoadAverage().c_str());
  std::remove("/tmp/kx_bench_tone.wav");
  std::remove("/tmp/kx_bench_click.wav");
  return 0;
}
