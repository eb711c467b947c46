// The reference for the loudness figures: ffmpeg's own ebur128 filter on a
// float WAV file of the same samples, read back from its per-frame metadata.
#pragma once

#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace kx::test {

// Writes interleaved stereo floats as a 32-bit float WAV file.
bool WriteStereoFloatWav(const std::string& path, const std::vector<float>& interleaved, int sampleRate);

struct FfmpegLoudness {
  double momentaryMax = -INFINITY;  // LUFS, over the 100 ms frames
  double shortTermMax = -INFINITY;
  double integrated = -INFINITY;    // at the end
  double range = 0;                 // LU, at the end
  double truePeakDbtp = -INFINITY;  // the higher channel
};

// Runs `ffmpeg -af ebur128=peak=true` on the file; none when ffmpeg is missing
// or its output cannot be read.
std::optional<FfmpegLoudness> RunFfmpegEbur128(const std::string& wavPath);

}  // namespace kx::test
