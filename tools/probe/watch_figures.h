// What a watch keeps of each camera: its live figures, and the figures in the text format
// Prometheus scrapes. Platform-free.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "media/retry_schedule.h"

namespace kx::probe {

// A camera's figures at one moment.
struct CameraLive {
  bool up = false;
  double peakDbfs = -INFINITY;      // the last 100 ms
  double momentaryLufs = NAN;       // NaN: not measured
  double silenceSeconds = 0;        // the silent stretch going on now
  int64_t clippedSamples = 0;       // since the watch began
  int64_t reconnections = 0;        // the session's own and the watch's retries that opened
  int64_t underruns = 0;
  double lastPictureAgeSeconds = NAN;  // NaN: no picture yet
  double avSyncOffsetMs = NAN;         // NaN: not measured or too few pairs
};


// The /metrics page: HELP and TYPE once a metric, one sample a camera
// labelled camera="<name>", names starting kxtonescope_ in base units.
std::string MetricsText(const std::vector<std::pair<std::string, CameraLive>>& cameras);
// A label value with \, " and line ends escaped as the text format wants.
std::string EscapeLabel(const std::string& value);

}  // namespace kx::probe
