#include "probe.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <thread>

#include "common/app_log.h"
#include "app/measure_settings.h"
#include "common/settings_block.h"
#include "audio/audio_output.h"
#include "kxSystem.h"
#include "media/preview_session.h"
#include "media/session_adapters.h"
#include "monitor/analyser.h"
#include "monitor/analysis_thread.h"
#include "monitor/measure_worker.h"
#include "measurement_report.h"
#include "probe_parts.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

namespace kx::probe {

namespace {

std::string Printf1(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", v);
  return text;
}

}  // namespace

std::string DefaultLogDir() {
  if (const char* d = std::getenv("XDG_DATA_HOME"); d && *d) return std::string(d) + "/KEXAR/kxToneScope";
  if (const char* h = std::getenv("HOME"); h && *h) return std::string(h) + "/.local/share/KEXAR/kxToneScope";
  return "/tmp/KEXAR/kxToneScope";
}

std::string NewestLogFile(const std::string& dir) {
  std::error_code ec;
  std::filesystem::path best;
  std::filesystem::file_time_type bestTime{};
  for (const auto& e : std::filesystem::directory_iterator(dir, ec)) {
    const std::string name = e.path().filename().string();
    if (name.rfind("ToneScope [", 0) != 0 || e.path().extension() != ".log") continue;
    const auto t = e.last_write_time(ec);
    if (best.empty() || t > bestTime) {
      best = e.path();
      bestTime = t;
    }
  }
  return best.string();
}

namespace {

constexpr const char* kExitCodes =
    "Exit codes (the first that applies):\n"
    "  0  pictures and audio flowed (and, with --measure, no fault was found)\n"
    "  1  bad arguments\n"
    "  2  could not open the address\n"
    "  3  no video\n"
    "  4  no audio (without --no-audio)\n"
    "  5  the sound measurements found a fault (--measure)\n";

std::string Positive(std::string& v) {
  char* end = nullptr;
  const double d = std::strtod(v.c_str(), &end);
  return *end == '\0' && d > 0 ? std::string() : std::string("needs a positive number");
}

std::string DeviceNumber(std::string& v) {
  char* end = nullptr;
  const long n = std::strtol(v.c_str(), &end, 10);
  return *end == '\0' && n >= 0 ? std::string() : std::string("needs a device number (0 = default)");
}

// One definition of the command line for parsing and for the help text.
struct CommandLine {
  CLI::App app{"kxToneScopeProbe: runs the preview session on a camera and reports what came out of it.",
               "kxToneScopeProbe"};
  Options o;
  std::string bookmarksFile;
  CLI::Option* bookmarksOption = nullptr;
  CommandLine() {
    app.add_option("url", o.url, "the camera's address, rtsp://...");
    app.add_option("--seconds", o.seconds, "how long to run (default 10)")
        ->check(CLI::Validator(Positive, "SECONDS", "positive number"));
    app.add_option("--device", o.device, "output device number, 0 = the default device")
        ->check(CLI::Validator(DeviceNumber, "N", "device number"));
    app.add_flag("--no-audio", o.noAudio, "play nothing (wins over --device)");
    app.add_flag("--json", o.json, "report in JSON");
    app.add_flag("--measure", o.measure, "measure the sound (loudness, peaks, clipping, noise, hum, ...) and judge it");
    app.add_option("--log-dir", o.logDir, "folder of the log file (default: the user data folder)");
    bookmarksOption = app.add_option("--bookmarks", bookmarksFile,
                                     "check every camera of a bookmark file (default: the program's own)")
                          ->expected(0, 1);
    app.add_option("--list", o.list, "check every camera of a list file: an address a line, or name<TAB>address");
    app.add_option("--jobs", o.jobs, "cameras checked at once (default: the number of cores, at most 16)")
        ->check(CLI::Range(1, 64));
    app.add_option("--html", o.html, "with --bookmarks or --list: write a report page to this file");
    app.add_flag("--watch", o.watch, "watch until SIGINT or SIGTERM, trying dropped cameras again; then report");
    app.add_option("--metrics-listen", o.metricsListen, "with --watch: serve /metrics for Prometheus on HOST:PORT");
    app.footer(kExitCodes);
  }
};

}  // namespace

std::string Usage() { return CommandLine().app.help(); }

std::optional<Options> ParseArgs(const std::vector<std::string>& args, std::string& error) {
  CommandLine line;
  std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 takes them last first
  try {
    line.app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    return std::nullopt;
  } catch (const CLI::ParseError& e) {
    error = e.what();
    return std::nullopt;
  }
  Options o = line.o;
  if (line.bookmarksOption->count() > 0) o.bookmarks = line.bookmarksFile;
  const int sources = (o.bookmarks ? 1 : 0) + (o.list.empty() ? 0 : 1) + (o.url.empty() ? 0 : 1);
  if (sources == 0) error = "url is required (or --bookmarks or --list)";
  if (sources > 1) error = "give one of: an address, --bookmarks, --list";
  if (!o.IsSiteCheck() && (o.jobs > 0 || !o.html.empty())) error = "--jobs and --html go with --bookmarks or --list";
  if (o.watch && (o.jobs > 0 || !o.html.empty())) error = "--jobs and --html do not go with --watch";
  if (!o.metricsListen.empty() && !o.watch) error = "--metrics-listen goes with --watch";
  if (!error.empty()) return std::nullopt;
  return o;
}

namespace {

// Keeps the newest picture the session showed (the snapshot of a site check).
class CSnapshotPresenter : public IPicturePresenter {
 public:
  void PresentPicture(const PictureRecord& picture) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_last = picture;
  }
  PictureRecord Last() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_last;
  }

