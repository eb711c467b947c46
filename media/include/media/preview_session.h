// The preview view's media side: the RTSP input opened under a time limit
// (on the caller's thread, or for a window on the decode thread), the chosen
// streams and their decoders, the frame queue and the decode thread that
// turns packets into BGRA pictures and device-format audio and reconnects
// after a drop. Runs with or without a window (see IPreviewHost).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/settings_block.h"
#include "media/frame_queue.h"
#include "media/open_watchdog.h"
#include "media/picture_pool.h"
#include "media/preview_host.h"
#include "media/stream_probe.h"
#include "platform/sync.h"

struct AVFormatContext;
struct AVCodecContext;
struct AVCodec;

namespace kx {

enum class DecodeProc : int32_t { None = 0, AV = 1, Video = 2, Audio = 3 };

// A picture size that another thread may read whole.
class AtomicVideoSize {
 public:
  explicit AtomicVideoSize(VideoSize s) { Set(s); }
  void Set(VideoSize s) {
    m_packed.store((static_cast<uint64_t>(static_cast<uint32_t>(s.cx)) << 32) | static_cast<uint32_t>(s.cy),
                   std::memory_order_release);
  }
  VideoSize Get() const {
    uint64_t v = m_packed.load(std::memory_order_acquire);
    return {static_cast<int32_t>(v >> 32), static_cast<int32_t>(v & 0xffffffffu)};
  }

 private:
  std::atomic<uint64_t> m_packed{0};
};

// The connecting indicator's animation: frames composed since the indicator
// was set, in one atomic counter. The session resets it and the render thread
// steps it; as one value, a reset can never be overwritten by a step that
// read the counter before it (a stale frame at the start of a connection).
class CSpinnerCounter {
 public:
  static constexpr uint32_t kFrames = 8;
  static constexpr uint32_t kTicksPerFrame = 3;
  void Reset() { m_nTicks.store(0, std::memory_order_relaxed); }
  // The frame to draw now; the next call is one composed frame later.
  int32_t Step() { return FrameOf(m_nTicks.fetch_add(1, std::memory_order_relaxed)); }
  int32_t Frame() const { return FrameOf(m_nTicks.load(std::memory_order_relaxed)); }
  int32_t TicksInFrame() const {
    return static_cast<int32_t>(m_nTicks.load(std::memory_order_relaxed) % kTicksPerFrame);
  }

 private:
  static int32_t FrameOf(uint32_t ticks) { return static_cast<int32_t>((ticks / kTicksPerFrame) % kFrames); }
  std::atomic<uint32_t> m_nTicks{0};
};

class CPreviewSession;

// Points of a start and a run at which a test may hold the thread that gets
// there, to make a stop or a destruction arrive exactly then.
enum class SessionPoint { BeforeCameraInfo, BeforeRun, BeforeResizeTargets, BeforeStreamSearch };
class ISessionTestHook {
 public:
  virtual ~ISessionTestHook() = default;
  virtual void At(CPreviewSession& session, SessionPoint point) = 0;
};

// Counters of what the session did, for the probe, the tests and the log.
struct SessionStats {
  std::atomic<int64_t> picturesConverted{0};  // all runs
  std::atomic<int64_t> audioChunksWritten{0};
  std::atomic<int64_t> audioFramesWritten{0};  // device frames
  std::atomic<int64_t> analysisFramesConverted{0};  // 48 kHz stereo frames of output chunks, all runs
  std::atomic<int64_t> audioFramesHeld{0};     // input frames dropped before clock 3.0
  std::atomic<int64_t> dropCopies{0};          // chunks that repeated the last picture
  std::atomic<int64_t> queueDrops{0};          // records dropped at the queue bound
  std::atomic<int64_t> runs{0};                // decode runs started
  std::atomic<int64_t> reconnections{0};       // DoPreviewStart calls by an ending run
  std::atomic<int64_t> openFailures{0};        // "Error rtsp url!"
  std::atomic<int64_t> openStops{0};           // opens and stream searches ended by a stop request
  std::atomic<int64_t> fullProbes{0};          // openings whose short stream search left parameters unknown
  std::atomic<int64_t> firstWrittenClockMicros{-1};  // audio clock of the run's first output chunk
  std::atomic<int32_t> lastProc{0};            // DecodeProc of the newest run
};

// The open timeout the session uses for a stored OpenTimeout: the stored
// milliseconds, except that 0 or less means the default 4000 and more than a
// minute means a minute (the user waits for the open with the spinner).
int32_t EffectiveOpenTimeout(int32_t storedMs);

class CPreviewSession {
 public:
  // Creation: FFmpeg's network set-up and the open-timeout watchdog.
  CPreviewSession(IPreviewHost& host, IAnalysisFeed& analysis, IAudioTarget& audio, const CSettingsBlock& settings);
  // Destruction: any decode thread, then the watchdog; the frame queue is drained.
  ~CPreviewSession();
  CPreviewSession(const CPreviewSession&) = delete;
  CPreviewSession& operator=(const CPreviewSession&) = delete;

