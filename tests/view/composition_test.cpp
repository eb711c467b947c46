// Frame composition on real images: the letterbox, the ShowWidgets modes,
// the widget opacity and placement, the spinner and too-small views.
#include <QColor>
#include <QThread>
#include <cmath>

#include "common/settings_block.h"
#include "view/draw_view.h"
#include "view_fixture.h"
#include "session_test_access.h"

namespace kx {
namespace {

auto* const kQt = ::testing::AddGlobalTestEnvironment(new test::QtEnvironment("offscreen"));

constexpr QRgb kPicture = qRgb(200, 40, 90);
constexpr QRgb kBlack = qRgb(0, 0, 0);

class Composition : public ::testing::Test {
 protected:
  void SetUp() override {
    view = std::make_unique<CDrawView>(settings, parts.target);
    // Frames are composed by hand here, one by one.
    view->StopRenderThread();
  }
  void Resize(int w, int h) {
    view->ResizeTargets(w, h);
    view->PresentPicture(test::SolidPicture(1920, 1080, kPicture));
  }
  QImage Compose() {
    view->ComposeFrame();
    return view->LastFrame();
  }

  test::ViewParts parts;
  CSettingsBlock& settings = parts.settings;
  std::unique_ptr<CDrawView> view;
};

TEST_F(Composition, ResourcesAreReadyAfterCreation) {
  EXPECT_TRUE(view->ResourcesReady());
  EXPECT_FALSE(view->RenderThreadRunning());
  EXPECT_NE(view->AnalysisThreadId(), 0u);
}

TEST_F(Composition, PictureFillsASixteenByNineBox) {
  settings.ShowWidgets = 2;
  struct Case {
    int w, h;
    QRect box;
  } cases[] = {
      {1600, 900, QRect(0, 0, 1600, 900)},
      {1600, 1000, QRect(0, 50, 1600, 900)},
      {2000, 900, QRect(200, 0, 1600, 900)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
    Resize(c.w, c.h);
    const QImage frame = Compose();
    ASSERT_EQ(frame.size(), QSize(c.w, c.h));
    // Inside the box: the picture, up to its edges.
    for (QPoint p : {c.box.topLeft(), c.box.bottomRight(), c.box.center(), QPoint(c.box.left(), c.box.bottom()),
                     QPoint(c.box.right(), c.box.top())})
      EXPECT_EQ(frame.pixel(p), kPicture) << p.x() << "," << p.y();
    // Outside: black bars.
    int black = 0, picture = 0;
    for (int y = 0; y < c.h; y += 5)
      for (int x = 0; x < c.w; x += 5) {
        const bool inside = c.box.contains(x, y);
        const QRgb px = frame.pixel(x, y);
        if (!inside) {
          EXPECT_EQ(px, kBlack) << x << "," << y;
        }
        black += px == kBlack;
        picture += px == kPicture;
      }
    EXPECT_EQ(black + picture, (c.w / 5) * (c.h / 5));
    if (c.box.top() > 0) {
      EXPECT_EQ(frame.pixel(10, c.box.top() - 1), kBlack);
      EXPECT_EQ(frame.pixel(10, c.box.bottom() + 1), kBlack);
    }
    if (c.box.left() > 0) {
      EXPECT_EQ(frame.pixel(c.box.left() - 1, 10), kBlack);
      EXPECT_EQ(frame.pixel(c.box.right() + 1, 10), kBlack);
    }
  }
}

TEST_F(Composition, SmallerVideoIsStretchedToTheBox) {
  CPreviewSessionTestAccess::SetVideoSize(view->Session(), {640, 360});
  view->ResizeTargets(800, 500);
  view->PresentPicture(test::SolidPicture(640, 360, qRgb(10, 200, 30)));
  settings.ShowWidgets = 2;
  const QImage frame = Compose();
  // 800 x 450 box with bars of 25.
  EXPECT_EQ(frame.pixel(0, 25), qRgb(10, 200, 30));
  EXPECT_EQ(frame.pixel(799, 474), qRgb(10, 200, 30));
  EXPECT_EQ(frame.pixel(400, 24), kBlack);
  // A picture of another size (a size change on its way) carries its size
  // and is stretched the same; an older picture coming late is not taken.
  const PictureRecord older = test::SolidPicture(640, 360, qRgb(90, 90, 90));
  view->PresentPicture(test::SolidPicture(1280, 720, qRgb(255, 255, 255)));
  view->PresentPicture(older);
  EXPECT_EQ(Compose().pixel(400, 250), qRgb(255, 255, 255));
  EXPECT_EQ(Compose().pixel(0, 25), qRgb(255, 255, 255));
}

// The view shows the record's own pixels, and scales a picture once however
// many frames show it; a picture shown one to one is never scaled.
TEST_F(Composition, PicturesAreTakenByReferenceAndScaledOnce) {
  settings.ShowWidgets = 2;
  struct Case {
    int w, h;
    uint64_t scalingsPerPicture;
  } cases[] = {{1280, 720, 1}, {1001, 633, 1}, {1920, 1080, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
    view->ResizeTargets(c.w, c.h);
    for (int i = 0; i < 3; ++i) {
      const uint64_t taken = view->PicturesTaken(), scalings = view->PictureScalings();
      const PictureRecord pic = test::SolidPicture(1920, 1080, qRgb(40 * i, 200, 90));
      view->PresentPicture(pic);
      view->PresentPicture(pic);  // the same picture with the next chunk
      EXPECT_EQ(view->ShownPicturePixels(), pic.Data());
      for (int frame = 0; frame < 4; ++frame) Compose();
      EXPECT_EQ(view->PicturesTaken(), taken + 1);
      EXPECT_EQ(view->PictureScalings(), scalings + c.scalingsPerPicture);
      EXPECT_EQ(Compose().pixel(c.w / 2, c.h / 2), qRgb(40 * i, 200, 90));
    }
  }
}

TEST_F(Composition, WidgetsSitOneToOneAtTheirPlaces) {
  settings.ShowWidgets = 1;
  settings.Opacity = 100;
  Resize(1000, 600);
  const QImage frame = Compose();
  const QImage meter = view->MeterImage(), wave = view->WaveImage(), spectrum = view->SpectrumImage();
  ASSERT_EQ(meter.size(), QSize(60, 580));
  ASSERT_EQ(wave.size(), QSize(910, 285));
  ASSERT_EQ(spectrum.size(), QSize(910, 285));
  // Opaque widgets over black: the frame shows their pixels unchanged.
  int checked = 0;
  for (int y = 0; y < 580; y += 7)
    for (int x = 0; x < 60; x += 3, ++checked) ASSERT_EQ(frame.pixel(930 + x, 10 + y), meter.pixel(x, y)) << x << "," << y;
  for (int y = 0; y < 285; y += 5)
    for (int x = 0; x < 910; x += 9, checked += 2) {
      ASSERT_EQ(frame.pixel(10 + x, 10 + y), wave.pixel(x, y)) << x << "," << y;
      ASSERT_EQ(frame.pixel(10 + x, 305 + y), spectrum.pixel(x, y)) << x << "," << y;
    }
  EXPECT_GT(checked, 1000);
  // The widget background is ColorBkg (54, 54, 54); no picture in mode 1.
  EXPECT_EQ(frame.pixel(500, 20), qRgb(54, 54, 54));
  EXPECT_EQ(frame.pixel(5, 5), kBlack);
  EXPECT_EQ(frame.pixel(990, 300), kBlack);
}

TEST_F(Composition, OpacityZeroHidesTheWidgetsButStillDrawsThem) {
  Resize(1000, 600);
  settings.ShowWidgets = 2;
  const QImage pictureOnly = Compose();
  settings.ShowWidgets = 0;
  settings.Opacity = 0;
  const QImage invisible = Compose();
  EXPECT_EQ(invisible, pictureOnly);
  EXPECT_EQ(view->WaveImage().pixel(500, 20), qRgb(54, 54, 54));
  // Half opacity over the picture: a mix of both.
  settings.Opacity = 50;
  const QRgb mixed = Compose().pixel(500, 20);
  EXPECT_NEAR(qRed(mixed), (200 + 54) / 2, 2);
  EXPECT_NEAR(qGreen(mixed), (40 + 54) / 2, 2);
}

TEST_F(Composition, PictureOnlyLeavesTheWidgetImagesAlone) {
  Resize(1000, 600);
  settings.ShowWidgets = 0;
  Compose();
  const QImage meter = view->MeterImage(), wave = view->WaveImage(), spectrum = view->SpectrumImage();
  // Something for the widgets to show: a loud block analysed.
  std::vector<float> block(480);
  for (size_t i = 0; i < block.size(); ++i) block[i] = 0.9f * std::sin(2 * M_PI * 1000.0 * i / 48000.0);
  view->Analyser().PushAudioBlock(block.data(), block.size());
  for (int i = 0; i < 2000 && view->Analyser().HasNewBlock(); ++i) QThread::msleep(1);
  ASSERT_FALSE(view->Analyser().HasNewBlock());
  settings.ShowWidgets = 2;
  const QImage frame = Compose();
  EXPECT_EQ(view->MeterImage(), meter);
  EXPECT_EQ(view->WaveImage(), wave);
  EXPECT_EQ(view->SpectrumImage(), spectrum);
  EXPECT_EQ(frame.pixel(500, 20), kPicture);
  EXPECT_EQ(frame.pixel(960, 300), kPicture);
  // Mode 0 with the same input does redraw them.
  settings.ShowWidgets = 0;
  Compose();
  EXPECT_NE(view->MeterImage(), meter);
  EXPECT_NE(view->SpectrumImage(), spectrum);
}

TEST_F(Composition, SpinnerStepsEveryThirdFrame) {
  Resize(800, 600);
  test::SetBusy(view->Session(), true);
  std::vector<int> shown;
  std::vector<QImage> spinner;
  for (int i = 0; i < 25; ++i) {
    shown.push_back(CPreviewSessionTestAccess::Spinner(view->Session()).Frame());
    spinner.push_back(Compose().copy(400 - 64, 300 - 64, 128, 128));
  }
  const std::vector<int> want = {0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5, 6, 6, 6, 7, 7, 7, 0};
  EXPECT_EQ(shown, want);
  EXPECT_EQ(spinner[0], spinner[2]);
  EXPECT_NE(spinner[2], spinner[3]);
  EXPECT_EQ(spinner[24], spinner[0]);
  // Not busy: the picture and widgets only.
  test::SetBusy(view->Session(), false);
  settings.ShowWidgets = 2;
  const QImage idle = Compose();
  EXPECT_EQ(idle.pixel(400, 300 - 40), kPicture);
  // Setting busy again starts from the first picture.
  test::SetBusy(view->Session(), true);
  EXPECT_EQ(CPreviewSessionTestAccess::Spinner(view->Session()).Frame(), 0);
  EXPECT_EQ(CPreviewSessionTestAccess::Spinner(view->Session()).TicksInFrame(), 0);
}

// A start keeps the spinner turning until one of its own pictures is shown:
// pictures converted before it (a late one of the last run) do not stop it.
TEST_F(Composition, SpinnerTurnsUntilAPictureOfTheStartIsShown) {
  Resize(800, 600);
  settings.ShowWidgets = 2;
  const QImage still = Compose();
  const PictureRecord before = test::SolidPicture(1920, 1080, qRgb(1, 2, 3));
  view->Session().SetBusy();
  const QImage spinning = Compose();
  EXPECT_NE(spinning, still);
  view->PresentPicture(before);
  EXPECT_TRUE(view->Session().IsBusy());
  view->PresentPicture(test::SolidPicture(1920, 1080, kPicture));
  EXPECT_FALSE(view->Session().IsBusy());
  EXPECT_EQ(Compose(), still);
}

TEST_F(Composition, TinyViewKeepsTheLastFrame) {
  Resize(800, 600);
  settings.ShowWidgets = 2;
  const QImage before = Compose();
  const uint64_t frames = view->FramesPresented();
  view->ResizeTargets(1, 1);
  EXPECT_EQ(view->ClientRect(), (draw::RectF{0, 0, 8, 8}));
  view->ComposeFrame();
  EXPECT_EQ(view->FramesPresented(), frames);
  EXPECT_EQ(view->LastFrame(), before);
  // 90 pixels wide: no waveform image; 32 high is just enough for all.
  view->ResizeTargets(90, 400);
  view->ComposeFrame();
  EXPECT_EQ(view->FramesPresented(), frames);
  view->ResizeTargets(91, 32);
  view->ComposeFrame();
  EXPECT_EQ(view->FramesPresented(), frames + 1);
  EXPECT_EQ(view->LastFrame().size(), QSize(91, 32));
  // A zero side is ignored.
  view->ResizeTargets(0, 500);
  EXPECT_EQ(view->ClientRect(), (draw::RectF{0, 0, 91, 32}));
}

TEST_F(Composition, ReleasedResourcesComposeNothing) {
  Resize(800, 600);
  view->ReleaseDeviceResources();
  EXPECT_FALSE(view->ResourcesReady());
  const uint64_t frames = view->FramesPresented();
  view->ComposeFrame();
  view->ResizeTargets(800, 600);  // nothing to resize without resources
  view->ComposeFrame();
  EXPECT_EQ(view->FramesPresented(), frames);
  view->CreateDeviceResources();
  view->ResizeTargets(800, 600);
  EXPECT_TRUE(view->ResourcesReady());
  view->ComposeFrame();
  EXPECT_EQ(view->FramesPresented(), frames + 1);
}

}  // namespace
}  // namespace kx