 private:
  std::mutex m_mutex;
  PictureRecord m_last;
};

}  // namespace

CameraRun ProbeCamera(const Options& options, const std::string& url, const std::atomic<bool>* stop) {
  CameraRun r;
  CSettingsBlock settings;
  CSpectrumAnalyser analyser;
  std::optional<measure::CMeasureWorker> measurements;
  if (options.measure) measurements.emplace(LoadMeasureThresholds());
  CProbeFeed feed(analyser, measurements ? &*measurements : nullptr);
  CAudioOutput output(settings);
  CAudioOutputTarget<CAudioOutput> target(output);
  CSnapshotPresenter snapshot;
  if (options.keepPictures) output.SetPresenter(&snapshot);
  CProbeHost host;
  if (options.play) r.deviceOpened = output.OpenConfiguredDevice(options.device, 1.0f);

  double peak = 0;
  {
    CAnalysisThread analysis(analyser, settings);
    CPreviewSession session(host, feed, target, settings);
    session.SetURL(ConvertUTF8ToUnicode(url));
    session.Start();
    r.opened = session.HasDecodeThread();
    std::vector<double> wave(CSpectrumAnalyser::kWaveHistorySize), spectrum(CSpectrumAnalyser::kFftSize);
    r.spectrum.assign(CSpectrumAnalyser::kPowerBins, 0.0);
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(options.seconds);
    int reads = 0;
    while (r.opened && std::chrono::steady_clock::now() < end && !(stop && *stop)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      peak = std::max(peak, static_cast<double>(analyser.ReadDisplay(wave, spectrum)));
      for (size_t k = 0; k < CSpectrumAnalyser::kPowerBins; ++k) r.spectrum[k] += spectrum[k];
      ++reads;
    }
    // The strongest bin of the spectra summed over the run; bin 0 (DC) does not count.
    size_t best = 1;
    for (size_t k = 2; k < CSpectrumAnalyser::kPowerBins; ++k)
      if (r.spectrum[k] > r.spectrum[best]) best = k;
    if (r.spectrum[best] > 0) r.dominantHz = static_cast<double>(best) * CSpectrumAnalyser::kBinHz;
    if (reads > 0)
      for (double& p : r.spectrum) p /= reads;
    session.Stop();
    if (measurements) {
      measurements->Flush();
      r.figures = measurements->Figures();
    }
    r.pictures = session.Stats().picturesConverted.load();
    r.chunks = session.Stats().audioChunksWritten.load();
    r.analysedFrames = session.Stats().analysisFramesConverted.load();
    r.reconnections = session.Stats().reconnections.load();
    r.size = session.VideoSize();
  }
  r.underruns = output.UnderrunCount();
  r.latencyMs = output.OutputLatencyMs();
  output.CloseDevice();
  output.SetPresenter(nullptr);
  if (options.keepPictures) r.snapshot = snapshot.Last();
  r.peakDb = peak > 0 ? 20.0 * std::log10(peak) : -INFINITY;
  r.video = host.Video();
  r.audio = host.Audio();
  r.boxes = host.Boxes();

  if (!r.opened)
    r.code = kCouldNotOpen;
  else if (r.pictures == 0)
    r.code = kNoVideo;
  else if (options.play && r.chunks == 0)
    r.code = kNoAudio;
  else if (!options.play && !options.noAudio && r.analysedFrames == 0)
    r.code = kNoAudio;  // nothing played (a site check): the sound analysed tells
  else if (r.figures && r.figures->HasFault())
    r.code = kSoundFault;
  return r;
}

