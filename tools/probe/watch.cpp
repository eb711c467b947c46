// The watch: every camera of a site watched until SIGINT or SIGTERM, each on
// a thread of its own. A camera that drops is tried again after 1, 2, 4, 8,
// 16 and then every 30 s; its figures are served to Prometheus when asked;
// at the end a report with each camera's events.
#include <httplib.h>
#include <pthread.h>

#include <condition_variable>
#include <csignal>
#include <memory>
#include <mutex>
#include <thread>

#include "common/app_log.h"
#include "app/measure_settings.h"
#include "common/settings_block.h"
#include "audio/audio_output.h"
#include "camera_list.h"
#include "measurement_report.h"
#include "media/preview_session.h"
#include "monitor/analysis_thread.h"
#include "monitor/event_timeline.h"
#include "probe.h"
#include "probe_parts.h"
#include "watch_figures.h"

namespace kx::probe {

namespace {

std::atomic<bool> g_signalled{false};
extern "C" void OnStopSignal(int) { g_signalled.store(true); }

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point from, Clock::time_point to) { return std::chrono::duration<double>(to - from).count(); }

// One camera, watched on its own thread from creation to destruction.
class CCameraWatch {
 public:
  CCameraWatch(const Options& options, CameraEntry camera, Clock::time_point began)
      : m_options(options), m_camera(std::move(camera)), m_began(began), m_thread([this] { Run(); }) {}
  ~CCameraWatch() {
    Stop();
    m_thread.join();
  }
  void Stop() {
    {
      std::lock_guard<std::mutex> lock(m_csStop);
      m_stop = true;
    }
    m_wake.notify_all();
  }
  const CameraEntry& Camera() const { return m_camera; }
  CameraLive Live() const {
    std::lock_guard<std::mutex> lock(m_csLive);
    return m_live;
  }
  std::vector<measure::TimelineEvent> Events() const {
    std::lock_guard<std::mutex> lock(m_csLive);
    return m_timeline.Events();
  }
  std::optional<measure::SoundFigures> Figures() const {
    std::lock_guard<std::mutex> lock(m_csLive);
    return m_figures;
  }

 private:
  // Waits, or less when the watch stops; false once it stops.
  bool Wait(double seconds) {
    std::unique_lock<std::mutex> lock(m_csStop);
    return !m_wake.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return m_stop; });
  }
  void Run();
  void Log(const std::string& what) const { LogInfo(std::string_view("Watch: " + m_camera.name + " " + what)); }

  const Options m_options;
  const CameraEntry m_camera;
  const Clock::time_point m_began;
  std::mutex m_csStop;
  std::condition_variable m_wake;
  bool m_stop = false;
  mutable std::mutex m_csLive;  // the three below
  CameraLive m_live;
  measure::CEventTimeline m_timeline{{[this](const measure::TimelineEvent& e) {
                                        if (e.kind == "drop") Log("dropped");
                                      },
                                      [this](const measure::TimelineEvent& e) {
                                        if (e.kind == "drop") Log("answers again");
                                        Log(measure::DescribeEvent(e));
                                      }}};
  std::optional<measure::SoundFigures> m_figures;
  std::thread m_thread;  // last: starts once the members above exist
};

