#include "stream_open.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "common/app_log.h"
#include "media/camera_info.h"
#include "platform/debug_output.h"
#include "resources/res_str.h"

namespace kx {

namespace {

// Streams without data for this long fail their stream-information search
// (on top of OpenTimeout): a camera may need a while for its first keyframe.
constexpr int32_t kStreamInfoExtraMs = 5000;

// The codec context of one stream: a fresh context filled from the stream's
// parameters, opened with the decoder found for it. False when it could not
// be opened; `ctx` and `codec` are set as far as they got.
bool OpenDecoder(AVStream* stream, AVCodecContext*& ctx, const AVCodec*& codec) {
  codec = avcodec_find_decoder(stream->codecpar->codec_id);
  ctx = avcodec_alloc_context3(codec);
  if (!ctx) return false;
  if (avcodec_parameters_to_context(ctx, stream->codecpar) < 0) return false;
  ctx->pkt_timebase = stream->time_base;
  return avcodec_open2(ctx, codec, nullptr) >= 0;
}

}  // namespace

int32_t EffectiveOpenTimeout(int32_t storedMs) {
  constexpr int32_t kDefaultMs = 4000, kLongestMs = 60000;
  if (storedMs <= 0) return kDefaultMs;
  return storedMs > kLongestMs ? kLongestMs : storedMs;
}

DecodeProc CPreviewSession::OpenStream(bool onDecodeThread) { return CStreamOpener(*this).Open(onDecodeThread); }

void CStreamOpener::Refuse(const std::string& text, uint32_t textId) {
  platform::DebugOutput(text + "\n");
  LogWarning(text);
  m_s.ShowMessage(MessageIcon::Warning, textId);
}

CStreamOpener::InputResult CStreamOpener::OpenInput(const std::string& url, const ProbeLimits& limits,
                                                    int32_t timeoutMs, bool logUrl) {
  AVFormatContext*& format = m_s.m_pFormatCtx;
  OPEN_WATCHDOG& watchdog = *m_s.m_pOpenWatchdog;
  // 3. The open runs under the watchdog.
  format = avformat_alloc_context();
  format->interrupt_callback.callback = OpenInterruptCallback;
  format->interrupt_callback.opaque = &watchdog;
  watchdog.bTimedOut = 0;
  watchdog.hTimer.Arm(platform::Millis(timeoutMs));

  // 4. The password never reaches the log.
  if (logUrl) LogInfo("URL: " + kxMaskUrlPassword(url));

  // 5.
  watchdog.bOpening = true;
  const int opened = avformat_open_input(&format, url.c_str(), nullptr, nullptr);
  watchdog.bOpening = false;
  if (opened < 0) {
    format = nullptr;  // freed by the failed open
    return InputResult::OpenFailed;
  }
  m_s.m_bInputOpen.store(true, std::memory_order_release);

  // 6. From here on the input answers to stop requests and to a camera that
  // goes quiet, not to the watchdog. The armed timer runs out harmlessly.
  m_s.m_readLimitMs = timeoutMs + kStreamInfoExtraMs;
  m_s.BeginRead();
  format->interrupt_callback.callback = CPreviewSession::ReadInterruptCallback;
  format->interrupt_callback.opaque = &m_s;

  // 7.
  av_format_inject_global_side_data(format);
  if (format->pb) format->pb->eof_reached = 0;

  // 8.
  m_s.TestPoint(SessionPoint::BeforeStreamSearch);
  const int info = FindStreamInfo(format, limits);
  m_s.EndRead();
  m_s.m_readLimitMs = timeoutMs;
  // Stopped, or the camera went quiet: the search may still report success
  // for the streams it had, but it is no reason to search again.
  if (m_s.m_bReadInterrupted.load(std::memory_order_acquire))
    return info < 0 ? InputResult::NoStreamInfo : InputResult::Open;
  if (limits.bounded && !AllStreamParametersKnown(*format)) return InputResult::Incomplete;
  return info < 0 ? InputResult::NoStreamInfo : InputResult::Open;
}

DecodeProc CStreamOpener::Open(bool onDecodeThread) {
  // 1. Connecting indicator, analysis and information bar.
  m_s.SetBusy();
  m_s.ResetAnalysis();
  m_s.HostCameraInfo(CameraInfoLine::Clear, {});

  // 2.
  const std::string url = ConvertUnicodeToUTF8(m_s.URL());
  LogInfo(std::string_view("DoPreviewStart"));

  // 3 to 8. The search reads only until the decoders can be set up (see
  // FindStreamInfo), so the first picture is not held back by a survey of the
  // frame rate. A short search that left a stream's parameters unknown cannot
  // be taken up again: the input is opened once more and searched in full.
  const int32_t timeoutMs = EffectiveOpenTimeout(m_s.m_settings.OpenTimeout.Get());
  InputResult input = OpenInput(url, m_s.m_probeLimits, timeoutMs, true);
  if (input == InputResult::Incomplete) {
    m_s.CloseStream();
    m_s.m_stats.fullProbes++;
    platform::DebugOutput(std::string_view("Stream parameters incomplete after a short search: full search\n"));
    // A stop that came meanwhile ends the start as a stopped search would.
    input = m_s.StopRequested() ? InputResult::NoStreamInfo : OpenInput(url, ProbeLimits::Full(), timeoutMs, false);
  }
  if (input == InputResult::OpenFailed) {
    // An open that a stop cancelled is no camera fault: nothing to log or show.
    if (m_s.StopRequested()) {
      m_s.m_stats.openStops++;
    } else {
      LogError(ResStrEnglish(3330));
      m_s.m_stats.openFailures++;
      m_s.ShowMessage(MessageIcon::Error, 3330);
    }
    m_s.SetIdle();
    return DecodeProc::None;
  }
  // An input without stream information is closed again.
  if (input == InputResult::NoStreamInfo) {
    if (m_s.StopRequested()) m_s.m_stats.openStops++;
    m_s.CloseStream();
    m_s.SetIdle();
    return DecodeProc::None;
  }

  // 9. The first stream of each kind.
  AVFormatContext* format = m_s.m_pFormatCtx;
  int32_t video = -1, audio = -1;
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    const AVMediaType type = format->streams[i]->codecpar->codec_type;
    if (type == AVMEDIA_TYPE_VIDEO && video < 0) video = static_cast<int32_t>(i);
    if (type == AVMEDIA_TYPE_AUDIO && audio < 0) audio = static_cast<int32_t>(i);
  }
  m_s.m_nVideoStream = video;
  m_s.m_nAudioStream = audio;

