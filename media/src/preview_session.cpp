#include "media/preview_session.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <pthread.h>

#include <chrono>

#include "common/app_log.h"
#include "platform/debug_output.h"
#include "resources/res_str.h"

namespace kx {

namespace {

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(platform::Clock::now().time_since_epoch()).count();
}

}  // namespace

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
  m_bPlaying.store(true, std::memory_order_release);
  DoPreviewStart(on);
}

void CPreviewSession::Stop() {
  m_bPlaying.store(false, std::memory_order_release);
  StopPreview();
}

bool CPreviewSession::Restart(OpenOn on, const std::function<void()>& whileStopped) {
  if (!IsPlaying()) return false;
  Stop();
  if (whileStopped) whileStopped();
  Start(on);
  return true;
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
  return !HasDecodeThread() && !m_bInputOpen.load(std::memory_order_acquire) && !IsBusy();
}

void CPreviewSession::RequestStop() { m_bStopRequested.store(true, std::memory_order_release); }

void CPreviewSession::ClearStopRequest() { m_bStopRequested.store(false, std::memory_order_release); }

void CPreviewSession::SetBusy() {
  std::lock_guard<std::mutex> lock(m_csBusy);
  m_nBusyUntilPicture = UpcomingPictureGeneration();
  m_bBusy.store(true, std::memory_order_release);
  m_spinner.Reset();
}

void CPreviewSession::SetIdle() {
  std::lock_guard<std::mutex> lock(m_csBusy);
  m_nBusyUntilPicture = 0;
  m_bBusy.store(false, std::memory_order_release);
  m_spinner.Reset();
}

void CPreviewSession::PictureShown(uint64_t generation) {
  if (!IsBusy()) return;
  std::lock_guard<std::mutex> lock(m_csBusy);
  // A picture of an earlier run, shown late, says nothing about this one.
  if (m_nBusyUntilPicture == 0 || generation < m_nBusyUntilPicture) return;
  m_nBusyUntilPicture = 0;
  m_bBusy.store(false, std::memory_order_release);
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
  m_bPlaying.store(false, std::memory_order_release);
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

void CPreviewSession::DecodeThreadMain(DecodeProc proc) {
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
    const uint32_t rc = proc == DecodeProc::AV      ? ThreadProcAV(this)
                        : proc == DecodeProc::Video ? ThreadProcVideo(this)
                                                    : ThreadProcAudio(this);
    if (rc != 0) break;  // a set-up failure never restarts
    if (StopRequested() || !IsPlaying()) break;
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
