#include "view/frame_composer.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "monitor/analyser.h"
#include "monitor/draw/widgets.h"

// The images live in a static library: register them before the first use.
static void InitViewImages() { Q_INIT_RESOURCE(images); }

namespace kx {

namespace {

using draw::BrushId;
using draw::ColorFromRef;
using draw::RectF;

constexpr int kMeterIconsId = 2003;
constexpr int kSpinnerId = 2005;
constexpr float kHoldDecay = 0.5f;  // percent of scale per decay tick

float ClampedSide(int v) { return static_cast<float>(v > 8 ? v : 8); }

RectF WholeBitmap(const draw::IBitmap& b) {
  return RectF{0, 0, static_cast<float>(b.Width()), static_cast<float>(b.Height())};
}

// Rows [y0, y1) of the frame black outside the rectangle (whole pixels).
void FillBlackAround(QImage& target, const RectF& rc, int y0, int y1) {
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

// Rows [y0, y1) of the frame from the picture layer.
void CopyRows(QImage& target, const QImage& layer, int y0, int y1) {
  const size_t bytes = static_cast<size_t>(std::min(target.bytesPerLine(), layer.bytesPerLine()));
  for (int y = y0; y < y1; ++y) std::memcpy(target.scanLine(y), layer.constScanLine(y), bytes);
}

// The image over a record's pixels holds a share of them until Qt lets it go.
void ReleasePixels(void* share) { delete static_cast<std::shared_ptr<const PicturePixels>*>(share); }

}  // namespace

CFrameComposer::CFrameComposer(const CSettingsBlock& settings)
    : m_settings(settings),
      m_vWaveRead(CSpectrumAnalyser::kWaveHistorySize, 0.0),
      m_vSpectrumRead(CSpectrumAnalyser::kPowerBins, 0.0) {
  InitViewImages();
}

void CFrameComposer::ApplyBrushColors() {
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

bool CFrameComposer::LoadResourceBitmap(int id, draw::CQtBitmap& out) {
  const QImage image(QStringLiteral(":/PNG/%1").arg(id), "PNG");
  if (image.isNull()) {
    out.Reset();
    return false;
  }
  out = draw::CQtBitmap(image);
  return !out.IsNull();
}

bool CFrameComposer::Create(int width, int height) {
  Release();
  ApplyBrushColors();
  m_rcClient = RectF{0, 0, ClampedSide(width), ClampedSide(height)};
  if (!m_pTargetBitmap.Create(static_cast<int>(m_rcClient.right), static_cast<int>(m_rcClient.bottom))) return false;
  m_bDevice = true;
  // Provisional sizes; Resize gives the real ones.
  const bool bitmaps = m_pMeterBitmap.Create(30, 20) && m_pWaveBitmap.Create(200, 100) &&
                       m_pSpectrumBitmap.Create(200, 100);
  if (!bitmaps) return false;
  m_pVideoBitmap.Reset();  // black until a picture comes
  ++m_nPictureSerial;
  return LoadResourceBitmap(kMeterIconsId, m_pMeterIcons) && LoadResourceBitmap(kSpinnerId, m_pSpinnerBitmap);
}

void CFrameComposer::Release() {
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
}

bool CFrameComposer::Resize(int width, int height, VideoSize cameraSize) {
  if (!m_bDevice || width == 0 || height == 0) return false;
  m_widgetImages.EndPainting();  // the widget images are about to be replaced
  DropPictureLayer();
  m_rcClient = RectF{0, 0, ClampedSide(width), ClampedSide(height)};
  const int frameW = static_cast<int>(m_rcClient.right), frameH = static_cast<int>(m_rcClient.bottom);
  const bool target = m_pTargetBitmap.Create(frameW, frameH);
  m_pMeterBitmap.Reset();
  m_pWaveBitmap.Reset();
  m_pSpectrumBitmap.Reset();
  // A camera whose picture size changed shows black until its first picture.
  if (cameraSize != m_sizePictureCamera) m_pVideoBitmap.Reset();
  ++m_nPictureSerial;
  // Too small a view leaves a widget image uncreated: no frame is composed.
  const draw::SizeI meter = draw::MeterImageSize(width, height);
  const draw::SizeI wave = draw::WaveImageSize(width, height);
  m_pMeterBitmap.Create(meter.width, meter.height);
  m_pWaveBitmap.Create(wave.width, wave.height);
  m_pSpectrumBitmap.Create(wave.width, wave.height);
  if (!target) m_bDevice = false;
  return true;
}

VideoSize CFrameComposer::ShownPictureSize() const {
  const RectF pixels = draw::LetterboxPixels(m_rcClient.right, m_rcClient.bottom);
  return {static_cast<int32_t>(pixels.Width()), static_cast<int32_t>(pixels.Height())};
}

bool CFrameComposer::CanCompose() const {
  return m_bDevice && !m_pTargetBitmap.IsNull() && !m_pMeterBitmap.IsNull() && !m_pWaveBitmap.IsNull() &&
         !m_pSpectrumBitmap.IsNull();
}

bool CFrameComposer::TakePicture(const PictureRecord& picture, VideoSize cameraSize) {
  if (picture.Empty()) return false;
  const size_t needed = static_cast<size_t>(picture.LineSize()) * static_cast<size_t>(picture.height);
  if (picture.pixels->size() < needed) return false;
  if (!m_bDevice || picture.generation <= m_nShownGeneration) return false;
  // Read-only pixels: the image never writes them and any write to it
  // would detach into a copy of its own. Opaque BGRA is premultiplied as it is.
  QImage image(picture.Data(), picture.width, picture.height, picture.LineSize(),
               QImage::Format_ARGB32_Premultiplied, &ReleasePixels,
               new std::shared_ptr<const PicturePixels>(picture.pixels));
  m_pVideoBitmap.Image().swap(image);  // the previous picture is let go here
  m_nShownGeneration = picture.generation;
  m_sizePictureCamera = cameraSize;
  ++m_nPictureSerial;
  m_nPicturesTaken.fetch_add(1, std::memory_order_acq_rel);
  return true;
}

void CFrameComposer::DecayHolds() {
  m_fHoldOutput -= kHoldDecay;
  if (!(m_fHoldOutput > 0)) m_fHoldOutput = 0;
  m_fHoldInput -= kHoldDecay;
  if (!(m_fHoldInput > 0)) m_fHoldInput = 0;
}

void CFrameComposer::DrawWidgets(float outputPeak, const CSpectrumAnalyser* analyser) {
  const float inputPeak = analyser ? analyser->ReadDisplay(m_vWaveRead, m_vSpectrumRead) : 0.0f;
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

void CFrameComposer::DrawFrameImage(const draw::CQtBitmap& image, const RectF& dest, float opacity, const RectF& src) {
  // One to one on whole pixels the pixels are blended here; anything scaled
  // or off the pixel grid goes through the painter.
  if (draw::BlitImageOver(m_pTargetBitmap.Image(), dest, image.Image(), src, opacity)) return;
  if (m_canvas.Active() || m_canvas.Begin(m_pTargetBitmap)) m_canvas.DrawBitmap(image, dest, opacity, src);
}

void CFrameComposer::DropPictureLayer() {
  m_layerCanvas.Finish();
  m_pictureLayer.Reset();
  m_nLayerSerial = 0;
}

bool CFrameComposer::RefreshPictureLayer(const RectF& box) {
  const QImage& target = m_pTargetBitmap.Image();
  if (!m_pictureLayer.IsNull() && m_pictureLayer.Image().size() == target.size() && m_rcLayerBox == box &&
      m_nLayerSerial == m_nPictureSerial)
    return true;
  if (m_pictureLayer.IsNull() || m_pictureLayer.Image().size() != target.size()) {
    DropPictureLayer();
    if (!m_pictureLayer.Create(target.width(), target.height())) return false;
  }
  // The frame cleared to black, then the picture stretched into its box.
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

void CFrameComposer::BlendWidgets(const draw::FrameLayout& layout, float opacity, int y0, int y1) {
  QImage& target = m_pTargetBitmap.Image();
  const auto whole = [](const draw::CQtBitmap& b) { return WholeBitmap(b); };
  draw::BlitImageOver(target, layout.meter, m_pMeterBitmap.Image(), whole(m_pMeterBitmap), opacity, false, y0, y1);
  if (!m_widgetImages.BlendWave(target, layout.wave, opacity, y0, y1))
    draw::BlitImageOver(target, layout.wave, m_pWaveBitmap.Image(), whole(m_pWaveBitmap), opacity, false, y0, y1);
  if (!m_widgetImages.BlendSpectrum(target, layout.spectrum, opacity, y0, y1))
    draw::BlitImageOver(target, layout.spectrum, m_pSpectrumBitmap.Image(), whole(m_pSpectrumBitmap), opacity, false,
                        y0, y1);
}

bool CFrameComposer::Compose(const Inputs& in) {
  if (!CanCompose()) return false;
  const int show = m_settings.ShowWidgets;
  const bool widgets = show == 0 || show == 1;
  if (widgets) DrawWidgets(in.outputPeak, in.analyser);

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
      if (!m_canvas.Begin(m_pTargetBitmap)) return false;
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
  if (in.spinnerFrame >= 0 && !m_pSpinnerBitmap.IsNull()) {
    const float left = static_cast<float>(draw::kSpinnerFrameSize * in.spinnerFrame);
    DrawFrameImage(m_pSpinnerBitmap, layout.spinner, 1.0f,
                   RectF{left, 0, left + draw::kSpinnerFrameSize, draw::kSpinnerFrameSize});
  }
  m_canvas.End();
  return true;
}

void CFrameComposer::SwapFrame(QImage& out) { std::swap(out, m_pTargetBitmap.Image()); }

void CFrameComposer::EnsureFrame() {
  // The image that came back has the old size after a resize, or none at first.
  const int w = static_cast<int>(m_rcClient.right), h = static_cast<int>(m_rcClient.bottom);
  const QImage& back = m_pTargetBitmap.Image();
  if (back.isNull() || back.width() != w || back.height() != h) m_pTargetBitmap.Create(w, h);
}

void CFrameComposer::ReleaseThreadResources() {
  m_canvas.ReleaseThreadResources();
  m_widgetImages.EndPainting();
  m_layerCanvas.ReleaseThreadResources();
}

void CFrameComposer::HoldValues(float& output, float& input) const {
  output = m_fHoldOutput;
  input = m_fHoldInput;
}

const uint8_t* CFrameComposer::ShownPicturePixels() const {
  return m_pVideoBitmap.IsNull() ? nullptr : m_pVideoBitmap.Image().constBits();
}

QImage CFrameComposer::MeterImage() const { return m_pMeterBitmap.Image().copy(); }

QImage CFrameComposer::WaveImage() const {
  QImage image = m_pWaveBitmap.Image().copy();
  m_widgetImages.WriteWave(image);
  return image;
}

QImage CFrameComposer::SpectrumImage() const {
  QImage image = m_pSpectrumBitmap.Image().copy();
  m_widgetImages.WriteSpectrum(image);
  return image;
}

}  // namespace kx
