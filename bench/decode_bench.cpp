// decode_bench: CPU seconds for 10 s of a 1920x1080 25 fps H.264 + AAC
// stream, through the preview session (decode, BGRA conversion, audio
// conversion into the output device, analysis) and through
// `ffmpeg -i URL -pix_fmt bgra -f null -` on the same camera, in the same
// run. Each side's own process CPU is measured (getrusage), not the camera's.
// A third run per round, the session without a sound device, shows what
// playing the sound costs (the reference plays none). The CPU of each thread
// of the session is printed too. Also reports the time from DoPreviewStart
// to the first picture record.
// Run under tests/peers/with-peers so that PulseAudio is there.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <dirent.h>
#include <fstream>
#include <map>
#include <sstream>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

#include "bench_figures.h"
#include "audio/audio_output.h"
#include "media/preview_session.h"
#include "media/session_adapters.h"
#include "monitor/analyser.h"
#include "monitor/analysis_thread.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kStreamSeconds = 10.0;

double CpuSeconds(const rusage& r) {
  return r.ru_utime.tv_sec + r.ru_utime.tv_usec / 1e6 + r.ru_stime.tv_sec + r.ru_stime.tv_usec / 1e6;
}

double SelfCpu() {
  rusage r{};
  getrusage(RUSAGE_SELF, &r);
  return CpuSeconds(r);
}

struct Camera {
  pid_t pid = -1;
  int port = 0;
  Camera() {
    int out[2];
    if (pipe(out) != 0) return;
    const std::string launch =
        "/cam=videotestsrc is-live=true pattern=smpte horizontal-speed=3 ! "
        "video/x-raw,width=1920,height=1080,framerate=25/1 ! videoconvert ! "
        "x264enc tune=zerolatency speed-preset=ultrafast key-int-max=25 ! video/x-h264,profile=baseline ! "
        "rtph264pay name=pay0 pt=96 config-interval=1 "
        "audiotestsrc is-live=true wave=sine freq=1000 volume=0.5 ! audio/x-raw,rate=48000,channels=2 ! "
        "audioconvert ! avenc_aac ! rtpmp4gpay name=pay1 pt=97";
    pid = fork();
    if (pid == 0) {
      dup2(out[1], 1);
      close(out[0]);
      close(out[1]);
      execl("/usr/bin/python3", "python3", KX_RTSP_CAMERA_SCRIPT, "--demo", "--mount", launch.c_str(), (char*)nullptr);
      _exit(127);
    }
    close(out[1]);
    char buf[256] = {};
    pollfd p{out[0], POLLIN, 0};
    if (poll(&p, 1, 60000) > 0 && read(out[0], buf, sizeof buf - 1) > 0 && std::string(buf).rfind("PORT ", 0) == 0)
      port = std::atoi(buf + 5);
    close(out[0]);
  }
  ~Camera() {
    if (pid > 0) {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
    }
  }
  std::string Url(const std::string& mount = "/cam") const {
    return "rtsp://127.0.0.1:" + std::to_string(port) + mount;
  }
};

class NullHost : public kx::IPreviewHost {
 public:
  void CameraInfo(kx::CameraInfoLine, const std::u16string&) override {}
  void MessageBox(kx::MessageIcon, const std::u16string& text) override {
    std::fprintf(stderr, "message: %s\n", ConvertUnicodeToUTF8(text).c_str());
  }
  kx::VideoSize WindowSize() override { return {1920, 1080}; }
  void ResizeTargets(int32_t, int32_t) override {}
};

// CPU seconds of each thread of this process, by thread id, with its name.
struct ThreadTimes {
  std::map<std::string, std::pair<std::string, double>> byTid;
};

ThreadTimes SnapshotThreads() {
  ThreadTimes t;
  const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
  DIR* dir = opendir("/proc/self/task");
  if (!dir) return t;
  while (dirent* e = readdir(dir)) {
    if (e->d_name[0] == '.') continue;
    std::ifstream f(std::string("/proc/self/task/") + e->d_name + "/stat");
    std::string line;
    std::getline(f, line);
    const size_t open = line.find('('), close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    const std::string name = line.substr(open + 1, close - open - 1);
    std::istringstream rest(line.substr(close + 2));
    std::string field;
    double ut = 0, st = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
      if (i == 14) ut = std::atof(field.c_str());
      if (i == 15) st = std::atof(field.c_str());
    }
    t.byTid[e->d_name] = {name, (ut + st) / tick};
  }
  closedir(dir);
  return t;
}

