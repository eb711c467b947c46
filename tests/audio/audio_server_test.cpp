// The audio output against daemons of the test's own: the device list as
// sinks come and go, default-device notifications, and a sound server that
// is absent, dies or stops answering.
#include <gtest/gtest.h>

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <sstream>
#include <thread>

#include "common/app_log.h"
#include "audio/audio_output.h"
#include "audio/notification_client.h"
#include "pulse_support.h"
#include "../../platform/audio/src/connection.h"
#include "audio_output_test_access.h"

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
  EXPECT_EQ(CAudioOutputTestAccess::Resampler(out), nullptr);
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
  EXPECT_LE(out.QueuedFrames(), CAudioOutputTestAccess::Fifo(out).Capacity());
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
  EXPECT_EQ(CAudioOutputTestAccess::Resampler(out), nullptr);  // nothing to fill for the decode side
  m_pulse.Resume();
  out.EnumDevices();
  EXPECT_EQ(out.Devices().size(), 3u);
  EXPECT_EQ(out.SetAudioDevice(devices[1].device), 0);
  EXPECT_TRUE(out.Started());
}

// What the log receives, as UTF-8.
class LogLines {
 public:
  LogLines() {
    SetAppLogObserver([this](kxLogEventType type, const std::u16string& line) {
      std::lock_guard<std::mutex> g(m_mutex);
      m_lines.emplace_back(type, ConvertUnicodeToUTF8(line));
    });
  }
  ~LogLines() { SetAppLogObserver(nullptr); }
  int Count(kxLogEventType type, const std::string& text) {
    std::lock_guard<std::mutex> g(m_mutex);
    int n = 0;
    for (const auto& [t, l] : m_lines) n += t == type && l == text;
    return n;
  }

 private:
  std::mutex m_mutex;
  std::vector<std::pair<kxLogEventType, std::string>> m_lines;
};

// The decode side: keeps about 100 ms of a seamless 437 Hz tone queued while
// a device is open, on a thread of its own.
class ToneWriter {
 public:
  explicit ToneWriter(CAudioOutput& out) : m_out(out), m_tone(test::StereoTone(437, 0.5, 1.0)) {
    m_thread = std::thread([this] {
      size_t at = 0;
      while (m_run) {
        int rate;
        {
          rate = static_cast<int>(m_out.DeviceFormat().nSamplesPerSec);
        }
        if (rate > 0 && m_out.QueuedFrames() < rate / 10 &&
            m_out.ConvertAndWrite(m_tone.data() + at * 2, 480, {}) > 0) {
          at = (at + 480) % 48000;
          continue;
        }
        std::this_thread::sleep_for(2ms);
      }
    });
  }
  ~ToneWriter() {
    m_run = false;
    m_thread.join();
  }

 private:
  CAudioOutput& m_out;
  const std::vector<float> m_tone;
  std::atomic<bool> m_run{true};
  std::thread m_thread;
};

// The main frame's side of the device notifications: the posted calls are
// counted, and the user-interface thread serves each rebuild as the frame's
// device-list fill does.
struct FrameCalls {
  std::atomic<int> stops{0};
  std::atomic<int> rebuilds{0};
  int served = 0;
  CMMNotificationClient client{[this] { ++stops; }, [this] { ++rebuilds; }};
  // Runs the rebuilds posted so far; true when there was one.
  bool Serve(CAudioOutput& out, int outputId) {
    if (rebuilds.load() == served) return false;
    served = rebuilds.load();
    out.OpenConfiguredDevice(outputId, 1.0f);
    return true;
  }
};