void CCameraWatch::Run() {
  pthread_setname_np(pthread_self(), "kx-cam-watch");  // to tell it apart in top and perf
  CSettingsBlock settings;
  CSpectrumAnalyser analyser;
  std::optional<measure::CMeasureWorker> measurements;
  if (m_options.measure) measurements.emplace(LoadMeasureThresholds());
  CProbeFeed feed(analyser, measurements ? &*measurements : nullptr);
  CAudioOutput output(settings);  // never opened: a watch plays nothing
  CAudioOutputTarget<CAudioOutput> target(output);
  CProbeHost host;
  CAnalysisThread analysis(analyser, settings);
  CPreviewSession session(host, feed, target, settings);
  session.SetURL(ConvertUTF8ToUnicode(m_camera.url));

  CRetrySchedule retry;
  int64_t retriesOpened = 0;
  int64_t pictures = 0;
  // A moment that may not have come: kept as a flag and a time (no optional:
  // the compiler cannot follow it through the loop).
  struct Moment {
    bool set = false;
    Clock::time_point at{};
    explicit operator bool() const { return set; }
    const Clock::time_point& operator*() const { return at; }
    void operator=(Clock::time_point t) { set = true, at = t; }
    void reset() { set = false; }
  };
  Moment lastPicture, downSince;
  session.Start();
  Clock::time_point nextTry = Clock::now();
  bool everUp = false;
  while (Wait(0.1)) {
    const auto now = Clock::now();
    const bool up = session.HasDecodeThread();
    if (up && downSince) {
      if (everUp) ++retriesOpened;  // a camera that never answered did not drop
      downSince.reset();
      retry.Reset();
    }
    if (!up && !downSince && (everUp || retry.Attempt() == 0)) {
      downSince = now;
      nextTry = now + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(retry.Next()));
    }
    everUp = everUp || up;
    if (!up && now >= nextTry) {
      session.Restart();  // waits for the open, up to its time-out
      if (!session.HasDecodeThread())
        nextTry = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(retry.Next()));
      continue;
    }
    if (const int64_t seen = session.Stats().picturesConverted.load(); seen != pictures) {
      pictures = seen;
      lastPicture = now;
    }
    const int64_t own = session.Stats().reconnections.load();
    std::optional<measure::SoundFigures> figures;
    if (measurements) figures = measurements->Figures();
    const float peak = up ? analyser.GetInputPeak() : 0.0f;
    measure::CameraLook look{up, own};
    if (figures) {
      look.silenceSeconds = figures->currentSilenceS;
      look.clippedSamples = figures->clippedSamples;
    }
    std::lock_guard<std::mutex> lock(m_csLive);
    m_timeline.Look(Since(m_began, now), look);
    m_live.up = up;
    m_live.peakDbfs = peak > 0 ? 20.0 * std::log10(peak) : -INFINITY;
    m_live.reconnections = retriesOpened + own;
    m_live.lastPictureAgeSeconds = lastPicture ? Since(*lastPicture, now) : NAN;
    if (figures) {
      m_live.momentaryLufs = figures->momentaryLufs;
      m_live.silenceSeconds = figures->currentSilenceS;
      m_live.clippedSamples = figures->clippedSamples;
      m_live.avSyncOffsetMs = figures->avSync.verdict != measure::AvSyncVerdict::None ? figures->avSync.offsetMs : NAN;
      m_figures = std::move(figures);
    }
  }
  // What was going on when the watch stopped is an event too.
  {
    std::lock_guard<std::mutex> lock(m_csLive);
    m_timeline.Finish(Since(m_began, Clock::now()));
  }
  session.Stop();
}

bool SplitHostPort(const std::string& text, std::string& host, int& port) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  host = text.substr(0, colon);
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  char* end = nullptr;
  const long p = std::strtol(text.c_str() + colon + 1, &end, 10);
  if (*end != '\0' || p <= 0 || p > 65535) return false;
  port = static_cast<int>(p);
  return true;
}

}  // namespace

int RunWatch(const Options& options, const std::vector<CameraEntry>& cameras, std::ostream& out, std::ostream& err) {
  std::string host;
  int port = 0;
  if (!options.metricsListen.empty() && !SplitHostPort(options.metricsListen, host, port)) {
    err << "kxToneScopeProbe: --metrics-listen wants HOST:PORT, got " << options.metricsListen << "\n";
    return kUsage;
  }
  httplib::Server server;
  if (!host.empty() && !server.bind_to_port(host, port)) {
    err << "kxToneScopeProbe: cannot listen on " << options.metricsListen << "\n";
    return kUsage;
  }

  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  const auto began = Clock::now();
  std::vector<std::unique_ptr<CCameraWatch>> watches;
  for (const auto& camera : cameras) watches.push_back(std::make_unique<CCameraWatch>(options, camera, began));

  std::thread serving;
  if (!host.empty()) {
    server.Get("/metrics", [&watches](const httplib::Request&, httplib::Response& response) {
      std::vector<std::pair<std::string, CameraLive>> live;
      for (const auto& w : watches) live.emplace_back(w->Camera().name, w->Live());
      response.set_content(MetricsText(live), "text/plain; version=0.0.4; charset=utf-8");
    });
    serving = std::thread([&server] {
      pthread_setname_np(pthread_self(), "kx-metrics");  // to tell it apart in top and perf
      server.listen_after_bind();
    });
  }
  while (!g_signalled.load()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  if (serving.joinable()) {
    server.stop();
    serving.join();
  }
  for (auto& w : watches) w->Stop();  // all at once: each may be inside an open

  nlohmann::ordered_json all = nlohmann::ordered_json::array();
  const double seconds = Since(began, Clock::now());
  for (auto& w : watches) {
    const CameraLive live = w->Live();
    nlohmann::ordered_json events = nlohmann::ordered_json::array();
    for (const auto& e : w->Events()) {
      nlohmann::ordered_json one = {{"kind", e.kind},
                                    {"at_s", std::round(e.atSeconds * 10) / 10},
                                    {"duration_s", std::round(e.durationSeconds * 10) / 10}};
      if (e.kind == "clipping") one["samples"] = e.count;
      events.push_back(std::move(one));
    }
    nlohmann::ordered_json one = {{"name", w->Camera().name},
                                  {"url", kxMaskUrlPassword(w->Camera().url)},
                                  {"watched_s", std::round(seconds * 10) / 10},
                                  {"up", live.up},
                                  {"reconnections", live.reconnections},
                                  {"events", std::move(events)}};
    if (options.measure) one["measurements"] = MeasurementsJson(w->Figures());
    all.push_back(std::move(one));
  }
  watches.clear();  // joined here
  out << Dump(all) << "\n";
  return kOk;
}

}  // namespace kx::probe
