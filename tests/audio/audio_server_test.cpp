// The audio output against daemons of the test's own: the device list as
// sinks come and go, default-device notifications, and a sound server that
// is absent, dies or stops answering.
#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "app/app_log.h"
#include "audio/audio_output.h"
#include "audio/notification_client.h"
#include "pulse_support.h"

namespace kx {
namespace {

using namespace std::chrono_literals;
using namespace platform::audio;

std::vector<std::string> Names(CAudioOutput& out) {
  std::vector<std::string> names;
  for (const auto& d : out.Devices()) names.push_back(ConvertUnicodeToUTF8(d.name));
  return names;
}

class AudioServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!m_pulse.Start({{"kx_alpha", "kxAlpha", "float32le", 48000, 2}, {"kx_beta", "kxBeta", "s16le", 44100, 2}},
                       "kx_beta")) {
      if (test::PeersRequired()) FAIL() << "cannot start pulseaudio";
      GTEST_SKIP() << "pulseaudio cannot run here";
    }
    m_pulse.UseInThisProcess();
  }
  void TearDown() override { ResetConnection(); }

  test::PrivatePulse m_pulse;
  CSettingsBlock m_settings;
};

// What the audio system reports, in order.
class EndpointEvents : public IEndpointNotification {
 public:
  void OnDefaultDeviceChanged(EDataFlow flow, ERole, const std::string& id) override {
    Add((flow == EDataFlow::eRender ? "render " : "capture ") + id);
  }
  void OnDeviceAdded(const std::string& id) override { Add("added " + id); }
  void OnDeviceRemoved(const std::string& id) override { Add("removed " + id); }
  std::vector<std::string> Events() {
    std::lock_guard<std::mutex> g(m_mutex);
    return m_events;
  }
  size_t Count() { return Events().size(); }

 private:
  void Add(const std::string& e) {
    std::lock_guard<std::mutex> g(m_mutex);
    m_events.push_back(e);
  }
  std::mutex m_mutex;
  std::vector<std::string> m_events;
};

TEST_F(AudioServerTest, DeviceListFollowsSinksThatComeAndGo) {
  EndpointEnumerator enumerator;
  EndpointEvents events;
  ASSERT_EQ(enumerator.RegisterEndpointNotificationCallback(&events), 0);

  CAudioOutput out(m_settings);
  out.EnumDevices();
  EXPECT_EQ(Names(out), (std::vector<std::string>{"Default", "kxAlpha", "kxBeta"}));
  ASSERT_EQ(out.Devices().size(), 3u);
  EXPECT_EQ(out.Devices()[0].device->id, "kx_beta");  // the server's default

  int status = -1;
  const std::string module = m_pulse.Pactl(
      "load-module module-null-sink sink_name=kx_gamma sink_properties=device.description=kxGamma", &status);
  ASSERT_EQ(status, 0);
  ASSERT_TRUE(test::WaitFor([&] { return events.Count() >= 1; }));
  out.EnumDevices();
  EXPECT_EQ(Names(out), (std::vector<std::string>{"Default", "kxAlpha", "kxBeta", "kxGamma"}));

  m_pulse.Pactl("unload-module " + module, &status);
  ASSERT_EQ(status, 0);
  ASSERT_TRUE(test::WaitFor([&] { return events.Count() >= 2; }));
  out.EnumDevices();
  EXPECT_EQ(Names(out), (std::vector<std::string>{"Default", "kxAlpha", "kxBeta"}));
  EXPECT_EQ(events.Events(), (std::vector<std::string>{"added kx_gamma", "removed kx_gamma"}));

  out.ClearDevices();
  EXPECT_TRUE(out.Devices().empty());
  enumerator.UnregisterEndpointNotificationCallback(&events);
}

