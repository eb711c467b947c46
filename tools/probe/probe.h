// kxToneScopeProbe: runs the real preview session on a camera for a while
// and reports what came out of it.
#pragma once

#include <atomic>
#include <cmath>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "media/picture_record.h"
#include "media/preview_host.h"
#include "monitor/sound_figures.h"

namespace kx::probe {

enum ExitCode : int {
  kOk = 0,
  kUsage = 1,
  kCouldNotOpen = 2,
  kNoVideo = 3,
  kNoAudio = 4,
  kSoundFault = 5,
};

struct Options {
  std::string url;
  double seconds = 10;
  int device = 0;        // index into the output device list, 0 = the default device
  bool noAudio = false;  // play nothing: audio is not asked for
  bool json = false;
  bool measure = false;  // the sound measurements and their verdict
  std::string logDir;    // empty: the user data folder

  // A site check: many cameras at once, none played.
  std::optional<std::string> bookmarks;  // a bookmark file; empty: the program's own
  std::string list;                      // a list file, one address a line
  int jobs = 0;                          // sessions at once; 0: the number of cores, at most 16
  std::string html;                      // the report page to write

  // A watch: until SIGINT or SIGTERM, dropped cameras tried again.
  bool watch = false;
  std::string metricsListen;  // HOST:PORT of the /metrics page; empty: none

  // Set by the run, not the command line.
  bool play = true;           // open an output device and play the sound
  bool keepPictures = false;  // keep the newest picture (the snapshot)

  bool IsSiteCheck() const { return bookmarks.has_value() || !list.empty(); }
};

// Parses argv; an error text instead when the arguments do not make sense
// (none, with an empty error, for --help).
std::optional<Options> ParseArgs(const std::vector<std::string>& args, std::string& error);
std::string Usage();

int Run(const Options& options, std::ostream& out, std::ostream& err);

// What one camera gave over a run.
struct CameraRun {
  int code = kOk;
  bool opened = false;
  std::string video, audio;        // the codec lines
  std::vector<std::string> boxes;  // the messages the window would have shown
  int64_t pictures = 0, chunks = 0, analysedFrames = 0, reconnections = 0;
  uint32_t underruns = 0;
  int latencyMs = -1;
  int deviceOpened = -1;
  VideoSize size;
  double peakDb = -INFINITY;
  double dominantHz = 0;
  std::vector<double> spectrum;  // the mean power spectrum of the run
  std::optional<measure::SoundFigures> figures;
  PictureRecord snapshot;  // with keepPictures
};

// Runs the preview session on one camera for options.seconds (less when
// `stop` turns true); the log is the caller's.
CameraRun ProbeCamera(const Options& options, const std::string& url, const std::atomic<bool>* stop = nullptr);
// The report object of one camera (the address masked).
nlohmann::ordered_json CameraJson(const CameraRun& run, const std::string& url, bool measured);
std::string Dump(const nlohmann::ordered_json& json);
int RunSiteCheck(const Options& options, std::ostream& out, std::ostream& err);
struct CameraEntry;
int RunWatch(const Options& options, const std::vector<CameraEntry>& cameras, std::ostream& out, std::ostream& err);
std::string DefaultLogDir();
std::string NewestLogFile(const std::string& dir);

}  // namespace kx::probe
