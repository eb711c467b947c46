// Closing the view while its session reconnects: the camera is killed, comes
// back on the same port, and the view is destroyed while the decode thread is
// held at one point of the reconnection after another. The thread calls into
// the view (camera texts, ResizeTargets) at those points, so the view must
// stop and join it before anything of the view or its session goes.
#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "camera_server.h"
#include "view/draw_view.h"
#include "session_fixture.h"
#include "view_fixture.h"

namespace kx {
namespace {

auto* const kQt = ::testing::AddGlobalTestEnvironment(new test::QtEnvironment("offscreen"));

using namespace std::chrono_literals;

// Holds the decode thread during the reconnection: first at its first point
// until the camera is back (OpenGate), then at the chosen point until a stop
// is requested, which is what the view's destruction does.
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

struct Case {
  SessionPoint point;
  int ordinal;
  const char* name;
};

TEST(ViewClose, DuringReconnectionAtEveryPoint) {
  for (const Case& c : {Case{SessionPoint::BeforeCameraInfo, 1, "before clearing the texts"},
                        Case{SessionPoint::BeforeCameraInfo, 2, "before the video line"},
                        Case{SessionPoint::BeforeCameraInfo, 3, "before the audio line"},
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
    EXPECT_TRUE(hold.m_held.load());
  }
}

}  // namespace
}  // namespace kx
