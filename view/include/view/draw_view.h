// The preview view: the child window in which the camera picture and the
// audio monitor appear. A render thread has the frame composer (frame_composer.h)
// compose a frame every 40 ms from the letterboxed picture and the three
// widget images and hands it to the window, which paints it 1:1; the window
// never draws anything of its own.
//
// Locks: m_csMeter (the output meter source), m_csDraw (the composer and its
// images, also taken by the audio render loop to hand over a new picture) and
// m_csPresent (the hand-over of a finished frame, held only to swap two
// images); where they stand among the other libraries' locks:
// docs/threads.md. The media session owns the picture size, the busy flag
// and the spinner counter.
//
// Pictures are taken by reference: the view keeps the record it was handed
// (its pixels are shared, never written again) and reads them where they lie.
// The decode thread makes them at the letterbox's size (ShownPictureSize),
// so they are placed one to one; a picture of another size (one in flight
// across a resize) is scaled once per new picture.
#pragma once

#include <QImage>
#include <QWidget>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "common/settings_block.h"
#include "audio/picture_presenter.h"
#include "media/picture_record.h"
#include "media/preview_host.h"
#include "media/preview_session.h"
#include "media/session_adapters.h"
#include "media/sound_ring.h"
#include "monitor/analyser.h"
#include "monitor/draw/layout.h"
#include "monitor/measure_worker.h"
#include "platform/thread.h"
#include "view/frame_composer.h"

namespace kx {

class CAnalysisThread;

// The level the output device plays, 0.0 to 1.0 (0 when no device is open).
class IOutputPeakMeter {
 public:
  virtual ~IOutputPeakMeter() = default;
  virtual float GetPeakValue() = 0;
};

// The meter of the audio output (any class with GetPeakValue).
template <class Output>
class COutputPeakMeter : public IOutputPeakMeter {
 public:
  explicit COutputPeakMeter(Output& output) : m_output(output) {}
  float GetPeakValue() override { return m_output.GetPeakValue(); }

 private:
  Output& m_output;
};

// The analyser's feed with the sound measurements beside it: both get every
// chunk and both are reset together (Start, Stop, New camera, reconnection).
// The kept sound gets every chunk too but outlives those resets: "Save sound"
// after a Stop or a drop still has what was heard.
class CViewAnalysisFeed : public IAnalysisFeed {
 public:
  CViewAnalysisFeed(CSpectrumAnalyser& analyser, measure::CMeasureWorker& measure, CSoundRing& kept)
      : m_analyser(analyser), m_measure(measure), m_kept(kept) {}
  void PushAudioBlock(const float* values, size_t count) override { m_analyser.PushAudioBlock(values, count); }
  void ResetAnalysis() override {
    m_analyser.ResetAnalysis();
    m_measure.Reset();
  }
  void PushStereo(const float* interleaved, size_t frames, double seconds) override {
    m_measure.Push(interleaved, frames, seconds);
    m_kept.Push(interleaved, frames);
  }
  void PushPicture(const measure::LumaThumb& thumb) override { m_measure.PushPicture(thumb); }

 private:
  CSpectrumAnalyser& m_analyser;
  measure::CMeasureWorker& m_measure;
  CSoundRing& m_kept;
};

class CDrawView : public QWidget, public IPreviewHost, public IPicturePresenter {
 public:
  // Creation: the media session (network set-up, open watchdog), the drawing
  // resources, then the render and analysis threads. `audio` is where the
  // session writes sound and pictures; `frame` receives the camera texts and
  // message boxes (null: they are dropped).
  CDrawView(CSettingsBlock& settings, IAudioTarget& audio, IPreviewHost* frame = nullptr, QWidget* parent = nullptr);
  // Destruction: the render thread, the analysis thread, then the session
  // (watchdog and decode thread), the analysis cleared, the resources released.
  ~CDrawView() override;
  CDrawView(const CDrawView&) = delete;
  CDrawView& operator=(const CDrawView&) = delete;

  void CreateDeviceResources();
  void ReleaseDeviceResources();
  // New pixel size of the view: the frame and widget images follow it, the
  // picture image follows the session's video size. Zero sides are ignored.
  // Also called by the decode thread when the picture size changes.
  void ResizeTargets(int32_t width, int32_t height) override;
  // Brush colours are fixed when the resources are made: a colour or
  // spectrum-opacity change rebuilds everything with the render thread stopped.
  void RebuildDeviceResources();
  void StopRenderThread();
  // One frame, on the render thread (or on any thread while none runs).
  void ComposeFrame();

