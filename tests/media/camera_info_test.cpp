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
  const std::u16string head = u"Codec: [PCM mu-law / G.711 mu-law]" + kSep;
  const std::u16string tail = u"Sample rate: [8000]";
  struct Case {
    int format, channels, bitRate;
    std::u16string expected;
  };
  for (const Case& c : {Case{1, 1, 64000, u"Format: [Signed 16 bits]" + kSep + u"Channels: [Mono]" + kSep + tail + kSep +
                                              u"Bitrate: [64] kbps"},
                        Case{8, 2, 999, u"Format: [Float, planar]" + kSep + u"Channels: [Stereo]" + kSep + tail},
                        Case{12, 6, 128999, u"Channels: [6 channels]" + kSep + tail + kSep + u"Bitrate: [128] kbps"},
                        Case{-1, 1, 0, u"Channels: [Mono]" + kSep + tail},
                        Case{11, 1, 0, u"Format: [Signed 64 bits, planar]" + kSep + u"Channels: [Mono]" + kSep + tail}}) {
    const AudioStreamInfo a{"PCM mu-law / G.711 mu-law", c.format, c.channels, 8000, c.bitRate};
    EXPECT_EQ(AudioInfoText(a), head + c.expected) << c.format;
  }
}

// A stored OpenTimeout outside any sensible range neither fails every open
// at once nor blocks the user-interface thread for days.
TEST(OpenTimeout, StoredValuesBecomeUsableTimeouts) {
  const std::pair<int32_t, int32_t> cases[] = {{4000, 4000}, {437, 437},      {60000, 60000}, {60001, 60000},
                                               {INT32_MAX, 60000}, {0, 4000}, {-1, 4000},     {INT32_MIN, 4000}};
  for (const auto& [stored, used] : cases) EXPECT_EQ(EffectiveOpenTimeout(stored), used) << stored;
}

}  // namespace
}  // namespace kx
