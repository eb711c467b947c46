#include "media/preview_session.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <pthread.h>

#include <chrono>

#include "common/app_log.h"
#include "media/camera_info.h"
#include "media/stream_probe.h"
#include "platform/debug_output.h"
#include "resources/res_str.h"

namespace kx {

namespace {

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(platform::Clock::now().time_since_epoch()).count();
}

// Streams without data for this long fail their stream-information search
// (on top of OpenTimeout): a camera may need a while for its first keyframe.
constexpr int32_t kStreamInfoExtraMs = 5000;

}  // namespace

int32_t EffectiveOpenTimeout(int32_t storedMs) {
  constexpr int32_t kDefaultMs = 4000, kLongestMs = 60000;
  if (storedMs <= 0) return kDefaultMs;
  return storedMs > kLongestMs ? kLongestMs : storedMs;
}

CPreviewSession::CPreviewSession(IPreviewHost& host, IAnalysisFeed& analysis, IAudioTarget& audio,
                                 const CSettingsBlock& settings)
    : m_host(host), m_analysis(analysis), m_audio(audio), m_settings(settings) {
  avformat_network_init();
  m_pOpenWatchdog = CreateOpenWatchdog(&m_bStopRequested);
}

CPreviewSession::~CPreviewSession() {
  // The decode thread goes first: a reconnecting thread may be inside an
  // open that uses the watchdog.
  StopDecodeThread();
  DestroyOpenWatchdog(m_pOpenWatchdog);
  ClearFrameQueue();
  ResetAnalysis();
  avformat_network_deinit();
}

void CPreviewSession::Start(OpenOn on) {
  m_bPlaying = 1;
  DoPreviewStart(on);
}

void CPreviewSession::Stop() {
  m_bPlaying = 0;
  StopPreview();
}

void CPreviewSession::SetURL(const std::u16string& url) {
  std::lock_guard<std::mutex> lock(m_csURL);
  m_strURL = url;
}

std::u16string CPreviewSession::URL() const {
  std::lock_guard<std::mutex> lock(m_csURL);
  return m_strURL;
}

bool CPreviewSession::IsIdle() const {
  return !HasDecodeThread() && !m_bInputOpen.load(std::memory_order_acquire) && m_bBusy.load() == 0;
}

void CPreviewSession::RequestStop() {
  m_bStopRequested.store(true, std::memory_order_release);
  m_hStopEvent.Set();
}

void CPreviewSession::ClearStopRequest() {
  m_hStopEvent.Reset();
  m_bStopRequested.store(false, std::memory_order_release);
}

void CPreviewSession::SetBusy() {
  std::lock_guard<std::mutex> lock(m_csBusy);
  m_nBusyUntilPicture = UpcomingPictureGeneration();
  m_bBusy = 1;
  m_spinner.Reset();
}

void CPreviewSession::SetIdle() {
  std::lock_guard<std::mutex> lock(m_csBusy);
  m_nBusyUntilPicture = 0;
  m_bBusy = 0;
  m_spinner.Reset();
}

void CPreviewSession::PictureShown(uint64_t generation) {
  if (m_bBusy.load(std::memory_order_acquire) == 0) return;
  std::lock_guard<std::mutex> lock(m_csBusy);
  // A picture of an earlier run, shown late, says nothing about this one.
  if (m_nBusyUntilPicture == 0 || generation < m_nBusyUntilPicture) return;
  m_nBusyUntilPicture = 0;
  m_bBusy = 0;
  m_spinner.Reset();
}

void CPreviewSession::HostCameraInfo(CameraInfoLine line, const std::u16string& text) {
  TestPoint(SessionPoint::BeforeCameraInfo);
  if (StopRequested()) return;
  m_host.CameraInfo(line, text);
}

void CPreviewSession::BeginRead() {
  m_bReadInterrupted.store(false, std::memory_order_release);
  m_readStartNs.store(NowNs(), std::memory_order_release);
}
void CPreviewSession::EndRead() { m_readStartNs.store(0, std::memory_order_release); }

