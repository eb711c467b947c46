// The decode side's two audio conversions with buffers kept across chunks of
// odd sizes and empty chunks (a mono source at full level on both sides), and 24-bit packing.
#include "media/audio_chunk.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace kx {
namespace {

struct Format {
  AVSampleFormat format;
  int rate;
  int channels;
};

// Odd chunk sizes, as decoders of different codecs hand them out.
const int kChunks[] = {1024, 333, 7, 961, 160, 2047, 3, 1152, 480, 29};

// A 437 Hz tone with another phase on each channel, at 0.6 of full scale.
double Tone(int64_t index, int channel, int rate) {
  return 0.6 * std::sin(2.0 * M_PI * 437.0 * static_cast<double>(index) / rate + 0.7 * channel);
}

template <class T, class V>
void Put(uint8_t* p, V v) {
  const T t = static_cast<T>(v);
  std::memcpy(p, &t, sizeof t);
}

AVFrame* MakeFrame(const Format& src, int frames, int64_t start) {
  AVFrame* f = av_frame_alloc();
  f->format = src.format;
  f->nb_samples = frames;
  f->sample_rate = src.rate;
  av_channel_layout_default(&f->ch_layout, src.channels);
  if (av_frame_get_buffer(f, 0) < 0) av_frame_free(&f);
  const bool planar = av_sample_fmt_is_planar(src.format);
  const int bytes = av_get_bytes_per_sample(src.format);
  for (int i = 0; f && i < frames; ++i) {
    for (int c = 0; c < src.channels; ++c) {
      const double v = Tone(start + i, c, src.rate);
      uint8_t* p = planar ? f->extended_data[c] + static_cast<size_t>(i) * bytes
                          : f->extended_data[0] + (static_cast<size_t>(i) * src.channels + c) * bytes;
      switch (av_get_packed_sample_fmt(src.format)) {
        case AV_SAMPLE_FMT_U8: Put<uint8_t>(p, std::lrint(v * 127.0 + 128.0)); break;
        case AV_SAMPLE_FMT_S16: Put<int16_t>(p, std::lrint(v * 32767.0)); break;
        case AV_SAMPLE_FMT_S32: Put<int32_t>(p, std::lrint(v * 2147483647.0)); break;
        case AV_SAMPLE_FMT_FLT: Put<float>(p, v); break;
        default: Put<double>(p, v); break;
      }
    }
  }
  return f;
}

AVCodecContext* MakeCodecContext(const Format& src) {
  AVCodecContext* ctx = avcodec_alloc_context3(nullptr);
  ctx->sample_fmt = src.format;
  ctx->sample_rate = src.rate;
  av_channel_layout_default(&ctx->ch_layout, src.channels);
  return ctx;
}

SwrContext* Resampler(const Format& in, const Format& out) {
  AVChannelLayout inLayout{}, outLayout{};
  av_channel_layout_default(&inLayout, in.channels);
  av_channel_layout_default(&outLayout, out.channels);
  SwrContext* swr = nullptr;
  swr_alloc_set_opts2(&swr, &outLayout, out.format, out.rate, &inLayout, in.format, in.rate, 0, nullptr);
  if (in.channels == 1) {  // a mono source at full level on both sides
    const double unity[2] = {1.0, 1.0};
    swr_set_matrix(swr, unity, 1);
  }
  swr_init(swr);
  return swr;
}

const Format kStereo{AV_SAMPLE_FMT_FLT, 48000, 2};

// Kept buffers against the same resamplers writing into fresh buffers for each chunk.
void CompareChains(const Format& src, const Format& dev) {
  SCOPED_TRACE(std::string(av_get_sample_fmt_name(src.format)) + " " + std::to_string(src.rate) + " Hz " +
               std::to_string(src.channels) + " ch -> " + av_get_sample_fmt_name(dev.format) + " " +
               std::to_string(dev.rate) + " Hz " + std::to_string(dev.channels) + " ch");
  AVCodecContext* ctx = MakeCodecContext(src);
  CStereoConverter stereo;
  uint64_t mask = 0;
  ASSERT_TRUE(stereo.Init(*ctx, &mask));
  CSampleBuffer device;
  SwrContext* output = Resampler(kStereo, dev);
  SwrContext* refStereo = Resampler(src, kStereo);
  SwrContext* refOutput = Resampler(kStereo, dev);
  ASSERT_TRUE(output && refStereo && refOutput && swr_is_initialized(output));
  const int deviceBytes = av_get_bytes_per_sample(dev.format) * dev.channels;
  int64_t at = 0, deviceFrames = 0;
  // The device conversion on both sides, compared.
  const auto toDevice = [&](const float* in, int frames) {
    std::vector<uint8_t> refD(static_cast<size_t>(swr_get_out_samples(refOutput, frames) + 1) * deviceBytes);
    uint8_t* refDOut = refD.data();
    const uint8_t* refIn = reinterpret_cast<const uint8_t*>(in);
    const int refM = swr_convert(refOutput, &refDOut, static_cast<int>(refD.size() / deviceBytes), &refIn, frames);
    const int m = ConvertForDevice(output, dev.rate, dev.channels, in, frames, device);
    ASSERT_EQ(m, refM) << frames << " frames";
    ASSERT_TRUE(m <= 0 || std::memcmp(device.Data(), refD.data(), m * deviceBytes) == 0) << frames << " frames";
    deviceFrames += m;
  };
  const uint8_t* stereoData = nullptr;
  const uint8_t* deviceData = nullptr;
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t k = 0; k < std::size(kChunks); ++k) {
      const int frames = kChunks[k] * src.rate / 48000 + kChunks[k] % 5 + 1;
      AVFrame* frame = MakeFrame(src, frames, at);
      ASSERT_NE(frame, nullptr);
      at += frames;
      std::vector<float> refS(2 * static_cast<size_t>(swr_get_out_samples(refStereo, frames)));
      uint8_t* refSOut = reinterpret_cast<uint8_t*>(refS.data());
      const int refN = swr_convert(refStereo, &refSOut, static_cast<int>(refS.size() / 2),
                                   const_cast<const uint8_t**>(frame->extended_data), frames);
      const int n = stereo.Convert(*frame, src.rate);
      av_frame_free(&frame);
      ASSERT_EQ(n, refN) << "chunk " << k << " of pass " << pass;
      ASSERT_TRUE(n <= 0 || std::memcmp(stereo.Data(), refS.data(), n * 2 * sizeof(float)) == 0) << "chunk " << k;
      ASSERT_NO_FATAL_FAILURE(toDevice(stereo.Data(), std::max(0, n))) << "chunk " << k << " of pass " << pass;
      // An empty chunk drains the device resampler; a flush would pad its tail into the sound.
      if (k == 4 && swr_get_delay(refOutput, 48000) > 0) {
        ASSERT_NO_FATAL_FAILURE(toDevice(stereo.Data(), 0));
      }
    }
    if (pass == 0) {
      stereoData = reinterpret_cast<const uint8_t*>(stereo.Data());
      deviceData = device.Data();
    }
  }
  // The tone went through, and once the largest chunk has been seen the same buffers serve every chunk.
  EXPECT_NEAR(static_cast<double>(deviceFrames) / dev.rate, static_cast<double>(at) / src.rate, 0.01);
  EXPECT_EQ(reinterpret_cast<const uint8_t*>(stereo.Data()), stereoData);
  EXPECT_EQ(device.Data(), deviceData);
  swr_free(&output);
  swr_free(&refStereo);
  swr_free(&refOutput);
  avcodec_free_context(&ctx);
}

