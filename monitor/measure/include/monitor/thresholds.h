// The limits the verdict applies, with their defaults. The README's
// "Sound measurements" table explains each; the settings store keeps them in
// the "Settings" section under the names of kThresholdNames.
#pragma once

namespace kx::measure {

struct Thresholds {
  double silenceLevelDbfs = -60;      // nothing above this is silence
  double silenceMinSeconds = 2;       // the shortest silent stretch reported
  double tooQuietLufs = -40;          // integrated loudness below is too quiet
  double tooLoudLufs = -12;           // integrated loudness above is too loud
  double clipFaultShare = 1e-4;       // clipped share of samples from which clipping is a fault
  double humStandOutDb = 15;          // a mains line this far above the 40-400 Hz band's median
  double humMinDbfs = -70;            // and hum at least this loud
  double dcOffsetDbfs = -40;          // a channel mean at or above this
  double invertedCorrelation = -0.5;  // correlation at or below this
  double narrowBandHz = 7000;         // effective bandwidth below this
  double bandwidthDistanceDb = 40;    // see CLongSpectrum
};

struct ThresholdName {
  const char* name;  // the value's name in the settings store
  double Thresholds::*member;
};

inline constexpr ThresholdName kThresholdNames[] = {
    {"MeasureSilenceLevelDbfs", &Thresholds::silenceLevelDbfs},
    {"MeasureSilenceMinSeconds", &Thresholds::silenceMinSeconds},
    {"MeasureTooQuietLufs", &Thresholds::tooQuietLufs},
    {"MeasureTooLoudLufs", &Thresholds::tooLoudLufs},
    {"MeasureClipFaultShare", &Thresholds::clipFaultShare},
    {"MeasureHumStandOutDb", &Thresholds::humStandOutDb},
    {"MeasureHumMinDbfs", &Thresholds::humMinDbfs},
    {"MeasureDcOffsetDbfs", &Thresholds::dcOffsetDbfs},
    {"MeasureInvertedCorrelation", &Thresholds::invertedCorrelation},
    {"MeasureNarrowBandHz", &Thresholds::narrowBandHz},
    {"MeasureBandwidthDistanceDb", &Thresholds::bandwidthDistanceDb},
};

}  // namespace kx::measure
