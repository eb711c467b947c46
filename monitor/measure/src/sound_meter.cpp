#include "monitor/sound_meter.h"

#include <algorithm>
#include <cmath>

#include "monitor/verdict.h"

namespace kx::measure {

namespace {
double Db(double linear) { return 20.0 * std::log10(linear); }
}  // namespace

const char* SeverityName(Severity severity) {
  switch (severity) {
    case Severity::Info: return "info";
    case Severity::Warning: return "warning";
    case Severity::Fault: return "fault";
  }
  return "";
}

bool SoundFigures::HasFault() const {
  return std::any_of(verdict.begin(), verdict.end(), [](const Finding& f) { return f.severity == Severity::Fault; });
}

CSoundMeter::CSoundMeter(unsigned long sampleRate, const Thresholds& thresholds)
    : m_rate(sampleRate), m_loudness(sampleRate), m_levels(static_cast<double>(sampleRate)),
      m_spectrum(static_cast<double>(sampleRate)) {
  SetThresholds(thresholds);
}

void CSoundMeter::SetThresholds(const Thresholds& thresholds) {
  m_thresholds = thresholds;
  m_spectrumFigures = {};
  m_levels.SetSilenceLevel(thresholds.silenceLevelDbfs);
}

void CSoundMeter::Reset() {
  m_loudness.Reset();
  m_levels.Reset();
  m_spectrum.Reset();
  m_spectrumFigures = {};
  m_avSync.Reset();
  m_frames = 0;
  m_badSamples = 0;
}

void CSoundMeter::Add(const float* x, size_t frames, double seconds) {
  if (std::isfinite(seconds) && m_rate == COnsetDetector::kRate) m_avSync.AddSound(seconds, x, frames);
  // Into m_clean in chunks: a frame with a NaN or an infinity is left out
  // (the filters would carry it for ever); a denormal becomes 0 (it is
  // silence, and slow in the filters).
  size_t clean = 0;
  for (size_t i = 0; i < frames; ++i, x += 2) {
    float l = x[0], r = x[1];
    const int cl = std::fpclassify(l), cr = std::fpclassify(r);
    if (cl == FP_NAN || cl == FP_INFINITE || cr == FP_NAN || cr == FP_INFINITE) {
      m_badSamples += (cl == FP_NAN || cl == FP_INFINITE) + (cr == FP_NAN || cr == FP_INFINITE);
      continue;
    }
    if (cl == FP_SUBNORMAL) l = 0, ++m_badSamples;
    if (cr == FP_SUBNORMAL) r = 0, ++m_badSamples;
    m_clean[2 * clean] = l;
    m_clean[2 * clean + 1] = r;
    if (++clean == kChunkFrames) {
      AddClean(m_clean.data(), clean);
      clean = 0;
    }
  }
  if (clean > 0) AddClean(m_clean.data(), clean);
}

void CSoundMeter::AddClean(const float* interleaved, size_t frames) {
  m_loudness.Add(interleaved, frames);
  m_levels.Add(interleaved, frames);
  m_spectrum.Add(interleaved, frames);
  m_frames += static_cast<int64_t>(frames);
}

SoundFigures CSoundMeter::Figures() const {
  SoundFigures f;
  f.seconds = static_cast<double>(m_frames) / static_cast<double>(m_rate);
  f.badSamples = m_badSamples;
  f.momentaryLufs = m_loudness.Momentary();
  f.shortTermLufs = m_loudness.ShortTerm();
  f.integratedLufs = m_loudness.Integrated();
  f.momentaryMaxLufs = m_loudness.MomentaryMax();
  f.shortTermMaxLufs = m_loudness.ShortTermMax();
  f.loudnessRangeLu = m_loudness.Range();
  m_levels.Fill(f);
  for (unsigned c = 0; c < 2; ++c) {
    f.channels[c].samplePeakDbfs = Db(m_loudness.SamplePeak(c));
    f.channels[c].truePeakDbtp = Db(m_loudness.TruePeak(c));
    f.samplePeakDbfs = std::max(f.samplePeakDbfs, f.channels[c].samplePeakDbfs);
    f.truePeakDbtp = std::max(f.truePeakDbtp, f.channels[c].truePeakDbtp);
  }
  SpectrumFigures& s = m_spectrumFigures;
  if (s.spectra != m_spectrum.Spectra()) {
    s.spectra = m_spectrum.Spectra();
    s.hum = m_spectrum.Hum(m_thresholds.humStandOutDb, m_thresholds.humMinDbfs);
    s.bandwidthHz = m_spectrum.BandwidthHz(m_thresholds.bandwidthDistanceDb);
  }
  f.humHz = s.hum.mainsHz;
  f.humDbfs = s.hum.levelDbfs;
  f.bandwidthHz = s.bandwidthHz;
  f.silent = f.longestSilenceS >= m_thresholds.silenceMinSeconds;
  f.avSync = m_avSync.Figures();
  f.verdict = MakeVerdict(f, m_thresholds);
  return f;
}

}  // namespace kx::measure