TEST(AudioChunk, KeptBuffersGiveTheSamplesOfFreshBuffersForEveryFormat) {
  const Format sources[] = {
      {AV_SAMPLE_FMT_FLTP, 48000, 2},  // AAC
      {AV_SAMPLE_FMT_S16, 8000, 1},    // G.711
      {AV_SAMPLE_FMT_S16P, 44100, 2},
      {AV_SAMPLE_FMT_S32P, 96000, 6},
      {AV_SAMPLE_FMT_U8, 22050, 1},
      {AV_SAMPLE_FMT_DBL, 16000, 3},
  };
  const Format devices[] = {
      {AV_SAMPLE_FMT_FLT, 48000, 2}, {AV_SAMPLE_FMT_S16, 44100, 2}, {AV_SAMPLE_FMT_S32, 96000, 6},
      {AV_SAMPLE_FMT_U8, 8000, 1},   {AV_SAMPLE_FMT_DBL, 32000, 4},
  };
  for (const Format& s : sources)
    for (const Format& d : devices) CompareChains(s, d);
}

// The three high bytes of each 32-bit sample, in order, in place; an odd count.
TEST(AudioChunk, PackedTwentyFourBitsKeepTheHighBytes) {
  const std::vector<int32_t> in = {0x12345678, -0x12345678, INT32_MAX, INT32_MIN, 0x00000100};
  std::vector<uint8_t> bytes(in.size() * 4);
  std::memcpy(bytes.data(), in.data(), bytes.size());
  PackS32ToS24(bytes.data(), in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    const int32_t packed = static_cast<int32_t>(static_cast<uint32_t>(bytes[3 * i]) << 8 |
                                                static_cast<uint32_t>(bytes[3 * i + 1]) << 16 |
                                                static_cast<uint32_t>(bytes[3 * i + 2]) << 24);
    EXPECT_EQ(packed, in[i] & ~0xFF) << i;
  }
}

}  // namespace
}  // namespace kx
