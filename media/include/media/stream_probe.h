// The stream-information search of an opened input. A camera's session
// description already names the codecs, so the search only has to read until
// each stream's decoding parameters are known (for H.264: the first key
// frame), not the seconds FFmpeg's defaults spend on frame-rate and
// timestamp surveys.
#pragma once

#include <cstdint>

struct AVFormatContext;
struct AVCodecParameters;

namespace kx {

struct ProbeLimits {
  // False: FFmpeg's own limits, nothing set.
  bool bounded = true;
  // Bytes of packets read at most ("probesize"). A key frame every two
  // seconds of an 8 Mbit/s camera still fits.
  int64_t probeSize = 2 << 20;
  // Stream time read at most, microseconds ("analyzeduration"): a camera
  // whose first key frame comes later than this falls back to the full search.
  int64_t analyzeDurationUs = 2'000'000;

  static ProbeLimits Bounded() { return {}; }
  static ProbeLimits Full() { return {false, 0, 0}; }
};

// True when a decoder can be set up from `par` without reading further:
// picture size and pixel format, or sample rate, sample format and channels.
// Other stream kinds count as known.
bool StreamParametersKnown(const AVCodecParameters& par);
bool AllStreamParametersKnown(const AVFormatContext& ctx);

// avformat_find_stream_info on an open input within `limits`; its result.
// A finished search cannot be taken up again on the same input (FFmpeg frees
// its survey state), so a caller that finds parameters still unknown after a
// bounded search opens the input again for a full one.
int FindStreamInfo(AVFormatContext* ctx, const ProbeLimits& limits);

}  // namespace kx
