// Whole composed frames against the widget geometry drawn through the canvas
// alone (every widget redrawn from nothing, the frame put together by the
// painter): whatever the view keeps between frames or writes straight into
// the pixels must give the same image, pixel for pixel, frame after frame.
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <chrono>
#include <cmath>
#include <random>
#include <thread>
#include <vector>

#include "common/settings_block.h"
#include "monitor/draw/layout.h"
#include "monitor/draw/qt_canvas.h"
#include "monitor/draw/recording_canvas.h"
#include "monitor/draw/widgets.h"
#include "view/draw_view.h"
#include "view_fixture.h"
#include "session_test_access.h"

namespace kx {
namespace {

using draw::BrushId;
using draw::ColorFromRef;
using draw::CQtBitmap;
using draw::RectF;

auto* const kQt = ::testing::AddGlobalTestEnvironment(new test::QtEnvironment("offscreen"));

class FixedMeter : public IOutputPeakMeter {
 public:
  float value = 0;
  float GetPeakValue() override { return value; }
};

// A picture with gradients and edges everywhere, so that any shift or
// interpolation difference shows.
PictureRecord DetailedPicture(int width, int height, int shift = 0) {
  PictureRecord pic;
  pic.width = width;
  pic.height = height;
  pic.pts = 1 + shift;
  pic.generation = NextPictureGeneration();
  auto px = std::make_shared<PicturePixels>(static_cast<size_t>(width) * height * 4);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = px->data() + (static_cast<size_t>(y) * width + x) * 4;
      p[0] = static_cast<uint8_t>(x * 7 + y + shift);
      p[1] = static_cast<uint8_t>(x ^ (y + shift));
      p[2] = static_cast<uint8_t>(y * 3 + (x >> 4));
      p[3] = 255;
    }
  pic.pixels = px;
  return pic;
}

QImage PictureImage(const PictureRecord& pic, int bitmapWidth, int bitmapHeight) {
  // The view's picture image: the picture in its top-left corner on black.
  QImage image(bitmapWidth, bitmapHeight, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::black);
  for (int y = 0; y < pic.height; ++y)
    std::memcpy(image.scanLine(y), pic.Data() + static_cast<size_t>(y) * pic.LineSize(),
                static_cast<size_t>(pic.LineSize()));
  return image;
}

// The spectrum panel: background through the canvas, the curve (its points
// as the geometry builds them) outlined and filled by QPainter from
// QPainterPaths, the painter's general way.
void ReferenceSpectrum(draw::CQtCanvas& canvas, CQtBitmap& bitmap, const draw::SpectrumInput& in) {
  EXPECT_TRUE(canvas.Begin(bitmap));
  draw::DrawSpectrumBackground(canvas, in);
  canvas.End();
  draw::CRecordingCanvas recording;
  draw::CRecordingPath outline, fill;
  draw::DrawSpectrumCurve(recording, in, outline, fill);
  const auto path = [](const draw::DrawOp& op) {
    QPainterPath p;
    for (size_t f = 0; f < op.figures.size(); ++f) {
      p.moveTo(op.figures[f][0].x, op.figures[f][0].y);
      for (size_t i = 1; i < op.figures[f].size(); ++i) p.lineTo(op.figures[f][i].x, op.figures[f][i].y);
      if (op.closed[f]) p.closeSubpath();
    }
    return p;
  };
  const auto qt = [](draw::ColorF c) { return QColor::fromRgbF(c.r, c.g, c.b, c.a); };
  QPainter painter(&bitmap.Image());
  painter.setRenderHint(QPainter::Antialiasing, false);
  QPen pen(qt(canvas.BrushColor(BrushId::Spectrum)), 1.0);
  pen.setCapStyle(Qt::SquareCap);
  pen.setCosmetic(true);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  for (const draw::DrawOp& op : recording.ops) {
    if (op.kind == draw::DrawOp::Kind::DrawPath) painter.drawPath(path(op));
    if (op.kind == draw::DrawOp::Kind::FillPath) painter.fillPath(path(op), qt(canvas.BrushColor(BrushId::SpectrumFill)));
  }
}

// The frame as the widget geometry and the painter draw it from nothing.
struct Reference {
  QImage frame, meter, wave, spectrum;
  float holdOutput = 0, holdInput = 0;
};

Reference ReferenceFrame(const CSettingsBlock& s, int W, int H, const QImage& picture, float outputPeak,
                         float inputPeak, const std::vector<double>& waves, const std::vector<double>& spectrum,
                         float holdOutput, float holdInput, bool busy, int spinnerFrame) {
  draw::CQtCanvas canvas;
  canvas.SetBrushColor(BrushId::Bkg, ColorFromRef(s.ColorBkg));
  canvas.SetBrushColor(BrushId::Axis, ColorFromRef(s.ColorAxis));
  canvas.SetBrushColor(BrushId::Wave, ColorFromRef(s.ColorWave));
  canvas.SetBrushColor(BrushId::Spectrum, ColorFromRef(s.ColorSpectrum));
  canvas.SetBrushColor(BrushId::SpectrumFill,
                       ColorFromRef(s.ColorSpectrum, static_cast<float>(s.OpacitySpectrum.Get()) / 100.0f));
  canvas.SetBrushColor(BrushId::PeakMin, ColorFromRef(s.ColorPeakMin));
  canvas.SetBrushColor(BrushId::PeakMid, ColorFromRef(s.ColorPeakMid));
  canvas.SetBrushColor(BrushId::PeakMax, ColorFromRef(s.ColorPeakMax));
  const CQtBitmap icons(QImage(QStringLiteral(":/PNG/2003"), "PNG"));
  const CQtBitmap spinner(QImage(QStringLiteral(":/PNG/2005"), "PNG"));
  const CQtBitmap video(picture);
  const float fw = static_cast<float>(W), fh = static_cast<float>(H);
  Reference ref;
  ref.holdOutput = holdOutput;
  ref.holdInput = holdInput;
  const int show = s.ShowWidgets;
  const bool widgets = show == 0 || show == 1;
  CQtBitmap meter, wave, spectrumBitmap;
  const draw::SizeI meterSize = draw::MeterImageSize(W, H), waveSize = draw::WaveImageSize(W, H);
  meter.Create(meterSize.width, meterSize.height);
  wave.Create(waveSize.width, waveSize.height);
  spectrumBitmap.Create(waveSize.width, waveSize.height);
  if (widgets) {
    EXPECT_TRUE(canvas.Begin(meter));
    draw::DrawPeakMeter(canvas, draw::PeakMeterInput{fw, fh, &icons, outputPeak, inputPeak}, ref.holdOutput,
                        ref.holdInput);
    canvas.End();
    EXPECT_TRUE(canvas.Begin(wave));
    draw::DrawWavePanel(canvas, draw::WaveInput{fw, fh, waves, s.WaveScale}, s.ModeWave);
    canvas.End();
    ReferenceSpectrum(canvas, spectrumBitmap,
                      draw::SpectrumInput{spectrumBitmap.Width(), spectrumBitmap.Height(), spectrum, s.SpectrumBound,
                                          s.ModeSpectrum});
  }
  CQtBitmap frame;
  frame.Create(W, H);
  EXPECT_TRUE(canvas.Begin(frame));
  canvas.Clear(draw::ColorF{0, 0, 0, 1});
  const auto whole = [](const CQtBitmap& b) {
    return RectF{0, 0, static_cast<float>(b.Width()), static_cast<float>(b.Height())};
  };
  if (show == 0 || show == 2) canvas.DrawBitmap(video, draw::LetterboxRect(fw, fh), 1.0f, whole(video));
  const draw::FrameLayout layout = draw::LayoutFrame(fw, fh);
  if (widgets) {
    const float opacity = static_cast<float>(s.Opacity.Get()) / 100.0f;
    canvas.DrawBitmap(meter, layout.meter, opacity, whole(meter));
    canvas.DrawBitmap(wave, layout.wave, opacity, whole(wave));
    canvas.DrawBitmap(spectrumBitmap, layout.spectrum, opacity, whole(spectrumBitmap));
  }
  if (busy) {
    const float left = static_cast<float>(draw::kSpinnerFrameSize * spinnerFrame);
    canvas.DrawBitmap(spinner, layout.spinner, 1.0f,
                      RectF{left, 0, left + draw::kSpinnerFrameSize, draw::kSpinnerFrameSize});
  }
  canvas.End();
  canvas.ReleaseThreadResources();
  ref.frame = frame.Image();
  if (widgets) {
    ref.meter = meter.Image();
    ref.wave = wave.Image();
    ref.spectrum = spectrumBitmap.Image();
  }
  return ref;
}

// Pixels that differ, and where the first one is.
std::string Difference(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return "sizes differ";
  long count = 0;
  QPoint first(-1, -1);
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      if (a.pixel(x, y) != b.pixel(x, y) && count++ == 0) first = QPoint(x, y);
  if (count == 0) return {};
  char text[160];
  std::snprintf(text, sizeof text, "%ld pixels differ, first at (%d, %d): %08x against %08x", count, first.x(),
                first.y(), a.pixel(first), b.pixel(first));
  return text;
}

class FramePixels : public ::testing::Test {
 protected:
  void SetUp() override {
    view = std::make_unique<CDrawView>(settings, parts.target);
    view->StopRenderThread();
    view->SetOutputMeter(&meter);
  }
  void TearDown() override { view->SetOutputMeter(nullptr); }