nlohmann::ordered_json CameraJson(const CameraRun& r, const std::string& url, bool measured) {
  const double peakDb = r.peakDb;
  nlohmann::ordered_json report = {
      {"url", kxMaskUrlPassword(url)},
      {"opened", r.opened},
      {"video_info", r.video},
      {"audio_info", r.audio},
      {"pictures", r.pictures},
      {"picture_width", r.pictures ? r.size.cx : 0},
      {"picture_height", r.pictures ? r.size.cy : 0},
      {"audio_chunks", r.chunks},
      {"audio_device", r.deviceOpened},
      {"peak_dbfs", std::isfinite(peakDb) ? nlohmann::ordered_json(std::round(peakDb * 10) / 10) : nullptr},
      {"dominant_hz", std::round(r.dominantHz * 100) / 100},
      {"reconnections", r.reconnections},
      {"underruns", r.underruns},
      {"output_latency_ms", r.latencyMs >= 0 ? nlohmann::ordered_json(r.latencyMs) : nullptr},
  };
  if (measured) report["measurements"] = MeasurementsJson(r.figures);
  return report;
}

std::string Dump(const nlohmann::ordered_json& j) {
  // Invalid UTF-8 in a camera's texts is replaced rather than thrown on.
  return j.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

int Run(const Options& options, std::ostream& out, std::ostream& err) {
  if (options.IsSiteCheck() || options.watch) return RunSiteCheck(options, out, err);
  const std::string logDir = options.logDir.empty() ? DefaultLogDir() : options.logDir;
  std::error_code ec;
  std::filesystem::create_directories(logDir, ec);
  CKxLog log;
  log.CreateLogFile(ConvertUTF8ToUnicode(logDir), u"ToneScope");
  SetAppLog(&log);
  Options one = options;
  one.play = !options.noAudio;
  const CameraRun r = ProbeCamera(one, options.url);
  SetAppLog(nullptr);
  log.Close();
  const std::string logFile = NewestLogFile(logDir);
  const int code = r.code;

  for (const auto& box : r.boxes) err << box << "\n";
  if (one.play && r.deviceOpened < 0) err << "warning: no audio output device; audio is not output\n";

  char hzText[32];
  std::snprintf(hzText, sizeof hzText, "%.2f", r.dominantHz);
  if (options.json) {
    nlohmann::ordered_json report = CameraJson(r, options.url, false);
    report["log_file"] = logFile;
    if (options.measure) report["measurements"] = MeasurementsJson(r.figures);
    report["exit_code"] = code;
    out << Dump(report) << "\n";
  } else {
    out << "Address:        " << kxMaskUrlPassword(options.url) << "\n"
        << "Video:          " << r.video << "\n"
        << "Audio:          " << r.audio << "\n"
        << "Pictures:       " << r.pictures;
    if (r.pictures) out << " (" << r.size.cx << "x" << r.size.cy << ")";
    out << "\n"
        << "Audio chunks:   " << r.chunks << (r.deviceOpened < 0 ? " (no output device)" : "") << "\n"
        << "Input peak:     " << (std::isfinite(r.peakDb) ? Printf1(r.peakDb) + " dBFS" : "none") << "\n"
        << "Dominant freq.: " << hzText << " Hz\n"
        << "Reconnections:  " << r.reconnections << "\n"
        << "Underruns:      " << r.underruns << "\n"
        << "Output latency: " << (r.latencyMs >= 0 ? std::to_string(r.latencyMs) + " ms" : "none") << "\n"
        << "Log file:       " << logFile << "\n";
    if (options.measure) WriteMeasurementsText(out, r.figures);
  }
  return code;
}

}  // namespace kx::probe