TEST_F(AudioServerTest, DefaultRenderDeviceChangeAsksTheFrameToRebuildOnce) {
  std::mutex m;
  int stops = 0, rebuilds = 0;
  CMMNotificationClient client([&] { std::lock_guard<std::mutex> g(m); ++stops; },
                               [&] { std::lock_guard<std::mutex> g(m); ++rebuilds; });
  // First what the audio system reports: one call per change, by direction.
  EndpointEvents events;
  EndpointEnumerator forClient, forEvents;
  ASSERT_EQ(forEvents.RegisterEndpointNotificationCallback(&events), 0);
  int status = -1;
  m_pulse.Pactl("set-default-source kx_alpha.monitor", &status);
  ASSERT_EQ(status, 0);
  ASSERT_TRUE(test::WaitFor([&] { return events.Count() >= 1; }));
  m_pulse.Pactl("set-default-sink kx_alpha", &status);
  ASSERT_EQ(status, 0);
  ASSERT_TRUE(test::WaitFor([&] { return events.Count() >= 2; }));
  forEvents.UnregisterEndpointNotificationCallback(&events);
  EXPECT_EQ(events.Events(), (std::vector<std::string>{"capture kx_alpha.monitor", "render kx_alpha"}));

  // Then the client: only render changes reach the frame.
  ASSERT_EQ(forClient.RegisterEndpointNotificationCallback(&client), 0);
  m_pulse.Pactl("set-default-source kx_beta.monitor", &status);  // capture: nothing to do
  m_pulse.Pactl("set-default-sink kx_beta", &status);
  ASSERT_TRUE(test::WaitFor([&] {
    std::lock_guard<std::mutex> g(m);
    return rebuilds >= 1;
  }));
  // A render change after it proves the capture change was seen and ignored.
  m_pulse.Pactl("set-default-sink kx_alpha", &status);
  ASSERT_TRUE(test::WaitFor([&] {
    std::lock_guard<std::mutex> g(m);
    return rebuilds >= 2;
  }));
  forClient.UnregisterEndpointNotificationCallback(&client);
  std::lock_guard<std::mutex> g(m);
  EXPECT_EQ(rebuilds, 2);
  EXPECT_EQ(stops, 2);
}

TEST_F(AudioServerTest, WithoutServerNothingIsListedOrOpenedAndNothingHangs) {
  m_pulse.Stop();
  ResetConnection();

  std::mutex m;
  std::vector<std::u16string> lines;
  SetAppLogObserver([&](kxLogEventType, const std::u16string& l) {
    std::lock_guard<std::mutex> g(m);
    lines.push_back(l);
  });

  EndpointEnumerator enumerator;
  EndpointPtr def;
  std::vector<EndpointPtr> all;
  EXPECT_LT(enumerator.GetDefaultAudioEndpoint(def), 0);
  EXPECT_EQ(def, nullptr);
  EXPECT_LT(enumerator.EnumAudioEndpoints(all), 0);
  EXPECT_TRUE(all.empty());
  EXPECT_FALSE(IsConnected());

  CAudioOutput out(m_settings);
  EXPECT_EQ(out.OpenConfiguredDevice(0, 1.0f), -1);
  EXPECT_TRUE(out.Devices().empty());
  EXPECT_FALSE(out.HasSessionVolume());
  EXPECT_FALSE(out.SetSessionVolume(0.5f));
  EXPECT_EQ(out.GetPeakValue(), 0.0f);
  EXPECT_EQ(out.m_pSwr, nullptr);
  SetAppLogObserver(nullptr);
  std::lock_guard<std::mutex> g(m);
  EXPECT_TRUE(lines.empty());  // SetAudioDevice was never reached
}

TEST_F(AudioServerTest, ServerDyingDuringPlaybackLeavesAClosableOutput) {
  CAudioOutput out(m_settings);
  ASSERT_EQ(out.OpenConfiguredDevice(1, 1.0f), 1);
  ASSERT_TRUE(out.Started());
  const std::vector<float> tone = test::StereoTone(1000, 0.5, 0.01);
  for (int i = 0; i < 20; ++i) out.ConvertAndWrite(tone.data(), 480, {});

  m_pulse.Stop();
  EXPECT_TRUE(test::WaitFor([] { return !IsConnected(); }));
  // The decode side goes on writing: the FIFO nobody drains stays bounded.
  for (int i = 0; i < 300; ++i) out.ConvertAndWrite(tone.data(), 480, {});
  EXPECT_LE(out.m_fifo.Size(), out.m_fifo.Capacity());
  EXPECT_FALSE(out.SetSessionVolume(0.5f));
  EXPECT_EQ(out.GetPeakValue(), 0.0f);
  out.CloseDevice();
  EXPECT_FALSE(out.RenderThreadRunning());
  out.EnumDevices();
  EXPECT_TRUE(out.Devices().empty());
}

TEST_F(AudioServerTest, ServerThatStopsAnsweringDoesNotHangTheCaller) {
  CAudioOutput out(m_settings);
  out.EnumDevices();
  const std::vector<CAudioDeviceItem> devices = out.Devices();
  ASSERT_EQ(devices.size(), 3u);
  m_pulse.Pause();
  out.EnumDevices();  // gives up after its bound
  EXPECT_TRUE(out.Devices().empty());
  EXPECT_LT(out.SetAudioDevice(devices[1].device), 0);
  EXPECT_FALSE(out.RenderThreadRunning());
  EXPECT_EQ(out.m_pSwr, nullptr);  // nothing to fill for the decode side
  m_pulse.Resume();
  out.EnumDevices();
  EXPECT_EQ(out.Devices().size(), 3u);
  EXPECT_EQ(out.SetAudioDevice(devices[1].device), 0);
  EXPECT_TRUE(out.Started());
}

}  // namespace
}  // namespace kx