TEST_F(AudioServerTest, ToneReachesTheSinkOfARestartedServerWithinThreeSeconds) {
  LogLines log;
  FrameCalls frame;
  EndpointEnumerator enumerator;
  ASSERT_EQ(enumerator.RegisterEndpointNotificationCallback(&frame.client), S_OK);
  CAudioOutput out(m_settings);
  ASSERT_EQ(out.OpenConfiguredDevice(1, 1.0f), 1);  // kxAlpha
  ToneWriter decode(out);
  ASSERT_TRUE(test::WaitFor([&] { return out.GetPeakValue() > 0.4f; }));

  ASSERT_TRUE(m_pulse.Restart());
  const auto restarted = std::chrono::steady_clock::now();
  test::MonitorRecording rec(m_pulse.Server(), "kx_alpha.monitor", 48000);
  ASSERT_TRUE(rec.Started());
  while (std::chrono::steady_clock::now() < restarted + 3s) {
    frame.Serve(out, 1);
    std::this_thread::sleep_for(5ms);
  }
  const test::ToneStats st = test::AnalyseTone(rec.Stop(), 48000);
  EXPECT_NEAR(st.frequency, 437, 2);
  EXPECT_GT(st.seconds, 0.5);
  EXPECT_EQ(log.Count(kxLogEventWarning, "Sound server lost: reconnecting in the background"), 1);
  EXPECT_EQ(frame.stops.load(), 0);  // the preview goes on

  // Notifications come from the new server.
  const int before = frame.rebuilds.load();
  int status = -1;
  m_pulse.Pactl("set-default-sink kx_alpha", &status);
  ASSERT_EQ(status, 0);
  EXPECT_TRUE(test::WaitFor([&] { return frame.stops.load() == 1 && frame.rebuilds.load() == before + 1; }));
  enumerator.UnregisterEndpointNotificationCallback(&frame.client);
}

TEST_F(AudioServerTest, ServerAbsentAtStartIsWaitedForInTheBackground) {
  LogLines log;
  m_pulse.Kill();
  ResetConnection();
  FrameCalls frame;
  EndpointEnumerator enumerator;
  EXPECT_EQ(enumerator.RegisterEndpointNotificationCallback(&frame.client), S_FALSE);
  CAudioOutput out(m_settings);
  EXPECT_EQ(out.OpenConfiguredDevice(1, 1.0f), -1);
  ASSERT_TRUE(test::WaitFor(
      [&] { return log.Count(kxLogEventWarning, "Sound server lost: reconnecting in the background") == 1; }));
  std::this_thread::sleep_for(1500ms);  // retries meanwhile are not losses
  EXPECT_EQ(frame.rebuilds.load(), 0);

  ASSERT_TRUE(m_pulse.Restart());
  ASSERT_TRUE(test::WaitFor([&] { return frame.Serve(out, 1); }));
  EXPECT_TRUE(out.Started());
  EXPECT_EQ(out.Devices().size(), 3u);
  EXPECT_EQ(log.Count(kxLogEventWarning, "Sound server lost: reconnecting in the background"), 1);
  enumerator.UnregisterEndpointNotificationCallback(&frame.client);
}

// Times at which a loop of the program went round.
class Ticks {
 public:
  Ticks(std::chrono::milliseconds period, std::function<void()> work) {
    m_thread = std::thread([this, period, work = std::move(work)] {
      while (m_run) {
        work();
        {
          std::lock_guard<std::mutex> g(m_mutex);
          m_times.push_back(std::chrono::steady_clock::now());
        }
        std::this_thread::sleep_for(period);
      }
    });
  }
  ~Ticks() { Stop(); }
  void Stop() {
    m_run = false;
    if (m_thread.joinable()) m_thread.join();
  }
  int Between(std::chrono::steady_clock::time_point from, std::chrono::steady_clock::time_point to) {
    std::lock_guard<std::mutex> g(m_mutex);
    return static_cast<int>(std::count_if(m_times.begin(), m_times.end(), [&](auto t) { return t >= from && t < to; }));
  }

 private:
  std::atomic<bool> m_run{true};
  std::mutex m_mutex;
  std::vector<std::chrono::steady_clock::time_point> m_times;
  std::thread m_thread;
};

