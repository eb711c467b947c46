// The render side's parts that need no sound server: the FIFO between the decode and render threads,
// the jitter margin, and the device formats built from sink sample specs.
#include <gtest/gtest.h>
#include <pulse/channelmap.h>
#include <pulse/sample.h>

#include <atomic>
#include <vector>

#include "audio/av_fifo.h"
#include "audio/jitter_margin.h"
#include "common/app_log.h"
#include "platform/audio/core_audio.h"

namespace kx {
namespace {

using namespace std::chrono_literals;
using Clock = CJitterMargin::Clock;

template <typename T>
uint8_t* Bytes(std::vector<T>& v) {
  return reinterpret_cast<uint8_t*>(v.data());
}

std::vector<int32_t> Ramp(int frames, int channels, int32_t start) {
  std::vector<int32_t> v(static_cast<size_t>(frames) * channels);
  for (size_t i = 0; i < v.size(); ++i) v[i] = start + static_cast<int32_t>(i);
  return v;
}

// Whole-byte samples (packed 24-bit too) and up to sixteen channels; frames come out whole and in order
// however writes and reads are cut. Without a sample FIFO nothing is taken, and the picture slot is gone too.
TEST(AVFifo, InitAcceptsOnlyWholeByteSamplesAndSixteenChannels) {
  CAVFifo fifo;
  EXPECT_EQ(fifo.Init(2, 8, 48000), 1);
  EXPECT_EQ(fifo.Init(16, 32, 48000), 1);
  EXPECT_EQ(fifo.Capacity(), 48000);
  ASSERT_EQ(fifo.Init(3, 24, 1000), 1);
  EXPECT_EQ(fifo.FrameBytes(), 9);
  std::vector<uint8_t> in(9 * 300), out(in.size());
  for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<uint8_t>(i * 5 + i / 256);
  EXPECT_EQ(fifo.Write(in.data(), 200, {}), 200);
  EXPECT_EQ(fifo.Write(in.data() + 9 * 200, 100, {}), 100);
  std::optional<PictureRecord> pic;
  EXPECT_EQ(fifo.Read(out.data(), 120, pic), 120);
  EXPECT_EQ(fifo.Read(out.data() + 9 * 120, 500, pic), 180);
  EXPECT_EQ(out, in);

  EXPECT_EQ(fifo.Init(2, 20, 48000), 0);
  EXPECT_EQ(fifo.Capacity(), 0);
  EXPECT_EQ(fifo.Init(17, 32, 48000), 0);
  EXPECT_EQ(fifo.Init(0, 16, 48000), 0);
  std::vector<int32_t> data = Ramp(10, 1, 0);
  PictureRecord picture;
  picture.width = picture.height = 2;
  picture.pixels = std::make_shared<const PicturePixels>(16, uint8_t{1});
  EXPECT_EQ(fifo.Write(Bytes(data), 10, picture), 0);
  EXPECT_EQ(fifo.Size(), 0);
  EXPECT_FALSE(fifo.PeekPicture().has_value());
}

// An overflow warns once an episode; the next comes after a reader made room.
TEST(AVFifo, HoldsOneSecondAtMostAndKeepsTheNewestFrames) {
  std::atomic<int> warnings{0};
  SetAppLogObserver([&](kxLogEventType type, const std::u16string&) { warnings += type == kxLogEventWarning; });
  CAVFifo fifo;
  ASSERT_EQ(fifo.Init(2, 32, 1000), 1);
  std::vector<int32_t> a = Ramp(700, 2, 0), b = Ramp(700, 2, 100000), out(2000);
  EXPECT_EQ(fifo.Write(Bytes(a), 700, {}), 700);
  EXPECT_EQ(warnings, 0);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(fifo.Write(Bytes(b), 700, {}), 700);
  EXPECT_EQ(fifo.Size(), 1000);
  EXPECT_EQ(warnings, 1);
  // The oldest frames went: what is left ends with b's last frames.
  std::optional<PictureRecord> pic;
  ASSERT_EQ(fifo.Read(Bytes(out), 1000, pic), 1000);
  EXPECT_EQ(out[1998], b[1398]);
  EXPECT_EQ(out[1999], b[1399]);

  std::vector<int32_t> big = Ramp(2500, 2, 7);
  EXPECT_EQ(fifo.Write(Bytes(big), 2500, {}), 1000);
  EXPECT_EQ(warnings, 2);
  ASSERT_EQ(fifo.Read(Bytes(out), 1, pic), 1);
  EXPECT_EQ(out[0], big[3000]);  // frame 1500 of 2500
  SetAppLogObserver(nullptr);
}

// The first sound waits the allowance whatever the chunk size, unless a burst already holds a chunk and the
// allowance. A late chunk raises the allowance, up to a ceiling; sound after a long pause starts afresh.
TEST(JitterMarginTest, LateChunksRaiseTheMarginAndANewStartResetsIt) {
  const auto t = Clock::time_point{} + 1h;
  for (int chunk : {160, 6144}) {
    CJitterMargin m;
    m.Reset(48000);
    EXPECT_FALSE(m.MayPlay(0, 0, t)) << chunk;
    EXPECT_FALSE(m.MayPlay(chunk, chunk, t + 5ms)) << chunk;
    EXPECT_TRUE(m.Holding());
    EXPECT_FALSE(m.MayPlay(chunk, chunk, t + 54ms)) << chunk;
    EXPECT_TRUE(m.MayPlay(chunk, chunk, t + 55ms)) << chunk;
    EXPECT_FALSE(m.Holding());
    EXPECT_TRUE(m.MayPlay(0, chunk, t + 60ms)) << chunk;  // once playing, every wake-up plays
  }
  CJitterMargin burst;
  burst.Reset(48000);
  EXPECT_FALSE(burst.MayPlay(1024 + 2399, 1024, t));
  EXPECT_TRUE(burst.MayPlay(1024 + 2400, 1024, t + 1ms));  // the chunk plus 50 ms

  CJitterMargin m;
  m.Reset(16000);  // any rate: targets are in the device's frames
  ASSERT_TRUE(m.MayPlay(5000, 1024, t));
  EXPECT_FALSE(m.TakeRaised());
  // Dry for 4 ms: raised by the step (more than the time without).
  m.RanDry(t + 100ms);
  m.RanDry(t + 101ms);  // a second report of the same episode changes nothing
  EXPECT_FALSE(m.MayPlay(100, 1024, t + 104ms));
  EXPECT_TRUE(m.TakeRaised());
  EXPECT_FALSE(m.TakeRaised());
  EXPECT_EQ(m.Allowance(), 60ms);
  EXPECT_EQ(m.TargetFrames(1024), 1024 + 960);
  // Reports while holding are not a new episode; the raised allowance is waited out.
  m.RanDry(t + 110ms);
  EXPECT_FALSE(m.MayPlay(1400, 1024, t + 163ms));
  EXPECT_TRUE(m.MayPlay(1400, 1024, t + 164ms));
  EXPECT_FALSE(m.TakeRaised());
  // Dry for 90 ms: raised by as long as it went without.
  m.RanDry(t + 200ms);
  EXPECT_FALSE(m.MayPlay(10, 1024, t + 290ms));
  EXPECT_EQ(m.Allowance(), 150ms);
  EXPECT_EQ(m.TargetMillis(1024), 64 + 150);
  // Never more than the ceiling, however long the late chunks.
  for (int i = 0; i < 10; ++i) {
    ASSERT_TRUE(m.MayPlay(16000, 1024, t + 1s + i * 1s));
    m.RanDry(t + 1s + i * 1s);
    m.MayPlay(1, 1024, t + 1s + i * 1s + 450ms);
  }
  EXPECT_EQ(m.TargetFrames(1024), 16000 * 400 / 1000);
  EXPECT_TRUE(m.TakeRaised());
  // Sound back after a long pause (a stop, another camera): the first allowance again.
  ASSERT_TRUE(m.MayPlay(16000, 1024, t + 20s));
  m.RanDry(t + 21s);
  EXPECT_FALSE(m.MayPlay(0, 1024, t + 22s));
  EXPECT_FALSE(m.MayPlay(100, 1024, t + 22s + 1ms));
  EXPECT_FALSE(m.TakeRaised());
  EXPECT_EQ(m.Allowance(), CJitterMargin::kFirstAllowance);
}

// Sink sample specs become wave formats: the tag, the sub-format, the sizes
// and the channel mask (also of a null sink's six channels: front,
// front-of-centre and rear centre).
TEST(DeviceFormat, SinkSampleSpecsBecomeTheirWaveFormats) {
  const std::vector<int> stereo = {PA_CHANNEL_POSITION_FRONT_LEFT, PA_CHANNEL_POSITION_FRONT_RIGHT};
  const std::vector<int> surround = {PA_CHANNEL_POSITION_FRONT_LEFT,   PA_CHANNEL_POSITION_FRONT_RIGHT,
                                     PA_CHANNEL_POSITION_FRONT_CENTER, PA_CHANNEL_POSITION_LFE,
                                     PA_CHANNEL_POSITION_REAR_LEFT,    PA_CHANNEL_POSITION_REAR_RIGHT};
  pa_channel_map six;
  pa_channel_map_init_extend(&six, 6, PA_CHANNEL_MAP_DEFAULT);
  struct Case {
    pa_sample_format_t format;
    uint32_t rate;
    std::vector<int> positions;
    uint16_t tag, bits, validBits, blockAlign;
    uint32_t mask;
  };
  const Case cases[] = {
      {PA_SAMPLE_FLOAT32LE, 48000, stereo, WAVE_FORMAT_EXTENSIBLE, 32, 32, 8, 0x3},
      {PA_SAMPLE_S16LE, 44100, {PA_CHANNEL_POSITION_MONO}, WAVE_FORMAT_PCM, 16, 0, 2, 0},
      {PA_SAMPLE_S32LE, 48000, stereo, WAVE_FORMAT_PCM, 32, 0, 8, 0},
      {PA_SAMPLE_S24LE, 48000, stereo, WAVE_FORMAT_EXTENSIBLE, 24, 24, 6, 0x3},
      {PA_SAMPLE_S24_32LE, 48000, stereo, WAVE_FORMAT_EXTENSIBLE, 32, 24, 8, 0x3},
      {PA_SAMPLE_FLOAT32LE, 48000, surround, WAVE_FORMAT_EXTENSIBLE, 32, 32, 24, 0x3F},
      {PA_SAMPLE_FLOAT32LE, 48000, std::vector<int>(six.map, six.map + 6), WAVE_FORMAT_EXTENSIBLE, 32, 32, 24, 0x1C7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(pa_sample_format_to_string(c.format)) + " " + std::to_string(c.positions.size()) + " ch");
    const int channels = static_cast<int>(c.positions.size());
    const WAVEFORMATEXTENSIBLE f = platform::audio::DeviceFormatFromSampleSpec(c.format, c.rate, channels, c.positions);
    EXPECT_EQ(f.Format.wFormatTag, c.tag);
    EXPECT_EQ(f.Format.nChannels, channels);
    EXPECT_EQ(f.Format.nSamplesPerSec, c.rate);
    EXPECT_EQ(f.Format.wBitsPerSample, c.bits);
    EXPECT_EQ(f.Format.nBlockAlign, c.blockAlign);
    EXPECT_EQ(f.Format.nAvgBytesPerSec, c.rate * c.blockAlign);
    if (c.tag != WAVE_FORMAT_EXTENSIBLE) continue;
    EXPECT_EQ(f.Format.cbSize, 22);
    EXPECT_EQ(f.Samples.wValidBitsPerSample, c.validBits);
    EXPECT_EQ(f.dwChannelMask, c.mask);
    EXPECT_TRUE(kxIsEqualGUID(
        f.SubFormat, c.format == PA_SAMPLE_FLOAT32LE ? KSDATAFORMAT_SUBTYPE_IEEE_FLOAT : KSDATAFORMAT_SUBTYPE_PCM));
  }
}

}  // namespace
}  // namespace kx
