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

#include "app/app_log.h"
#include "app/measure_settings.h"
#include "app/settings_block.h"
#include "audio/audio_output.h"
#include "kxSystem.h"
#include "media/preview_session.h"
#include "media/session_adapters.h"
#include "monitor/analyser.h"
#include "monitor/analysis_thread.h"
#include "monitor/measure_worker.h"
#include "measurement_report.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

namespace kx::probe {

namespace {

std::string Utf8(const std::u16string& s) { return ConvertUnicodeToUTF8(s); }

// The analyser's feed, and with --measure the measurements' too. A
// reconnection resets the analysis but not the measurements: they cover the
// whole run.
class CProbeFeed : public IAnalysisFeed {
 public:
  CProbeFeed(CSpectrumAnalyser& analyser, measure::CMeasureWorker* measure) : m_analyser(analyser), m_measure(measure) {}
  void PushAudioBlock(const float* values, size_t count) override { m_analyser.PushAudioBlock(values, count); }
  void ResetAnalysis() override { m_analyser.ResetAnalysis(); }
  void PushStereo(const float* interleaved, size_t frames, double seconds) override {
    if (m_measure) m_measure->Push(interleaved, frames, seconds);
  }
  void PushPicture(const measure::LumaThumb& thumb) override {
    if (m_measure) m_measure->PushPicture(thumb);
  }

 private:
  CSpectrumAnalyser& m_analyser;
  measure::CMeasureWorker* m_measure;
};

// The window's side without a window: texts are kept, message boxes are
// written to standard error by the main thread at the end.
class CProbeHost : public IPreviewHost {
 public:
  void CameraInfo(CameraInfoLine line, const std::u16string& text) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (line == CameraInfoLine::Video) m_video = text;
    if (line == CameraInfoLine::Audio) m_audio = text;
    // A clear is not kept: the report shows what the camera last said.
  }
  void MessageBox(MessageIcon icon, const std::u16string& text) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_boxes.push_back((icon == MessageIcon::Error ? "error: " : "warning: ") + Utf8(text));
  }
  VideoSize WindowSize() override { return {1280, 720}; }
  void ResizeTargets(int32_t, int32_t) override {}

  std::string Video() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return Utf8(m_video);
  }
  std::string Audio() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return Utf8(m_audio);
  }
  std::vector<std::string> Boxes() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_boxes;
  }

 private:
  std::mutex m_mutex;
  std::u16string m_video, m_audio;
  std::vector<std::string> m_boxes;
};

std::string Printf1(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", v);
  return text;
}

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

}  // namespace

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
  CommandLine() {
    app.add_option("url", o.url, "the camera's address, rtsp://...")->required();
    app.add_option("--seconds", o.seconds, "how long to run (default 10)")
        ->check(CLI::Validator(Positive, "SECONDS", "positive number"));
    app.add_option("--device", o.device, "output device number, 0 = the default device")
        ->check(CLI::Validator(DeviceNumber, "N", "device number"));
    app.add_flag("--no-audio", o.noAudio, "play nothing (wins over --device)");
    app.add_flag("--json", o.json, "report in JSON");
    app.add_flag("--measure", o.measure, "measure the sound (loudness, peaks, clipping, noise, hum, ...) and judge it");
    app.add_option("--log-dir", o.logDir, "folder of the log file (default: the user data folder)");
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
  return line.o;
}