  // 10, 11.
  if (video < 0) Refuse("ffmpeg: Видео поток отсутсвует, запуск предпросмотра невозможен!", 3331);
  if (audio < 0) Refuse("ffmpeg: Аудио поток отсутсвует, запуск предпросмотра невозможен!", 3332);

  // 12.
  if (video >= 0) {
    AVStream* stream = format->streams[video];
    if (!OpenDecoder(stream, m_s.m_pVideoCodecCtx, m_s.m_pVideoCodec)) {
      Refuse("ffmpeg: Видео кодек не найден, запуск предпросмотра невозможен!", 3333);
    } else {
      VideoStreamInfo info;
      info.codecLongName = m_s.m_pVideoCodec->long_name ? m_s.m_pVideoCodec->long_name : "";
      info.width = m_s.m_pVideoCodecCtx->width;
      info.height = m_s.m_pVideoCodecCtx->height;
      info.fps = ChooseFrameRate(stream->avg_frame_rate.num, stream->avg_frame_rate.den, stream->r_frame_rate.num,
                                 stream->r_frame_rate.den);
      LogInfo(u"Video codec: " + VideoInfoHead(info, InfoLanguage::Log));
      m_s.HostCameraInfo(CameraInfoLine::Video, VideoInfoText(info));
    }
  }

  // 13.
  if (audio >= 0) {
    AVStream* stream = format->streams[audio];
    if (!OpenDecoder(stream, m_s.m_pAudioCodecCtx, m_s.m_pAudioCodec)) {
      Refuse("ffmpeg: Аудио кодек не найден, запуск предпросмотра невозможен!", 3334);
    } else {
      const AVCodec* codec = m_s.m_pAudioCodec;
      AudioStreamInfo info;
      info.codecLongName = codec->long_name ? codec->long_name : "";
      info.firstSampleFormat = codec->sample_fmts && codec->sample_fmts[0] != AV_SAMPLE_FMT_NONE
                                   ? static_cast<int32_t>(codec->sample_fmts[0])
                                   : -1;
      info.channels = m_s.m_pAudioCodecCtx->ch_layout.nb_channels;
      info.sampleRate = m_s.m_pAudioCodecCtx->sample_rate;
      info.bitRate = m_s.m_pAudioCodecCtx->bit_rate;
      LogInfo(u"Audio codec: " + AudioInfoText(info, InfoLanguage::Log));
      m_s.HostCameraInfo(CameraInfoLine::Audio, AudioInfoText(info));
    }
  }

  // 14. A decode thread keeps a stop request that came meanwhile.
  if (!onDecodeThread) m_s.ClearStopRequest();

  // 15. A decoder counts when one was found, even if it did not open.
  const bool videoOk = video >= 0 && m_s.m_pVideoCodec;
  const bool audioOk = audio >= 0 && m_s.m_pAudioCodec;
  DecodeProc proc = DecodeProc::None;
  if (videoOk && audioOk)
    proc = DecodeProc::AV;
  else if (videoOk)
    proc = DecodeProc::Video;
  else if (video < 0 && audioOk)
    proc = DecodeProc::Audio;
  if (proc != DecodeProc::None) {
    m_s.m_stats.runs++;
    m_s.m_stats.lastProc = static_cast<int32_t>(proc);
  } else {
    m_s.CloseStream();
    m_s.SetIdle();
    m_s.HostCameraInfo(CameraInfoLine::Clear, {});
  }
  return proc;
}

}  // namespace kx