  // Where a start opens the camera. Caller: on the calling thread, which
  // returns when the open is done (the probe, the tests). DecodeThread: the
  // decode thread is started at once and opens first, so a window's thread
  // never waits for a camera; a stop cancels that open like a reconnection's.
  enum class OpenOn { Caller, DecodeThread };

  // The main frame's Start and Stop commands.
  void Start(OpenOn on = OpenOn::Caller);
  void Stop();

  // Opens m_strURL and, on success, starts one decode thread (with
  // DecodeThread: starts the thread, which opens and then runs or ends).
  // Does nothing while a decode thread exists (opening, running or
  // reconnecting).
  void DoPreviewStart(OpenOn on = OpenOn::Caller);
  // Stops and waits for the decode thread, resets the analysis, drains the
  // frame queue and, last, clears the camera information, so a thread that
  // was reconnecting cannot leave its lines behind.
  void StopPreview();
  // Stops and joins the decode thread without a word to the host: for the
  // owner's destruction, before the host goes away. Clears m_bPlaying.
  void StopDecodeThread();
  void ClearFrameQueue() { m_frameQueue.Clear(); }
  void ResetAnalysis() { m_analysis.ResetAnalysis(); }

  void SetURL(const std::u16string& url);
  std::u16string URL() const;
  // True while a decode thread is alive (opening, running or reconnecting).
  bool HasDecodeThread() const { return m_bThreadAlive.load(std::memory_order_acquire); }
  // True while nothing is open and no decode thread runs.
  bool IsIdle() const;

  // --- Members shared with the decode thread and the drawing side.
  AVFormatContext* m_pFormatCtx = nullptr;
  AVCodecContext* m_pVideoCodecCtx = nullptr;  // owned per run: freed at its end
  AVCodecContext* m_pAudioCodecCtx = nullptr;
  const AVCodec* m_pVideoCodec = nullptr;
  const AVCodec* m_pAudioCodec = nullptr;
  std::atomic<int32_t> m_nVideoStream{-1};
  std::atomic<int32_t> m_nAudioStream{-1};
  std::atomic<uint32_t> m_dwDecodeThreadId{0};
  platform::Event m_hStopEvent{platform::Event::Mode::Manual};
  std::atomic<int32_t> m_bPlaying{0};
  std::atomic<int32_t> m_bBusy{0};
  CSpinnerCounter m_spinner;  // m_nSpinnerFrame and m_nSpinnerTicks as one value
  CFrameQueue m_frameQueue;
  AtomicVideoSize m_sizeVideo{VideoSize{1920, 1080}};
  std::unique_ptr<OPEN_WATCHDOG> m_pOpenWatchdog;
  SessionStats m_stats;

  IPreviewHost& m_host;
  IAnalysisFeed& m_analysis;
  IAudioTarget& m_audio;
  const CSettingsBlock& m_settings;
  CPicturePool m_picturePool;
  // How far an opening reads for the stream information; set before a start.
  ProbeLimits m_probeLimits = ProbeLimits::Bounded();

