#include "view/draw_view.h"

#include <pthread.h>

#include <QMetaObject>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <thread>

#include "monitor/analysis_thread.h"
#include "platform/debug_output.h"

namespace kx {

namespace {

static_assert(CSpinnerCounter::kFrames == draw::kSpinnerFrames &&
              CSpinnerCounter::kTicksPerFrame == draw::kSpinnerTicksPerFrame);

constexpr platform::Millis kFramePeriod{40};
constexpr platform::Millis kDecayPeriod{80};
constexpr platform::Millis kFirstDue{1};
constexpr platform::Millis kRenderStopWait{1000};
constexpr platform::Millis kRebuildPause{100};

}  // namespace

CDrawView::CDrawView(CSettingsBlock& settings, IAudioTarget& audio, IPreviewHost* frame, QWidget* parent)
    : QWidget(parent),
      m_settings(settings),
      m_pFrame(frame) {
  // Every pixel comes from the composed frame: no background erase.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  m_nWindowWidth = width();
  m_nWindowHeight = height();
  m_pSession = std::make_unique<CPreviewSession>(*this, m_analysisFeed, audio, m_settings);
  CreateDeviceResources();
  StartRenderThread();
  if (!m_pAnalysisThread) m_pAnalysisThread = std::make_unique<CAnalysisThread>(m_analyser, m_settings);
}

CDrawView::~CDrawView() {
  StopRenderThread();
  m_pAnalysisThread.reset();  // posts the quit message and waits without limit
  // The decode thread calls into this view (ResizeTargets, the texts): it is
  // stopped and joined while the session and the view are whole, then the
  // session goes (the watchdog).
  m_pSession->StopDecodeThread();
  m_pSession.reset();
  m_analyser.ResetAnalysis();
  ReleaseDeviceResources();
}

void CDrawView::CreateDeviceResources() {
  ReleaseDeviceResources();
  const int width = this->width(), height = this->height();
  platform::LockGuard lock(m_csDraw);
  if (m_composer.Create(width, height)) m_bResourcesReady.store(1, std::memory_order_release);
}

void CDrawView::ReleaseDeviceResources() {
  platform::LockGuard lock(m_csDraw);
  m_composer.Release();
  m_bResourcesReady.store(0, std::memory_order_release);
}

void CDrawView::ResizeTargets(int32_t width, int32_t height) {
  platform::LockGuard lock(m_csDraw);
  // The picture stays through a change of the window's size (scaled until
  // the next one comes at the new size); a camera whose picture size changed
  // shows black until its first. Too small a view composes no frame: the
  // window keeps its last one until a larger size arrives.
  if (m_composer.Resize(width, height, CameraVideoSize(VideoSize{1920, 1080})))
    m_sizeShownPicture.Set(m_composer.ShownPictureSize());
}

void CDrawView::RebuildDeviceResources() {
  StopRenderThread();
  std::this_thread::sleep_for(kRebuildPause);
  CreateDeviceResources();
  ResizeTargets(this->width(), this->height());
  std::this_thread::sleep_for(kRebuildPause);
  StartRenderThread();
}

void CDrawView::StartRenderThread() {
  if (m_pRenderThread) return;
  m_pRenderThread = std::make_unique<platform::WorkerThread>(
      [this](platform::WorkerThread& self) { return ThreadProcRender(self); });
}

void CDrawView::StopRenderThread() {
  if (!m_pRenderThread) return;
  m_pRenderThread->PostQuit();
  if (!m_pRenderThread->Join(kRenderStopWait)) {
    // The frame in progress still uses the resources: never let the thread
    // outlive them.
    platform::DebugOutput("render thread did not stop in time; waiting for it");
    m_pRenderThread->Join();
  }
  m_pRenderThread.reset();
  if (m_pSession) m_pSession->ClearFrameQueue();
}

uint32_t CDrawView::ThreadProcRender(platform::WorkerThread& self) {
  pthread_setname_np(pthread_self(), "kx-view-render");  // to tell it apart in top and perf
  platform::WaitableTimer frameTimer, decayTimer;
  frameTimer.Arm(kFirstDue, kFramePeriod);
  decayTimer.Arm(kFirstDue, kDecayPeriod);
  constexpr platform::Millis kNoWait{0};
  for (;;) {
    const int which = platform::WaitAny({&frameTimer, &decayTimer, &self.Queue()}, platform::Millis(-1));
    // Every source that is ready is served, not only the first one: a frame
    // that takes longer than its period leaves the frame timer ready at once,
    // which would starve the hold decay and the quit message.
    const bool frameDue = which == 0 || frameTimer.Wait(kNoWait);
    const bool decayDue = which == 1 || decayTimer.Wait(kNoWait);
    if (decayDue) DecayHolds();
    if (frameDue) ComposeFrame();
    bool quit = false;
    while (auto message = self.Queue().Peek())
      if (message->id == platform::kMsgQuit) quit = true;
    if (quit) break;
  }
  {
    platform::LockGuard lock(m_csDraw);
    m_composer.ReleaseThreadResources();
  }
  frameTimer.Cancel();
  decayTimer.Cancel();
  return 0;
}

void CDrawView::DecayHolds() {
  platform::LockGuard lock(m_csDraw);
  m_composer.DecayHolds();
}

void CDrawView::ComposeFrame() {
  // The meter source has locks of its own: read it before the drawing lock.
  float outputPeak = 0.0f;
  {
    platform::LockGuard meterLock(m_csMeter);
    if (m_pOutputMeter) outputPeak = m_pOutputMeter->GetPeakValue();
  }
  platform::LockGuard lock(m_csDraw);
  if (!m_composer.CanCompose()) return;
  // Drawing a frame and stepping to the next tick are one operation.
  const CFrameComposer::Inputs inputs{outputPeak, &m_analyser, StepSpinnerWhileBusy()};
  if (!m_composer.Compose(inputs)) return;
  if (auto hook = m_pComposeHookForTests.load(std::memory_order_acquire)) hook();
  Present();
}

void CDrawView::Present() {
  // Called with m_csDraw held. The window thread only ever holds
  // m_csPresent for a swap, so this never waits for a paint.
  {
    platform::LockGuard lock(m_csPresent);
    m_composer.SwapFrame(m_imgReady);
    m_bReadyFresh = true;
  }
  m_nFramesPresented.fetch_add(1, std::memory_order_acq_rel);
  // The next frame is drawn into the image that came back.
  m_composer.EnsureFrame();
  // One queued repaint at a time; the paint that follows takes the newest
  // frame. The call is made by name so the queued event is Qt's own.
  if (!m_bUpdatePosted.exchange(true, std::memory_order_acq_rel))
    QMetaObject::invokeMethod(this, "update", Qt::QueuedConnection);
}

void CDrawView::paintEvent(QPaintEvent* event) {
  m_bUpdatePosted.store(false, std::memory_order_release);
  {
    platform::LockGuard lock(m_csPresent);
    if (m_bReadyFresh) {
      std::swap(m_imgShown, m_imgReady);
      m_bReadyFresh = false;
    }
  }
  QPainter painter(this);
  const QRect area = event->rect();
  if (m_imgShown.isNull()) {
    painter.fillRect(area, Qt::black);
    return;
  }
  painter.drawImage(area.topLeft(), m_imgShown, area);
  // Outside the frame (the window grew before the next frame): black.
  const QRegion outside = QRegion(area) - QRegion(m_imgShown.rect());
  for (const QRect& r : outside) painter.fillRect(r, Qt::black);
}

void CDrawView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  m_nWindowWidth = event->size().width();
  m_nWindowHeight = event->size().height();
  ResizeTargets(event->size().width(), event->size().height());
}

