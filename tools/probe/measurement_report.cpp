#include "measurement_report.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace kx::probe {

namespace {

// Rounded to `decimals`; null when the figure has no value.
nlohmann::ordered_json Number(double v, int decimals = 2) {
  if (!std::isfinite(v)) return nullptr;
  const double scale = std::pow(10.0, decimals);
  return std::round(v * scale) / scale + 0.0;  // + 0.0: no "-0.0"
}

std::string Text(double v, const char* unit, const char* format = "%.1f") {
  const std::string suffix = *unit ? std::string(" ") + unit : std::string();
  if (!std::isfinite(v)) return std::isinf(v) && v < 0 ? "-inf" + suffix : std::string("none");
  char buf[48];
  std::snprintf(buf, sizeof buf, format, v);
  return buf + suffix;
}

// Offset and spread null, and the verdict, until three pairs are in.
nlohmann::ordered_json AvSyncJson(const measure::AvSyncFigures& s) {
  const char* verdict = measure::AvSyncVerdictName(s.verdict);
  return {
      {"offset_ms", Number(s.offsetMs, 1)},
      {"spread_ms", Number(s.spreadMs, 1)},
      {"pairs", s.pairs},
      {"verdict", verdict ? nlohmann::ordered_json(verdict) : nlohmann::ordered_json(nullptr)},
  };
}

}  // namespace

nlohmann::ordered_json MeasurementsJson(const std::optional<measure::SoundFigures>& figures) {
  if (!figures) return nullptr;
  const measure::SoundFigures& f = *figures;
  nlohmann::ordered_json verdict = nlohmann::ordered_json::array();
  for (const measure::Finding& finding : f.verdict)
    verdict.push_back({{"code", finding.code}, {"severity", measure::SeverityName(finding.severity)}, {"text", finding.text}});
  return {
      {"integrated_lufs", Number(f.integratedLufs)},
      {"momentary_max_lufs", Number(f.momentaryMaxLufs)},
      {"short_term_max_lufs", Number(f.shortTermMaxLufs)},
      {"loudness_range_lu", Number(f.loudnessRangeLu)},
      {"true_peak_dbtp", Number(f.truePeakDbtp)},
      {"sample_peak_dbfs", Number(f.samplePeakDbfs)},
      {"clipped_samples", f.clippedSamples},
      {"dc_offset_dbfs", Number(f.dcOffsetDbfs)},
      {"noise_floor_dbfs", Number(f.noiseFloorDbfs)},
      {"hum_hz", f.humHz ? nlohmann::ordered_json(f.humHz) : nlohmann::ordered_json(nullptr)},
      {"hum_dbfs", f.humHz ? Number(f.humDbfs) : nullptr},
      {"bandwidth_hz", Number(f.bandwidthHz, 0)},
      {"silent", f.silent},
      {"longest_silence_s", Number(f.longestSilenceS)},
      {"balance_db", Number(f.balanceDb)},
      {"correlation", Number(f.correlation, 3)},
      {"av_sync", AvSyncJson(f.avSync)},
      {"verdict", verdict},
  };
}

void WriteMeasurementsText(std::ostream& out, const std::optional<measure::SoundFigures>& figures) {
  if (!figures) {
    out << "Measurements:   none (no audio)\n";
    return;
  }
  const measure::SoundFigures& f = *figures;
  char share[32];
  std::snprintf(share, sizeof share, "%.3f %%", 100 * f.clippedShare);
  out << "Measured:       " << Text(f.seconds, "s") << "\n"
      << "Loudness:       integrated " << Text(f.integratedLufs, "LUFS") << ", momentary max "
      << Text(f.momentaryMaxLufs, "LUFS") << ", short-term max " << Text(f.shortTermMaxLufs, "LUFS") << ", range "
      << Text(f.loudnessRangeLu, "LU") << "\n"
      << "Peaks:          true " << Text(f.truePeakDbtp, "dBTP") << ", sample " << Text(f.samplePeakDbfs, "dBFS") << "\n"
      << "Clipping:       " << f.clippedSamples << " samples (" << share << ")\n"
      << "DC offset:      " << Text(f.dcOffsetDbfs, "dBFS") << "\n"
      << "Noise floor:    " << Text(f.noiseFloorDbfs, "dBFS") << ", signal to noise " << Text(f.signalToNoiseDb, "dB")
      << "\n"
      << "Mains hum:      " << (f.humHz ? std::to_string(f.humHz) + " Hz at " + Text(f.humDbfs, "dBFS") : "none") << "\n"
      << "Bandwidth:      " << Text(f.bandwidthHz, "Hz", "%.0f") << "\n"
      << "Silence:        longest " << Text(f.longestSilenceS, "s") << (f.silent ? " (silent)" : "") << "\n"
      << "Channels:       balance " << Text(f.balanceDb, "dB") << ", correlation " << Text(f.correlation, "", "%.2f")
      << "\n";
  const measure::AvSyncFigures& sync = f.avSync;
  out << "Lip sync:       ";
  if (sync.verdict == measure::AvSyncVerdict::None)
    out << "none (" << sync.pairs << " flash and beep pairs, three needed)\n";
  else
    out << "sound " << Text(sync.offsetMs, "ms", "%+.0f") << " after the picture, spread " << Text(sync.spreadMs, "ms", "%.0f")
        << ", " << sync.pairs << " pairs, " << measure::AvSyncVerdictName(sync.verdict) << "\n";
  if (f.verdict.empty()) out << "Verdict:        no findings\n";
  for (size_t i = 0; i < f.verdict.size(); ++i)
    out << (i ? "                " : "Verdict:        ") << measure::SeverityName(f.verdict[i].severity) << ": "
        << f.verdict[i].text << " [" << f.verdict[i].code << "]\n";
}

}  // namespace kx::probe
