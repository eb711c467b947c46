// One frame of the preview from its inputs: the camera picture (taken by
// reference), the three audio widgets drawn from the analyser's display
// arrays, the layout of the view's size, the settings and the spinner. No
// widget and no thread of its own: CDrawView composes on its render thread
// under its drawing lock; tests compose frame by frame.
//
// Not thread-safe: the owner serialises every call, except the counters
// (atomics, read from any thread). The canvases keep per-thread resources,
// let go by ReleaseThreadResources on the thread that composed.
#pragma once

#include <QImage>
#include <atomic>
#include <cstdint>
#include <vector>

#include "common/settings_block.h"
#include "media/picture_record.h"
#include "media/preview_host.h"
#include "monitor/draw/layout.h"
#include "monitor/draw/qt_canvas.h"
#include "monitor/draw/widget_images.h"

namespace kx {

class CSpectrumAnalyser;

class CFrameComposer {
 public:
  explicit CFrameComposer(const CSettingsBlock& settings);
  CFrameComposer(const CFrameComposer&) = delete;
  CFrameComposer& operator=(const CFrameComposer&) = delete;

  // The brush colours from the settings, the frame at width x height (sides
  // below 8 count as 8), provisional widget images and the resource images.
  // Returns true when everything, icons included, is ready.
  bool Create(int width, int height);
  void Release();
  // A new view size: the frame and widget images follow it. The picture
  // stays (scaled until the next one) unless `cameraSize` differs from the
  // camera's size when it was taken. False, with nothing changed, without
  // resources or with a zero side.
  bool Resize(int width, int height, VideoSize cameraSize);
  // The letterbox in whole pixels at the current size.
  VideoSize ShownPictureSize() const;
  bool HasDevice() const { return m_bDevice; }
  // Every image a frame needs exists (a view too small has no widget images).
  bool CanCompose() const;

  // Keeps the record's pixels by reference when it is newer than the picture
  // shown; false (and nothing kept) for an older, repeated or short record,
  // or without resources.
  bool TakePicture(const PictureRecord& picture, VideoSize cameraSize);

  struct Inputs {
    float outputPeak = 0.0f;
    const CSpectrumAnalyser* analyser = nullptr;  // null: silent widgets
    int spinnerFrame = -1;                        // -1: no spinner
  };
  // Composes the next frame into Frame(); false when none was composed.
  bool Compose(const Inputs& in);
  const QImage& Frame() const { return m_pTargetBitmap.Image(); }
  // Swaps the composed frame into `out` and makes the next frame's image at
  // the current size (reusing what came back when its size fits).
  void SwapFrame(QImage& out);
  void EnsureFrame();
  // The hold marks fall by half a percent of the scale.
  void DecayHolds();
  void ReleaseThreadResources();

  draw::RectF ClientRect() const { return m_rcClient; }
  void HoldValues(float& output, float& input) const;
  uint64_t PicturesTaken() const { return m_nPicturesTaken.load(std::memory_order_acquire); }
  uint64_t PictureScalings() const { return m_nPictureScalings.load(std::memory_order_acquire); }
  const uint8_t* ShownPicturePixels() const;
  // Copies of the widget images as last drawn (null when not created).
  QImage MeterImage() const;
  QImage WaveImage() const;
  QImage SpectrumImage() const;

 private:
  bool LoadResourceBitmap(int id, draw::CQtBitmap& out);
  void ApplyBrushColors();
  void DrawWidgets(float outputPeak, const CSpectrumAnalyser* analyser);
  void DrawFrameImage(const draw::CQtBitmap& image, const draw::RectF& dest, float opacity, const draw::RectF& src);
  void BlendWidgets(const draw::FrameLayout& layout, float opacity, int y0, int y1);
  bool RefreshPictureLayer(const draw::RectF& box);
  void DropPictureLayer();

  const CSettingsBlock& m_settings;
  draw::CQtCanvas m_canvas;
  // Keeps the widgets' unchanging parts between frames.
  draw::CWidgetImages m_widgetImages{m_canvas};
  bool m_bDevice = false;  // the canvas and frame image are usable
  draw::CQtBitmap m_pTargetBitmap;
  // The picture shown: the image reads the record's pixels in place and keeps
  // them alive (null before the first picture: the box is black).
  draw::CQtBitmap m_pVideoBitmap;
  uint64_t m_nShownGeneration = 0;
  VideoSize m_sizePictureCamera;  // the camera's picture size when the picture was taken
  draw::CQtBitmap m_pMeterBitmap, m_pWaveBitmap, m_pSpectrumBitmap;
  draw::CQtBitmap m_pSpinnerBitmap;
  draw::CQtBitmap m_pMeterIcons;
  // A picture that must be scaled is scaled once per new picture, not every
  // frame: onto black at the frame's size, with a painter that stays open on
  // it. m_nPictureSerial changes with every change of the picture's pixels.
  draw::CQtBitmap m_pictureLayer;
  draw::CQtCanvas m_layerCanvas{true};
  uint64_t m_nPictureSerial = 1, m_nLayerSerial = 0;
  std::atomic<uint64_t> m_nPicturesTaken{0}, m_nPictureScalings{0};
  draw::RectF m_rcLayerBox;
  draw::RectF m_rcClient{0, 0, 8, 8};
  float m_fHoldOutput = 0, m_fHoldInput = 0;
  // The analyser's display arrays as read for one frame (allocated once).
  std::vector<double> m_vWaveRead, m_vSpectrumRead;
};

}  // namespace kx