VideoSize CDrawView::WindowSize() { return VideoSize{m_nWindowWidth.load(), m_nWindowHeight.load()}; }

void CDrawView::CameraInfo(CameraInfoLine line, const std::u16string& text) {
  if (m_pFrame) m_pFrame->CameraInfo(line, text);
}

void CDrawView::DecodeThreadEnded() {
  if (m_pFrame) m_pFrame->DecodeThreadEnded();
}

void CDrawView::MessageBox(MessageIcon icon, const std::u16string& text) {
  if (m_pFrame)
    m_pFrame->MessageBox(icon, text);
  else
    platform::DebugOutput(text);
}

void CDrawView::PresentPicture(const PictureRecord& picture) {
  {
    platform::LockGuard lock(m_csDraw);
    if (!m_composer.TakePicture(picture, CameraVideoSize(VideoSize{}))) return;
  }
  if (m_pSession) m_pSession->PictureShown(picture.generation);
}

const uint8_t* CDrawView::ShownPicturePixels() const {
  platform::LockGuard lock(m_csDraw);
  return m_composer.ShownPicturePixels();
}

void CDrawView::SetOutputMeter(IOutputPeakMeter* meter) {
  platform::LockGuard lock(m_csMeter);
  m_pOutputMeter = meter;
}

draw::RectF CDrawView::ClientRect() const {
  platform::LockGuard lock(m_csDraw);
  return m_composer.ClientRect();
}

bool CDrawView::RenderThreadRunning() const { return m_pRenderThread && !m_pRenderThread->Finished(); }
uint32_t CDrawView::RenderThreadId() const { return m_pRenderThread ? m_pRenderThread->Id() : 0; }
uint32_t CDrawView::AnalysisThreadId() const { return m_pAnalysisThread ? m_pAnalysisThread->Id() : 0; }

QImage CDrawView::LastFrame() const {
  platform::LockGuard lock(m_csPresent);
  return (m_bReadyFresh ? m_imgReady : m_imgShown).copy();
}

void CDrawView::HoldValues(float& output, float& input) const {
  platform::LockGuard lock(m_csDraw);
  m_composer.HoldValues(output, input);
}

QImage CDrawView::MeterImage() const {
  platform::LockGuard lock(m_csDraw);
  return m_composer.MeterImage();
}
QImage CDrawView::WaveImage() const {
  platform::LockGuard lock(m_csDraw);
  return m_composer.WaveImage();
}
QImage CDrawView::SpectrumImage() const {
  platform::LockGuard lock(m_csDraw);
  return m_composer.SpectrumImage();
}

VideoSize CDrawView::CameraVideoSize(VideoSize none) const {
  return m_pSession ? m_pSession->VideoSize() : none;
}

int CDrawView::StepSpinnerWhileBusy() { return m_pSession ? m_pSession->StepSpinner() : -1; }

}  // namespace kx
