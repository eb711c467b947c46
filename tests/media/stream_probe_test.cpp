// The short stream-information search against FFmpeg's full one, both run
// through the session's own opening on the peer camera (see
// tests/peers/30-rtsp-camera.peer.sh for the mounts): the streams, the
// decoders set up from them and the camera information shown must not
// depend on how far the search read.
#include <cstdlib>
#include <sstream>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
}

#include "camera_server.h"
#include "media/camera_info.h"
#include "media/stream_probe.h"
#include "session_fixture.h"
#include "session_test_access.h"

namespace kx::test {
namespace {

std::string PeerUrl(const std::string& mount) {
  const std::string base = PeerCameraBase();
  return base.empty() ? "" : base + mount;
}

#define REQUIRE_PEER(url)                                                              \
  if ((url).empty()) {                                                                 \
    if (const char* r = std::getenv("KX_REQUIRE_PEERS"); r && std::string(r) == "1") \
      FAIL() << "KX_RTSP_CAMERA is not set";                                           \
    GTEST_SKIP() << "no RTSP camera peer (run under tests/peers/with-peers)";          \
  }

// What the decode run and the information bar take from one stream.
std::string StreamFacts(const AVStream& st) {
  const AVCodecParameters& p = *st.codecpar;
  std::ostringstream s;
  s << av_get_media_type_string(p.codec_type) << " " << avcodec_get_name(p.codec_id);
  if (p.codec_type == AVMEDIA_TYPE_VIDEO) {
    s << " " << p.width << "x" << p.height << " "
      << (p.format >= 0 ? av_get_pix_fmt_name(static_cast<AVPixelFormat>(p.format)) : "none") << " fps "
      << ChooseFrameRate(st.avg_frame_rate.num, st.avg_frame_rate.den, st.r_frame_rate.num, st.r_frame_rate.den);
  } else if (p.codec_type == AVMEDIA_TYPE_AUDIO) {
    char layout[64] = "";
    av_channel_layout_describe(&p.ch_layout, layout, sizeof layout);
    s << " " << p.sample_rate << " Hz " << p.ch_layout.nb_channels << " ch (" << layout << ") "
      << (p.format >= 0 ? av_get_sample_fmt_name(static_cast<AVSampleFormat>(p.format)) : "none") << " "
      << p.bit_rate << " bit/s";
  }
  return s.str();
}

// One opening of `url` through the session with `limits`.
struct Opening {
  DecodeProc proc = DecodeProc::None;
  std::vector<std::string> streams;
  std::string videoDecoder, audioDecoder;  // the opened decoders' own view
  std::u16string videoLine, audioLine;
  int64_t fullProbes = 0;
};

Opening Open(const std::string& url, const ProbeLimits& limits) {
  SessionRig rig;
  rig.session.SetURL(std::u16string(url.begin(), url.end()));
  rig.session.SetProbeLimits(limits);
  Opening o;
  o.proc = CPreviewSessionTestAccess::OpenStream(rig.session, false);
  if (AVFormatContext* ctx = CPreviewSessionTestAccess::FormatContext(rig.session)) {
    for (unsigned i = 0; i < ctx->nb_streams; ++i) o.streams.push_back(StreamFacts(*ctx->streams[i]));
  }
  if (const AVCodecContext* v = CPreviewSessionTestAccess::VideoCodecContext(rig.session)) {
    o.videoDecoder = std::to_string(v->width) + "x" + std::to_string(v->height) + " " +
                     (v->pix_fmt >= 0 ? av_get_pix_fmt_name(v->pix_fmt) : "none");
  }
  if (const AVCodecContext* a = CPreviewSessionTestAccess::AudioCodecContext(rig.session)) {
    o.audioDecoder = std::to_string(a->sample_rate) + " Hz " + std::to_string(a->ch_layout.nb_channels) + " ch " +
                     (a->sample_fmt >= 0 ? av_get_sample_fmt_name(a->sample_fmt) : "none");
  }
  o.videoLine = rig.host.VideoLine();
  o.audioLine = rig.host.AudioLine();
  o.fullProbes = rig.session.Stats().fullProbes.load();
  CPreviewSessionTestAccess::CloseStream(rig.session);
  rig.session.SetIdle();
  return o;
}

void ExpectSameOpening(const Opening& shortSearch, const Opening& fullSearch, const std::string& mount) {
  SCOPED_TRACE(mount);
  EXPECT_EQ(shortSearch.proc, fullSearch.proc);
  EXPECT_EQ(shortSearch.streams, fullSearch.streams);
  EXPECT_EQ(shortSearch.videoDecoder, fullSearch.videoDecoder);
  EXPECT_EQ(shortSearch.audioDecoder, fullSearch.audioDecoder);
  EXPECT_EQ(ConvertUnicodeToUTF8(shortSearch.videoLine), ConvertUnicodeToUTF8(fullSearch.videoLine));
  EXPECT_EQ(ConvertUnicodeToUTF8(shortSearch.audioLine), ConvertUnicodeToUTF8(fullSearch.audioLine));
}

// Video only, audio only (AAC and G.711), 16-bit PCM, and picture with sound
// in short and long audio packets.
TEST(StreamProbe, ShortSearchFindsWhatTheFullSearchFinds) {
  REQUIRE_PEER(PeerUrl("/av"));
  struct Mount {
    const char* path;
    DecodeProc proc;
  };
  for (const Mount& m : {Mount{"/video", DecodeProc::Video}, Mount{"/pcmu", DecodeProc::Audio},
                         Mount{"/tone437", DecodeProc::Audio}, Mount{"/lr", DecodeProc::Audio},
                         Mount{"/av", DecodeProc::AV}, Mount{"/avsync", DecodeProc::AV},
                         Mount{"/slowaudio", DecodeProc::AV}}) {
    const std::string url = PeerUrl(m.path);
    const Opening full = Open(url, ProbeLimits::Full());
    const Opening bounded = Open(url, ProbeLimits::Bounded());
    SCOPED_TRACE(m.path);
    ASSERT_EQ(full.proc, m.proc);
    ASSERT_FALSE(full.streams.empty());
    ExpectSameOpening(bounded, full, m.path);
    // Every mount sends a key frame first: the short search was enough.
    EXPECT_EQ(bounded.fullProbes, 0);
  }
}

// A search that may read nothing cannot know an H.264 picture's size: the
// full search must take over and still find the same streams.
TEST(StreamProbe, IncompleteShortSearchFallsBackToTheFullSearch) {
  REQUIRE_PEER(PeerUrl("/av"));
  ProbeLimits nothing = ProbeLimits::Bounded();
  nothing.probeSize = 0;
  nothing.analyzeDurationUs = 1;
  for (const char* mount : {"/av", "/video"}) {
    const std::string url = PeerUrl(mount);
    const Opening full = Open(url, ProbeLimits::Full());
    const Opening fallback = Open(url, nothing);
    EXPECT_EQ(fallback.fullProbes, 1) << mount;
    ExpectSameOpening(fallback, full, mount);
  }
}

// A stop requested as the search begins ends the search as before: nothing
// shown, and no second opening for a full search on top.
class StopAtSearch : public ISessionTestHook {
 public:
  void At(CPreviewSession& session, SessionPoint point) override {
    if (point == SessionPoint::BeforeStreamSearch) CPreviewSessionTestAccess::RequestStop(session);
  }
};

TEST(StreamProbe, StopDuringTheSearchIsNoReasonToSearchAgain) {
  REQUIRE_PEER(PeerUrl("/av"));
  SessionRig rig;
  StopAtSearch hook;
  rig.session.SetTestHook(&hook);
  const std::string url = PeerUrl("/av");
  rig.session.SetURL(std::u16string(url.begin(), url.end()));
  // What it found before the stop may stand (the decode thread closes it on
  // seeing the request); the point is what did not happen.
  CPreviewSessionTestAccess::OpenStream(rig.session, false);
  EXPECT_EQ(rig.session.Stats().fullProbes.load(), 0);
  EXPECT_EQ(rig.session.Stats().openFailures.load(), 0);
  EXPECT_TRUE(rig.host.Boxes().empty());
  EXPECT_TRUE(rig.host.VideoLine().empty());
  rig.session.SetTestHook(nullptr);
  CPreviewSessionTestAccess::CloseStream(rig.session);
  rig.session.SetIdle();
}

AVCodecParameters* Params(AVMediaType type) {
  AVCodecParameters* p = avcodec_parameters_alloc();
  p->codec_type = type;
  return p;
}

TEST(StreamProbe, ParametersKnownOnlyWhenADecoderCanBeSetUp) {
  AVCodecParameters* v = Params(AVMEDIA_TYPE_VIDEO);
  EXPECT_FALSE(StreamParametersKnown(*v));
  v->width = 636;
  v->height = 358;
  EXPECT_FALSE(StreamParametersKnown(*v)) << "no pixel format";
  v->format = AV_PIX_FMT_YUV420P;
  EXPECT_TRUE(StreamParametersKnown(*v));
  v->height = 0;
  EXPECT_FALSE(StreamParametersKnown(*v)) << "no height";

  AVCodecParameters* a = Params(AVMEDIA_TYPE_AUDIO);
  a->sample_rate = 11025;
  a->format = AV_SAMPLE_FMT_S16;
  EXPECT_FALSE(StreamParametersKnown(*a)) << "no channels";
  av_channel_layout_default(&a->ch_layout, 3);
  EXPECT_TRUE(StreamParametersKnown(*a));
  a->format = AV_SAMPLE_FMT_NONE;
  EXPECT_FALSE(StreamParametersKnown(*a)) << "no sample format";
  a->format = AV_SAMPLE_FMT_FLTP;
  a->sample_rate = 0;
  EXPECT_FALSE(StreamParametersKnown(*a)) << "no sample rate";

  AVCodecParameters* d = Params(AVMEDIA_TYPE_DATA);
  EXPECT_TRUE(StreamParametersKnown(*d)) << "streams the session does not decode never hold the search";
  avcodec_parameters_free(&v);
  avcodec_parameters_free(&a);
  avcodec_parameters_free(&d);
}

}  // namespace
}  // namespace kx::test