  // Set with m_hStopEvent: read by FFmpeg's interrupt callbacks, which may
  // run on FFmpeg's own receive threads.
  std::atomic<bool> m_bStopRequested{false};
  void RequestStop();
  void ClearStopRequest();
  bool StopRequested() const { return m_bStopRequested.load(std::memory_order_acquire); }

  // Steps 1 to 14 of a start: opens the input and its decoders, reports the
  // camera information and says which decode procedure fits. On None nothing
  // stays open. `onDecodeThread`: a stop request that comes meanwhile is
  // kept for the thread's loop (the controlling thread is waiting for it).
  DecodeProc OpenStream(bool onDecodeThread);
  // Steps 3 to 8 of a start: the input opened under the watchdog and its
  // streams searched within `limits`. Incomplete: a bounded search left a
  // stream's parameters unknown (the input stays open).
  enum class InputResult { Open, OpenFailed, NoStreamInfo, Incomplete };
  InputResult OpenInput(const std::string& url, const ProbeLimits& limits, int32_t timeoutMs, bool logUrl);
  // Frees what a run used: decoders, input, stream indexes.
  void CloseStream();
  // The connecting indicator. Raised as a start begins. A run with pictures
  // lowers it only once one of its pictures is shown (PictureShown), so the
  // spinner keeps turning while the view is still dark (the held first
  // seconds of sound); a run of sound alone lowers it as it reads; the end
  // of every run lowers it.
  void SetBusy();
  void SetIdle();  // m_bBusy and its counters 0
  // A picture went onto the screen (the presenter's call, any thread): ends
  // the busy state when the picture was converted after it was raised.
  void PictureShown(uint64_t generation);
  // WM_CAMERA_INFO from a start or a run: not sent once a stop is requested,
  // when the host may be going away and the texts are stale anyway.
  void HostCameraInfo(CameraInfoLine line, const std::u16string& text);
  // Test hook (null in the program): called at each SessionPoint.
  std::atomic<ISessionTestHook*> m_pTestHook{nullptr};
  void TestPoint(SessionPoint point) {
    if (ISessionTestHook* hook = m_pTestHook.load(std::memory_order_acquire)) hook->At(*this, point);
  }
  // Around each blocking read of the input (the stream-information search
  // counts as one): the quiet limit applies from the start of the read
  // in progress and to nothing else, so time the decode thread spends
  // elsewhere (waiting for the set-up lock while a device opens) is never
  // taken for the camera's silence, whichever thread asks.
  void BeginRead();
  void EndRead();
  // FFmpeg interrupt callback while the input is open; `opaque` is the
  // session. FFmpeg may call it from threads of its own.
  static int ReadInterruptCallback(void* opaque);
  std::atomic<bool> m_bInputOpen{false};
  std::atomic<int64_t> m_readStartNs{0};  // 0: no read in progress
  std::atomic<bool> m_bReadInterrupted{false};  // the interrupt callback ended the read in progress
  std::atomic<int32_t> m_readLimitMs{4000};

 private:
  // The thread body: None opens first (a start with OpenOn::DecodeThread).
  void DecodeThreadMain(DecodeProc proc);
  void ShowMessage(MessageIcon icon, uint32_t textId);

  std::mutex m_csBusy;  // a leaf: raising, lowering and PictureShown as one step each
  uint64_t m_nBusyUntilPicture = 0;  // the first generation that ends the busy state, 0 for none
  mutable std::mutex m_csURL;
  std::u16string m_strURL;
  // Started and joined by the controlling thread only (the one that calls
  // DoPreviewStart, StopPreview and the destructor); never detached.
  std::thread m_decodeThread;
  std::atomic<bool> m_bThreadAlive{false};
};

// The decode thread procedures. Each runs one decode run and its ending
// (without the reconnection, which the caller does); 0 after a normal end,
// 0xFFFFFFFF after a set-up failure, 0 at once for a null session.
uint32_t ThreadProcAV(CPreviewSession* view);
uint32_t ThreadProcVideo(CPreviewSession* view);
uint32_t ThreadProcAudio(CPreviewSession* view);

// Names used in the decode thread's log lines.
const char* SampleFormatLogName(int format);
const char* ChannelLayoutLogName(uint64_t mask);

}  // namespace kx
