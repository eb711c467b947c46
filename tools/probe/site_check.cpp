// The site check: every camera of a list or a bookmark file probed, several
// at once, none played; a JSON array and, if asked, a report page.
#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "common/app_log.h"
#include "camera_list.h"
#include "kxSystem.h"
#include "measurement_report.h"
#include "monitor/analyser.h"
#include "png_image.h"
#include "probe.h"
#include "site_report.h"

namespace kx::probe {

namespace {

constexpr int kMaxJobs = 16;
constexpr int kSnapshotWidth = 480;

const char* StatusWord(int code) {
  switch (code) {
    case kOk: return "ok";
    case kCouldNotOpen: return "could not open";
    case kNoVideo: return "no video";
    case kNoAudio: return "no audio";
    case kSoundFault: return "sound fault";
  }
  return "unknown";
}

// The worst of two exit codes: a camera that cannot be opened is worse than
// one without video, and so on down to a fault in its sound.
int Worse(int a, int b) {
  const auto rank = [](int code) {
    switch (code) {
      case kCouldNotOpen: return 4;
      case kNoVideo: return 3;
      case kNoAudio: return 2;
      case kSoundFault: return 1;
      default: return 0;
    }
  };
  return rank(b) > rank(a) ? b : a;
}

std::string Reason(const CameraRun& r) {
  for (const auto& box : r.boxes)
    if (box.rfind("error: ", 0) == 0) return box.substr(7);
  if (!r.boxes.empty()) return r.boxes.front().substr(r.boxes.front().find(": ") + 2);
  if (r.code == kSoundFault && r.figures)
    for (const auto& f : r.figures->verdict)
      if (f.severity == measure::Severity::Fault) return f.text;
  return "";
}

std::string Fixed(double v, const char* unit, int decimals = 1) {
  if (!std::isfinite(v)) return "none";
  char text[48];
  std::snprintf(text, sizeof text, "%.*f %s", decimals, v, unit);
  return text;
}

ReportCard Card(const CameraEntry& camera, const CameraRun& r) {
  ReportCard card;
  card.name = camera.name;
  card.address = kxMaskUrlPassword(camera.url);
  card.status = StatusWord(r.code);
  card.tone = r.code == kOk ? CardTone::Ok : CardTone::Fault;
  if (r.code == kOk && r.figures)
    for (const auto& f : r.figures->verdict)
      if (f.severity == measure::Severity::Warning) card.tone = CardTone::Warning;
  if (!r.snapshot.Empty())
    card.snapshotPng = EncodePng(ScaledSnapshot(r.snapshot.Data(), r.snapshot.width, r.snapshot.height,
                                                r.snapshot.LineSize(), kSnapshotWidth));
  if (r.analysedFrames > 0 && std::isfinite(r.peakDb))
    card.spectrumPng = EncodePng(DrawSpectrum(r.spectrum, CSpectrumAnalyser::kBinHz, kSnapshotWidth, 120));
  if (const std::string why = Reason(r); !why.empty()) card.findings.push_back(why);
  if (r.figures)
    for (const auto& f : r.figures->verdict)
      if (f.severity != measure::Severity::Info && (card.findings.empty() || f.text != card.findings.front())) card.findings.push_back(f.text);
  if (!r.video.empty()) card.figures.emplace_back("Video", r.video);
  if (!r.audio.empty()) card.figures.emplace_back("Audio", r.audio);
  card.figures.emplace_back("Pictures", std::to_string(r.pictures) +
                                            (r.pictures ? " (" + std::to_string(r.size.cx) + "x" + std::to_string(r.size.cy) + ")" : ""));
  card.figures.emplace_back("Sound peak", Fixed(r.peakDb, "dBFS"));
  if (r.dominantHz > 0) card.figures.emplace_back("Strongest tone", Fixed(r.dominantHz, "Hz", 0));
  if (r.figures) {
    card.figures.emplace_back("Integrated loudness", Fixed(r.figures->integratedLufs, "LUFS"));
    card.figures.emplace_back("True peak", Fixed(r.figures->truePeakDbtp, "dBTP"));
    card.figures.emplace_back("Noise floor", Fixed(r.figures->noiseFloorDbfs, "dBFS"));
    card.figures.emplace_back("Bandwidth", Fixed(r.figures->bandwidthHz / 1000, "kHz"));
  }
  card.figures.emplace_back("Reconnections", std::to_string(r.reconnections));
  return card;
}

std::string Now() {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &tm);
  return text;
}

}  // namespace

