#include "view/draw_view.h"

#include <pthread.h>

#include <QMetaObject>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>
#include <cstring>
#include <thread>

#include "monitor/analysis_thread.h"
#include "monitor/draw/widgets.h"
#include "platform/debug_output.h"

// The images live in a static library: register them before the first use.
static void InitViewImages() { Q_INIT_RESOURCE(images); }

namespace kx {

namespace {

using draw::BrushId;
using draw::ColorF;
using draw::ColorFromRef;
using draw::RectF;

static_assert(CSpinnerCounter::kFrames == draw::kSpinnerFrames &&
              CSpinnerCounter::kTicksPerFrame == draw::kSpinnerTicksPerFrame);

constexpr int kMeterIconsId = 2003;
constexpr int kSpinnerId = 2005;

constexpr platform::Millis kFramePeriod{40};
constexpr platform::Millis kDecayPeriod{80};
constexpr platform::Millis kFirstDue{1};
constexpr float kHoldDecay = 0.5f;  // percent of scale per decay tick
constexpr platform::Millis kRenderStopWait{1000};
constexpr platform::Millis kRebuildPause{100};

float ClampedSide(int v) { return static_cast<float>(v > 8 ? v : 8); }

RectF WholeBitmap(const draw::IBitmap& b) {
  return RectF{0, 0, static_cast<float>(b.Width()), static_cast<float>(b.Height())};
}

}  // namespace

CDrawView::CDrawView(CSettingsBlock& settings, IAudioTarget& audio, IPreviewHost* frame, QWidget* parent)
    : QWidget(parent),
      m_settings(settings),
      m_pFrame(frame),
      m_vWaveRead(CSpectrumAnalyser::kWaveHistorySize, 0.0),
      m_vSpectrumRead(CSpectrumAnalyser::kPowerBins, 0.0) {
  InitViewImages();
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

void CDrawView::ApplyBrushColors() {
  const auto& s = m_settings;
  m_canvas.SetBrushColor(BrushId::Bkg, ColorFromRef(s.ColorBkg));
  m_canvas.SetBrushColor(BrushId::Axis, ColorFromRef(s.ColorAxis));
  m_canvas.SetBrushColor(BrushId::Wave, ColorFromRef(s.ColorWave));
  m_canvas.SetBrushColor(BrushId::Spectrum, ColorFromRef(s.ColorSpectrum));
  m_canvas.SetBrushColor(BrushId::SpectrumFill,
                         ColorFromRef(s.ColorSpectrum, static_cast<float>(s.OpacitySpectrum.Get()) / 100.0f));
  m_canvas.SetBrushColor(BrushId::PeakMin, ColorFromRef(s.ColorPeakMin));
  m_canvas.SetBrushColor(BrushId::PeakMid, ColorFromRef(s.ColorPeakMid));
  m_canvas.SetBrushColor(BrushId::PeakMax, ColorFromRef(s.ColorPeakMax));
}

bool CDrawView::LoadResourceBitmap(int id, draw::CQtBitmap& out) {
  const QImage image(QStringLiteral(":/PNG/%1").arg(id), "PNG");
  if (image.isNull()) {
    out.Reset();
    return false;
  }
  out = draw::CQtBitmap(image);
  return !out.IsNull();
}

void CDrawView::CreateDeviceResources() {
  ReleaseDeviceResources();
  const int width = this->width(), height = this->height();
  platform::LockGuard lock(m_csDraw);
  ApplyBrushColors();
  m_rcClient = RectF{0, 0, ClampedSide(width), ClampedSide(height)};
  if (!m_pTargetBitmap.Create(static_cast<int>(m_rcClient.right), static_cast<int>(m_rcClient.bottom))) return;
  m_bDevice = true;
  // Provisional sizes; ResizeTargets gives the real ones.
  const bool bitmaps = m_pMeterBitmap.Create(30, 20) && m_pWaveBitmap.Create(200, 100) &&
                       m_pSpectrumBitmap.Create(200, 100);
  if (!bitmaps) return;
  m_pVideoBitmap.Reset();  // black until a picture comes
  ++m_nPictureSerial;
  if (LoadResourceBitmap(kMeterIconsId, m_pMeterIcons) && LoadResourceBitmap(kSpinnerId, m_pSpinnerBitmap))
    m_bResourcesReady.store(1, std::memory_order_release);
}

void CDrawView::ReleaseDeviceResources() {
  platform::LockGuard lock(m_csDraw);
  m_canvas.End();
  m_widgetImages.Invalidate();
  DropPictureLayer();
  m_bDevice = false;
  m_pTargetBitmap.Reset();
  m_pVideoBitmap.Reset();
  m_pMeterBitmap.Reset();
  m_pWaveBitmap.Reset();
  m_pSpectrumBitmap.Reset();
  m_pSpinnerBitmap.Reset();
  m_pMeterIcons.Reset();
  m_bResourcesReady.store(0, std::memory_order_release);
}

void CDrawView::ResizeTargets(int32_t width, int32_t height) {
  platform::LockGuard lock(m_csDraw);
  if (!m_bDevice || width == 0 || height == 0) return;
  m_widgetImages.EndPainting();  // the widget images are about to be replaced
  DropPictureLayer();
  m_rcClient = RectF{0, 0, ClampedSide(width), ClampedSide(height)};
  const RectF pixels = draw::LetterboxPixels(m_rcClient.right, m_rcClient.bottom);
  m_sizeShownPicture.Set({static_cast<int32_t>(pixels.Width()), static_cast<int32_t>(pixels.Height())});
  const int frameW = static_cast<int>(m_rcClient.right), frameH = static_cast<int>(m_rcClient.bottom);
  const bool target = m_pTargetBitmap.Create(frameW, frameH);
  m_pMeterBitmap.Reset();
  m_pWaveBitmap.Reset();
  m_pSpectrumBitmap.Reset();
  // The picture stays through a change of the window's size (scaled until
  // the next one comes at the new size); a camera whose picture size changed
  // shows black until its first.
  const VideoSize video = m_pSession ? m_pSession->VideoSize() : VideoSize{1920, 1080};
  if (video != m_sizePictureCamera) m_pVideoBitmap.Reset();
  ++m_nPictureSerial;
  // Too small a view leaves a widget image uncreated: no frame is composed
  // and the window keeps its last one until a larger size arrives.
  const draw::SizeI meter = draw::MeterImageSize(width, height);
  const draw::SizeI wave = draw::WaveImageSize(width, height);
  m_pMeterBitmap.Create(meter.width, meter.height);
  m_pWaveBitmap.Create(wave.width, wave.height);
  m_pSpectrumBitmap.Create(wave.width, wave.height);
  if (!target) m_bDevice = false;
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
    m_canvas.ReleaseThreadResources();
    m_widgetImages.EndPainting();
    m_layerCanvas.ReleaseThreadResources();
  }
  frameTimer.Cancel();
  decayTimer.Cancel();
  return 0;
}

void CDrawView::DecayHolds() {
  platform::LockGuard lock(m_csDraw);
  m_fHoldOutput -= kHoldDecay;
  if (!(m_fHoldOutput > 0)) m_fHoldOutput = 0;
  m_fHoldInput -= kHoldDecay;
  if (!(m_fHoldInput > 0)) m_fHoldInput = 0;
}

bool CDrawView::AllTargetsExist() const {
  return m_bDevice && !m_pTargetBitmap.IsNull() && !m_pMeterBitmap.IsNull() && !m_pWaveBitmap.IsNull() &&
         !m_pSpectrumBitmap.IsNull();
}

void CDrawView::DrawWidgets(float outputPeak) {
  const float inputPeak = m_analyser.ReadDisplay(m_vWaveRead, m_vSpectrumRead);
  const float W = m_rcClient.right, H = m_rcClient.bottom;
  const draw::IBitmap* icons = m_pMeterIcons.IsNull() ? nullptr : &m_pMeterIcons;
  m_widgetImages.DrawMeter(m_pMeterBitmap, draw::PeakMeterInput{W, H, icons, outputPeak, inputPeak}, m_fHoldOutput,
                           m_fHoldInput);
  m_widgetImages.DrawWave(m_pWaveBitmap, draw::WaveInput{W, H, m_vWaveRead, m_settings.WaveScale},
                          m_settings.ModeWave);
  m_widgetImages.DrawSpectrum(m_pSpectrumBitmap,
                              draw::SpectrumInput{m_pSpectrumBitmap.Width(), m_pSpectrumBitmap.Height(),
                                                  m_vSpectrumRead, m_settings.SpectrumBound, m_settings.ModeSpectrum});
}

// Rows [y0, y1) of the frame black outside the rectangle (whole pixels).
static void FillBlackAround(QImage& target, const RectF& rc, int y0, int y1) {
  const int top = static_cast<int>(rc.top), bottom = static_cast<int>(rc.bottom);
  const int left = std::clamp(static_cast<int>(rc.left), 0, target.width());
  const int right = std::clamp(static_cast<int>(rc.right), 0, target.width());
  for (int y = y0; y < y1; ++y) {
    uint32_t* row = reinterpret_cast<uint32_t*>(target.scanLine(y));
    if (y < top || y >= bottom || left >= right) {
      std::fill(row, row + target.width(), 0xFF000000u);
    } else {
      std::fill(row, row + left, 0xFF000000u);
      std::fill(row + right, row + target.width(), 0xFF000000u);
    }
  }
}

void CDrawView::DrawFrameImage(const draw::CQtBitmap& image, const RectF& dest, float opacity, const RectF& src) {
  // One to one on whole pixels the pixels are blended here; anything scaled
  // or off the pixel grid goes through the painter.
  if (draw::BlitImageOver(m_pTargetBitmap.Image(), dest, image.Image(), src, opacity)) return;
  if (m_canvas.Active() || m_canvas.Begin(m_pTargetBitmap)) m_canvas.DrawBitmap(image, dest, opacity, src);
}

void CDrawView::DropPictureLayer() {
  m_layerCanvas.Finish();
  m_pictureLayer.Reset();
  m_nLayerSerial = 0;
}

bool CDrawView::RefreshPictureLayer(const RectF& box) {
  const QImage& target = m_pTargetBitmap.Image();
  if (!m_pictureLayer.IsNull() && m_pictureLayer.Image().size() == target.size() && m_rcLayerBox == box &&
      m_nLayerSerial == m_nPictureSerial)
    return true;
  if (m_pictureLayer.IsNull() || m_pictureLayer.Image().size() != target.size()) {
    DropPictureLayer();
    if (!m_pictureLayer.Create(target.width(), target.height())) return false;
  }
  // What the frame's painter drew every frame before: the frame cleared to
  // black, then the picture stretched into its box.
  m_pictureLayer.Image().fill(0xFF000000u);
  if (!m_layerCanvas.Begin(m_pictureLayer)) {
    DropPictureLayer();
    return false;
  }
  m_layerCanvas.DrawBitmap(m_pVideoBitmap, box, 1.0f, WholeBitmap(m_pVideoBitmap));
  m_layerCanvas.End();
  m_rcLayerBox = box;
  m_nLayerSerial = m_nPictureSerial;
  m_nPictureScalings.fetch_add(1, std::memory_order_acq_rel);
  return true;
}

// Rows [y0, y1) of the frame from the picture layer.
static void CopyRows(QImage& target, const QImage& layer, int y0, int y1) {
  const size_t bytes = static_cast<size_t>(std::min(target.bytesPerLine(), layer.bytesPerLine()));
  for (int y = y0; y < y1; ++y) std::memcpy(target.scanLine(y), layer.constScanLine(y), bytes);
}

void CDrawView::BlendWidgets(const draw::FrameLayout& layout, float opacity, int y0, int y1) {
  QImage& target = m_pTargetBitmap.Image();
  const auto whole = [](const draw::CQtBitmap& b) { return WholeBitmap(b); };
  draw::BlitImageOver(target, layout.meter, m_pMeterBitmap.Image(), whole(m_pMeterBitmap), opacity, false, y0, y1);
  if (!m_widgetImages.BlendWave(target, layout.wave, opacity, y0, y1))
    draw::BlitImageOver(target, layout.wave, m_pWaveBitmap.Image(), whole(m_pWaveBitmap), opacity, false, y0, y1);
  if (!m_widgetImages.BlendSpectrum(target, layout.spectrum, opacity, y0, y1))
    draw::BlitImageOver(target, layout.spectrum, m_pSpectrumBitmap.Image(), whole(m_pSpectrumBitmap), opacity, false,
                        y0, y1);
}

void CDrawView::ComposeFrame() {
  // The meter source has locks of its own: read it before the drawing lock.
  float outputPeak = 0.0f;
  {
    platform::LockGuard meterLock(m_csMeter);
    if (m_pOutputMeter) outputPeak = m_pOutputMeter->GetPeakValue();
  }
  platform::LockGuard lock(m_csDraw);
  if (!AllTargetsExist()) return;
  const int show = m_settings.ShowWidgets;
  const bool widgets = show == 0 || show == 1;
  if (widgets) DrawWidgets(outputPeak);

  const float W = m_rcClient.right, H = m_rcClient.bottom;
  QImage& target = m_pTargetBitmap.Image();
  // Before the first picture the box is as black as the bars.
  const bool picture = (show == 0 || show == 2) && !m_pVideoBitmap.IsNull();
  // A picture made at the letterbox's whole-pixel size is placed there one
  // to one; any other is stretched into the box itself.
  const RectF pixelBox = draw::LetterboxPixels(W, H);
  const bool madeForBox = static_cast<float>(m_pVideoBitmap.Width()) == pixelBox.Width() &&
                          static_cast<float>(m_pVideoBitmap.Height()) == pixelBox.Height();
  const RectF box = madeForBox ? pixelBox : draw::LetterboxRect(W, H);
  const RectF whole = WholeBitmap(m_pVideoBitmap);
  const draw::FrameLayout layout = draw::LayoutFrame(W, H);
  const float opacity = static_cast<float>(m_settings.Opacity.Get()) / 100.0f;
  struct Layer {
    const draw::CQtBitmap& image;
    RectF dest;
  };
  const Layer layers[] = {{m_pMeterBitmap, layout.meter}, {m_pWaveBitmap, layout.wave},
                          {m_pSpectrumBitmap, layout.spectrum}};
  // One to one on whole pixels the picture and the widgets are blended here;
  // anything scaled or off the pixel grid goes through the painter.
  const bool pictureDirect = box.Width() == whole.Width() && box.Height() == whole.Height() &&
                             draw::CanBlitImage(target, box, m_pVideoBitmap.Image(), whole);
  const bool pictureLayer = picture && !pictureDirect && RefreshPictureLayer(box);
  bool layersDirect = true;
  if (widgets)
    for (const Layer& layer : layers)
      layersDirect = layersDirect && draw::CanBlitImage(target, layer.dest, layer.image.Image(), WholeBitmap(layer.image));
  if ((!picture || pictureDirect || pictureLayer) && layersDirect) {
    // Band by band, so that each band of the frame is still in the cache
    // when the widgets are blended onto it.
    constexpr int kBand = 16;
    const RectF backdrop = picture ? box : RectF{};
    for (int y0 = 0; y0 < target.height(); y0 += kBand) {
      const int y1 = std::min(y0 + kBand, target.height());
      if (pictureLayer)
        CopyRows(target, m_pictureLayer.Image(), y0, y1);
      else
        FillBlackAround(target, backdrop, y0, y1);
      if (picture && !pictureLayer) draw::BlitImageOver(target, box, m_pVideoBitmap.Image(), whole, 1.0f, true, y0, y1);
      if (widgets) BlendWidgets(layout, opacity, y0, y1);
    }
  } else {
    if (pictureLayer) {
      CopyRows(target, m_pictureLayer.Image(), 0, target.height());
    } else if (picture && pictureDirect) {
      FillBlackAround(target, box, 0, target.height());
      draw::BlitImageOver(target, box, m_pVideoBitmap.Image(), whole, 1.0f, true);
    } else if (picture) {
      target.fill(0xFF000000u);
      if (!m_canvas.Begin(m_pTargetBitmap)) return;
      m_canvas.DrawBitmap(m_pVideoBitmap, box, 1.0f, whole);
    } else {
      target.fill(0xFF000000u);
    }
    if (widgets) {
      // The painter needs the widgets as images.
      m_widgetImages.WriteWave(m_pWaveBitmap.Image());
      m_widgetImages.WriteSpectrum(m_pSpectrumBitmap.Image());
      for (const Layer& layer : layers) DrawFrameImage(layer.image, layer.dest, opacity, WholeBitmap(layer.image));
    }
  }
  // Drawing a frame and stepping to the next tick are one operation.
  if (const int frame = m_pSession->StepSpinner(); frame >= 0) {
    if (!m_pSpinnerBitmap.IsNull()) {
      const float left = static_cast<float>(draw::kSpinnerFrameSize * frame);
      DrawFrameImage(m_pSpinnerBitmap, draw::LayoutFrame(W, H).spinner, 1.0f,
                     RectF{left, 0, left + draw::kSpinnerFrameSize, draw::kSpinnerFrameSize});
    }
  }
  if (auto hook = m_pComposeHookForTests.load(std::memory_order_acquire)) hook();
  m_canvas.End();
  Present();
}

void CDrawView::Present() {
  // Called with m_csDraw held. The window thread only ever holds
  // m_csPresent for a swap, so this never waits for a paint.
  {
    platform::LockGuard lock(m_csPresent);
    std::swap(m_imgReady, m_pTargetBitmap.Image());
    m_bReadyFresh = true;
  }
  m_nFramesPresented.fetch_add(1, std::memory_order_acq_rel);
  // The next frame is drawn into the image that came back; it has the old
  // size after a resize, or none at first.
  const int w = static_cast<int>(m_rcClient.right), h = static_cast<int>(m_rcClient.bottom);
  const QImage& back = m_pTargetBitmap.Image();
  if (back.isNull() || back.width() != w || back.height() != h) m_pTargetBitmap.Create(w, h);
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

namespace {
// The image over a record's pixels holds a share of them until Qt lets it go.
void ReleasePixels(void* share) { delete static_cast<std::shared_ptr<const PicturePixels>*>(share); }
}  // namespace

void CDrawView::PresentPicture(const PictureRecord& picture) {
  if (picture.Empty()) return;
  const size_t needed = static_cast<size_t>(picture.LineSize()) * static_cast<size_t>(picture.height);
  if (picture.pixels->size() < needed) return;
  {
    platform::LockGuard lock(m_csDraw);
    if (!m_bDevice || picture.generation <= m_nShownGeneration) return;
    // Read-only pixels: the image never writes them and any write to it
    // would detach into a copy of its own. Opaque BGRA is premultiplied as it is.
    QImage image(picture.Data(), picture.width, picture.height, picture.LineSize(),
                 QImage::Format_ARGB32_Premultiplied, &ReleasePixels,
                 new std::shared_ptr<const PicturePixels>(picture.pixels));
    m_pVideoBitmap.Image().swap(image);  // the previous picture is let go here
    m_nShownGeneration = picture.generation;
    m_sizePictureCamera = m_pSession ? m_pSession->VideoSize() : VideoSize{};
    ++m_nPictureSerial;
    m_nPicturesTaken.fetch_add(1, std::memory_order_acq_rel);
  }
  if (m_pSession) m_pSession->PictureShown(picture.generation);
}

const uint8_t* CDrawView::ShownPicturePixels() const {
  platform::LockGuard lock(m_csDraw);
  return m_pVideoBitmap.IsNull() ? nullptr : m_pVideoBitmap.Image().constBits();
}

void CDrawView::SetOutputMeter(IOutputPeakMeter* meter) {
  platform::LockGuard lock(m_csMeter);
  m_pOutputMeter = meter;
}

draw::RectF CDrawView::ClientRect() const {
  platform::LockGuard lock(m_csDraw);
  return m_rcClient;
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
  output = m_fHoldOutput;
  input = m_fHoldInput;
}

QImage CDrawView::MeterImage() const {
  platform::LockGuard lock(m_csDraw);
  return m_pMeterBitmap.Image().copy();
}
QImage CDrawView::WaveImage() const {
  platform::LockGuard lock(m_csDraw);
  QImage image = m_pWaveBitmap.Image().copy();
  m_widgetImages.WriteWave(image);
  return image;
}
QImage CDrawView::SpectrumImage() const {
  platform::LockGuard lock(m_csDraw);
  QImage image = m_pSpectrumBitmap.Image().copy();
  m_widgetImages.WriteSpectrum(image);
  return image;
}

}  // namespace kx
