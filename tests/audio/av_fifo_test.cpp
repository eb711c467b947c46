// The FIFO between the decode and render threads, and the device formats
// built from sink sample specs. No sound server needed.
#include <gtest/gtest.h>
#include <pulse/channelmap.h>
#include <pulse/sample.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "common/app_log.h"
#include "audio/av_fifo.h"
#include "platform/audio/core_audio.h"

namespace kx {
namespace {

std::vector<int32_t> Ramp(int frames, int channels, int32_t start) {
  std::vector<int32_t> v(static_cast<size_t>(frames) * channels);
  for (size_t i = 0; i < v.size(); ++i) v[i] = start + static_cast<int32_t>(i);
  return v;
}

PictureRecord Picture(int w, int h, int64_t pts) {
  PictureRecord r;
  r.width = w;
  r.height = h;
  r.pts = pts;
  r.pixels = std::make_shared<const PicturePixels>(static_cast<size_t>(w) * h * 4, uint8_t(pts));
  return r;
}

struct WarningCounter {
  std::mutex m;
  int warnings = 0;
  WarningCounter() {
    SetAppLogObserver([this](kxLogEventType type, const std::u16string&) {
      std::lock_guard<std::mutex> g(m);
      if (type == kxLogEventWarning) ++warnings;
    });
  }
  ~WarningCounter() { SetAppLogObserver(nullptr); }
  int Count() {
    std::lock_guard<std::mutex> g(m);
    return warnings;
  }
};

TEST(AVFifo, InitAcceptsOnlyWholeByteSamplesAndSixteenChannels) {
  CAVFifo fifo;
  EXPECT_EQ(fifo.Init(2, 8, 48000), 1);
  EXPECT_EQ(fifo.Init(2, 16, 48000), 1);
  EXPECT_EQ(fifo.Init(16, 32, 48000), 1);
  EXPECT_EQ(fifo.Capacity(), 48000);
  // Packed 24-bit frames: three bytes a sample, whole frames in and out.
  EXPECT_EQ(fifo.Init(3, 24, 48000), 1);
  EXPECT_EQ(fifo.FrameBytes(), 9);
  std::vector<uint8_t> in(9 * 7), out(9 * 7);
  for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<uint8_t>(i * 5 + 1);
  EXPECT_EQ(fifo.Write(in.data(), 7, {}), 7);
  std::optional<PictureRecord> none;
  EXPECT_EQ(fifo.Read(out.data(), 7, none), 7);
  EXPECT_EQ(out, in);
  EXPECT_EQ(fifo.Init(2, 20, 48000), 0);
  EXPECT_EQ(fifo.Capacity(), 0);
  EXPECT_EQ(fifo.Init(17, 32, 48000), 0);
  EXPECT_EQ(fifo.Channels(), 17);  // remembered even without a FIFO
  EXPECT_EQ(fifo.Init(0, 16, 48000), 0);
  // Without a sample FIFO nothing is taken, and the picture slot is gone too.
  const std::vector<int32_t> data = Ramp(10, 1, 0);
  EXPECT_EQ(fifo.Write(reinterpret_cast<const uint8_t*>(data.data()), 10, Picture(2, 2, 1)), 0);
  EXPECT_EQ(fifo.Size(), 0);
  EXPECT_FALSE(fifo.PeekPicture().has_value());
}

TEST(AVFifo, FramesComeOutInOrderAndWhole) {
  CAVFifo fifo;
  ASSERT_EQ(fifo.Init(3, 16, 1000), 1);
  std::vector<int16_t> in(300 * 3);
  for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<int16_t>(i * 7);
  EXPECT_EQ(fifo.Write(reinterpret_cast<const uint8_t*>(in.data()), 200, {}), 200);
  EXPECT_EQ(fifo.Write(reinterpret_cast<const uint8_t*>(in.data() + 600), 100, {}), 100);
  EXPECT_EQ(fifo.Size(), 300);
  std::vector<int16_t> out(in.size(), -1);
  std::optional<PictureRecord> pic;
  EXPECT_EQ(fifo.Read(reinterpret_cast<uint8_t*>(out.data()), 120, pic), 120);
  EXPECT_EQ(fifo.Read(reinterpret_cast<uint8_t*>(out.data() + 360), 500, pic), 180);
  EXPECT_EQ(out, in);
  EXPECT_EQ(fifo.Size(), 0);
}

TEST(AVFifo, PictureSlotKeepsTheNewestRecordWithoutConsumingIt) {
  CAVFifo fifo;
  ASSERT_EQ(fifo.Init(2, 32, 48000), 1);
  EXPECT_FALSE(fifo.PeekPicture().has_value());  // never written
  std::optional<PictureRecord> pic;
  int32_t buf[2];
  fifo.Read(reinterpret_cast<uint8_t*>(buf), 1, pic);
  EXPECT_FALSE(pic.has_value());

  const std::vector<int32_t> data = Ramp(4, 2, 0);
  fifo.Write(reinterpret_cast<const uint8_t*>(data.data()), 4, Picture(4, 2, 1));
  fifo.Write(reinterpret_cast<const uint8_t*>(data.data()), 4, Picture(4, 2, 2));
  fifo.WritePicture(Picture(8, 6, 3));
  for (int i = 0; i < 2; ++i) {
    pic.reset();
    fifo.Read(reinterpret_cast<uint8_t*>(buf), 1, pic);
    ASSERT_TRUE(pic.has_value());
    EXPECT_EQ(pic->pts, 3);
    EXPECT_EQ(pic->width, 8);
    EXPECT_EQ(pic->Data()[0], 3);
  }
  fifo.Free();
  EXPECT_FALSE(fifo.PeekPicture().has_value());
  EXPECT_EQ(fifo.Channels(), 0);
}

TEST(AVFifo, HoldsOneSecondAtMostAndKeepsTheNewestFrames) {
  WarningCounter log;
  CAVFifo fifo;
  ASSERT_EQ(fifo.Init(2, 32, 1000), 1);
  const std::vector<int32_t> a = Ramp(700, 2, 0);
  const std::vector<int32_t> b = Ramp(700, 2, 100000);
  EXPECT_EQ(fifo.Write(reinterpret_cast<const uint8_t*>(a.data()), 700, {}), 700);
  EXPECT_EQ(log.Count(), 0);
  EXPECT_EQ(fifo.Write(reinterpret_cast<const uint8_t*>(b.data()), 700, {}), 700);
  EXPECT_EQ(fifo.Size(), 1000);
  EXPECT_EQ(log.Count(), 1);
  // Still nobody reading: the same episode, no further warning.
  for (int i = 0; i < 5; ++i) fifo.Write(reinterpret_cast<const uint8_t*>(b.data()), 700, {});
  EXPECT_EQ(fifo.Size(), 1000);
  EXPECT_EQ(log.Count(), 1);

  // The oldest frames went: what is left ends with b's last frames.
  std::vector<int32_t> out(2000);
  std::optional<PictureRecord> pic;
  ASSERT_EQ(fifo.Read(reinterpret_cast<uint8_t*>(out.data()), 1000, pic), 1000);
  EXPECT_EQ(out[1998], b[1398]);
  EXPECT_EQ(out[1999], b[1399]);

  // A reader made room: the next overflow is a new episode.
  const std::vector<int32_t> big = Ramp(2500, 2, 7);
  EXPECT_EQ(fifo.Write(reinterpret_cast<const uint8_t*>(big.data()), 2500, {}), 1000);
  EXPECT_EQ(log.Count(), 2);
  ASSERT_EQ(fifo.Read(reinterpret_cast<uint8_t*>(out.data()), 1, pic), 1);
  EXPECT_EQ(out[0], big[3000]);  // frame 1500 of 2500
}

TEST(AVFifo, WriterAndReaderThreadsMoveEveryFrameInOrder) {
  CAVFifo fifo;
  ASSERT_EQ(fifo.Init(1, 32, 48000), 1);
  constexpr int kTotal = 200000;
  std::atomic<bool> failed{false};
  std::thread writer([&] {
    std::vector<int32_t> chunk(480);
    for (int sent = 0; sent < kTotal;) {
      if (fifo.Size() > 24000) {
        std::this_thread::yield();
        continue;
      }
      for (int i = 0; i < 480; ++i) chunk[i] = sent + i;
      fifo.Write(reinterpret_cast<const uint8_t*>(chunk.data()), 480, Picture(1, 1, sent));
      sent += 480;
    }
  });
  int32_t expect = 0;
  std::vector<int32_t> buf(1000);
  std::optional<PictureRecord> pic;
  while (expect < kTotal - kTotal % 480 && !failed) {
    const int n = fifo.Read(reinterpret_cast<uint8_t*>(buf.data()), 1000, pic);
    for (int i = 0; i < n; ++i)
      if (buf[i] != expect++) failed = true;
  }
  writer.join();
  EXPECT_FALSE(failed);
}

// Sink sample specs become wave formats: the tag, the sub-format, the sizes,
// the channel mask (also of a null sink's six channels: front,
// front-of-centre and rear centre) and the resampler format they map to.
TEST(DeviceFormat, SinkSampleSpecsBecomeTheirWaveFormats) {
  using platform::audio::DeviceFormatFromSampleSpec;
  const std::vector<int> stereo = {PA_CHANNEL_POSITION_FRONT_LEFT, PA_CHANNEL_POSITION_FRONT_RIGHT};
  const std::vector<int> surround = {PA_CHANNEL_POSITION_FRONT_LEFT, PA_CHANNEL_POSITION_FRONT_RIGHT,
                                     PA_CHANNEL_POSITION_FRONT_CENTER, PA_CHANNEL_POSITION_LFE,
                                     PA_CHANNEL_POSITION_REAR_LEFT, PA_CHANNEL_POSITION_REAR_RIGHT};
  pa_channel_map six;
  pa_channel_map_init_extend(&six, 6, PA_CHANNEL_MAP_DEFAULT);
  struct Case {
    pa_sample_format_t format;
    uint32_t rate;
    std::vector<int> positions;
    uint16_t tag, bits, validBits, blockAlign;
    uint32_t mask;
    int swr;  // -1: not checked
  };
  const Case cases[] = {
      {PA_SAMPLE_FLOAT32LE, 48000, stereo, WAVE_FORMAT_EXTENSIBLE, 32, 32, 8, 0x3, KX_SAMPLE_FMT_FLT},
      {PA_SAMPLE_S16LE, 44100, {PA_CHANNEL_POSITION_MONO}, WAVE_FORMAT_PCM, 16, 0, 2, 0, KX_SAMPLE_FMT_S16},
      {PA_SAMPLE_S32LE, 48000, stereo, WAVE_FORMAT_PCM, 32, 0, 8, 0, -1},
      {PA_SAMPLE_S24LE, 48000, stereo, WAVE_FORMAT_EXTENSIBLE, 24, 24, 6, 0x3, -1},
      {PA_SAMPLE_S24_32LE, 48000, stereo, WAVE_FORMAT_EXTENSIBLE, 32, 24, 8, 0x3, KX_SAMPLE_FMT_S32},
      {PA_SAMPLE_FLOAT32LE, 48000, surround, WAVE_FORMAT_EXTENSIBLE, 32, 32, 24, 0x3F, -1},
      {PA_SAMPLE_FLOAT32LE, 48000, std::vector<int>(six.map, six.map + 6), WAVE_FORMAT_EXTENSIBLE, 32, 32, 24, 0x1C7, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(pa_sample_format_to_string(c.format)) + " " + std::to_string(c.positions.size()) + " ch");
    const int channels = static_cast<int>(c.positions.size());
    const WAVEFORMATEXTENSIBLE f = DeviceFormatFromSampleSpec(c.format, c.rate, channels, c.positions);
    EXPECT_EQ(f.Format.wFormatTag, c.tag);
    EXPECT_EQ(f.Format.nChannels, channels);
    EXPECT_EQ(f.Format.nSamplesPerSec, c.rate);
    EXPECT_EQ(f.Format.wBitsPerSample, c.bits);
    EXPECT_EQ(f.Format.nBlockAlign, c.blockAlign);
    EXPECT_EQ(f.Format.nAvgBytesPerSec, c.rate * c.blockAlign);
    if (c.swr >= 0) {
      EXPECT_EQ(CA2SWR_format(&f.Format), c.swr);
    }
    if (c.tag != WAVE_FORMAT_EXTENSIBLE) continue;
    EXPECT_EQ(f.Format.cbSize, 22);
    EXPECT_EQ(f.Samples.wValidBitsPerSample, c.validBits);
    EXPECT_EQ(f.dwChannelMask, c.mask);
    EXPECT_TRUE(kxIsEqualGUID(f.SubFormat, c.format == PA_SAMPLE_FLOAT32LE ? KSDATAFORMAT_SUBTYPE_IEEE_FLOAT
                                                                          : KSDATAFORMAT_SUBTYPE_PCM));
  }
}

}  // namespace
}  // namespace kx
