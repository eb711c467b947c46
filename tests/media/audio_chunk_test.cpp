// The decode side's two audio conversions with buffers kept across chunks
// give exactly the samples that converting each chunk into freshly
// allocated buffers gave, for several decoder and device formats, rates and
// channel counts and chunks of odd sizes.
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

struct Source {
  AVSampleFormat format;
  int rate;
  int channels;
};
struct Device {
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

AVFrame* MakeFrame(const Source& src, int frames, int64_t start) {
  AVFrame* f = av_frame_alloc();
  f->format = src.format;
  f->nb_samples = frames;
  f->sample_rate = src.rate;
  av_channel_layout_default(&f->ch_layout, src.channels);
  if (av_frame_get_buffer(f, 0) < 0) {
    av_frame_free(&f);
    return nullptr;
  }
  const bool planar = av_sample_fmt_is_planar(src.format);
  const AVSampleFormat packed = av_get_packed_sample_fmt(src.format);
  const int bytes = av_get_bytes_per_sample(src.format);
  for (int i = 0; i < frames; ++i) {
    for (int c = 0; c < src.channels; ++c) {
      const double v = Tone(start + i, c, src.rate);
      uint8_t* p = planar ? f->extended_data[c] + static_cast<size_t>(i) * bytes
                          : f->extended_data[0] + (static_cast<size_t>(i) * src.channels + c) * bytes;
      switch (packed) {
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

AVCodecContext* MakeCodecContext(const Source& src) {
  AVCodecContext* ctx = avcodec_alloc_context3(nullptr);
  ctx->sample_fmt = src.format;
  ctx->sample_rate = src.rate;
  av_channel_layout_default(&ctx->ch_layout, src.channels);
  return ctx;
}

SwrContext* Resampler(int inChannels, AVSampleFormat inFormat, int inRate, int outChannels, AVSampleFormat outFormat,
                      int outRate) {
  AVChannelLayout in{}, out{};
  av_channel_layout_default(&in, inChannels);
  av_channel_layout_default(&out, outChannels);
  SwrContext* swr = nullptr;
  swr_alloc_set_opts2(&swr, &out, outFormat, outRate, &in, inFormat, inRate, 0, nullptr);
  if (inChannels == 1) {  // a mono source at full level on both sides
    const double unity[2] = {1.0, 1.0};
    swr_set_matrix(swr, unity, 1);
  }
  swr_init(swr);
  return swr;
}

// The stereo resampler as the decode thread set it up before buffers were kept.
SwrContext* ReferenceStereo(const Source& src) {
  return Resampler(src.channels, src.format, src.rate, 2, AV_SAMPLE_FMT_FLT, 48000);
}

// The audio output's resampler into a device format.
SwrContext* DeviceResampler(const Device& dev) {
  return Resampler(2, AV_SAMPLE_FMT_FLT, 48000, dev.channels, dev.format, dev.rate);
}

std::string Name(const Source& s, const Device& d) {
  return std::string(av_get_sample_fmt_name(s.format)) + " " + std::to_string(s.rate) + " Hz " +
         std::to_string(s.channels) + " ch -> " + av_get_sample_fmt_name(d.format) + " " + std::to_string(d.rate) +
         " Hz " + std::to_string(d.channels) + " ch";
}

void CompareChains(const Source& src, const Device& dev) {
  SCOPED_TRACE(Name(src, dev));
  AVCodecContext* ctx = MakeCodecContext(src);
  CStereoConverter stereo;
  uint64_t mask = 1;
  ASSERT_TRUE(stereo.Init(*ctx, &mask));
  AVChannelLayout expectedLayout{};
  av_channel_layout_default(&expectedLayout, src.channels);
  EXPECT_EQ(mask, expectedLayout.u.mask);
  CSampleBuffer device;
  SwrContext* output = DeviceResampler(dev);
  SwrContext* refStereo = ReferenceStereo(src);
  SwrContext* refOutput = DeviceResampler(dev);
  ASSERT_TRUE(output && refStereo && refOutput && swr_is_initialized(output));
  const int deviceBytes = av_get_bytes_per_sample(dev.format) * dev.channels;

  int64_t at = 0, stereoFrames = 0, deviceFrames = 0;
  const uint8_t* stereoData = nullptr;
  const uint8_t* deviceData = nullptr;
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t k = 0; k < std::size(kChunks); ++k) {
      const int frames = kChunks[k] * src.rate / 48000 + kChunks[k] % 5 + 1;
      AVFrame* frame = MakeFrame(src, frames, at);
      ASSERT_NE(frame, nullptr);
      at += frames;

      // Then: fresh buffers for each chunk.
      const int count1 = static_cast<int>(
          av_rescale_rnd(swr_get_delay(refStereo, src.rate) + frames, 48000, src.rate, AV_ROUND_UP));
      uint8_t* refS = nullptr;
      ASSERT_GE(av_samples_alloc(&refS, nullptr, 2, count1, AV_SAMPLE_FMT_FLT, 0), 0);
      const int refN =
          swr_convert(refStereo, &refS, count1, const_cast<const uint8_t**>(frame->extended_data), frames);
      const int count2 = static_cast<int>(
          av_rescale_rnd(std::max(0, refN) + swr_get_delay(refOutput, 48000), dev.rate, 48000, AV_ROUND_UP));
      uint8_t* refD = nullptr;
      ASSERT_GE(av_samples_alloc(&refD, nullptr, dev.channels, count2,
                                 av_get_bytes_per_sample(dev.format) > 4 ? dev.format : AV_SAMPLE_FMT_FLT, 0),
                0);
      const uint8_t* refIn[1] = {refS};
      const int refM = swr_convert(refOutput, &refD, count2, refIn, std::max(0, refN));

      // Now: the kept buffers.
      const int n = stereo.Convert(*frame, src.rate);
      const int m = ConvertForDevice(output, dev.rate, dev.channels, stereo.Data(), n, device);

      ASSERT_EQ(n, refN) << "chunk " << k << " of pass " << pass;
      ASSERT_EQ(m, refM) << "chunk " << k << " of pass " << pass;
      if (n > 0) {
        ASSERT_EQ(std::memcmp(stereo.Data(), refS, static_cast<size_t>(n) * 2 * sizeof(float)), 0)
            << "stereo samples differ in chunk " << k;
      }
      if (m > 0) {
        ASSERT_EQ(std::memcmp(device.Data(), refD, static_cast<size_t>(m) * deviceBytes), 0)
            << "device samples differ in chunk " << k;
      }
      stereoFrames += n;
      deviceFrames += m;
      av_freep(&refS);
      av_freep(&refD);
      av_frame_free(&frame);
    }
    if (pass == 0) {
      stereoData = reinterpret_cast<const uint8_t*>(stereo.Data());
      deviceData = device.Data();
    }
  }
  // The tone went through: about the input's length at each rate.
  const double seconds = static_cast<double>(at) / src.rate;
  EXPECT_NEAR(static_cast<double>(stereoFrames) / 48000, seconds, 0.01);
  EXPECT_NEAR(static_cast<double>(deviceFrames) / dev.rate, seconds, 0.01);
  // Once the largest chunk has been seen, the same buffers serve every chunk.
  EXPECT_EQ(reinterpret_cast<const uint8_t*>(stereo.Data()), stereoData);
  EXPECT_EQ(device.Data(), deviceData);

  swr_free(&output);
  swr_free(&refStereo);
  swr_free(&refOutput);
  av_channel_layout_uninit(&expectedLayout);
  avcodec_free_context(&ctx);
}

TEST(AudioChunk, KeptBuffersGiveTheSamplesOfFreshBuffersForEveryFormat) {
  const Source sources[] = {
      {AV_SAMPLE_FMT_FLTP, 48000, 2},  // AAC
      {AV_SAMPLE_FMT_S16, 8000, 1},    // G.711
      {AV_SAMPLE_FMT_S16P, 44100, 2},
      {AV_SAMPLE_FMT_S32P, 96000, 6},
      {AV_SAMPLE_FMT_U8, 22050, 1},
      {AV_SAMPLE_FMT_DBL, 16000, 3},
  };
  const Device devices[] = {
      {AV_SAMPLE_FMT_FLT, 48000, 2},
      {AV_SAMPLE_FMT_S16, 44100, 2},
      {AV_SAMPLE_FMT_S32, 96000, 6},
      {AV_SAMPLE_FMT_U8, 8000, 1},
      {AV_SAMPLE_FMT_DBL, 32000, 4},
  };
  for (const Source& s : sources)
    for (const Device& d : devices) CompareChains(s, d);
}

TEST(AudioChunk, AMonoSourceIsBothSidesAtFullLevel) {
  const Source src{AV_SAMPLE_FMT_S16, 8000, 1};
  AVCodecContext* ctx = MakeCodecContext(src);
  CStereoConverter stereo;
  uint64_t mask = 0;
  ASSERT_TRUE(stereo.Init(*ctx, &mask));
  EXPECT_EQ(mask, static_cast<uint64_t>(AV_CH_LAYOUT_MONO));
  float peak = 0;
  for (int k = 0; k < 10; ++k) {
    AVFrame* frame = MakeFrame(src, 160, k * 160);
    const int n = stereo.Convert(*frame, src.rate);
    ASSERT_GT(n, 0);
    for (int i = 0; i < n; ++i) {
      EXPECT_EQ(stereo.Data()[2 * i], stereo.Data()[2 * i + 1]);
      peak = std::max(peak, std::abs(stereo.Data()[2 * i]));
    }
    av_frame_free(&frame);
  }
  EXPECT_NEAR(peak, 0.6, 0.01);
  avcodec_free_context(&ctx);
}

TEST(AudioChunk, AChunkWithoutStereoFramesLeavesTheDeviceStreamWhole) {
  // 48 kHz into 44.1 kHz: the device resampler holds part of each chunk. An
  // empty chunk in between must not flush it (that would put the filter's
  // padded tail into the middle of the sound).
  const Device dev{AV_SAMPLE_FMT_S16, 44100, 2};
  std::vector<float> chunk(2 * 441);
  auto run = [&](bool withEmpty) {
    SwrContext* output = DeviceResampler(dev);
    CSampleBuffer buffer;
    std::vector<int16_t> out;
    for (int k = 0; k < 20; ++k) {
      for (int i = 0; i < 441; ++i)
        chunk[2 * i] = chunk[2 * i + 1] = static_cast<float>(Tone(k * 441 + i, 0, 48000));
      const int m = ConvertForDevice(output, dev.rate, dev.channels, chunk.data(), 441, buffer);
      EXPECT_GE(m, 0);
      const auto* d = reinterpret_cast<const int16_t*>(buffer.Data());
      out.insert(out.end(), d, d + std::max(0, m) * 2);
      if (withEmpty && k == 9) {
        const int e = ConvertForDevice(output, dev.rate, dev.channels, chunk.data(), 0, buffer);
        EXPECT_GE(e, 0);
        const auto* z = reinterpret_cast<const int16_t*>(buffer.Data());
        out.insert(out.end(), z, z + std::max(0, e) * 2);
      }
    }
    swr_free(&output);
    return out;
  };
  const std::vector<int16_t> plain = run(false), interrupted = run(true);
  ASSERT_GT(plain.size(), 2u * 8000);
  // The same stream: what the empty chunk drained comes out earlier, nothing more.
  const size_t common = std::min(plain.size(), interrupted.size());
  EXPECT_LE(std::max(plain.size(), interrupted.size()) - common, 2u * 64);
  EXPECT_EQ(std::vector<int16_t>(plain.begin(), plain.begin() + common),
            std::vector<int16_t>(interrupted.begin(), interrupted.begin() + common));
}

TEST(AudioChunk, NoDeviceOrNothingToHoldGivesNoSamples) {
  CSampleBuffer buffer;
  std::vector<float> chunk(2 * 100, 0.25f);
  EXPECT_LT(ConvertForDevice(nullptr, 48000, 2, chunk.data(), 100, buffer), 0);
  SwrContext* output = DeviceResampler({AV_SAMPLE_FMT_FLT, 48000, 2});
  EXPECT_LT(ConvertForDevice(output, 0, 2, chunk.data(), 100, buffer), 0);
  EXPECT_LT(ConvertForDevice(output, 48000, 0, chunk.data(), 100, buffer), 0);
  EXPECT_EQ(buffer.Data(), nullptr);
  EXPECT_EQ(buffer.Reserve(2, 0, AV_SAMPLE_FMT_FLT), nullptr);
  EXPECT_EQ(ConvertForDevice(output, 48000, 2, chunk.data(), 100, buffer), 100);
  EXPECT_EQ(reinterpret_cast<const float*>(buffer.Data())[199], 0.25f);
  swr_free(&output);
  CStereoConverter unset;
  EXPECT_FALSE(unset.Ready());
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
