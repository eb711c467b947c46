#include "watch_figures.h"

#include <cstdio>
#include <functional>

namespace kx::probe {

std::string EscapeLabel(const std::string& value) {
  std::string out;
  for (char c : value) {
    if (c == '\\') out += "\\\\";
    else if (c == '"') out += "\\\"";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') continue;
    else out += c;
  }
  return out;
}

namespace {

std::string Number(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "+Inf" : "-Inf";
  char text[40];
  std::snprintf(text, sizeof text, "%.6g", v);
  return text;
}

struct Metric {
  const char* name;
  const char* type;
  const char* help;
  std::function<double(const CameraLive&)> value;
  bool skipNan;  // a figure not measured is left out rather than NaN
};

}  // namespace

std::string MetricsText(const std::vector<std::pair<std::string, CameraLive>>& cameras) {
  const Metric metrics[] = {
      {"kxtonescope_camera_up", "gauge", "1 while the camera's stream plays, 0 while it is down",
       [](const CameraLive& c) { return c.up ? 1.0 : 0.0; }, false},
      {"kxtonescope_audio_peak_dbfs", "gauge", "Peak level of the camera's sound over the last 100 ms, in dBFS",
       [](const CameraLive& c) { return c.peakDbfs; }, false},
      {"kxtonescope_audio_momentary_lufs", "gauge", "Momentary loudness (400 ms, EBU R128), in LUFS",
       [](const CameraLive& c) { return c.momentaryLufs; }, true},
      {"kxtonescope_audio_silence_seconds", "gauge", "Length of the silent stretch going on now (nothing above -60 dBFS)",
       [](const CameraLive& c) { return c.silenceSeconds; }, false},
      {"kxtonescope_audio_clipped_samples_total", "counter", "Samples at full scale in runs of two or more",
       [](const CameraLive& c) { return static_cast<double>(c.clippedSamples); }, false},
      {"kxtonescope_reconnections_total", "counter", "Times the stream was opened again after it dropped",
       [](const CameraLive& c) { return static_cast<double>(c.reconnections); }, false},
      {"kxtonescope_audio_underruns_total", "counter", "Times the audio output ran dry",
       [](const CameraLive& c) { return static_cast<double>(c.underruns); }, false},
      {"kxtonescope_last_picture_age_seconds", "gauge", "Seconds since the camera's last picture was decoded",
       [](const CameraLive& c) { return c.lastPictureAgeSeconds; }, true},
      {"kxtonescope_av_sync_offset_seconds", "gauge", "Lip-sync offset, positive when the sound comes after the picture",
       [](const CameraLive& c) { return c.avSyncOffsetMs / 1000; }, true},
  };
  std::string out;
  for (const auto& m : metrics) {
    out += std::string("# HELP ") + m.name + " " + m.help + "\n# TYPE " + m.name + " " + m.type + "\n";
    for (const auto& [name, live] : cameras) {
      const double v = m.value(live);
      if (m.skipNan && std::isnan(v)) continue;
      out += std::string(m.name) + "{camera=\"" + EscapeLabel(name) + "\"} " + Number(v) + "\n";
    }
  }
  return out;
}

}  // namespace kx::probe
