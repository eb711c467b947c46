#include "monitor/verdict.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kx::measure {

namespace {

std::string Format(const char* format, double a, double b = 0) {
  char text[160];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

}  // namespace

std::vector<Finding> MakeVerdict(const SoundFigures& f, const Thresholds& t) {
  std::vector<Finding> out;
  if (f.seconds <= 0) return out;
  auto add = [&](const char* code, Severity severity, std::string text) { out.push_back({code, severity, std::move(text)}); };

  // Silent now for the threshold's time: nothing else about the sound matters.
  const bool silentNow = f.currentSilenceS >= t.silenceMinSeconds;
  if (silentNow) {
    add("silent", Severity::Fault, Format("No sound above %.0f dBFS for %.1f s", t.silenceLevelDbfs, f.currentSilenceS));
  } else if (f.silent) {
    add("silence_gap", Severity::Warning,
        Format("The sound stopped for %.1f s (nothing above %.0f dBFS)", f.longestSilenceS, t.silenceLevelDbfs));
  }
  if (f.clippedSamples > 0) {
    add("clipping", f.clippedShare >= t.clipFaultShare ? Severity::Fault : Severity::Warning,
        Format("Clipping: %.0f samples at full scale (%.3f %%)", static_cast<double>(f.clippedSamples),
               100 * f.clippedShare));
  }
  for (int c = 0; c < 2; ++c)
    if (f.channels[c].dead)
      add("dead_channel", Severity::Fault, c == 0 ? "The left channel is dead" : "The right channel is dead");
  if (!silentNow) {
    if (!(f.integratedLufs >= t.tooQuietLufs))
      add("too_quiet", Severity::Warning,
          std::isfinite(f.integratedLufs) ? Format("Too quiet: %.1f LUFS integrated", f.integratedLufs)
                                          : std::string("Too quiet: below the loudness gate"));
    else if (f.integratedLufs > t.tooLoudLufs)
      add("too_loud", Severity::Warning, Format("Too loud: %.1f LUFS integrated", f.integratedLufs));
  }
  if (f.humHz != 0)
    add("hum", Severity::Warning, Format("Mains hum at %.0f Hz, %.1f dBFS", f.humHz, f.humDbfs));
  if (f.dcOffsetDbfs >= t.dcOffsetDbfs) add("dc_offset", Severity::Warning, Format("DC offset %.1f dBFS", f.dcOffsetDbfs));
  if (f.correlation <= t.invertedCorrelation)
    add("inverted_polarity", Severity::Warning, Format("The channels are in opposite polarity (correlation %.2f)", f.correlation));
  if (f.bandwidthHz < t.narrowBandHz)
    add("narrow_band", Severity::Info, Format("Narrow band: sound reaches %.0f Hz", f.bandwidthHz));
  const AvSyncFigures& sync = f.avSync;
  if (sync.verdict == AvSyncVerdict::Warning || sync.verdict == AvSyncVerdict::Fault)
    add("lip_sync", sync.verdict == AvSyncVerdict::Fault ? Severity::Fault : Severity::Warning,
        sync.offsetMs >= 0 ? Format("Lip sync: the sound is %.0f ms late", sync.offsetMs)
                           : Format("Lip sync: the sound is %.0f ms early", -sync.offsetMs));
  std::stable_sort(out.begin(), out.end(), [](const Finding& a, const Finding& b) { return a.severity > b.severity; });
  return out;
}

}  // namespace kx::measure
