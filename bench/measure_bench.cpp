// measure_bench [rounds] [seconds]: CPU per second of 48 kHz stereo audio of
// the sound measurements, fed in decoder-sized chunks with the figures taken
// ten times a second as the window and probe take them, against
// `ffmpeg -af ebur128=peak=true -f null -` on the same samples (and ffmpeg
// reading the file without the filter, to show the filter's own part).
// Rounds alternate ours and the references; medians are printed.
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "bench_figures.h"
#include "ffmpeg_loudness.h"
#include "monitor/loudness_meter.h"
#include "monitor/sound_meter.h"

namespace {

constexpr int kRate = 48000;

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Speech-like material: noise shaped by a slow envelope with a 437 Hz tone
// and 50 Hz hum under it, the two channels slightly different.
std::vector<float> Material(double seconds) {
  std::mt19937 g(11);
  std::normal_distribution<double> noise(0, 0.05);
  const size_t frames = static_cast<size_t>(seconds * kRate);
  std::vector<float> out(2 * frames);
  double lowL = 0, lowR = 0;
  for (size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double envelope = 0.5 + 0.5 * std::sin(2 * std::numbers::pi * 0.7 * t);
    lowL += 0.2 * (noise(g) - lowL);
    lowR += 0.2 * (noise(g) - lowR);
    const double common = 0.1 * std::sin(2 * std::numbers::pi * 437.3 * t) + 0.003 * std::sin(2 * std::numbers::pi * 50 * t);
    out[2 * i] = static_cast<float>(envelope * (lowL + common));
    out[2 * i + 1] = static_cast<float>(envelope * (lowR + common));
  }
  return out;
}

template <class Meter, class Read>
double OurCpu(const std::vector<float>& samples, Meter& meter, Read read) {
  constexpr size_t kChunk = 1024;  // an AAC frame
  const size_t frames = samples.size() / 2;
  const double start = ThreadCpuSeconds();
  size_t nextRead = kRate / 10;
  for (size_t i = 0; i < frames; i += kChunk) {
    const size_t n = std::min(kChunk, frames - i);
    meter.Add(samples.data() + 2 * i, n);
    if (i + n >= nextRead) {
      read(meter);
      nextRead += kRate / 10;
    }
  }
  read(meter);
  return ThreadCpuSeconds() - start;
}

// CPU seconds (user + system) of one ffmpeg run; NaN when it fails.
double FfmpegCpu(const std::string& wav, bool filter) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (filter)
      execlp("ffmpeg", "ffmpeg", "-nostdin", "-v", "error", "-i", wav.c_str(), "-af", "ebur128=peak=true", "-f", "null",
             "-", static_cast<char*>(nullptr));
    else
      execlp("ffmpeg", "ffmpeg", "-nostdin", "-v", "error", "-i", wav.c_str(), "-f", "null", "-",
             static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return NAN;
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
  const double seconds = argc > 2 ? std::atof(argv[2]) : 60;
  const std::vector<float> samples = Material(seconds);
  const std::string wav = "/tmp/kx_measure_bench_" + std::to_string(getpid()) + ".wav";
  if (!kx::test::WriteStereoFloatWav(wav, samples, kRate)) {
    std::fprintf(stderr, "cannot write %s\n", wav.c_str());
    return 1;
  }
  std::vector<double> whole, loudness, reference, decodeOnly;
  for (int r = 0; r < rounds; ++r) {
    kx::measure::CSoundMeter meter;
    whole.push_back(OurCpu(samples, meter, [](const kx::measure::CSoundMeter& m) { (void)m.Figures(); }));
    kx::measure::CLoudnessMeter alone(kRate);
    loudness.push_back(OurCpu(samples, alone, [](const kx::measure::CLoudnessMeter& m) {
      (void)m.Momentary();
      (void)m.ShortTerm();
      (void)m.Integrated();
      (void)m.Range();
    }));
    reference.push_back(FfmpegCpu(wav, true));
    decodeOnly.push_back(FfmpegCpu(wav, false));
  }
  std::remove(wav.c_str());
  using kx::bench::Median;
  auto perSecond = [&](const std::vector<double>& v) { return Median(v) / seconds * 1000; };
  std::printf("measure_bench: %d rounds of %.0f s of 48 kHz stereo, load average %s\n", rounds, seconds,
              kx::bench::LoadAverage().c_str());
  std::printf("  CPU per second of audio (median)         ms/s   %% of one core\n");
  std::printf("  ours, every measurement + verdict 10/s  %6.2f   %5.2f\n", perSecond(whole), perSecond(whole) / 10);
  std::printf("  ours, loudness and true peak alone      %6.2f   %5.2f\n", perSecond(loudness), perSecond(loudness) / 10);
  std::printf("  ffmpeg -af ebur128=peak=true (process)  %6.2f   %5.2f\n", perSecond(reference), perSecond(reference) / 10);
  std::printf("  ffmpeg reading the file alone           %6.2f   %5.2f\n", perSecond(decodeOnly), perSecond(decodeOnly) / 10);
  std::printf("  ratio ours / ffmpeg with the filter     %6.2f\n", Median(whole) / Median(reference));
  return 0;
}