  // The audio render loop's new picture, on its own thread: kept by
  // reference when it is newer than the one shown (older or repeated records
  // are ignored). Ends the session's busy state once its picture is shown.
  void PresentPicture(const PictureRecord& picture) override;
  // Pictures taken by PresentPicture, and the times a picture was scaled into
  // the frame's picture layer (once per new picture when not shown 1:1).
  uint64_t PicturesTaken() const { return m_composer.PicturesTaken(); }
  uint64_t PictureScalings() const { return m_composer.PictureScalings(); }
  // The pixels the view shows the picture from (null before any): the
  // record's own buffer, not a copy of it.
  const uint8_t* ShownPicturePixels() const;

  // The rest of the session's host: the window size, and the frame's texts.
  VideoSize WindowSize() override;
  // The letterbox in whole pixels: pictures made at this size are placed
  // one to one, without a second scaling here.
  VideoSize ShownPictureSize() override { return m_sizeShownPicture.Get(); }
  void CameraInfo(CameraInfoLine line, const std::u16string& text) override;
  void MessageBox(MessageIcon icon, const std::u16string& text) override;
  void DecodeThreadEnded() override;

  CSpectrumAnalyser& Analyser() { return m_analyser; }
  CPreviewSession& Session() { return *m_pSession; }
  // The output meter the right bar reads; null for none. The meter must stay
  // alive until it is replaced or the view is gone.
  void SetOutputMeter(IOutputPeakMeter* meter);

  // State, for the window and for checks.
  draw::RectF ClientRect() const;
  bool ResourcesReady() const { return m_bResourcesReady.load(std::memory_order_acquire) != 0; }
  bool RenderThreadRunning() const;
  uint32_t RenderThreadId() const;
  uint32_t AnalysisThreadId() const;
  // A copy of the newest frame handed to the window (null before the first).
  QImage LastFrame() const;
  uint64_t FramesPresented() const { return m_nFramesPresented.load(std::memory_order_acquire); }
  void HoldValues(float& output, float& input) const;
  // Copies of the widget images as last drawn (null when not created).
  QImage MeterImage() const;
  QImage WaveImage() const;
  QImage SpectrumImage() const;
  // The sound measurements as last published (ten times a second); none
  // while no audio has come since the last reset.
  std::optional<measure::SoundFigures> MeasureFigures() const { return m_measure.Figures(); }
  void SetMeasureThresholds(const measure::Thresholds& thresholds) { m_measure.SetThresholds(thresholds); }
  // The sound kept for "Save sound" (filled by the decode thread).
  CSoundRing& KeptSound() { return m_keptSound; }
  // The measurements alone start again (the user's Reset); the analysis runs on.
  void ResetMeasurements() { m_measure.Reset(); }

  // Test hook (null in the program): called on the render thread inside each
  // composed frame, to make composition slow.
  std::atomic<void (*)()> m_pComposeHookForTests{nullptr};

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void StartRenderThread();
  uint32_t ThreadProcRender(platform::WorkerThread& self);
  void DecayHolds();
  void Present();
  // The session's state the view reads, in one place: the camera's picture
  // size (`none` without a session) and the spinner's frame while it is busy
  // (-1 otherwise; reading it steps it).
  VideoSize CameraVideoSize(VideoSize none) const;
  int StepSpinnerWhileBusy();

  CSettingsBlock& m_settings;
  IPreviewHost* m_pFrame;

  // Declared before the analysis thread and the session, which use it.
  CSpectrumAnalyser m_analyser;
  measure::CMeasureWorker m_measure;
  // The camera's last 10 s of 48 kHz stereo sound, as decoded (before the volume).
  CSoundRing m_keptSound{10 * 48000, 2, 48000};
  CViewAnalysisFeed m_analysisFeed{m_analyser, m_measure, m_keptSound};
  // The window size as other threads may read it.
  std::atomic<int32_t> m_nWindowWidth{0}, m_nWindowHeight{0};
  AtomicVideoSize m_sizeShownPicture{VideoSize{0, 0}};
  std::unique_ptr<CPreviewSession> m_pSession;

  mutable platform::Lock m_csDraw;
  CFrameComposer m_composer{m_settings};  // guarded by m_csDraw
  std::atomic<int32_t> m_bResourcesReady{0};

  platform::Lock m_csMeter;
  IOutputPeakMeter* m_pOutputMeter = nullptr;

  // Hand-over of finished frames: the render thread swaps its frame into
  // m_imgReady, the window swaps that into m_imgShown and paints it.
  mutable platform::Lock m_csPresent;
  QImage m_imgReady;
  bool m_bReadyFresh = false;
  QImage m_imgShown;  // window thread only (read under m_csPresent by LastFrame)
  std::atomic<bool> m_bUpdatePosted{false};
  std::atomic<uint64_t> m_nFramesPresented{0};

  std::unique_ptr<platform::WorkerThread> m_pRenderThread;
  std::unique_ptr<CAnalysisThread> m_pAnalysisThread;
};

}  // namespace kx
