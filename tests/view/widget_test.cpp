// The view as a widget around the composer: its render and analysis threads
// (around a rebuild, and while other threads upload pictures, resize and push
// audio), the hold decay, the spinner and the hand-over of frames.
#include <QThread>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

#include "common/settings_block.h"
#include "monitor/draw/widgets.h"
#include "view/draw_view.h"
#include "view_fixture.h"
#include "session_test_access.h"

namespace kx {
namespace {

auto* const kQt = ::testing::AddGlobalTestEnvironment(new test::QtEnvironment("offscreen"));

using namespace std::chrono_literals;

constexpr QRgb kPicture = qRgb(200, 40, 90);

// Polls until the condition holds; the bound is only against a hang.
template <typename F>
bool WaitFor(F condition, std::chrono::seconds bound = 20s) {
  const auto end = std::chrono::steady_clock::now() + bound;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

class ConstantMeter : public IOutputPeakMeter {
 public:
  float GetPeakValue() override { return value.load(); }
  std::atomic<float> value{0};
};

class ViewWidget : public ::testing::Test {
 protected:
  test::ViewParts parts;
  CSettingsBlock& settings = parts.settings;
};

TEST_F(ViewWidget, ThreadsStartOnCreationAndRestartOnARebuild) {
  for (int round = 0; round < 2; ++round) {
    auto view = std::make_unique<CDrawView>(settings, parts.target);
    view->ResizeTargets(640, 360);
    EXPECT_TRUE(view->ResourcesReady());
    EXPECT_TRUE(view->RenderThreadRunning());
    EXPECT_NE(view->AnalysisThreadId(), 0u);
    ASSERT_TRUE(WaitFor([&] { return view->FramesPresented() >= 3; }));
    view.reset();  // joins both threads; TSan and ASan see the rest
  }
  CDrawView view(settings, parts.target);
  view.resize(640, 360);
  view.ResizeTargets(640, 360);
  settings.ShowWidgets = 1;
  settings.Opacity = 100;
  // Frames composed before the two settings arrived may come first: wait for
  // one drawn with them (the widget background in the default colour).
  ASSERT_TRUE(WaitFor([&] { return view.LastFrame().pixel(300, 20) == qRgb(54, 54, 54); }));
  const uint32_t before = view.RenderThreadId();
  settings.ColorBkg = RGB(0, 0, 255);
  view.RebuildDeviceResources();
  EXPECT_TRUE(view.RenderThreadRunning());
  EXPECT_NE(view.RenderThreadId(), before);
  EXPECT_TRUE(view.ResourcesReady());
  // The old thread is joined: already the new thread's first frame has the new colour.
  const uint64_t atRebuild = view.FramesPresented();
  ASSERT_TRUE(WaitFor([&] { return view.FramesPresented() > atRebuild; }));
  EXPECT_EQ(view.LastFrame().pixel(300, 20), qRgb(0, 0, 255));
  view.StopRenderThread();
  EXPECT_FALSE(view.RenderThreadRunning());
  EXPECT_EQ(view.RenderThreadId(), 0u);
}

TEST_F(ViewWidget, UploadsResizesAndAudioWhileRendering) {
  auto view = std::make_unique<CDrawView>(settings, parts.target);
  view->ResizeTargets(800, 450);
  std::atomic<bool> stop{false};
  std::thread uploader([&] {
    // The audio render loop: a picture every few milliseconds.
    const PictureRecord a = test::SolidPicture(1920, 1080, qRgb(255, 0, 0));
    const PictureRecord b = test::SolidPicture(640, 360, qRgb(0, 255, 0));
    for (int i = 0; !stop; ++i) {
      PictureRecord next = i % 2 ? a : b;
      next.generation = NextPictureGeneration();
      view->PresentPicture(next);
      std::this_thread::sleep_for(3ms);
    }
  });
  std::thread decoder([&] {
    // The decode thread: audio blocks, and now and then a new picture size.
    std::vector<float> block(480);
    for (int i = 0; !stop; ++i) {
      for (size_t n = 0; n < block.size(); ++n) block[n] = 0.5f * std::sin(0.13f * static_cast<float>(n + i));
      view->Analyser().PushAudioBlock(block.data(), block.size());
      if (i % 50 == 0) {
        CPreviewSessionTestAccess::SetVideoSize(view->Session(), {i % 100 ? 640 : 1920, i % 100 ? 360 : 1080});
        view->ResizeTargets(800, 450);
      }
      if (i % 70 == 0) view->Analyser().ResetAnalysis();
      std::this_thread::sleep_for(2ms);
    }
  });
  const uint64_t start = view->FramesPresented();
  for (int i = 0; i < 30; ++i) {
    view->ResizeTargets(600 + 10 * i, 400 + 5 * i);
    settings.ShowWidgets = i % 3;
    settings.ModeSpectrum = i % 2;
    settings.ModeWave = i % 2;
    CPreviewSessionTestAccess::SetBusyFlag(view->Session(), i % 4 == 0);
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(5ms);
  }
  ASSERT_TRUE(WaitFor([&] { return view->FramesPresented() >= start + 5; }));
  stop = true;  // the callers stop before the view goes, as the audio output and the decode thread do
  uploader.join();
  decoder.join();
  view.reset();
}

// A composition slower than the frame period (a huge window on a slow
// machine) leaves the frame timer ready at once after every frame: the hold
// decay and the quit message must still be served.
void SlowComposition() { std::this_thread::sleep_for(60ms); }

TEST_F(ViewWidget, HoldMarksFallInHalfPercentStepsEvenWhileFramesAreSlow) {
  ConstantMeter meter;
  meter.value = 0.5f;  // 84.95 % of scale
  CDrawView view(settings, parts.target);
  view.SetOutputMeter(&meter);
  view.ResizeTargets(640, 480);
  float out = 0, in = 0;
  ASSERT_TRUE(WaitFor([&] {
    view.HoldValues(out, in);
    return out > 84.9f;
  }));
  view.m_pComposeHookForTests = &SlowComposition;
  meter.value = 0.0f;
  // The mark falls (6.25 % a second) although every frame takes 60 ms.
  const bool fell = WaitFor([&] {
    view.HoldValues(out, in);
    return out < 80.0f;
  });
  EXPECT_TRUE(fell) << "the hold stays at " << out;
  const float steps = (draw::MagnitudeToMeterPercent(0.5f) - out) / 0.5f;
  EXPECT_NEAR(steps, std::round(steps), 0.01f);
  EXPECT_EQ(in, 0.0f);  // no input: stays at the floor
  // A starved quit message would leave StopRenderThread waiting for ever.
  std::atomic<bool> stopped{false};
  std::thread stopper([&] {
    view.StopRenderThread();
    stopped = true;
  });
  const bool returned = WaitFor([&] { return stopped.load(); });
  if (!returned) view.m_pComposeHookForTests = nullptr;  // let the loop reach the quit message after all
  stopper.join();
  EXPECT_TRUE(returned) << "StopRenderThread did not return";
  view.SetOutputMeter(nullptr);
}

// Frames composed by hand: the session's spinner steps every third frame
// and turns until a picture of the start is shown; a view too small
// composes nothing and the window keeps its last frame.
TEST_F(ViewWidget, SpinnerAndFramesHandedToTheWindow) {
  CDrawView view(settings, parts.target);
  view.StopRenderThread();
  view.ResizeTargets(800, 600);
  settings.ShowWidgets = 2;
  view.PresentPicture(test::SolidPicture(1920, 1080, kPicture));
  const auto compose = [&] {
    view.ComposeFrame();
    return view.LastFrame();
  };
  const QImage still = compose();
  CPreviewSessionTestAccess::SetBusyFlag(view.Session(), true);
  std::vector<int> shown;
  std::vector<QImage> spinner;
  for (int i = 0; i < 25; ++i) {
    shown.push_back(CPreviewSessionTestAccess::Spinner(view.Session()).Frame());
    spinner.push_back(compose().copy(400 - 64, 300 - 64, 128, 128));
  }
  EXPECT_EQ(shown, (std::vector<int>{0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5, 6, 6, 6, 7, 7, 7, 0}));
  EXPECT_NE(spinner[2], spinner[3]);
  EXPECT_EQ(spinner[24], spinner[0]);
  // A start: pictures converted before it (a late one of the last run) do not stop the spinner.
  const PictureRecord before = test::SolidPicture(1920, 1080, kPicture);
  view.Session().SetBusy();
  EXPECT_NE(compose(), still);
  view.PresentPicture(before);
  EXPECT_TRUE(view.Session().IsBusy());
  view.PresentPicture(test::SolidPicture(1920, 1080, kPicture));
  EXPECT_FALSE(view.Session().IsBusy());
  EXPECT_EQ(compose(), still);

  const uint64_t frames = view.FramesPresented();
  view.ResizeTargets(90, 400);
  view.ComposeFrame();
  EXPECT_EQ(view.FramesPresented(), frames);
  EXPECT_EQ(view.LastFrame(), still);
}

}  // namespace
}  // namespace kx
