// The limits the verdict applies, with their defaults. The README's
// "Sound measurements" table explains each; the program keeps them in the
// settings store under the names given here.
#pragma once

namespace kx::measure {

struct Thresholds {
  double silenceLevelDbfs = -60;   // SilenceLevelDbfs: nothing above this is silence
  double silenceMinSeconds = 2;    // SilenceMinSeconds: the shortest stretch reported
  double tooQuietLufs = -40;       // TooQuietLufs: integrated loudness below is too quiet
  double tooLoudLufs = -12;        // TooLoudLufs: integrated loudness above is too loud
  double clipFaultShare = 1e-4;    // ClipFaultShare: clipped share from which clipping is a fault
  double humStandOutDb = 15;       // HumStandOutDb: a mains line this far above the 40-400 Hz band
  double humMinDbfs = -70;         // HumMinDbfs: and at least this loud
  double dcOffsetDbfs = -40;       // DcOffsetDbfs: a channel mean at or above this
  double invertedCorrelation = -0.5;  // InvertedCorrelation: correlation at or below this
  double narrowBandHz = 7000;      // NarrowBandHz: effective bandwidth below this
  double bandwidthDistanceDb = 40;  // BandwidthDistanceDb: see CLongSpectrum
};

}  // namespace kx::measure
