#include "media/stream_probe.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace kx {

bool StreamParametersKnown(const AVCodecParameters& par) {
  switch (par.codec_type) {
    case AVMEDIA_TYPE_VIDEO:
      return par.width > 0 && par.height > 0 && par.format != AV_PIX_FMT_NONE;
    case AVMEDIA_TYPE_AUDIO:
      return par.sample_rate > 0 && par.format != AV_SAMPLE_FMT_NONE && par.ch_layout.nb_channels > 0;
    default:
      return true;
  }
}

bool AllStreamParametersKnown(const AVFormatContext& ctx) {
  for (unsigned i = 0; i < ctx.nb_streams; ++i)
    if (!StreamParametersKnown(*ctx.streams[i]->codecpar)) return false;
  return true;
}

int FindStreamInfo(AVFormatContext* ctx, const ProbeLimits& limits) {
  if (!limits.bounded) return avformat_find_stream_info(ctx, nullptr);
  ctx->probesize = limits.probeSize;
  ctx->max_analyze_duration = limits.analyzeDurationUs;
  // No frame-rate survey (about 20 frames) and no wait for a decoding
  // timestamp (RTP H.264 packets carry presentation times only): the search
  // ends as soon as every stream's parameters are known. The frame rate then
  // comes from the stream's own timing information.
  ctx->fps_probe_size = 0;
  ctx->max_ts_probe = 0;
  return avformat_find_stream_info(ctx, nullptr);
}

}  // namespace kx