// CPU spent between two snapshots, summed by thread name (threads that ended
// in between are not seen; the bench's main thread is "decode_bench").
std::map<std::string, double> ThreadCpuBetween(const ThreadTimes& before, const ThreadTimes& after) {
  std::map<std::string, double> byName;
  for (const auto& [tid, entry] : after.byTid) {
    const auto it = before.byTid.find(tid);
    byName[entry.first] += entry.second - (it == before.byTid.end() ? 0.0 : it->second.second);
  }
  return byName;
}

struct SessionFigures {
  double cpu = 0;
  double firstPictureMs = 0;
  int64_t pictures = 0;
  int64_t chunks = 0;
  std::map<std::string, double> threads;  // CPU by thread name over the stream
};

enum class Sound { Device, NoDevice };

// Open + 10 s of stream, like the ffmpeg run with -t 10. Without a device
// the session decodes, converts to stereo and analyses, but plays nothing.
SessionFigures RunSession(const std::string& url, Sound sound, bool& audioOut) {
  kx::CSettingsBlock settings;
  kx::CSpectrumAnalyser analyser;
  kx::CAnalyserFeed<kx::CSpectrumAnalyser> feed(analyser);
  kx::CAudioOutput output(settings);
  kx::CAudioOutputTarget<kx::CAudioOutput> target(output);
  if (sound == Sound::Device) audioOut = output.OpenConfiguredDevice(0, 1.0f) >= 0;
  NullHost host;
  SessionFigures f;
  {
    kx::CAnalysisThread analysis(analyser, settings);
    kx::CPreviewSession session(host, feed, target, settings);
    session.SetURL(ConvertUTF8ToUnicode(url));
    const ThreadTimes before = SnapshotThreads();
    const double cpu0 = SelfCpu();
    const auto t0 = Clock::now();
    session.Start();
    while (session.Stats().picturesConverted.load() == 0 && Clock::now() - t0 < std::chrono::seconds(30))
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const auto first = Clock::now();
    f.firstPictureMs = std::chrono::duration<double, std::milli>(first - t0).count();
    std::this_thread::sleep_until(first + std::chrono::duration<double>(kStreamSeconds));
    f.threads = ThreadCpuBetween(before, SnapshotThreads());  // before the decode thread ends
    session.Stop();
    f.cpu = SelfCpu() - cpu0;
    f.pictures = session.Stats().picturesConverted.load();
    f.chunks = session.Stats().audioChunksWritten.load();
  }
  output.CloseDevice();
  return f;
}

using kx::bench::LoadAverage;
using kx::bench::Median;

double RunFfmpeg(const std::string& url) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    execlp("ffmpeg", "ffmpeg", "-hide_banner", "-loglevel", "error", "-i", url.c_str(), "-t", "10", "-pix_fmt",
           "bgra", "-f", "null", "-", (char*)nullptr);
    _exit(127);
  }
  int status = 0;
  rusage r{};
  wait4(pid, &status, 0, &r);
  return CpuSeconds(r);
}

// --- Time to first picture (decode_bench --first-picture [ROUNDS]) ---------
// From the start of an opening to the first picture, on the demo camera
// (1280x720, a key frame every second, AAC), median of several rounds; each
// round measures, one after the other, on fresh connections:
//  - the camera's first key frame: our own avformat read from the same start
//    (open, then packets until the first video key packet): no player can
//    show a picture earlier;
//  - ffplay: from starting the process to its first picture through its
//    filter graph (`-vf showinfo` logs it as decoded, just before it is
//    queued for display; SDL's dummy video and audio drivers), so ffplay's
//    own start-up is included; once as it comes, once with the smallest
//    stream search it allows (-probesize 32 -analyzeduration 0 -fflags
//    nobuffer);
//  - the session with FFmpeg's full stream search (as before), then with the
//    short search: Start to the first converted picture record.

double MsSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

