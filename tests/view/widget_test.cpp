// The view around the composer: its threads (around a rebuild, while its session reconnects), the hold decay,
// the spinner and the hand-over of frames.
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

#include "camera_server.h"
#include "common/settings_block.h"
#include "monitor/draw/widgets.h"
#include "session_fixture.h"
#include "session_test_access.h"
#include "view/draw_view.h"
#include "view_fixture.h"

namespace kx {
namespace {

auto* const kQt = ::testing::AddGlobalTestEnvironment(new test::QtEnvironment("offscreen"));

using namespace std::chrono_literals;

constexpr QRgb kPicture = qRgb(200, 40, 90);

using test::WaitUntil;

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
    EXPECT_TRUE(view->RenderThreadRunning());
    EXPECT_NE(view->AnalysisThreadId(), 0u);
    ASSERT_TRUE(WaitUntil([&] { return view->FramesPresented() >= 3; }));
    view.reset();  // joins both threads; TSan and ASan see the rest
  }
  CDrawView view(settings, parts.target);
  view.resize(640, 360);
  view.ResizeTargets(640, 360);
  settings.ShowWidgets = 1;
  settings.Opacity = 100;
  // Wait for a frame drawn with the two settings (the widget background in the default colour).
  ASSERT_TRUE(WaitUntil([&] { return view.LastFrame().pixel(300, 20) == qRgb(54, 54, 54); }));
  const uint32_t before = view.RenderThreadId();
  settings.ColorBkg = RGB(0, 0, 255);
  view.RebuildDeviceResources();
  EXPECT_NE(view.RenderThreadId(), before);
  // The old thread is joined: already the new thread's first frame has the new colour.
  const uint64_t atRebuild = view.FramesPresented();
  ASSERT_TRUE(WaitUntil([&] { return view.FramesPresented() > atRebuild; }));
  EXPECT_EQ(view.LastFrame().pixel(300, 20), qRgb(0, 0, 255));
  view.StopRenderThread();
  EXPECT_FALSE(view.RenderThreadRunning());
  EXPECT_EQ(view.RenderThreadId(), 0u);
}

// A composition slower than the frame period (a huge window, a slow machine) must still let the hold decay
// and the quit message through.
void SlowComposition() { std::this_thread::sleep_for(60ms); }

TEST_F(ViewWidget, HoldMarksFallInHalfPercentStepsEvenWhileFramesAreSlow) {
  ConstantMeter meter;
  meter.value = 0.5f;  // 84.95 % of scale
  CDrawView view(settings, parts.target);
  view.SetOutputMeter(&meter);
  view.ResizeTargets(640, 480);
  float out = 0, in = 0;
  ASSERT_TRUE(WaitUntil([&] {
    view.HoldValues(out, in);
    return out > 84.9f;
  }));
  view.m_pComposeHookForTests = &SlowComposition;
  meter.value = 0.0f;
  // The mark falls (6.25 % a second) although every frame takes 60 ms.
  EXPECT_TRUE(WaitUntil([&] {
    view.HoldValues(out, in);
    return out < 80.0f;
  })) << "the hold stays at " << out;
  const float steps = (draw::MagnitudeToMeterPercent(0.5f) - out) / 0.5f;
  EXPECT_NEAR(steps, std::round(steps), 0.01f);
  EXPECT_EQ(in, 0.0f);  // no input: stays at the floor
  // A starved quit message would leave StopRenderThread waiting for ever.
  std::atomic<bool> stopped{false};
  std::thread stopper([&] {
    view.StopRenderThread();
    stopped = true;
  });
  const bool returned = WaitUntil([&] { return stopped.load(); });
  if (!returned) view.m_pComposeHookForTests = nullptr;  // let the loop reach the quit message after all
  stopper.join();
  EXPECT_TRUE(returned) << "StopRenderThread did not return";
  view.SetOutputMeter(nullptr);
}

// Frames composed by hand: the spinner steps every third frame until a picture of the start is shown; a view
// too small composes nothing and the window keeps its last frame.
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

// ---- closing during a reconnection ----

// Holds the reconnection at its first point until the camera is back, then at the chosen point until the
// view's destruction requests a stop.
class ReconnectionHold : public ISessionTestHook {
 public:
  ReconnectionHold(SessionPoint point, int ordinal) : m_point(point), m_ordinal(ordinal) {}
  void At(CPreviewSession& session, SessionPoint point) override {
    if (session.Stats().reconnections.load() == 0) return;  // the first run's start
    m_atGate = true;
    while (!m_gateOpen && !session.StopRequested()) std::this_thread::sleep_for(1ms);
    if (point != m_point || ++m_seen != m_ordinal) return;
    m_held = true;
    while (!session.StopRequested()) std::this_thread::sleep_for(1ms);
  }
  std::atomic<bool> m_atGate{false}, m_gateOpen{false}, m_held{false};

 private:
  const SessionPoint m_point;
  const int m_ordinal;
  int m_seen = 0;  // decode thread only
};

std::vector<std::string> SmallAvMount() {
  return {"--mount", "/av=" + test::LaunchH264(320, 240) + " " + test::LaunchAac()};
}

// The view destroyed while its session's reconnection calls into it (camera texts, ResizeTargets): it must
// stop and join the decode thread before anything of it goes.
TEST(ViewClose, DuringReconnectionAtEveryPoint) {
  struct Case {
    SessionPoint point;
    int ordinal;
    const char* name;
  };
  // The camera texts are one kind of call: the last of them stands for the three.
  for (const Case& c : {Case{SessionPoint::BeforeCameraInfo, 3, "before the audio line"},
                        Case{SessionPoint::BeforeRun, 1, "before the new run"},
                        Case{SessionPoint::BeforeResizeTargets, 1, "before ResizeTargets"}}) {
    SCOPED_TRACE(c.name);
    auto camera = std::make_unique<test::CCameraServer>(SmallAvMount());
    ASSERT_GT(camera->Port(), 0);
    const int port = camera->Port();
    test::ViewParts parts;
    parts.settings.OpenTimeout = 3000;
    auto view = std::make_unique<CDrawView>(parts.settings, parts.target);
    view->ResizeTargets(640, 360);
    ReconnectionHold hold(c.point, c.ordinal);
    CPreviewSession& session = view->Session();
    session.SetTestHook(&hold);
    const std::string url = camera->Url("/av");
    session.SetURL(std::u16string(url.begin(), url.end()));
    session.Start();
    ASSERT_TRUE(test::WaitUntil([&] { return session.Stats().picturesConverted.load() >= 5; }));

    camera->Kill();  // the run ends at once and the reconnection starts
    ASSERT_TRUE(test::WaitUntil([&] { return hold.m_atGate.load(); }));
    camera = std::make_unique<test::CCameraServer>(
        std::vector<std::string>{"--port", std::to_string(port), "--mount", SmallAvMount()[1]});
    ASSERT_EQ(camera->Port(), port) << "the camera did not come back on its port";
    hold.m_gateOpen = true;
    ASSERT_TRUE(test::WaitUntil([&] { return hold.m_held.load(); })) << "the reconnection never got there";
    view.reset();  // must not crash (ASan) or race (TSan)
  }
}

}  // namespace
}  // namespace kx
