// The preview session against the peer camera (a real RTSP server).
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "camera_server.h"
#include "session_fixture.h"
#include "session_test_access.h"

namespace kx::test {
namespace {

using namespace std::chrono_literals;

const std::u16string kSep = u"  \u25A0  ";

// The blocks handed to the analyser, joined, must be one unbroken left channel
// of a 1000 Hz tone of `amplitude`: no step between neighbours, across block
// boundaries too, larger than a sample step of the tone allows (a splice or a
// lost stretch shifts the phase by many steps), and ten periods per block.
void ExpectContinuousTone(const std::vector<float>& values, double amplitude) {
  ASSERT_GE(values.size(), 50 * 480u);
  const double step = amplitude * 2 * 3.141592653589793 * 1000.0 / 48000.0;
  double worstBoundary = 0, worstInside = 0;
  size_t crossings = 0;
  // The first block is left out: a resampler's output may rise into the tone.
  for (size_t i = 481; i < values.size(); ++i) {
    const double d = std::abs(static_cast<double>(values[i]) - values[i - 1]);
    double& worst = i % 480 == 0 ? worstBoundary : worstInside;
    worst = std::max(worst, d);
    crossings += values[i - 1] < 0 && values[i] >= 0;
  }
  EXPECT_LE(worstInside, step * 1.2);
  EXPECT_LE(worstBoundary, step * 1.2) << "consecutive blocks do not join";
  const double blocks = static_cast<double>(values.size() - 480) / 480.0;
  EXPECT_NEAR(static_cast<double>(crossings) / blocks, 10.0, 0.05);
}

// What the analyser got from a stopped run: whole 480-frame blocks, every
// converted frame but the last partial block, one unbroken tone.
void ExpectWholeBlocksOfTone(SessionRig& rig, double amplitude) {
  const auto sizes = rig.feed.BlockSizes();
  for (size_t n : sizes) ASSERT_EQ(n, 480u);
  EXPECT_EQ(static_cast<int64_t>(sizes.size()), rig.session.Stats().analysisFramesConverted.load() / 480);
  EXPECT_EQ(rig.feed.StereoFrames(), rig.session.Stats().analysisFramesConverted.load()) << "the measurements miss frames";
  ExpectContinuousTone(rig.feed.Values(), amplitude);
}

float PeakOf(const std::vector<float>& values) {
  float peak = 0;
  for (float v : values) peak = std::max(peak, std::abs(v));
  return peak;
}

TEST(PreviewSession, PlaysVideoAndAudioTogether) {
  const std::string url = PeerUrl("/av");
  REQUIRE_PEER(url);
  CLogCapture log;
  SessionRig rig;
  const uint64_t earlier = NextPictureGeneration();  // a picture from before the start
  rig.Start(url);
  ASSERT_TRUE(rig.session.HasDecodeThread());
  EXPECT_EQ(rig.session.Stats().lastProc.load(), static_cast<int32_t>(DecodeProc::AV));
  EXPECT_EQ(rig.host.VideoLine(), u"Codec: [H.264 / AVC / MPEG-4 AVC / MPEG-4 part 10]" + kSep +
                                      u"Video size WxH: [1280x720]" + kSep + u"FPS: [25.0]");
  // The stream gives no audio bit rate, so there is no Bitrate part.
  EXPECT_EQ(rig.host.AudioLine(), u"Codec: [AAC (Advanced Audio Coding)]" + kSep + u"Format: [Float, planar]" +
                                      kSep + u"Channels: [Stereo]" + kSep + u"Sample rate: [48000]");
  EXPECT_TRUE(rig.host.Boxes().empty());

  // One second of output after the hold.
  ASSERT_TRUE(WaitUntil([&] { return rig.target.Frames() >= CRecordingTarget::kRate; }));
  // Audio before clock 3.0 is never written: about three seconds were held back.
  EXPECT_GE(rig.session.Stats().firstWrittenClockMicros.load(), 3'000'000);
  EXPECT_GE(rig.session.Stats().audioFramesHeld.load(), 48000 * 29 / 10);
  EXPECT_TRUE(log.Contains(u"----- Sync Audio -----"));

  // Every chunk took a picture with it; they are BGRA pictures of the stream's size.
  const auto pictures = rig.target.ChunkPictures();
  ASSERT_FALSE(pictures.empty());
  for (const auto& p : pictures) {
    ASSERT_FALSE(p.Empty());
    EXPECT_EQ(p.width, 1280);
    EXPECT_EQ(p.height, 720);
    EXPECT_EQ(p.pixels->size(), size_t{1280} * 720 * 4);
  }
  EXPECT_EQ(rig.session.VideoSize(), (VideoSize{1280, 720}));
  EXPECT_EQ(rig.target.EmptyPictureChunks(), 0);
  // Pictures converted and sent on are not yet shown: the spinner turns until
  // the presenter shows one of this start's pictures, not an older one.
  EXPECT_TRUE(rig.session.IsBusy());
  rig.session.PictureShown(earlier);
  EXPECT_TRUE(rig.session.IsBusy());
  rig.session.PictureShown(pictures.front().generation);
  EXPECT_FALSE(rig.session.IsBusy());
  // About two chunks per picture: chunks without a queued picture repeat the last one.
  EXPECT_GT(rig.session.Stats().dropCopies.load(), 0);
  EXPECT_TRUE(log.Contains(u"Drop - Copy pFrameRGB_Fill !!!"));
  // While audio was held the queue stayed at its bound, logged once per episode, not per picture.
  const int64_t queueDrops = rig.session.Stats().queueDrops.load();
  EXPECT_GT(queueDrops, 40);
  int queueLines = 0;
  for (const auto& line : log.Lines()) queueLines += line.rfind(u"Frame queue full", 0) == 0;
  EXPECT_GE(queueLines, 1);
  EXPECT_LT(queueLines, queueDrops / 10);
  EXPECT_LE(CPreviewSessionTestAccess::FrameQueue(rig.session).Size(), CFrameQueue::kDefaultBound);

  // The FIFO gets the 1000 Hz tone in the device's rate.
  const auto left = Channel(rig.target.Samples(), 2, 0);
  const std::vector<float> settled(left.begin() + left.size() / 2, left.end());
  EXPECT_NEAR(ZeroCrossingRate(settled, CRecordingTarget::kRate), 1000.0, 15.0);

  // Start while running changes nothing.
  const int clears = rig.host.Clears();
  rig.session.DoPreviewStart();
  EXPECT_EQ(rig.session.Stats().runs.load(), 1);
  EXPECT_EQ(rig.host.Clears(), clears);

  rig.session.Stop();
  EXPECT_FALSE(rig.session.HasDecodeThread());
  EXPECT_TRUE(rig.session.IsIdle());
  EXPECT_TRUE(CPreviewSessionTestAccess::FrameQueue(rig.session).Empty());
  EXPECT_EQ(rig.session.Stats().reconnections.load(), 0);
  EXPECT_EQ(rig.host.VideoLine(), u"");
  EXPECT_TRUE(log.Contains(u"ThreadProcAV done"));
  EXPECT_FALSE(log.Contains(u"call DoPreviewStart ..."));
}

TEST(PreviewSession, AnalyserGetsLeftChannelBlocks) {
  // Left channel 1000 Hz, right channel silent, uncompressed.
  const std::string url = PeerUrl("/lr");
  REQUIRE_PEER(url);
  SessionRig rig;
  rig.Start(url);
  ASSERT_TRUE(WaitUntil([&] { return rig.feed.Blocks() >= 100; }));
  rig.session.Stop();
  EXPECT_NEAR(PeakOf(rig.feed.Values()), 0.5f, 0.02f);  // the left channel's level, not the right's silence
  // 20 ms packets: two whole blocks per chunk, the left channel unbroken.
  ExpectWholeBlocksOfTone(rig, 0.5);
  // The device got silence on the right.
  EXPECT_LT(PeakOf(Channel(rig.target.Samples(), 2, 1)), 0.01f);
}

TEST(PreviewSession, AnalyserGetsEveryFrameOfAacChunks) {
  // AAC chunks are 1024 frames: blocks run on across chunk boundaries.
  const std::string url = PeerUrl("/av");
  REQUIRE_PEER(url);
  SessionRig rig;
  rig.Start(url);
  ASSERT_TRUE(WaitUntil([&] { return rig.feed.Blocks() >= 300; }));
  rig.session.Stop();
  ASSERT_EQ(rig.session.Stats().runs.load(), 1);
  EXPECT_GT(rig.session.Stats().analysisFramesConverted.load(), 1024 * 100);
  ExpectWholeBlocksOfTone(rig, 0.5);
}

TEST(PreviewSession, AudioOnlyStreamPlaysWithEmptyPictures) {
  const std::string url = PeerUrl("/pcmu");
  REQUIRE_PEER(url);
  CLogCapture log;
  SessionRig rig;
  rig.Start(url);
  ASSERT_TRUE(rig.session.HasDecodeThread());
  EXPECT_EQ(rig.session.Stats().lastProc.load(), static_cast<int32_t>(DecodeProc::Audio));
  ASSERT_EQ(rig.host.CountBoxes(u"Video is not present!"), 1);
  EXPECT_EQ(rig.host.Boxes()[0].icon, MessageIcon::Warning);
  EXPECT_TRUE(log.Contains(u"ffmpeg: Видео поток отсутсвует, запуск предпросмотра невозможен!"));
  EXPECT_EQ(rig.host.VideoLine(), u"");
  // 64 kbit/s of G.711: the Bitrate part is there.
  EXPECT_EQ(rig.host.AudioLine(), u"Codec: [PCM mu-law / G.711 mu-law]" + kSep + u"Format: [Signed 16 bits]" +
                                      kSep + u"Channels: [Mono]" + kSep + u"Sample rate: [8000]" + kSep +
                                      u"Bitrate: [64] kbps");
  ASSERT_TRUE(WaitUntil([&] { return rig.target.Frames() >= CRecordingTarget::kRate; }));
  EXPECT_EQ(rig.target.EmptyPictureChunks(), rig.target.Chunks());
  EXPECT_GE(rig.session.Stats().firstWrittenClockMicros.load(), 3'000'000);
  const auto left = Channel(rig.target.Samples(), 2, 0);
  EXPECT_NEAR(ZeroCrossingRate(left, CRecordingTarget::kRate), 1000.0, 15.0);
  rig.session.Stop();
  ExpectWholeBlocksOfTone(rig, 0.5);
  EXPECT_TRUE(rig.session.IsIdle());
  EXPECT_EQ(rig.session.Stats().picturesConverted.load(), 0);
}

TEST(PreviewSession, VideoOnlyStreamShowsSolidPicture) {
  const std::string url = PeerUrl("/video");
  REQUIRE_PEER(url);
  SessionRig rig;
  rig.Start(url);
  ASSERT_TRUE(rig.session.HasDecodeThread());
  EXPECT_EQ(rig.session.Stats().lastProc.load(), static_cast<int32_t>(DecodeProc::Video));
  EXPECT_EQ(rig.host.CountBoxes(u"Audio is not present!"), 1);
  EXPECT_EQ(rig.host.AudioLine(), u"");
  EXPECT_EQ(rig.host.VideoLine(), u"Codec: [H.264 / AVC / MPEG-4 AVC / MPEG-4 part 10]" + kSep +
                                      u"Video size WxH: [320x240]" + kSep + u"FPS: [25.0]");
  ASSERT_TRUE(WaitUntil([&] { return rig.target.PictureWrites() >= 30; }));
  EXPECT_GE(rig.host.Resizes(), 1);
  // Pixel buffers are reused: a few for the whole run (slot, newest, the one
  // being written), not one per picture.
  EXPECT_LE(CPreviewSessionTestAccess::PicturePool(rig.session).AllocatedCount(), 4u);
  const PictureRecord slot = rig.target.Slot();
  rig.session.Stop();
  // The record outlives the run and still shows its picture.
  ASSERT_FALSE(slot.Empty());
  ASSERT_EQ(slot.width, 320);
  ASSERT_EQ(slot.height, 240);
  ASSERT_EQ(slot.LineSize(), 320 * 4);
  // The camera paints R 0x30, G 0x80, B 0xC0; BGRA order, opaque.
  const uint8_t* px = slot.Data();
  for (int y : {0, 120, 239})
    for (int x : {0, 160, 319}) {
      const uint8_t* p = px + (y * 320 + x) * 4;
      EXPECT_NEAR(p[0], 0xC0, 6) << x << "," << y;
      EXPECT_NEAR(p[1], 0x80, 6) << x << "," << y;
      EXPECT_NEAR(p[2], 0x30, 6) << x << "," << y;
      EXPECT_EQ(p[3], 0xFF);
    }
  EXPECT_EQ(rig.target.Chunks(), 0);
  EXPECT_TRUE(CPreviewSessionTestAccess::FrameQueue(rig.session).Empty());
}

}  // namespace
}  // namespace kx::test