int Run(const Options& options, std::ostream& out, std::ostream& err) {
  const std::string logDir = options.logDir.empty() ? DefaultLogDir() : options.logDir;
  std::error_code ec;
  std::filesystem::create_directories(logDir, ec);
  CKxLog log;
  log.CreateLogFile(ConvertUTF8ToUnicode(logDir), u"ToneScope");
  SetAppLog(&log);

  CSettingsBlock settings;
  CSpectrumAnalyser analyser;
  std::optional<measure::CMeasureWorker> measurements;
  if (options.measure) measurements.emplace(LoadMeasureThresholds());
  CProbeFeed feed(analyser, measurements ? &*measurements : nullptr);
  CAudioOutput output(settings);
  CAudioOutputTarget<CAudioOutput> target(output);
  CProbeHost host;
  int deviceOpened = -1;
  if (!options.noAudio) deviceOpened = output.OpenConfiguredDevice(options.device, 1.0f);

  double peak = 0;
  double dominantHz = 0;
  bool opened = false;
  int64_t pictures = 0, chunks = 0, reconnections = 0;
  uint32_t underruns = 0;
  int latencyMs = -1;
  VideoSize size;
  std::optional<measure::SoundFigures> figures;
  {
    CAnalysisThread analysis(analyser, settings);
    CPreviewSession session(host, feed, target, settings);
    session.SetURL(ConvertUTF8ToUnicode(options.url));
    session.Start();
    opened = session.HasDecodeThread();
    std::vector<double> wave(CSpectrumAnalyser::kWaveHistorySize), spectrum(CSpectrumAnalyser::kFftSize);
    std::vector<double> spectrumSum(CSpectrumAnalyser::kPowerBins, 0.0);
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(options.seconds);
    while (opened && std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      peak = std::max(peak, static_cast<double>(analyser.ReadDisplay(wave, spectrum)));
      for (size_t k = 0; k < CSpectrumAnalyser::kPowerBins; ++k) spectrumSum[k] += spectrum[k];
    }
    // The strongest bin of the spectra summed over the run; bin 0 (DC) does not count.
    size_t best = 1;
    for (size_t k = 2; k < CSpectrumAnalyser::kPowerBins; ++k)
      if (spectrumSum[k] > spectrumSum[best]) best = k;
    if (spectrumSum[best] > 0) dominantHz = static_cast<double>(best) * CSpectrumAnalyser::kBinHz;
    session.Stop();
    if (measurements) {
      measurements->Flush();
      figures = measurements->Figures();
    }
    pictures = session.m_stats.picturesConverted.load();
    chunks = session.m_stats.audioChunksWritten.load();
    reconnections = session.m_stats.reconnections.load();
    size = session.m_sizeVideo.Get();
  }
  underruns = output.UnderrunCount();
  latencyMs = output.OutputLatencyMs();
  output.CloseDevice();
  SetAppLog(nullptr);
  log.Close();
  const std::string logFile = NewestLogFile(logDir);

  const double peakDb = peak > 0 ? 20.0 * std::log10(peak) : -INFINITY;
  const bool audioWanted = !options.noAudio;
  int code = kOk;
  if (!opened)
    code = kCouldNotOpen;
  else if (pictures == 0)
    code = kNoVideo;
  else if (audioWanted && chunks == 0)
    code = kNoAudio;
  else if (figures && figures->HasFault())
    code = kSoundFault;

  for (const auto& box : host.Boxes()) err << box << "\n";
  if (audioWanted && deviceOpened < 0) err << "warning: no audio output device; audio is not output\n";

  char hzText[32];
  std::snprintf(hzText, sizeof hzText, "%.2f", dominantHz);
  if (options.json) {
    nlohmann::ordered_json report = {
        {"url", kxMaskUrlPassword(options.url)},
        {"opened", opened},
        {"video_info", host.Video()},
        {"audio_info", host.Audio()},
        {"pictures", pictures},
        {"picture_width", pictures ? size.cx : 0},
        {"picture_height", pictures ? size.cy : 0},
        {"audio_chunks", chunks},
        {"audio_device", deviceOpened},
        {"peak_dbfs", std::isfinite(peakDb) ? nlohmann::ordered_json(std::round(peakDb * 10) / 10) : nullptr},
        {"dominant_hz", std::round(dominantHz * 100) / 100},
        {"reconnections", reconnections},
        {"underruns", underruns},
        {"output_latency_ms", latencyMs >= 0 ? nlohmann::ordered_json(latencyMs) : nullptr},
        {"log_file", logFile},
    };
    if (options.measure) report["measurements"] = MeasurementsJson(figures);
    report["exit_code"] = code;
    // Invalid UTF-8 in a camera's texts is replaced rather than thrown on.
    out << report.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
  } else {
    out << "Address:        " << kxMaskUrlPassword(options.url) << "\n"
        << "Video:          " << host.Video() << "\n"
        << "Audio:          " << host.Audio() << "\n"
        << "Pictures:       " << pictures;
    if (pictures) out << " (" << size.cx << "x" << size.cy << ")";
    out << "\n"
        << "Audio chunks:   " << chunks << (deviceOpened < 0 ? " (no output device)" : "") << "\n"
        << "Input peak:     " << (std::isfinite(peakDb) ? Printf1(peakDb) + " dBFS" : "none") << "\n"
        << "Dominant freq.: " << hzText << " Hz\n"
        << "Reconnections:  " << reconnections << "\n"
        << "Underruns:      " << underruns << "\n"
        << "Output latency: " << (latencyMs >= 0 ? std::to_string(latencyMs) + " ms" : "none") << "\n"
        << "Log file:       " << logFile << "\n";
    if (options.measure) WriteMeasurementsText(out, figures);
  }
  return code;
}

}  // namespace kx::probe