TEST_F(AudioServerTest, StalledServerDuringARebuildHoldsNeitherTheViewNorTheDecodeSide) {
  CAudioOutput out(m_settings);
  ASSERT_EQ(out.OpenConfiguredDevice(1, 1.0f), 1);
  const std::vector<CAudioDeviceItem> devices = out.Devices();
  ASSERT_EQ(devices.size(), 3u);
  // The view's render thread reads the meter every 40 ms frame; the decode
  // thread converts a 10 ms chunk under the set-up lock.
  Ticks view(40ms, [&] { out.GetPeakValue(); });
  const std::vector<float> chunk = test::StereoTone(437, 0.5, 0.01);
  Ticks decode(10ms, [&] { out.ConvertAndWrite(chunk.data(), 480, {}); });

  // The server stops answering for a second while the UI thread works.
  auto stalled = [&](const std::function<void()>& uiWork, int& frames, int& chunks) {
    m_pulse.Pause();
    const auto from = std::chrono::steady_clock::now();
    std::thread ui(uiWork);
    std::this_thread::sleep_for(1s);
    const auto to = std::chrono::steady_clock::now();
    m_pulse.Resume();
    ui.join();
    frames = view.Between(from + 200ms, to);
    chunks = decode.Between(from + 200ms, to);
  };
  int frames = 0, chunks = 0;
  stalled([&] { out.OpenConfiguredDevice(2, 1.0f); }, frames, chunks);  // the device-list rebuild
  EXPECT_GE(frames, 5) << "of about 20";
  EXPECT_GE(chunks, 20) << "of about 80";
  stalled([&] { out.SetAudioDevice(devices[1].device); }, frames, chunks);  // the user's choice
  EXPECT_GE(frames, 5) << "of about 20";
  EXPECT_GE(chunks, 20) << "of about 80";
  view.Stop();
  decode.Stop();
  // Once the server answers again the device opens.
  EXPECT_EQ(out.SetAudioDevice(devices[1].device), S_OK);
  EXPECT_TRUE(out.Started());
}

TEST_F(AudioServerTest, FailuresAreReportedAsFailures) {
  CAudioOutput out(m_settings);
  ASSERT_EQ(out.OpenConfiguredDevice(1, 1.0f), 1);
  // A volume the server does not take: the sink and our stream on it are gone.
  ASSERT_GE(out.SessionStreamIndex(), 0);
  ASSERT_TRUE(out.SetSessionVolume(0.3f));
  int status = -1;
  std::string module;
  std::istringstream modules(m_pulse.Pactl("list short modules", &status));
  for (std::string line; std::getline(modules, line);)
    if (line.find("sink_name=kx_alpha") != std::string::npos) module = line.substr(0, line.find('\t'));
  ASSERT_FALSE(module.empty());
  m_pulse.Pactl("unload-module " + module, &status);
  ASSERT_EQ(status, 0);
  EXPECT_FALSE(out.SetSessionVolume(0.4f));
  out.CloseDevice();

  // A listing that ends in the server's error is no list.
  auto c = platform::audio::detail::Connection::Get();
  ASSERT_TRUE(c);
  std::vector<EndpointPtr> found;
  EXPECT_TRUE(platform::audio::detail::ListSinks(*c, "kx_beta", found));
  EXPECT_EQ(found.size(), 1u);
  EXPECT_FALSE(platform::audio::detail::ListSinks(*c, "kx_no_such_sink", found));

  // A render thread that cannot be made: the call fails, the device stays
  // closed and the decode side drops its audio.
  const EndpointPtr beta = out.Devices()[2].device;
  pthread_attr_t saved, huge;
  ASSERT_EQ(pthread_getattr_default_np(&saved), 0);
  ASSERT_EQ(pthread_attr_init(&huge), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&huge, size_t{1} << 46), 0);  // 64 TiB: no room for it
  ASSERT_EQ(pthread_setattr_default_np(&huge), 0);
  const HRESULT hr = out.SetAudioDevice(beta);
  pthread_setattr_default_np(&saved);
  pthread_attr_destroy(&huge);
  pthread_attr_destroy(&saved);
  EXPECT_LT(hr, 0);
  EXPECT_FALSE(out.RenderThreadRunning());
  EXPECT_FALSE(out.Started());
  EXPECT_EQ(CAudioOutputTestAccess::Resampler(out), nullptr);
  const std::vector<float> chunk = test::StereoTone(437, 0.5, 0.01);
  EXPECT_EQ(out.ConvertAndWrite(chunk.data(), 480, {}), 0);
  // Threads can be made again: the device opens.
  EXPECT_EQ(out.SetAudioDevice(beta), S_OK);
  EXPECT_TRUE(out.RenderThreadRunning());
}

}  // namespace
}  // namespace kx
