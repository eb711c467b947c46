// The frame composer without a widget: the letterbox, pictures by reference, too-small sizes, whole frames
// against the widget geometry drawn from nothing, no heap allocation in warm frames.
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <random>
#include <vector>

#include "allocation_counter.h"
#include "monitor/analyser.h"
#include "monitor/draw/recording_canvas.h"
#include "monitor/draw/widgets.h"
#include "view/frame_composer.h"
#include "view_fixture.h"

namespace kx {
namespace {

using draw::BrushId;
using draw::ColorFromRef;
using draw::CQtBitmap;
using draw::RectF;

auto* const kQt = ::testing::AddGlobalTestEnvironment(new test::QtEnvironment("offscreen"));

constexpr QRgb kPicture = qRgb(200, 40, 90);
constexpr QRgb kBlack = qRgb(0, 0, 0);
constexpr VideoSize kHd{1920, 1080};

// Gradients and edges everywhere: any shift or interpolation difference shows.
PictureRecord DetailedPicture(int width, int height, int shift = 0) {
  PictureRecord pic = test::SolidPicture(width, height, 0);
  auto pixels = std::make_shared<PicturePixels>(*pic.pixels);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = pixels->data() + (static_cast<size_t>(y) * width + x) * 4;
      p[0] = static_cast<uint8_t>(x * 7 + y + shift);
      p[1] = static_cast<uint8_t>(x ^ (y + shift));
      p[2] = static_cast<uint8_t>(y * 3 + (x >> 4));
    }
  pic.pixels = std::move(pixels);
  return pic;
}

// Pixels that differ, and where the first one is.
std::string Difference(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return "sizes differ";
  long count = 0;
  std::string first;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      if (a.pixel(x, y) != b.pixel(x, y) && count++ == 0) first = std::to_string(x) + "," + std::to_string(y);
  return count ? std::to_string(count) + " pixels differ, the first at " + first : "";
}

class Composer : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(composer.Create(640, 360)); }
  void Resize(int w, int h, VideoSize camera = kHd) { ASSERT_TRUE(composer.Resize(w, h, camera)); }
  bool Take(const PictureRecord& pic, VideoSize camera = kHd) { return composer.TakePicture(pic, camera); }
  // A view of this size showing a picture of its camera's size.
  void Show(int w, int h, VideoSize camera = kHd, QRgb rgb = kPicture) {
    Resize(w, h, camera);
    Take(test::SolidPicture(camera.cx, camera.cy, rgb));
  }
  // One frame, handed over as the view does: the next is drawn into the image that came back.
  QImage Compose(int spinnerFrame = -1) {
    EXPECT_TRUE(composer.Compose({outputPeak, &analyser, spinnerFrame}));
    composer.SwapFrame(shown);
    composer.EnsureFrame();
    return shown.copy();
  }
  // A 437 Hz tone under noise at this level through the analyser.
  void Feed(int blocks, float level) {
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    std::vector<float> block(480);
    for (int b = 0; b < blocks; ++b) {
      for (float& v : block) {
        v = level * (0.7f * std::sin(phase) + 0.3f * noise(rng));
        phase += 2.0f * 3.14159265f * 437.0f / 48000.0f;
      }
      analyser.PushAudioBlock(block.data(), block.size());
      analyser.Tick(settings);
    }
  }

  CSettingsBlock settings;
  CFrameComposer composer{settings};
  CSpectrumAnalyser analyser;
  float outputPeak = 0;
  QImage shown;
  std::mt19937 rng{437};
  float phase = 0;
};

TEST_F(Composer, PictureFillsItsSixteenByNineBox) {
  settings.ShowWidgets = 2;
  struct Case {
    int w, h;
    VideoSize camera;
    QRect box;
  } cases[] = {
      {1600, 1000, kHd, QRect(0, 50, 1600, 900)},
      {2000, 900, kHd, QRect(200, 0, 1600, 900)},
      {800, 500, {640, 360}, QRect(0, 25, 800, 450)},  // stretched up
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
    Show(c.w, c.h, c.camera);
    const QImage frame = Compose();
    ASSERT_EQ(frame.size(), QSize(c.w, c.h));
    EXPECT_EQ(frame.pixel(c.box.bottomRight()), kPicture);
    for (int y = 0; y < c.h; y += 5)
      for (int x = 0; x < c.w; x += 5)
        ASSERT_EQ(frame.pixel(x, y), c.box.contains(x, y) ? kPicture : kBlack) << x << "," << y;
  }
  // A picture of another size (a size change on its way) is stretched the same; an older one is not taken.
  const PictureRecord older = test::SolidPicture(640, 360, qRgb(90, 90, 90));
  EXPECT_TRUE(Take(test::SolidPicture(1280, 720, qRgb(255, 255, 255)), {640, 360}));
  EXPECT_FALSE(Take(older));
  EXPECT_EQ(Compose().pixel(0, 25), qRgb(255, 255, 255));
  // A camera whose size changed shows black until its first picture; a window resize keeps the picture.
  Resize(800, 500, {640, 360});
  EXPECT_EQ(Compose().pixel(400, 250), qRgb(255, 255, 255));
  Resize(800, 500, {1280, 720});
  EXPECT_EQ(Compose().pixel(400, 250), kBlack);
}

