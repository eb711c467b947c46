#include "media/audio_chunk.h"

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace kx {

CSampleBuffer::~CSampleBuffer() { av_freep(&m_p); }

uint8_t* CSampleBuffer::Reserve(int channels, int frames, AVSampleFormat format) {
  if (channels <= 0 || frames <= 0) return nullptr;
  // The size av_samples_alloc would take for this chunk (default alignment).
  const int bytes = av_samples_get_buffer_size(nullptr, channels, frames, format, 0);
  if (bytes <= 0) return nullptr;
  if (bytes > m_nBytes) {
    // Chunks of one stream differ by a few frames: a little headroom spares
    // a new allocation for each slightly larger one.
    const int grown = bytes > INT32_MAX - bytes / 4 ? bytes : bytes + bytes / 4;
    av_freep(&m_p);
    m_nBytes = 0;
    m_p = static_cast<uint8_t*>(av_malloc(static_cast<size_t>(grown)));
    if (!m_p) return nullptr;
    m_nBytes = grown;
  }
  return m_p;
}

CStereoConverter::~CStereoConverter() { Free(); }

void CStereoConverter::Free() { swr_free(&m_swr); }

bool CStereoConverter::Ready() const { return m_swr && swr_is_initialized(m_swr); }

bool CStereoConverter::Init(const AVCodecContext& ctx, uint64_t* layoutMask) {
  Free();
  AVChannelLayout in{};
  if (ctx.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || ctx.ch_layout.nb_channels == 0)
    av_channel_layout_default(&in, std::max(1, ctx.ch_layout.nb_channels));
  else
    av_channel_layout_copy(&in, &ctx.ch_layout);
  AVChannelLayout out = AV_CHANNEL_LAYOUT_STEREO;
  m_swr = swr_alloc();
  if (m_swr) {
    av_opt_set_chlayout(m_swr, "in_chlayout", &in, 0);
    av_opt_set_chlayout(m_swr, "out_chlayout", &out, 0);
    av_opt_set_int(m_swr, "in_sample_rate", ctx.sample_rate, 0);
    av_opt_set_int(m_swr, "out_sample_rate", kRate, 0);
    av_opt_set_sample_fmt(m_swr, "in_sample_fmt", ctx.sample_fmt, 0);
    av_opt_set_sample_fmt(m_swr, "out_sample_fmt", AV_SAMPLE_FMT_FLT, 0);
    if (in.nb_channels == 1) {
      // The default matrix puts a mono channel into both sides at -3 dB,
      // so a mono camera would read 3 dB low on every meter and play
      // 3 dB quiet. A mono source is both sides at unity gain.
      const double unity[2] = {1.0, 1.0};
      swr_set_matrix(m_swr, unity, 1);
    }
    swr_init(m_swr);
  }
  if (layoutMask) *layoutMask = in.order == AV_CHANNEL_ORDER_NATIVE ? in.u.mask : 0;
  av_channel_layout_uninit(&in);
  return Ready();
}

int CStereoConverter::Convert(const AVFrame& frame, int inRate) {
  if (!m_swr || inRate <= 0) return -1;
  const int count = static_cast<int>(
      av_rescale_rnd(swr_get_delay(m_swr, inRate) + frame.nb_samples, kRate, inRate, AV_ROUND_UP));
  uint8_t* out = m_buffer.Reserve(2, count, AV_SAMPLE_FMT_FLT);
  if (!out) return -1;
  return swr_convert(m_swr, &out, count, const_cast<const uint8_t**>(frame.extended_data), frame.nb_samples);
}

double CStereoConverter::DelaySeconds() const {
  return m_swr ? static_cast<double>(swr_get_delay(m_swr, kRate)) / kRate : 0.0;
}

int ConvertForDevice(SwrContext* output, int deviceRate, int deviceChannels, const float* stereo, int frames,
                     CSampleBuffer& buffer) {
  if (!output || deviceRate <= 0 || deviceChannels <= 0) return -1;
  // Sized for the resampler's own output format; at least as packed float.
  int64_t outFormat = AV_SAMPLE_FMT_FLT;
  if (av_opt_get_int(output, "out_sample_fmt", 0, &outFormat) < 0 ||
      av_get_bytes_per_sample(static_cast<AVSampleFormat>(outFormat)) <= 0)
    outFormat = AV_SAMPLE_FMT_FLT;
  const AVSampleFormat packed = av_get_packed_sample_fmt(static_cast<AVSampleFormat>(outFormat));
  const int count = static_cast<int>(av_rescale_rnd(std::max(0, frames) + swr_get_delay(output, CStereoConverter::kRate),
                                                    deviceRate, CStereoConverter::kRate, AV_ROUND_UP));
  uint8_t* out =
      buffer.Reserve(deviceChannels, count, av_get_bytes_per_sample(packed) > 4 ? packed : AV_SAMPLE_FMT_FLT);
  if (!out) return -1;
  // Never a null input: that would flush the resampler (pad its filter's tail
  // into the stream) in the middle of the sound. No frames only drains what
  // it still holds.
  const uint8_t* in[1] = {reinterpret_cast<const uint8_t*>(stereo)};
  return swr_convert(output, &out, count, in, std::max(0, frames));
}

void PackS32ToS24(uint8_t* samples, size_t count) {
  // Forward: each three-byte sample lands at or before where its source began.
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* from = samples + 4 * i + 1;
    uint8_t* to = samples + 3 * i;
    to[0] = from[0];
    to[1] = from[1];
    to[2] = from[2];
  }
}

}  // namespace kx
