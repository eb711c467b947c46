// kxToneScopeProbe: runs the real preview session on a camera for a while
// and reports what came out of it.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

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
};

// Parses argv; an error text instead when the arguments do not make sense
// (none, with an empty error, for --help).
std::optional<Options> ParseArgs(const std::vector<std::string>& args, std::string& error);
std::string Usage();

int Run(const Options& options, std::ostream& out, std::ostream& err);

}  // namespace kx::probe
