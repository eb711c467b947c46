#include "media/camera_info.h"

#include <gtest/gtest.h>

#include "media/preview_session.h"

namespace kx {
namespace {

const std::u16string kSep = u"  \u25A0  ";

TEST(CameraInfo, VideoLineWithAndWithoutFrameRate) {
  VideoStreamInfo v{"H.264 / AVC / MPEG-4 AVC / MPEG-4 part 10", 1280, 720, 25.0f};
  EXPECT_EQ(VideoInfoHead(v), u"Codec: [H.264 / AVC / MPEG-4 AVC / MPEG-4 part 10]" + kSep +
                                  u"Video size WxH: [1280x720]");
  EXPECT_EQ(VideoInfoText(v), VideoInfoHead(v) + kSep + u"FPS: [25.0]");
  v.fps = ChooseFrameRate(30000, 1001, 0, 0);
  EXPECT_EQ(VideoInfoText(v), VideoInfoHead(v) + kSep + u"FPS: [30.0]");
  EXPECT_FLOAT_EQ(ChooseFrameRate(0, 1, 25, 1), 25.0f);   // average rate unknown: base rate
  EXPECT_FLOAT_EQ(ChooseFrameRate(12, 0, 0, 1), 0.0f);    // neither complete
}

TEST(CameraInfo, AudioLineParts) {
  AudioStreamInfo a{"AAC (Advanced Audio Coding)", 8, 2, 48000, 0};
  EXPECT_EQ(AudioInfoText(a), u"Codec: [AAC (Advanced Audio Coding)]" + kSep + u"Format: [Float, planar]" + kSep +
                                  u"Channels: [Stereo]" + kSep + u"Sample rate: [48000]");
  a.bitRate = 999;  // below 1 kbps: left out
  EXPECT_EQ(AudioInfoText(a).find(u"Bitrate"), std::u16string::npos);
  a.bitRate = 128999;
  EXPECT_EQ(AudioInfoText(a).substr(AudioInfoText(a).size() - 24), kSep + u"Bitrate: [128] kbps");

  AudioStreamInfo m{"PCM mu-law / G.711 mu-law", 1, 1, 8000, 64000};
  EXPECT_EQ(AudioInfoText(m), u"Codec: [PCM mu-law / G.711 mu-law]" + kSep + u"Format: [Signed 16 bits]" + kSep +
                                  u"Channels: [Mono]" + kSep + u"Sample rate: [8000]" + kSep +
                                  u"Bitrate: [64] kbps");
  m.channels = 6;
  m.firstSampleFormat = 12;  // outside the named formats: no Format part
  EXPECT_EQ(AudioInfoText(m), u"Codec: [PCM mu-law / G.711 mu-law]" + kSep + u"Channels: [6 channels]" + kSep +
                                  u"Sample rate: [8000]" + kSep + u"Bitrate: [64] kbps");
  m.firstSampleFormat = -1;
  EXPECT_EQ(AudioInfoText(m).find(u"Format"), std::u16string::npos);
  m.firstSampleFormat = 11;
  EXPECT_NE(AudioInfoText(m).find(u"Format: [Signed 64 bits, planar]"), std::u16string::npos);
}

// A stored OpenTimeout outside any sensible range neither fails every open
// at once nor blocks the user-interface thread for days.
TEST(OpenTimeout, StoredValuesBecomeUsableTimeouts) {
  EXPECT_EQ(EffectiveOpenTimeout(4000), 4000);
  EXPECT_EQ(EffectiveOpenTimeout(437), 437);
  EXPECT_EQ(EffectiveOpenTimeout(60000), 60000);
  EXPECT_EQ(EffectiveOpenTimeout(60001), 60000);
  EXPECT_EQ(EffectiveOpenTimeout(INT32_MAX), 60000);
  EXPECT_EQ(EffectiveOpenTimeout(0), 4000);
  EXPECT_EQ(EffectiveOpenTimeout(-1), 4000);
  EXPECT_EQ(EffectiveOpenTimeout(INT32_MIN), 4000);
}

}  // namespace
}  // namespace kx