// Open + read until the first video key packet; -1 when none came in 10 s.
double FirstKeyFrameMs(const std::string& url) {
  const auto t0 = Clock::now();
  AVFormatContext* ctx = nullptr;
  AVDictionary* options = nullptr;
  av_dict_set(&options, "timeout", "10000000", 0);
  const int rc = avformat_open_input(&ctx, url.c_str(), nullptr, &options);
  av_dict_free(&options);
  if (rc < 0) return -1;
  double ms = -1;
  AVPacket* packet = av_packet_alloc();
  while (MsSince(t0) < 10000 && av_read_frame(ctx, packet) == 0) {
    const AVStream* st = ctx->streams[packet->stream_index];
    const bool key = st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && (packet->flags & AV_PKT_FLAG_KEY);
    av_packet_unref(packet);
    if (key) {
      ms = MsSince(t0);
      break;
    }
  }
  av_packet_free(&packet);
  avformat_close_input(&ctx);
  return ms;
}

// ffplay until it logs its first picture; -1 when none came in 15 s.
// `quick`: with the smallest stream search ffplay allows and no input buffer.
double FfplayFirstPictureMs(const std::string& url, bool quick) {
  int err[2];
  if (pipe(err) != 0) return -1;
  const auto t0 = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    dup2(err[1], 2);
    close(err[0]);
    close(err[1]);
    if (quick)
      execlp("ffplay", "ffplay", "-hide_banner", "-loglevel", "info", "-probesize", "32", "-analyzeduration", "0",
             "-fflags", "nobuffer", "-vf", "showinfo", url.c_str(), (char*)nullptr);
    else
      execlp("ffplay", "ffplay", "-hide_banner", "-loglevel", "info", "-vf", "showinfo", url.c_str(), (char*)nullptr);
    _exit(127);
  }
  close(err[1]);
  double ms = -1;
  std::string text;
  char buf[4096];
  while (MsSince(t0) < 15000) {
    pollfd p{err[0], POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    const ssize_t n = read(err[0], buf, sizeof buf);
    if (n <= 0) break;
    text.append(buf, static_cast<size_t>(n));
    if (text.find("n:   0") != std::string::npos || text.find("n:0 ") != std::string::npos) {
      ms = MsSince(t0);
      break;
    }
  }
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  close(err[0]);
  return ms;
}

// Start to the first converted picture with the given stream search; -1
// when none came in 15 s.
double SessionFirstPictureMs(const std::string& url, const kx::ProbeLimits& limits, int64_t& fullSearches) {
  kx::CSettingsBlock settings;
  kx::CSpectrumAnalyser analyser;
  kx::CAnalyserFeed<kx::CSpectrumAnalyser> feed(analyser);
  kx::CAudioOutput output(settings);
  kx::CAudioOutputTarget<kx::CAudioOutput> target(output);
  output.OpenConfiguredDevice(0, 1.0f);
  NullHost host;
  double ms = -1;
  {
    kx::CPreviewSession session(host, feed, target, settings);
    session.SetProbeLimits(limits);
    session.SetURL(ConvertUTF8ToUnicode(url));
    const auto t0 = Clock::now();
    session.Start();
    while (session.Stats().picturesConverted.load() == 0 && MsSince(t0) < 15000)
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    if (session.Stats().picturesConverted.load() > 0) ms = MsSince(t0);
    fullSearches += session.Stats().fullProbes.load();
    session.Stop();
  }
  output.CloseDevice();
  return ms;
}

int FirstPictureReport(const std::string& url, int rounds) {
  std::printf("time to first picture on %s, load average at start: %s\n", url.c_str(), LoadAverage().c_str());
  std::vector<double> key, ffplay, ffplayQuick, before, after, afterOverKey;
  int64_t fullSearches = 0;
  for (int round = 0; round < rounds; ++round) {
    const double k = FirstKeyFrameMs(url);
    const double f = FfplayFirstPictureMs(url, false);
    const double q = FfplayFirstPictureMs(url, true);
    const double b = SessionFirstPictureMs(url, kx::ProbeLimits::Full(), fullSearches);
    const double a = SessionFirstPictureMs(url, kx::ProbeLimits::Bounded(), fullSearches);
    std::printf("round %d: first key frame %.0f ms; ffplay %.0f ms (quick %.0f ms); session, full search %.0f ms; "
                "session, short search %.0f ms; load %s\n",
                round + 1, k, f, q, b, a, LoadAverage().c_str());
    std::fflush(stdout);
    key.push_back(k);
    ffplay.push_back(f);
    ffplayQuick.push_back(q);
    before.push_back(b);
    after.push_back(a);
    afterOverKey.push_back(a - k);
  }
  std::printf("medians of %d rounds (load average now %s):\n", rounds, LoadAverage().c_str());
  std::printf("  camera's first key frame (own read from the same start): %.0f ms\n", Median(key));
  std::printf("  ffplay, process start to first picture (reference): %.0f ms\n", Median(ffplay));
  std::printf("  ffplay -probesize 32 -analyzeduration 0 -fflags nobuffer: %.0f ms\n", Median(ffplayQuick));
  std::printf("  session, FFmpeg's full stream search (before): %.0f ms\n", Median(before));
  std::printf("  session, short stream search (now): %.0f ms, %.2f x ffplay, key frame + %.0f ms "
              "(targets <= 600 ms, <= key frame + 100 ms)\n",
              Median(after), Median(after) / Median(ffplay), Median(afterOverKey));
  std::printf("  short searches that fell back to the full search: %lld of %d\n", static_cast<long long>(fullSearches),
              rounds);
  return 0;
}

}  // namespace