// The record's own pixels are shown (kept alive after the caller lets go), scaled once however many frames
// show them; a picture shown one to one is never scaled.
TEST_F(Composer, PicturesAreTakenByReferenceAndScaledOnce) {
  settings.ShowWidgets = 2;
  struct Case {
    int w, h;
    uint64_t scalingsPerPicture;
    int picW, picH;
  } cases[] = {{1280, 720, 1, 1920, 1080}, {1001, 633, 1, 1920, 1080}, {1920, 1080, 0, 1920, 1080},
               {1001, 633, 0, 0, 0}};  // 0: made at the letterbox's whole-pixel size
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
    Resize(c.w, c.h);
    const VideoSize size = c.picW ? VideoSize{c.picW, c.picH} : composer.ShownPictureSize();
    for (int i = 0; i < 3; ++i) {
      const uint64_t taken = composer.PicturesTaken(), scalings = composer.PictureScalings();
      {
        const PictureRecord pic = test::SolidPicture(size.cx, size.cy, qRgb(40 * i, 200, 90));
        EXPECT_TRUE(Take(pic));
        EXPECT_FALSE(Take(pic));  // the same picture with the next chunk
        EXPECT_EQ(composer.ShownPicturePixels(), pic.Data());
      }
      for (int frame = 0; frame < 4; ++frame) Compose();
      EXPECT_EQ(composer.PicturesTaken(), taken + 1);
      EXPECT_EQ(composer.PictureScalings(), scalings + c.scalingsPerPicture);
      const QImage frame = Compose();
      EXPECT_EQ(frame.pixel(c.w / 2, c.h / 2), qRgb(40 * i, 200, 90));
      if (!c.picW) {  // placed one to one in the whole-pixel box, the bars left black
        const RectF box = draw::LetterboxPixels(static_cast<float>(c.w), static_cast<float>(c.h));
        const QPoint topLeft(static_cast<int>(box.left), static_cast<int>(box.top));
        EXPECT_EQ(frame.pixel(topLeft), qRgb(40 * i, 200, 90));
        EXPECT_EQ(frame.pixel(topLeft - QPoint(0, 1)), kBlack);
      }
    }
  }
}

TEST_F(Composer, TooSmallOrReleasedComposesNothing) {
  Show(800, 600);
  EXPECT_TRUE(composer.CanCompose());
  Resize(1, 1);
  EXPECT_EQ(composer.ClientRect(), (RectF{0, 0, 8, 8}));
  EXPECT_FALSE(composer.CanCompose());
  Resize(90, 400);  // no waveform image
  EXPECT_FALSE(composer.CanCompose());
  Resize(91, 32);  // just enough for all
  EXPECT_EQ(Compose().size(), QSize(91, 32));
  EXPECT_FALSE(composer.Resize(0, 500, kHd));  // a zero side is ignored
  EXPECT_EQ(composer.ClientRect(), (RectF{0, 0, 91, 32}));
  composer.Release();
  EXPECT_FALSE(composer.Compose({}));
  EXPECT_FALSE(composer.Resize(800, 600, kHd));
  EXPECT_FALSE(Take(test::SolidPicture(1920, 1080, kPicture)));
  ASSERT_TRUE(composer.Create(800, 600));
  EXPECT_TRUE(composer.Compose({}));
}

// ---- whole frames against the geometry drawn from nothing ----

// The spectrum panel: the background through the canvas, the curve's points outlined and filled by QPainter's
// general path drawing.
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

struct Reference {
  QImage frame, meter, wave, spectrum;
};