int RunSiteCheck(const Options& options, std::ostream& out, std::ostream& err) {
  std::vector<CameraEntry> cameras;
  std::vector<ListProblem> problems;
  std::string error;
  const std::string logDir = options.logDir.empty() ? DefaultLogDir() : options.logDir;
  bool read = true;
  if (!options.IsSiteCheck()) {
    cameras.push_back({kxMaskUrlPassword(options.url), options.url});  // a watch of one camera
  } else if (options.bookmarks) {
    const std::string file = options.bookmarks->empty() ? DefaultLogDir() + "/Bookmark.xml" : *options.bookmarks;
    read = LoadBookmarkCameras(file, cameras, error);
  } else {
    read = LoadCameraList(options.list, cameras, problems, error);
  }
  if (!read) {
    err << "kxToneScopeProbe: " << error << "\n";
    return kUsage;
  }
  for (const auto& p : problems) err << "line " << p.line << ": " << p.text << "\n";
  if (cameras.empty()) {
    err << "kxToneScopeProbe: no camera to check\n";
    return kUsage;
  }

  std::error_code ec;
  std::filesystem::create_directories(logDir, ec);
  CKxLog log;
  log.CreateLogFile(ConvertUTF8ToUnicode(logDir), u"ToneScope");
  SetAppLog(&log);

  if (options.watch) {
    const int code = RunWatch(options, cameras, out, err);
    SetAppLog(nullptr);
    log.Close();
    return code;
  }
  Options each = options;
  each.play = false;  // a site at once into one speaker is noise
  each.keepPictures = !options.html.empty();
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  const int jobs = std::clamp(options.jobs > 0 ? options.jobs : std::min(cores, kMaxJobs), 1,
                              static_cast<int>(cameras.size()));
  std::vector<CameraRun> runs(cameras.size());
  std::atomic<size_t> next{0};
  {
    // Each worker takes the next camera when its last one is done: a camera
    // that cannot be opened costs its own time-out only.
    std::vector<std::jthread> workers;
    for (int j = 0; j < jobs; ++j)
      workers.emplace_back([&] {
        pthread_setname_np(pthread_self(), "kx-site-check");  // to tell it apart in top and perf
        for (size_t i = next++; i < cameras.size(); i = next++) runs[i] = ProbeCamera(each, cameras[i].url);
      });
  }
  SetAppLog(nullptr);
  log.Close();

  int code = kOk;
  nlohmann::ordered_json all = nlohmann::ordered_json::array();
  std::vector<ReportCard> cards;
  for (size_t i = 0; i < cameras.size(); ++i) {
    const CameraRun& r = runs[i];
    code = Worse(code, r.code);
    nlohmann::ordered_json one = {{"name", cameras[i].name},
                                  {"url", kxMaskUrlPassword(cameras[i].url)},
                                  {"status", StatusWord(r.code)},
                                  {"exit_code", r.code},
                                  {"reason", Reason(r)}};
    const nlohmann::ordered_json figures = CameraJson(r, cameras[i].url, false);
    for (const auto& [key, value] : figures.items())
      if (key != "url" && key != "audio_chunks" && key != "audio_device" && key != "underruns" && key != "output_latency_ms")
        one[key] = value;  // nothing is played in a site check
    one["audio_frames"] = r.analysedFrames;
    if (options.measure) one["measurements"] = MeasurementsJson(r.figures);
    all.push_back(std::move(one));
    if (!options.html.empty()) cards.push_back(Card(cameras[i], r));
  }
  out << Dump(all) << "\n";
  if (!options.html.empty()) {
    std::ofstream page(options.html, std::ios::binary | std::ios::trunc);
    page << SiteReportHtml("kxToneScope site check", Now(), cards);
    if (!page.flush()) {
      err << "kxToneScopeProbe: " << options.html << ": cannot be written\n";
      return kUsage;
    }
  }
  return code;
}

}  // namespace kx::probe
