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
#include "app/settings_block.h"
#include "audio/audio_output.h"
#include "kxSystem.h"
#include "media/preview_session.h"
#include "media/session_adapters.h"
#include "monitor/analyser.h"
#include "monitor/analysis_thread.h"

namespace kx::probe {

namespace {

std::string Utf8(const std::u16string& s) { return ConvertUnicodeToUTF8(s); }

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

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

std::string Usage() {
  return "usage: kxToneScopeProbe rtsp://... [--seconds N] [--device N | --no-audio] [--json] [--log-dir DIR]\n"
         "exit codes: 0 pictures and audio flowed, 2 could not open, 3 no video, 4 no audio, 1 bad arguments\n";
}

std::optional<Options> ParseArgs(const std::vector<std::string>& args, std::string& error) {
  Options o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](const char* name) -> const std::string* {
      if (i + 1 >= args.size()) {
        error = std::string(name) + " needs a value";
        return nullptr;
      }
      return &args[++i];
    };
    if (a == "--help" || a == "-h") {
      return std::nullopt;
    } else if (a == "--seconds") {
      const std::string* v = value("--seconds");
      if (!v) return std::nullopt;
      char* end = nullptr;
      o.seconds = std::strtod(v->c_str(), &end);
      if (*end != '\0' || !(o.seconds > 0)) {
        error = "--seconds needs a positive number";
        return std::nullopt;
      }
    } else if (a == "--device") {
      const std::string* v = value("--device");
      if (!v) return std::nullopt;
      char* end = nullptr;
      o.device = static_cast<int>(std::strtol(v->c_str(), &end, 10));
      if (*end != '\0' || o.device < 0) {
        error = "--device needs a device number (0 = default)";
        return std::nullopt;
      }
    } else if (a == "--no-audio") {
      o.noAudio = true;
    } else if (a == "--json") {
      o.json = true;
    } else if (a == "--log-dir") {
      const std::string* v = value("--log-dir");
      if (!v) return std::nullopt;
      o.logDir = *v;
    } else if (a.rfind("--", 0) == 0) {
      error = "unknown option " + a;
      return std::nullopt;
    } else if (o.url.empty()) {
      o.url = a;
    } else {
      error = "more than one address";
      return std::nullopt;
    }
  }
  if (o.url.empty()) {
    error = "no address";
    return std::nullopt;
  }
  return o;
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
  CAnalyserFeed<CSpectrumAnalyser> feed(analyser);
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

  for (const auto& box : host.Boxes()) err << box << "\n";
  if (audioWanted && deviceOpened < 0) err << "warning: no audio output device; audio is not output\n";

  char peakText[32], hzText[32];
  std::snprintf(peakText, sizeof peakText, "%.1f", peakDb);
  std::snprintf(hzText, sizeof hzText, "%.2f", dominantHz);
  if (options.json) {
    out << "{\n"
        << "  \"url\": " << JsonString(kxMaskUrlPassword(options.url)) << ",\n"
        << "  \"opened\": " << (opened ? "true" : "false") << ",\n"
        << "  \"video_info\": " << JsonString(host.Video()) << ",\n"
        << "  \"audio_info\": " << JsonString(host.Audio()) << ",\n"
        << "  \"pictures\": " << pictures << ",\n"
        << "  \"picture_width\": " << (pictures ? size.cx : 0) << ",\n"
        << "  \"picture_height\": " << (pictures ? size.cy : 0) << ",\n"
        << "  \"audio_chunks\": " << chunks << ",\n"
        << "  \"audio_device\": " << deviceOpened << ",\n"
        << "  \"peak_dbfs\": " << (std::isfinite(peakDb) ? peakText : "null") << ",\n"
        << "  \"dominant_hz\": " << hzText << ",\n"
        << "  \"reconnections\": " << reconnections << ",\n"
        << "  \"underruns\": " << underruns << ",\n"
        << "  \"output_latency_ms\": " << (latencyMs >= 0 ? std::to_string(latencyMs) : "null") << ",\n"
        << "  \"log_file\": " << JsonString(logFile) << ",\n"
        << "  \"exit_code\": " << code << "\n"
        << "}\n";
  } else {
    out << "Address:        " << kxMaskUrlPassword(options.url) << "\n"
        << "Video:          " << host.Video() << "\n"
        << "Audio:          " << host.Audio() << "\n"
        << "Pictures:       " << pictures;
    if (pictures) out << " (" << size.cx << "x" << size.cy << ")";
    out << "\n"
        << "Audio chunks:   " << chunks << (deviceOpened < 0 ? " (no output device)" : "") << "\n"
        << "Input peak:     " << (std::isfinite(peakDb) ? std::string(peakText) + " dBFS" : "none") << "\n"
        << "Dominant freq.: " << hzText << " Hz\n"
        << "Reconnections:  " << reconnections << "\n"
        << "Underruns:      " << underruns << "\n"
        << "Output latency: " << (latencyMs >= 0 ? std::to_string(latencyMs) + " ms" : "none") << "\n"
        << "Log file:       " << logFile << "\n";
  }
  return code;
}

}  // namespace kx::probe