// The frame as the widget geometry and the painter draw it from nothing.
Reference ReferenceFrame(const CSettingsBlock& s, int W, int H, const PictureRecord& pic, float outputPeak,
                         const CSpectrumAnalyser& analyser, float& holdOutput, float& holdInput, int spinnerFrame) {
  draw::CQtCanvas canvas;
  const std::pair<BrushId, uint32_t> colours[] = {
      {BrushId::Bkg, s.ColorBkg},         {BrushId::Axis, s.ColorAxis},       {BrushId::Wave, s.ColorWave},
      {BrushId::Spectrum, s.ColorSpectrum}, {BrushId::PeakMin, s.ColorPeakMin}, {BrushId::PeakMid, s.ColorPeakMid},
      {BrushId::PeakMax, s.ColorPeakMax}};
  for (const auto& [brush, colour] : colours) canvas.SetBrushColor(brush, ColorFromRef(colour));
  canvas.SetBrushColor(BrushId::SpectrumFill,
                       ColorFromRef(s.ColorSpectrum, static_cast<float>(s.OpacitySpectrum.Get()) / 100.0f));
  const CQtBitmap icons(QImage(QStringLiteral(":/PNG/2003"), "PNG"));
  const CQtBitmap spinner(QImage(QStringLiteral(":/PNG/2005"), "PNG"));
  const CQtBitmap video(QImage(pic.Data(), pic.width, pic.height, pic.LineSize(), QImage::Format_ARGB32_Premultiplied));
  std::vector<double> waves(CSpectrumAnalyser::kWaveHistorySize), spectrum(CSpectrumAnalyser::kPowerBins);
  const float inputPeak = analyser.ReadDisplay(waves, spectrum);
  const float fw = static_cast<float>(W), fh = static_cast<float>(H);
  Reference ref;
  const int show = s.ShowWidgets;
  const bool widgets = show == 0 || show == 1;
  CQtBitmap meter, wave, spectrumBitmap, frame;
  const draw::SizeI meterSize = draw::MeterImageSize(W, H), waveSize = draw::WaveImageSize(W, H);
  meter.Create(meterSize.width, meterSize.height);
  wave.Create(waveSize.width, waveSize.height);
  spectrumBitmap.Create(waveSize.width, waveSize.height);
  if (widgets) {
    EXPECT_TRUE(canvas.Begin(meter));
    draw::DrawPeakMeter(canvas, draw::PeakMeterInput{fw, fh, &icons, outputPeak, inputPeak}, holdOutput, holdInput);
    canvas.End();
    EXPECT_TRUE(canvas.Begin(wave));
    draw::DrawWavePanel(canvas, draw::WaveInput{fw, fh, waves, s.WaveScale}, s.ModeWave);
    canvas.End();
    ReferenceSpectrum(canvas, spectrumBitmap,
                      draw::SpectrumInput{spectrumBitmap.Width(), spectrumBitmap.Height(), spectrum, s.SpectrumBound,
                                          s.ModeSpectrum});
    ref.meter = meter.Image();
    ref.wave = wave.Image();
    ref.spectrum = spectrumBitmap.Image();
  }
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
  if (spinnerFrame >= 0) {
    const float left = static_cast<float>(draw::kSpinnerFrameSize * spinnerFrame);
    canvas.DrawBitmap(spinner, layout.spinner, 1.0f, RectF{left, 0, left + draw::kSpinnerFrameSize, draw::kSpinnerFrameSize});
  }
  canvas.End();
  canvas.ReleaseThreadResources();
  ref.frame = frame.Image();
  return ref;
}

class FramePixels : public Composer {
 protected:
  void NewPicture(VideoSize camera, int shift) {
    picture = DetailedPicture(camera.cx, camera.cy, shift);
    Take(picture, camera);
  }
  // One frame and the widget images against the reference of the same inputs (the holds as before it).
  void CheckFrame(int spinnerFrame = -1) {
    float holdOutput = 0, holdInput = 0;
    composer.HoldValues(holdOutput, holdInput);
    const QImage frame = Compose(spinnerFrame);
    const RectF rc = composer.ClientRect();
    const Reference ref = ReferenceFrame(settings, static_cast<int>(rc.right), static_cast<int>(rc.bottom), picture,
                                         outputPeak, analyser, holdOutput, holdInput, spinnerFrame);
    float afterOutput = 0, afterInput = 0;
    composer.HoldValues(afterOutput, afterInput);
    EXPECT_EQ(afterOutput, holdOutput);
    EXPECT_EQ(afterInput, holdInput);
    if (!ref.meter.isNull()) {
      EXPECT_EQ(Difference(composer.MeterImage(), ref.meter), "") << "meter";
      EXPECT_EQ(Difference(composer.WaveImage(), ref.wave), "") << "waveform";
      EXPECT_EQ(Difference(composer.SpectrumImage(), ref.spectrum), "") << "spectrum";
    }
    EXPECT_EQ(Difference(frame, ref.frame), "") << "frame";
  }
  PictureRecord picture;
};