  // New audio for the analyser: a 437 Hz tone under noise at this level,
  // processed before the next frame.
  void Feed(int blocks, float level) {
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    std::vector<float> block(480);
    for (int b = 0; b < blocks; ++b) {
      for (float& v : block) {
        v = level * (0.7f * std::sin(phase) + 0.3f * noise(rng));
        phase += 2.0f * 3.14159265f * 437.0f / 48000.0f;
      }
      view->Analyser().PushAudioBlock(block.data(), block.size());
      while (view->Analyser().HasNewBlock()) std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  }
  void ReadDisplay(std::vector<double>& waves, std::vector<double>& spectrum, float& input) {
    waves.assign(CSpectrumAnalyser::kWaveHistorySize, 0.0);
    spectrum.assign(CSpectrumAnalyser::kPowerBins, 0.0);
    input = view->Analyser().ReadDisplay(waves, spectrum);
  }

  // Composes one frame and checks it, and the widget images, against the
  // reference drawn from the same inputs.
  void CheckFrame(const char* what) {
    SCOPED_TRACE(what);
    std::vector<double> waves, spectrum, wavesAfter, spectrumAfter;
    float input = 0, inputAfter = 0;
    // The analysis thread may still be publishing the last block: take the
    // inputs only when they stay the same across the composition.
    for (int attempt = 0;; ++attempt) {
      ReadDisplay(waves, spectrum, input);
      view->HoldValues(holdOutput, holdInput);
      busy = view->Session().IsBusy();
      spinnerFrame = CPreviewSessionTestAccess::Spinner(view->Session()).Frame();
      view->ComposeFrame();
      ReadDisplay(wavesAfter, spectrumAfter, inputAfter);
      if (waves == wavesAfter && spectrum == spectrumAfter && input == inputAfter) break;
      ASSERT_LT(attempt, 50) << "the analyser never settled";
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const ClientSize client = Client();
    const Reference ref = ReferenceFrame(settings, client.w, client.h, picture, meter.value, input, waves, spectrum,
                                         holdOutput, holdInput, busy, spinnerFrame);
    const QImage frame = view->LastFrame();
    float viewHoldOutput = 0, viewHoldInput = 0;
    view->HoldValues(viewHoldOutput, viewHoldInput);
    EXPECT_EQ(viewHoldOutput, ref.holdOutput);
    EXPECT_EQ(viewHoldInput, ref.holdInput);
    if (!ref.meter.isNull()) {
      EXPECT_EQ(Difference(view->MeterImage(), ref.meter), "") << "meter";
      EXPECT_EQ(Difference(view->WaveImage(), ref.wave), "") << "waveform";
      EXPECT_EQ(Difference(view->SpectrumImage(), ref.spectrum), "") << "spectrum";
    }
    const std::string diff = Difference(frame, ref.frame);
    EXPECT_EQ(diff, "") << "frame";
    if (!diff.empty()) {
      QDir().mkpath(QStringLiteral(KX_ARTIFACTS_DIR));
      frame.save(QStringLiteral(KX_ARTIFACTS_DIR "/frame_pixels_view.png"));
      ref.frame.save(QStringLiteral(KX_ARTIFACTS_DIR "/frame_pixels_reference.png"));
    }
    ++frames;
  }

  struct ClientSize {
    int w, h;
  };
  ClientSize Client() const {
    const RectF rc = view->ClientRect();
    return ClientSize{static_cast<int>(rc.right), static_cast<int>(rc.bottom)};
  }
  // A view of this size showing a picture of that size.
  void Show(int w, int h, int picW, int picH) {
    CPreviewSessionTestAccess::SetVideoSize(view->Session(), {picW, picH});
    view->ResizeTargets(w, h);
    NewPicture(0);
  }
  // The next picture of the same size.
  void NewPicture(int shift) {
    const VideoSize size = view->Session().VideoSize();
    const PictureRecord pic = DetailedPicture(size.cx, size.cy, shift);
    view->PresentPicture(pic);
    picture = PictureImage(pic, size.cx, size.cy);
  }

  test::ViewParts parts;
  CSettingsBlock& settings = parts.settings;
  FixedMeter meter;
  std::unique_ptr<CDrawView> view;
  std::mt19937 rng{437};
  float phase = 0;
  QImage picture;
  float holdOutput = 0, holdInput = 0;
  bool busy = false;
  int spinnerFrame = 0;
  int frames = 0;
};

// Frame after frame the waveform scrolls, the levels rise and fall, the hold
// marks sit above falling levels, and settings change between frames.
TEST_F(FramePixels, FramesMatchTheWidgetGeometryDrawnFromNothing) {
  struct Size {
    int w, h, picW, picH;
  } sizes[] = {
      {1920, 1080, 1920, 1080},  // one to one
      {1280, 720, 1920, 1080},   // scaled down
      {1001, 633, 640, 360},     // odd sides: half-pixel places, scaled up
      {1600, 1000, 1600, 900},   // bars above and below, one to one inside
      {1280, 720, 1280, 720},
  };
  const float levels[] = {0.0f, 0.5f, 1.0f, 0.999f, 0.03f, 0.2f};
  int step = 0;
  for (const Size& size : sizes) {
    SCOPED_TRACE(testing::Message() << size.w << "x" << size.h << " picture " << size.picW << "x" << size.picH);
    Show(size.w, size.h, size.picW, size.picH);
    for (int i = 0; i < 6; ++i, ++step) {
      settings.ModeWave = step % 3;            // log, line, none
      settings.WaveScale = (step % 4 == 3) ? 3 : (step % 2 ? 24 : 480);
      settings.ModeSpectrum = (step / 2) % 2;  // lines, bars
      settings.SpectrumBound = step % 5 == 4 ? 20 : (step % 3 == 2 ? 200 : 80);
      settings.Opacity = (step % 4 == 0) ? 50 : (step % 4 == 1 ? 37 : (step % 4 == 2 ? 100 : 0));
      settings.ShowWidgets = step % 7 == 6 ? 1 : (step % 11 == 10 ? 2 : 0);
      test::SetBusy(view->Session(), step % 5 == 1);
      meter.value = levels[step % 6];
      // Loud, then quieter: the hold marks stay above the level.
      Feed(3 + step % 4, i < 3 ? 0.9f : 0.05f);
      // Now and then the camera sends the next picture: whatever the view
      // keeps of the last one must not show.
      if (i == 2 || i == 4) NewPicture(step * 13 + 5);
      CheckFrame("frame");
      if (HasFailure()) return;
    }
  }
}

// New colours and a spectrum opacity rebuild the resources: the kept images
// must follow.
TEST_F(FramePixels, ColourChangesRedrawTheKeptImages) {
  Show(1280, 720, 1920, 1080);
  settings.ModeWave = 0;
  settings.WaveScale = 24;
  meter.value = 0.6f;
  Feed(10, 0.8f);
  CheckFrame("default colours");
  settings.ColorBkg = 0x102030;
  settings.ColorAxis = 0x00A0FF;
  settings.ColorWave = 0x30FF30;
  settings.ColorSpectrum = 0xFF4080;
  settings.OpacitySpectrum = 80;
  settings.ColorPeakMin = 0x808000;
  settings.ColorPeakMid = 0x0080FF;
  settings.ColorPeakMax = 0xFF00FF;
  view->CreateDeviceResources();
  Show(1280, 720, 1920, 1080);
  Feed(4, 0.8f);
  CheckFrame("new colours");
  Show(900, 601, 1920, 1080);
  Feed(4, 0.3f);
  CheckFrame("new size");
  EXPECT_EQ(frames, 3);
}

}  // namespace
}  // namespace kx
