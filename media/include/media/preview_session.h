// The preview view's media side: the RTSP input opened under a time limit
// (on the caller's thread, or for a window on the decode thread), the chosen
// streams and their decoders, the frame queue and the decode thread that
// turns packets into BGRA pictures and device-format audio and reconnects
// after a drop. Runs with or without a window (see IPreviewHost).
//
// Threads: the controlling thread gives the commands; the decode thread
// opens (with OpenOn::DecodeThread), runs and reconnects; the view's render
// thread steps the spinner and, with the audio render thread, reports shown
// pictures; the watchdog thread times the open. Each member below says who
// may touch it; every thread and the whole lock order: docs/threads.md.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
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

  // --- Commands: the controlling thread only (the window's user-interface
  // thread, the probe's main thread, a test's). Threads and locks:
  // docs/threads.md.

  // The main frame's Start and Stop: the user wants the camera (a run that
  // ends by itself reconnects once), or no longer.
  void Start(OpenOn on = OpenOn::Caller);
  void Stop();
  // A camera that is wanted is stopped and started again (New camera, the
  // probe's next try); `whileStopped` runs between, when no decode thread
  // exists. False, and nothing done, when the camera is not wanted.
  bool Restart(OpenOn on = OpenOn::Caller, const std::function<void()>& whileStopped = {});
  // No longer wanted, without stopping yet: a run that ends from now on does
  // not reconnect (the window's close, before it closes the output).
  void ClearPlaying() { m_bPlaying.store(false, std::memory_order_release); }
  // Opens the URL and, on success, starts one decode thread (with
  // DecodeThread: starts the thread, which opens and then runs or ends).
  // Does nothing while a decode thread exists (opening, running or
  // reconnecting). Start without the wish: a start that keeps it as it is.
  void DoPreviewStart(OpenOn on = OpenOn::Caller);
  // Stops and waits for the decode thread, resets the analysis, drains the
  // frame queue and, last, clears the camera information, so a thread that
  // was reconnecting cannot leave its lines behind. Keeps the wish.
  void StopPreview();
  // Stops and joins the decode thread without a word to the host: for the
  // owner's destruction, before the host goes away. Clears the wish.
  void StopDecodeThread();
  // How far an opening reads for the stream information; before a start.
  void SetProbeLimits(const ProbeLimits& limits) { m_probeLimits = limits; }

  // The address (any thread).
  void SetURL(const std::u16string& url);
  std::u16string URL() const;
  // Any thread: drops the pictures waiting for their sound.
  void ClearFrameQueue() { m_frameQueue.Clear(); }

  // --- What any thread may read.
  // Started and not stopped since (also while reconnecting or after the
  // decode thread ended by itself).
  bool IsPlaying() const { return m_bPlaying.load(std::memory_order_acquire); }
  // True while a decode thread is alive (opening, running or reconnecting).
  bool HasDecodeThread() const { return m_bThreadAlive.load(std::memory_order_acquire); }
  // True while nothing is open and no decode thread runs.
  bool IsIdle() const;
  // The open stream has sound (false while nothing is open).
  bool HasAudioStream() const { return m_nAudioStream.load(std::memory_order_acquire) >= 0; }
  // The camera's picture size (1920x1080 until a run with pictures set it).
  kx::VideoSize VideoSize() const { return m_sizeVideo.Get(); }
  const SessionStats& Stats() const { return m_stats; }

  // --- The connecting indicator. Raised as a start begins (and by the
  // window through a wait between tries). A run with pictures lowers it only
  // once one of its pictures is shown (PictureShown), so the spinner keeps
  // turning while the view is still dark (the held first seconds of sound);
  // a run of sound alone lowers it as it reads; the end of every run lowers it.
  void SetBusy();
  void SetIdle();  // lowered, the animation at its first frame
  bool IsBusy() const { return m_bBusy.load(std::memory_order_acquire); }
  // The view's render thread, once per composed frame: the spinner frame to
  // draw, the animation one step on; -1 (and no step) while not busy.
  int32_t StepSpinner() { return IsBusy() ? m_spinner.Step() : -1; }
  // A picture went onto the screen (the presenter's call, any thread): ends
  // the busy state when the picture was converted after it was raised.
  void PictureShown(uint64_t generation);

  // --- Tests. The hook (null in the program) is called at each
  // SessionPoint; it may look whether a stop was requested.
  void SetTestHook(ISessionTestHook* hook) { m_pTestHook.store(hook, std::memory_order_release); }
  bool StopRequested() const { return m_bStopRequested.load(std::memory_order_acquire); }

 private:
  friend class CDecodeRun;                 // decode_threads.cpp: one run reads the open stream
  friend class CStreamOpener;              // stream_open.cpp: opens the input and its decoders
  friend class CPreviewSessionTestAccess;  // tests/support/session_test_access.h

  // The thread body: None opens first (a start with OpenOn::DecodeThread).
  void DecodeThreadMain(DecodeProc proc);
  // Steps 1 to 15 of a start (stream_open.cpp); on None nothing stays open.
  // `onDecodeThread`: a stop request that comes meanwhile is kept for the
  // thread's loop (the controlling thread is waiting for it).
  DecodeProc OpenStream(bool onDecodeThread);
  // Frees what a run used: decoders, input, stream indexes.
  void CloseStream();
  void ResetAnalysis() { m_analysis.ResetAnalysis(); }
  void RequestStop();
  void ClearStopRequest();
  // WM_CAMERA_INFO from a start or a run: not sent once a stop is requested,
  // when the host may be going away and the texts are stale anyway.
  void HostCameraInfo(CameraInfoLine line, const std::u16string& text);
  void ShowMessage(MessageIcon icon, uint32_t textId);
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

  // Fixed at creation. The watchdog's thread lives as long as the session.
  IPreviewHost& m_host;
  IAnalysisFeed& m_analysis;
  IAudioTarget& m_audio;
  const CSettingsBlock& m_settings;
  std::unique_ptr<OPEN_WATCHDOG> m_pOpenWatchdog;

  // The controlling thread only. The thread is started by DoPreviewStart and
  // joined by StopPreview, StopDecodeThread or the next start; never
  // detached. The limits are read by an opening, which a start orders after.
  std::thread m_decodeThread;
  ProbeLimits m_probeLimits = ProbeLimits::Bounded();

  // The open stream: the opening thread's (the controlling thread in a start
  // on the caller, else the decode thread), then the decode thread's. Never
  // two at once: a decode thread starts after an open on the caller and is
  // joined before the next start. The stream indexes are also read by others.
  AVFormatContext* m_pFormatCtx = nullptr;
  AVCodecContext* m_pVideoCodecCtx = nullptr;  // owned per run: freed at its end
  AVCodecContext* m_pAudioCodecCtx = nullptr;
  const AVCodec* m_pVideoCodec = nullptr;
  const AVCodec* m_pAudioCodec = nullptr;
  std::atomic<int32_t> m_nVideoStream{-1};
  std::atomic<int32_t> m_nAudioStream{-1};

  // Atomics. The stop request is set by the controlling thread and read by
  // the decode thread, the watchdog and FFmpeg's interrupt callbacks (which
  // may run on FFmpeg's own receive threads); the read timing is written by
  // the thread that reads the input and read by those callbacks.
  std::atomic<bool> m_bStopRequested{false};
  std::atomic<bool> m_bInputOpen{false};
  std::atomic<int64_t> m_readStartNs{0};  // 0: no read in progress
  std::atomic<bool> m_bReadInterrupted{false};  // the interrupt callback ended the read in progress
  std::atomic<int32_t> m_readLimitMs{4000};
  std::atomic<bool> m_bPlaying{false};     // the user's wish: the controlling thread writes
  std::atomic<bool> m_bThreadAlive{false};  // set by DoPreviewStart, cleared by the thread as it ends
  std::atomic<bool> m_bBusy{false};
  CSpinnerCounter m_spinner;  // reset with the busy state, stepped by the view's render thread
  AtomicVideoSize m_sizeVideo{kx::VideoSize{1920, 1080}};  // the decode thread writes
  SessionStats m_stats;  // the opening and decode threads count
  std::atomic<ISessionTestHook*> m_pTestHook{nullptr};

  // Under m_csBusy, a leaf: raising, lowering and PictureShown as one step each.
  std::mutex m_csBusy;
  uint64_t m_nBusyUntilPicture = 0;  // the first generation that ends the busy state, 0 for none
  // Under m_csURL, a leaf.
  mutable std::mutex m_csURL;
  std::u16string m_strURL;

  // Thread-safe on their own: the decode thread pushes and takes pictures,
  // any thread may clear the queue; the pool hands buffers no record shows.
  CFrameQueue m_frameQueue;
  CPicturePool m_picturePool;
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