// The waveform scrolls, levels rise and fall under their hold marks, settings change between frames.
TEST_F(FramePixels, FramesMatchTheWidgetGeometryDrawnFromNothing) {
  struct Size {
    int w, h;
    VideoSize camera;
  } sizes[] = {
      {1920, 1080, kHd},          // one to one
      {1001, 633, {640, 360}},    // odd sides: half-pixel places, scaled up
      {1600, 1000, {1600, 900}},  // bars above and below, one to one inside
  };
  const float levels[] = {0.0f, 0.5f, 1.0f, 0.999f, 0.03f, 0.2f};
  int step = 0;
  for (const Size& size : sizes) {
    SCOPED_TRACE(testing::Message() << size.w << "x" << size.h << " picture " << size.camera.cx);
    Resize(size.w, size.h, size.camera);
    NewPicture(size.camera, 0);
    for (int i = 0; i < 6; ++i, ++step) {
      SCOPED_TRACE(step);
      settings.ModeWave = step % 3;  // log, line, none
      settings.WaveScale = (step % 4 == 3) ? 3 : (step % 2 ? 24 : 480);
      settings.ModeSpectrum = (step / 2) % 2;  // lines, bars
      settings.SpectrumBound = step % 5 == 4 ? 20 : (step % 3 == 2 ? 200 : 80);
      settings.Opacity = (step % 4 == 0) ? 50 : (step % 4 == 1 ? 37 : (step % 4 == 2 ? 100 : 0));
      settings.ShowWidgets = step % 7 == 6 ? 1 : (step % 11 == 10 ? 2 : 0);
      outputPeak = levels[step % 6];
      // Loud, then quieter: the hold marks stay above the level.
      Feed(3 + step % 4, i < 3 ? 0.9f : 0.05f);
      // Now and then the next picture: nothing kept of the last may show.
      if (i == 2 || i == 4) NewPicture(size.camera, step * 13 + 5);
      CheckFrame(step % 5 == 1 ? step % 8 : -1);
      if (HasFailure()) return;
    }
  }
  // New colours and a spectrum opacity remake the resources: the kept images follow.
  settings.ShowWidgets = 0;
  settings.ColorBkg = 0x102030;
  settings.ColorAxis = 0x00A0FF;
  settings.ColorWave = 0x30FF30;
  settings.ColorSpectrum = 0xFF4080;
  settings.OpacitySpectrum = 80;
  settings.ColorPeakMin = 0x808000;
  settings.ColorPeakMid = 0x0080FF;
  settings.ColorPeakMax = 0xFF00FF;
  ASSERT_TRUE(composer.Create(1280, 720));
  Resize(900, 601);
  NewPicture(kHd, 1);
  Feed(4, 0.8f);
  CheckFrame();
}

// ---- allocations ----

// A frame every 40 ms: once the images exist, composing must not touch the heap (malloc counted too: Qt uses it).
TEST_F(Composer, WarmFramesAllocateNothingAtAnySizeOrSetting) {
  if (!test::CountingEveryAllocation()) GTEST_SKIP() << "sanitizer build: C allocations are not counted";
  settings.WaveScale = 24;  // many waveform columns per block
  Take(DetailedPicture(1920, 1080));
  struct Case {
    int width, height, show, opacity;
  };
  // 1:1 picture, scaled picture of odd size, widgets alone, an opaque panel (odd heights put the widgets on
  // half pixels, drawn by QPainter, which allocates: not claimed).
  for (const Case c :
       {Case{1920, 1080, 0, 50}, Case{1283, 722, 0, 35}, Case{1280, 720, 1, 50}, Case{1280, 720, 0, 100}}) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " show " << c.show << " opacity " << c.opacity);
    settings.ShowWidgets = c.show;
    settings.Opacity = c.opacity;
    Resize(c.width, c.height);
    QImage spare;
    uint64_t total = 0;
    for (int i = 0; i < 45; ++i) {
      Feed(1, 0.5f);
      outputPeak = 0.1f * static_cast<float>(i % 9);
      const uint64_t before = test::ThreadAllocations();
      composer.Compose({outputPeak, &analyser, -1});
      composer.SwapFrame(spare);
      composer.EnsureFrame();
      if (i >= 5) total += test::ThreadAllocations() - before;  // the first five make the images
    }
    EXPECT_EQ(total, 0u) << "allocations in 40 warm frames";
  }
  // The count sees Qt's own allocations: a path drawn by the painter allocates.
  QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&image);
  QPainterPath path;
  for (int i = 0; i < 1000; ++i) path.lineTo(i % 64, (i * 7) % 64);
  const uint64_t before = test::ThreadAllocations();
  painter.drawPath(path);
  EXPECT_GT(test::ThreadAllocations(), before);
}

}  // namespace
}  // namespace kx