// decode_bench [ROUNDS]: each round runs ffmpeg, the session with the sound
// device and the session without one, in that order; medians are reported.
// decode_bench --first-picture [ROUNDS]: time to the first picture (above).
int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  Camera camera;
  if (camera.port == 0) {
    std::fprintf(stderr, "the camera did not start\n");
    return 1;
  }
  if (argc > 1 && std::string(argv[1]) == "--first-picture")
    return FirstPictureReport(camera.Url("/demo"), argc > 2 ? std::max(1, std::atoi(argv[2])) : 7);
  std::printf("load average at start: %s\n", LoadAverage().c_str());
  std::vector<double> ffmpeg, session, silent, firstPicture, ratio, silentRatio, perPicture;
  std::map<std::string, std::vector<double>> threads, silentThreads;
  bool audioOut = false, unused = false;
  for (int round = 0; round < rounds; ++round) {
    const double ff = RunFfmpeg(camera.Url());
    const SessionFigures full = RunSession(camera.Url(), Sound::Device, audioOut);
    const SessionFigures mute = RunSession(camera.Url(), Sound::NoDevice, unused);
    std::printf("round %d: ffmpeg %.2f s; session %.2f s (%lld pictures, %lld audio chunks, first picture %.0f ms); "
                "session without a sound device %.2f s; load %s\n",
                round + 1, ff, full.cpu, static_cast<long long>(full.pictures), static_cast<long long>(full.chunks),
                full.firstPictureMs, mute.cpu, LoadAverage().c_str());
    for (const auto& [name, cpu] : full.threads) std::printf("    thread %-16s %.3f s\n", name.c_str(), cpu);
    for (const auto& [name, cpu] : mute.threads) std::printf("    no device: thread %-16s %.3f s\n", name.c_str(), cpu);
    std::fflush(stdout);
    ffmpeg.push_back(ff);
    session.push_back(full.cpu);
    silent.push_back(mute.cpu);
    ratio.push_back(full.cpu / ff);
    silentRatio.push_back(mute.cpu / ff);
    // The session's window is 10 s after its first picture, so it converts
    // more pictures the later that comes; ffmpeg -t 10 outputs 250.
    if (full.pictures > 0) perPicture.push_back((full.cpu / static_cast<double>(full.pictures)) / (ff / 250.0));
    firstPicture.push_back(full.firstPictureMs);
    for (const auto& [name, cpu] : full.threads) threads[name].push_back(cpu);
    for (const auto& [name, cpu] : mute.threads) silentThreads[name].push_back(cpu);
  }
  std::printf("medians of %d rounds, CPU per 10 s of 1920x1080 H.264 + AAC (load average now %s):\n", rounds,
              LoadAverage().c_str());
  std::printf("  ffmpeg -pix_fmt bgra -f null: %.2f s\n", Median(ffmpeg));
  std::printf("  session: %.2f s, ratio %.2f (target <= 1.05)%s\n", Median(session), Median(ratio),
              audioOut ? "" : " [no audio device: audio not output]");
  std::printf("  session without a sound device: %.2f s, ratio %.2f\n", Median(silent), Median(silentRatio));
  std::printf("  CPU per picture, session against ffmpeg's 250: ratio %.2f\n", Median(perPicture));
  for (const auto& [name, v] : threads) std::printf("    thread %-16s %.3f s\n", name.c_str(), Median(v));
  for (const auto& [name, v] : silentThreads)
    std::printf("    no device: thread %-16s %.3f s\n", name.c_str(), Median(v));
  std::printf("DoPreviewStart to first picture record: %.0f ms\n", Median(firstPicture));
  return 0;
}