int CPreviewSession::ReadInterruptCallback(void* opaque) {
  auto* s = static_cast<CPreviewSession*>(opaque);
  bool interrupt = s->StopRequested();
  const int64_t start = s->m_readStartNs.load(std::memory_order_acquire);
  if (!interrupt && start != 0) {
    const int64_t quietNs = NowNs() - start;
    interrupt = quietNs > int64_t{s->m_readLimitMs.load(std::memory_order_acquire)} * 1000000;
  }
  if (interrupt) s->m_bReadInterrupted.store(true, std::memory_order_release);
  return interrupt ? 1 : 0;
}

void CPreviewSession::ShowMessage(MessageIcon icon, uint32_t textId) {
  if (!StopRequested()) m_host.MessageBox(icon, ResStr(textId));
}

void CPreviewSession::DoPreviewStart(OpenOn on) {
  if (HasDecodeThread()) return;  // an opening, running or reconnecting preview is left alone
  if (m_decodeThread.joinable()) m_decodeThread.join();  // the last one ended by itself
  ClearStopRequest();
  DecodeProc proc = DecodeProc::None;
  if (on == OpenOn::Caller) {
    proc = OpenStream(false);
    if (proc == DecodeProc::None) return;
  } else {
    // The spinner from the command on, not from when the thread gets going.
    SetBusy();
  }
  m_bThreadAlive.store(true, std::memory_order_release);
  m_decodeThread = std::thread([this, proc] { DecodeThreadMain(proc); });
}

void CPreviewSession::StopPreview() {
  RequestStop();
  if (m_decodeThread.joinable()) m_decodeThread.join();
  ResetAnalysis();
  ClearFrameQueue();
  // After the join: nothing can send a line after this clear.
  m_host.CameraInfo(CameraInfoLine::Clear, {});
}

void CPreviewSession::StopDecodeThread() {
  m_bPlaying = 0;
  RequestStop();
  if (m_decodeThread.joinable()) m_decodeThread.join();
}

void CPreviewSession::CloseStream() {
  m_nVideoStream = -1;
  m_nAudioStream = -1;
  avcodec_free_context(&m_pVideoCodecCtx);
  avcodec_free_context(&m_pAudioCodecCtx);
  m_pVideoCodec = nullptr;
  m_pAudioCodec = nullptr;
  if (m_pFormatCtx) avformat_close_input(&m_pFormatCtx);
  m_pFormatCtx = nullptr;
  m_bInputOpen.store(false, std::memory_order_release);
}

