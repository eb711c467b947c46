// decode_bench: CPU seconds for 10 s of a 1920x1080 25 fps H.264 + AAC
// stream, through the preview session (decode, BGRA conversion, audio
// conversion into the output device, analysis) and through
// `ffmpeg -i URL -pix_fmt bgra -f null -` on the same camera, in the same
// run. Each side's own process CPU is measured (getrusage), not the camera's.
// Also reports the time from DoPreviewStart to the first picture record.
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

// CPU seconds of this process's threads by name (from /proc/self/task).
std::map<std::string, double> ThreadCpu() {
  std::map<std::string, double> byName;
  const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
  DIR* dir = opendir("/proc/self/task");
  if (!dir) return byName;
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
    byName[name] += (ut + st) / tick;
  }
  closedir(dir);
  return byName;
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
      execl("/usr/bin/python3", "python3", KX_RTSP_CAMERA_SCRIPT, "--mount", launch.c_str(), (char*)nullptr);
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
  std::string Url() const { return "rtsp://127.0.0.1:" + std::to_string(port) + "/cam"; }
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

struct SessionFigures {
  double cpu = 0;
  double firstPictureMs = 0;
  int64_t pictures = 0;
  int64_t chunks = 0;
  double decodeThread = 0;  // the decode thread's own CPU
};

// Open + 10 s of stream, like the ffmpeg run with -t 10.
SessionFigures RunSession(const std::string& url, bool& audioOut) {
  kx::CSettingsBlock settings;
  kx::CSpectrumAnalyser analyser;
  kx::CAnalyserFeed<kx::CSpectrumAnalyser> feed(analyser);
  kx::CAudioOutput output(settings);
  kx::CAudioOutputTarget<kx::CAudioOutput> target(output);
  audioOut = output.OpenConfiguredDevice(0, 1.0f) >= 0;
  NullHost host;
  SessionFigures f;
  {
    kx::CAnalysisThread analysis(analyser, settings);
    kx::CPreviewSession session(host, feed, target, settings);
    session.SetURL(ConvertUTF8ToUnicode(url));
    const double cpu0 = SelfCpu();
    const auto t0 = Clock::now();
    session.Start();
    while (session.m_stats.picturesConverted.load() == 0 && Clock::now() - t0 < std::chrono::seconds(30))
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const auto first = Clock::now();
    f.firstPictureMs = std::chrono::duration<double, std::milli>(first - t0).count();
    std::this_thread::sleep_until(first + std::chrono::duration<double>(kStreamSeconds));
    const auto threads = ThreadCpu();
    f.decodeThread = threads.count("kx-decode") ? threads.at("kx-decode") : 0;
    for (const auto& [name, cpu] : threads) std::printf("  thread %-16s %.2f s\n", name.c_str(), cpu);
    session.Stop();
    f.cpu = SelfCpu() - cpu0;
    f.pictures = session.m_stats.picturesConverted.load();
    f.chunks = session.m_stats.audioChunksWritten.load();
  }
  output.CloseDevice();
  return f;
}

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

}  // namespace

int main() {
  Camera camera;
  if (camera.port == 0) {
    std::fprintf(stderr, "the camera did not start\n");
    return 1;
  }
  double sessionBest = 1e9, ffmpegBest = 1e9, firstPicture = 1e9, decodeBest = 1e9;
  bool audioOut = false;
  SessionFigures last;
  for (int round = 0; round < 2; ++round) {
    const double ff = RunFfmpeg(camera.Url());
    last = RunSession(camera.Url(), audioOut);
    std::printf("round %d: session %.2f s CPU (decode thread %.2f s; %lld pictures, %lld audio chunks, first "
                "picture %.0f ms), ffmpeg %.2f s CPU\n",
                round + 1, last.cpu, last.decodeThread, static_cast<long long>(last.pictures),
                static_cast<long long>(last.chunks), last.firstPictureMs, ff);
    decodeBest = std::min(decodeBest, last.decodeThread);
    sessionBest = std::min(sessionBest, last.cpu);
    ffmpegBest = std::min(ffmpegBest, ff);
    firstPicture = std::min(firstPicture, last.firstPictureMs);
  }
  std::printf("CPU per 10 s of 1920x1080 H.264 + AAC: session %.2f s, ffmpeg -pix_fmt bgra -f null %.2f s, "
              "ratio %.2f (target <= 1.15)%s\n",
              sessionBest, ffmpegBest, sessionBest / ffmpegBest, audioOut ? "" : " [no audio device: audio not output]");
  std::printf("of which the decode thread (decode, BGRA, both audio conversions, FIFO writes): %.2f s, ratio %.2f\n",
              decodeBest, decodeBest / ffmpegBest);
  std::printf("DoPreviewStart to first picture record: %.0f ms\n", firstPicture);
  return 0;
}
