// The view as a user meets it: a real window on the peers' X server, the RTSP camera, all its threads.
// Composed frames are saved under build/artifacts/ for a look.
#include <QDir>
#include <chrono>
#include <cmath>
#include <thread>

#include "common/settings_block.h"
#include "audio/audio_output.h"
#include "view/draw_view.h"
#include "view_fixture.h"

namespace kx {
namespace {

auto* const kQt = ::testing::AddGlobalTestEnvironment(new test::QtEnvironment(nullptr));

using namespace std::chrono_literals;

template <typename F>
bool PumpUntil(F condition, std::chrono::seconds bound = 20s) {
  const auto end = std::chrono::steady_clock::now() + bound;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

QString Artifact(const char* name) {
  QDir().mkpath(QStringLiteral(KX_ARTIFACTS_DIR));
  return QStringLiteral(KX_ARTIFACTS_DIR "/%1").arg(name);
}

// Skips the test when a peer is missing, fails it when the peers were required.
#define KX_REQUIRE(condition, what)                                                  \
  if (!(condition)) {                                                                \
    if (qgetenv("KX_REQUIRE_PEERS") == "1") FAIL() << what << " of the test peers is missing"; \
    GTEST_SKIP() << "no " << what << " in this run";                                 \
  }

// Column of the spectrum image where the outline (opaque ColorSpectrum) reaches highest.
int PeakColumn(const QImage& spectrum, int& peakY) {
  int best = -1;
  peakY = spectrum.height();
  for (int x = 30; x <= spectrum.width() - 37; ++x)
    for (int y = 0; y < spectrum.height() - 26; ++y)
      if (spectrum.pixel(x, y) == qRgb(195, 218, 237)) {
        if (y < peakY) peakY = y, best = x;
        break;
      }
  return best;
}

class LiveView : public ::testing::Test {
 protected:
  test::ViewParts parts;
  CSettingsBlock& settings = parts.settings;
};

// The camera (1280x720, AAC 1000 Hz at -6 dB) through the null sink's render loop to the view and its meters;
// the window paints the composed frame 1:1.
TEST_F(LiveView, CameraStreamShowsPictureToneAndLevels) {
  const QByteArray camera = qgetenv("KX_RTSP_CAMERA");
  KX_REQUIRE(!camera.isEmpty() && !qgetenv("PULSE_SERVER").isEmpty(), "KX_RTSP_CAMERA or PULSE_SERVER");
  KX_REQUIRE(!qgetenv("DISPLAY").isEmpty(), "DISPLAY");
  ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
  ASSERT_GE(parts.audio.OpenConfiguredDevice(0, 1.0f), 0) << "no output device on the sound server";
  COutputPeakMeter<CAudioOutput> meter(parts.audio);
  {
    CDrawView view(settings, parts.target);
    view.resize(1000, 600);
    view.show();
    parts.audio.SetPresenter(&view);
    view.SetOutputMeter(&meter);
    const std::string url = camera.toStdString() + "/av";
    view.Session().SetURL(std::u16string(url.begin(), url.end()));
    view.Session().Start();

    // The picture size reaches the view, then pictures come with the audio.
    ASSERT_TRUE(PumpUntil([&] { return view.Session().VideoSize() == (VideoSize{1280, 720}); }, 30s));
    float out = 0, in = 0;
    ASSERT_TRUE(PumpUntil(
        [&] {
          view.HoldValues(out, in);
          return out > 70.0f && in > 70.0f;
        },
        30s))
        << "output hold " << out << ", input hold " << in;
    // Past the encoder's first overshoot: both bars near -6 dB (84.95 %).
    std::this_thread::sleep_for(1s);
    ASSERT_TRUE(PumpUntil([&] { return view.FramesPresented() > 0; }));
    view.HoldValues(out, in);
    EXPECT_NEAR(in, 84.95f, 3.0f);
    EXPECT_NEAR(out, 84.95f, 3.0f);

    // Every AAC frame reaches the analyser: one clean line within two FFT bins of 1 kHz, well above the floor.
    int peakY = 0;
    EXPECT_NEAR(PeakColumn(view.SpectrumImage(), peakY), 30 + 2 * (910 - 67) / (3 * std::log(3.0)), 3.0);
    EXPECT_LT(peakY, 285 - 26 - 60);
    EXPECT_TRUE(view.LastFrame().save(Artifact("view_camera_frame.png")));

    // The sound measurements run on the same chunks and are reset by Stop.
    std::optional<measure::SoundFigures> figures;
    ASSERT_TRUE(PumpUntil([&] { return (figures = view.MeasureFigures()) && figures->seconds > 1; }, 10s));
    EXPECT_NEAR(figures->truePeakDbtp, -6, 1);
    EXPECT_GT(figures->momentaryMaxLufs, -8);
    view.Session().Stop();
    EXPECT_TRUE(PumpUntil([&] { return !view.MeasureFigures(); }, 5s)) << "Stop leaves the measurements";
    parts.audio.SetPresenter(nullptr);
    view.SetOutputMeter(nullptr);

    QImage shot;
    ASSERT_TRUE(PumpUntil([&] {
      view.StopRenderThread();  // hold the picture still for the comparison
      shot = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
      const QImage shown = view.LastFrame().convertToFormat(QImage::Format_RGB32);
      return shot.size() == shown.size() && shot == shown;
    }));
    EXPECT_TRUE(shot.save(Artifact("view_window.png")));
  }
  parts.audio.CloseDevice();
}

// No sound server: no device, no render loop, and still the picture reaches the view, with sound or without.
TEST_F(LiveView, NoSoundServerStillShowsThePicture) {
  const QByteArray camera = qgetenv("KX_RTSP_CAMERA");
  KX_REQUIRE(!camera.isEmpty(), "KX_RTSP_CAMERA");
  const QByteArray pulse = qgetenv("PULSE_SERVER");
  qputenv("PULSE_SERVER", "unix:/nonexistent/kx-no-server/native");
  EXPECT_EQ(parts.audio.OpenConfiguredDevice(0, 1.0f), -1);
  EXPECT_FALSE(parts.audio.RenderThreadRunning());
  if (pulse.isEmpty())
    qunsetenv("PULSE_SERVER");
  else
    qputenv("PULSE_SERVER", pulse);

  struct Case {
    const char* mount;
    QRgb centre;  // 0: colour bars, checked by their spread
  };
  for (const Case c : {Case{"/avsmall", 0}, Case{"/video", qRgb(0x30, 0x80, 0xc0)}}) {
    SCOPED_TRACE(c.mount);
    CDrawView view(settings, parts.target);
    view.resize(1000, 600);
    view.show();
    // The view, and a count of the pictures handed to it.
    struct CountingPresenter : IPicturePresenter {
      explicit CountingPresenter(CDrawView& v) : view(v) {}
      void PresentPicture(const PictureRecord& picture) override {
        if (!picture.Empty()) ++count;
        view.PresentPicture(picture);
      }
      CDrawView& view;
      std::atomic<int> count{0};
    } presenter(view);
    parts.audio.SetPresenter(&presenter);
    const std::string url = camera.toStdString() + c.mount;
    view.Session().SetURL(std::u16string(url.begin(), url.end()));
    view.Session().Start();
    // The 4:3 picture sits in the middle of the 16:9 box, x 125 to 875.
    auto pictureShown = [&] {
      const QImage frame = view.LastFrame();
      if (frame.isNull()) return false;
      const QRgb p = frame.pixel(500, 300);
      if (c.centre != 0)
        return std::abs(qRed(p) - qRed(c.centre)) < 8 && std::abs(qGreen(p) - qGreen(c.centre)) < 8 &&
               std::abs(qBlue(p) - qBlue(c.centre)) < 8;
      int coloured = 0;
      for (int x = 130; x < 870; x += 10) {
        const QRgb q = frame.pixel(x, 60);
        coloured += qRed(q) + qGreen(q) + qBlue(q) > 150;
      }
      return coloured > 40;
    };
    EXPECT_TRUE(PumpUntil(pictureShown, 30s)) << "no picture without a sound server";
    EXPECT_TRUE(view.LastFrame().save(Artifact(c.centre ? "view_no_server_video.png" : "view_no_server_av.png")));
    // Pictures keep coming, not only the first.
    const int seen = presenter.count.load();
    EXPECT_TRUE(PumpUntil([&] { return presenter.count.load() >= seen + 25; })) << "the pictures stopped";
    view.Session().Stop();
    // Each picture is taken once though sound chunks hand it again, and made at the box's size: nothing is
    // scaled again but a picture in flight across a resize.
    const auto converted = static_cast<uint64_t>(view.Session().Stats().picturesConverted.load());
    EXPECT_LE(view.PicturesTaken(), converted);
    if (c.centre != 0) {
      EXPECT_GE(view.PicturesTaken() + 2, converted) << "video alone: every picture is shown";
    }
    EXPECT_LE(view.PictureScalings(), 2u);
    parts.audio.SetPresenter(nullptr);
  }
}

}  // namespace
}  // namespace kx