namespace {

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

CPreviewSession::InputResult CPreviewSession::OpenInput(const std::string& url, const ProbeLimits& limits,
                                                        int32_t timeoutMs, bool logUrl) {
  // 3. The open runs under the watchdog.
  m_pFormatCtx = avformat_alloc_context();
  m_pFormatCtx->interrupt_callback.callback = OpenInterruptCallback;
  m_pFormatCtx->interrupt_callback.opaque = m_pOpenWatchdog.get();
  m_pOpenWatchdog->bTimedOut = 0;
  m_pOpenWatchdog->hTimer.Arm(platform::Millis(timeoutMs));

  // 4. The password never reaches the log.
  if (logUrl) LogInfo("URL: " + kxMaskUrlPassword(url));

  // 5.
  m_pOpenWatchdog->bOpening = true;
  const int opened = avformat_open_input(&m_pFormatCtx, url.c_str(), nullptr, nullptr);
  m_pOpenWatchdog->bOpening = false;
  if (opened < 0) {
    m_pFormatCtx = nullptr;  // freed by the failed open
    return InputResult::OpenFailed;
  }
  m_bInputOpen.store(true, std::memory_order_release);

  // 6. From here on the input answers to stop requests and to a camera that
  // goes quiet, not to the watchdog. The armed timer runs out harmlessly.
  m_readLimitMs = timeoutMs + kStreamInfoExtraMs;
  BeginRead();
  m_pFormatCtx->interrupt_callback.callback = ReadInterruptCallback;
  m_pFormatCtx->interrupt_callback.opaque = this;

  // 7.
  av_format_inject_global_side_data(m_pFormatCtx);
  if (m_pFormatCtx->pb) m_pFormatCtx->pb->eof_reached = 0;

  // 8.
  TestPoint(SessionPoint::BeforeStreamSearch);
  const int info = FindStreamInfo(m_pFormatCtx, limits);
  EndRead();
  m_readLimitMs = timeoutMs;
  // Stopped, or the camera went quiet: the search may still report success
  // for the streams it had, but it is no reason to search again.
  if (m_bReadInterrupted.load(std::memory_order_acquire)) return info < 0 ? InputResult::NoStreamInfo : InputResult::Open;
  if (limits.bounded && !AllStreamParametersKnown(*m_pFormatCtx)) return InputResult::Incomplete;
  return info < 0 ? InputResult::NoStreamInfo : InputResult::Open;
}

DecodeProc CPreviewSession::OpenStream(bool onDecodeThread) {
  // 1. Connecting indicator, analysis and information bar.
  SetBusy();
  ResetAnalysis();
  HostCameraInfo(CameraInfoLine::Clear, {});

  // 2.
  const std::string url = ConvertUnicodeToUTF8(URL());
  LogInfo(std::string_view("DoPreviewStart"));

  // 3 to 8. The search reads only until the decoders can be set up (see
  // FindStreamInfo), so the first picture is not held back by a survey of the
  // frame rate. A short search that left a stream's parameters unknown cannot
  // be taken up again: the input is opened once more and searched in full.
  const int32_t timeoutMs = EffectiveOpenTimeout(m_settings.OpenTimeout.Get());
  InputResult input = OpenInput(url, m_probeLimits, timeoutMs, true);
  if (input == InputResult::Incomplete) {
    CloseStream();
    m_stats.fullProbes++;
    platform::DebugOutput(std::string_view("Stream parameters incomplete after a short search: full search\n"));
    // A stop that came meanwhile ends the start as a stopped search would.
    input = StopRequested() ? InputResult::NoStreamInfo : OpenInput(url, ProbeLimits::Full(), timeoutMs, false);
  }
  if (input == InputResult::OpenFailed) {
    // An open that a stop cancelled is no camera fault: nothing to log or show.
    if (StopRequested()) {
      m_stats.openStops++;
    } else {
      LogError(ResStrEnglish(3330));
      m_stats.openFailures++;
      ShowMessage(MessageIcon::Error, 3330);
    }
    SetIdle();
    return DecodeProc::None;
  }
  // An input without stream information is closed again.
  if (input == InputResult::NoStreamInfo) {
    if (StopRequested()) m_stats.openStops++;
    CloseStream();
    SetIdle();
    return DecodeProc::None;
  }

  // 9. The first stream of each kind.
  int32_t video = -1, audio = -1;
  for (unsigned i = 0; i < m_pFormatCtx->nb_streams; ++i) {
    const AVMediaType type = m_pFormatCtx->streams[i]->codecpar->codec_type;
    if (type == AVMEDIA_TYPE_VIDEO && video < 0) video = static_cast<int32_t>(i);
    if (type == AVMEDIA_TYPE_AUDIO && audio < 0) audio = static_cast<int32_t>(i);
  }
  m_nVideoStream = video;
  m_nAudioStream = audio;

  // 10, 11.
  if (video < 0) {
    const std::string text = "ffmpeg: Видео поток отсутсвует, запуск предпросмотра невозможен!";
    platform::DebugOutput(text + "\n");
    LogWarning(text);
    ShowMessage(MessageIcon::Warning, 3331);
  }
  if (audio < 0) {
    const std::string text = "ffmpeg: Аудио поток отсутсвует, запуск предпросмотра невозможен!";
    platform::DebugOutput(text + "\n");
    LogWarning(text);
    ShowMessage(MessageIcon::Warning, 3332);
  }

  // 12.
  if (video >= 0) {
    AVStream* stream = m_pFormatCtx->streams[video];
    if (!OpenDecoder(stream, m_pVideoCodecCtx, m_pVideoCodec)) {
      const std::string text = "ffmpeg: Видео кодек не найден, запуск предпросмотра невозможен!";
      platform::DebugOutput(text + "\n");
      LogWarning(text);
      ShowMessage(MessageIcon::Warning, 3333);
    } else {
      VideoStreamInfo info;
      info.codecLongName = m_pVideoCodec->long_name ? m_pVideoCodec->long_name : "";
      info.width = m_pVideoCodecCtx->width;
      info.height = m_pVideoCodecCtx->height;
      info.fps = ChooseFrameRate(stream->avg_frame_rate.num, stream->avg_frame_rate.den, stream->r_frame_rate.num,
                                 stream->r_frame_rate.den);
      LogInfo(u"Video codec: " + VideoInfoHead(info, InfoLanguage::Log));
      HostCameraInfo(CameraInfoLine::Video, VideoInfoText(info));
    }
  }

  // 13.
  if (audio >= 0) {
    AVStream* stream = m_pFormatCtx->streams[audio];
    if (!OpenDecoder(stream, m_pAudioCodecCtx, m_pAudioCodec)) {
      const std::string text = "ffmpeg: Аудио кодек не найден, запуск предпросмотра невозможен!";
      platform::DebugOutput(text + "\n");
      LogWarning(text);
      ShowMessage(MessageIcon::Warning, 3334);
    } else {
      AudioStreamInfo info;
      info.codecLongName = m_pAudioCodec->long_name ? m_pAudioCodec->long_name : "";
      info.firstSampleFormat =
          m_pAudioCodec->sample_fmts && m_pAudioCodec->sample_fmts[0] != AV_SAMPLE_FMT_NONE
              ? static_cast<int32_t>(m_pAudioCodec->sample_fmts[0])
              : -1;
      info.channels = m_pAudioCodecCtx->ch_layout.nb_channels;
      info.sampleRate = m_pAudioCodecCtx->sample_rate;
      info.bitRate = m_pAudioCodecCtx->bit_rate;
      LogInfo(u"Audio codec: " + AudioInfoText(info, InfoLanguage::Log));
      HostCameraInfo(CameraInfoLine::Audio, AudioInfoText(info));
    }
  }

  // 14. A decode thread keeps a stop request that came meanwhile.
  if (!onDecodeThread) ClearStopRequest();

  // 15. A decoder counts when one was found, even if it did not open.
  const bool videoOk = video >= 0 && m_pVideoCodec;
  const bool audioOk = audio >= 0 && m_pAudioCodec;
  DecodeProc proc = DecodeProc::None;
  if (videoOk && audioOk)
    proc = DecodeProc::AV;
  else if (videoOk)
    proc = DecodeProc::Video;
  else if (video < 0 && audioOk)
    proc = DecodeProc::Audio;
  if (proc != DecodeProc::None) {
    m_stats.runs++;
    m_stats.lastProc = static_cast<int32_t>(proc);
  } else {
    CloseStream();
    SetIdle();
    HostCameraInfo(CameraInfoLine::Clear, {});
  }
  return proc;
}

void CPreviewSession::DecodeThreadMain(DecodeProc proc) {
  static std::atomic<uint32_t> nextId{1};
  pthread_setname_np(pthread_self(), "kx-decode");  // to tell it apart in top and perf
  if (proc == DecodeProc::None) proc = OpenStream(true);  // a start that opens here
  while (proc != DecodeProc::None) {
    // A stop that came while the stream opened (a reconnection, or a Stop
    // right after Start) ends here: no run, no call into the host.
    TestPoint(SessionPoint::BeforeRun);
    if (StopRequested()) {
      CloseStream();
      SetIdle();
      break;
    }
    m_dwDecodeThreadId = nextId.fetch_add(1);
    const uint32_t rc = proc == DecodeProc::AV      ? ThreadProcAV(this)
                        : proc == DecodeProc::Video ? ThreadProcVideo(this)
                                                    : ThreadProcAudio(this);
    m_dwDecodeThreadId = 0;
    if (rc != 0) break;  // a set-up failure never restarts
    if (StopRequested() || m_bPlaying.load() != 1) break;
    if (proc == DecodeProc::AV) LogInfo(std::string_view("call DoPreviewStart ..."));
    m_stats.reconnections++;
    proc = OpenStream(true);
  }
  m_bThreadAlive.store(false, std::memory_order_release);
  // Ended by itself (a failed open, a run that could not reconnect): the
  // window's commands follow. A stop's caller does that itself, and may be
  // destroying the host.
  if (!StopRequested()) m_host.DecodeThreadEnded();
}

}  // namespace kx
