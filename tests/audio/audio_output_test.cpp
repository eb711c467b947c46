// The audio output on the shared sound server's sinks (recorded from their monitors), and on
// servers of the test's own that change their sinks, restart, stall, die or are not there at all.
#include <gtest/gtest.h>
#include <pthread.h>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>

#include "../../platform/audio/src/connection.h"
#include "audio/audio_output.h"
#include "audio/notification_client.h"
#include "audio_output_test_access.h"
#include "common/app_log.h"
#include "pulse_support.h"

namespace kx {
namespace {

using namespace std::chrono_literals;
using namespace platform::audio;
using Access = CAudioOutputTestAccess;

// The decode side: writes 48 kHz stereo float in 10 ms chunks on a thread of
// its own while a device is open, keeping 200 ms queued as a live stream would.
class Feeder {
 public:
  explicit Feeder(CAudioOutput& out) : m_out(out) {}
  ~Feeder() { Stop(); }
  // Writes `samples` once, or over and over (a whole number of chunks) until Stop.
  void Start(std::vector<float> samples, bool loop = true) {
    m_run = true;
    m_thread = std::thread([this, loop, samples = std::move(samples)] {
      for (size_t at = 0; m_run && at < samples.size();) {
        const int n = static_cast<int>(std::min<size_t>(960, samples.size() - at) / 2);
        if (m_out.QueuedFrames() < static_cast<int>(m_out.DeviceFormat().nSamplesPerSec) / 5 &&
            m_out.ConvertAndWrite(samples.data() + at, n, m_picture) > 0) {
          at = loop ? (at + 2 * n) % samples.size() : at + 2 * n;
        } else {
          std::this_thread::sleep_for(2ms);
        }
      }
    });
  }
  // Writes what is left and waits for the FIFO to drain.
  void Finish() {
    if (m_thread.joinable()) m_thread.join();
    test::WaitFor([&] { return m_out.QueuedFrames() == 0; });
  }
  void Stop() {
    m_run = false;
    if (m_thread.joinable()) m_thread.join();
  }
  PictureRecord m_picture;

 private:
  CAudioOutput& m_out;
  std::atomic<bool> m_run{false};
  std::thread m_thread;
};

// Counts the log lines that are `text` while it lives.
class LogCount {
 public:
  explicit LogCount(std::string text) : m_text(std::move(text)) {
    SetAppLogObserver(
        [this](kxLogEventType, const std::u16string& line) { m_count += ConvertUnicodeToUTF8(line) == m_text; });
  }
  ~LogCount() { SetAppLogObserver(nullptr); }
  int operator()() const { return m_count; }

 private:
  const std::string m_text;
  std::atomic<int> m_count{0};
};

const char kServerLost[] = "Sound server lost: reconnecting in the background";

EndpointPtr Sink(const std::string& name) {
  std::vector<EndpointPtr> all;
  EndpointEnumerator().EnumAudioEndpoints(all);
  const auto it = std::find_if(all.begin(), all.end(), [&](const EndpointPtr& d) { return d->id == name; });
  return it == all.end() ? nullptr : *it;
}

class AudioOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (m_server.empty()) {
      if (test::PeersRequired()) FAIL() << "PULSE_SERVER is not set";
      GTEST_SKIP() << "no PulseAudio peer (run under tests/peers/with-peers)";
    }
  }

  const std::string m_server = test::PeerServer();
  CSettingsBlock m_settings;
  CAudioOutput m_out{m_settings};
};

// Each sink format plays the whole tone at its pitch and level: packed 24-bit
// sinks (common on USB devices) too. On PulseAudio's cubic scale the mixer's
// 50 % is an eighth of the amplitude: -18 dB. With the preview off the sink
// gets silence, at its own pace. Six channels get the hexagonal layout.
TEST_F(AudioOutputTest, EachSinkFormatGetsItsFifoAndResamplerAndPlaysTheTone) {
  struct Case {
    const char* sink;
    int rate, channels;
    float volume;
    bool preview;
    double peakDb;
  };
  for (const Case& c : {Case{"kx_s16", 44100, 1, 1.0f, true, -6.02}, Case{"kx_float", 48000, 2, 0.5f, true, -24.08},
                        Case{"kx_s24", 48000, 2, 1.0f, true, -6.02}, Case{"kx_float", 48000, 2, 1.0f, false, 0},
                        Case{"kx_six", 48000, 6, 1.0f, true, 0}}) {
    SCOPED_TRACE(std::string(c.sink) + (c.preview ? "" : ", preview off"));
    ASSERT_EQ(m_out.SetAudioDevice(Sink(c.sink)), 0);
    EXPECT_TRUE(m_out.Started());
    EXPECT_EQ(m_out.DeviceFormat().nChannels, c.channels);
    EXPECT_EQ(Access::Fifo(m_out).Capacity(), c.rate);
    if (c.channels == 6) {  // nothing to hear on six channels of one monitor
      AVChannelLayout layout{};
      ASSERT_GE(av_opt_get_chlayout(Access::Resampler(m_out), "out_chlayout", 0, &layout), 0);
      EXPECT_EQ(layout.order, AV_CHANNEL_ORDER_NATIVE);
      EXPECT_EQ(layout.u.mask, AV_CH_LAYOUT_HEXAGONAL);
      av_channel_layout_uninit(&layout);
      continue;
    }
    ASSERT_TRUE(m_out.SetSessionVolume(c.volume));
    m_settings.Preview = c.preview ? 1 : 0;
    const auto start = std::chrono::steady_clock::now();
    test::MonitorRecording rec(m_server, std::string(c.sink) + ".monitor", 48000);
    Feeder feeder(m_out);
    feeder.Start(test::StereoTone(1000, 0.5, 1.0), false);
    feeder.Finish();
    std::this_thread::sleep_for(500ms);  // the tail reaches the monitor; silence after
    const std::vector<int16_t> raw = rec.Stop();
    const test::ToneStats st = test::AnalyseTone(raw, 48000);
    if (!c.preview) {
      EXPECT_LT(st.peakDb, -60);
      EXPECT_GT(raw.size(), 48000u * 3 / 2);  // the monitor went on recording
      // The device took the audio no faster than real time: the recording's lead and tail and most of the tone.
      EXPECT_GT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 0.5 + 0.6 + 0.5);
      continue;
    }
    EXPECT_NEAR(st.frequency, 1000, 2);
    EXPECT_NEAR(st.peakDb, c.peakDb, 1);
    EXPECT_NEAR(st.seconds, 1.0, 0.1);
  }
}

// Our own volume changes, however fast a slider moves, do not echo back to the frame, while another
// program's change reaches it; the stream ends at the last value, as the desktop mixer (pactl) shows.
TEST_F(AudioOutputTest, OwnVolumeChangesDoNotEchoButOtherProgramsReachTheFrame) {
  std::mutex m;
  std::vector<float> frame;  // what the main frame would receive
  m_out.SetSessionVolumeNotify([&](float v, bool) {
    std::lock_guard<std::mutex> g(m);
    frame.push_back(v);
  });
  ASSERT_EQ(m_out.SetAudioDevice(Sink("kx_float")), 0);
  const int64_t index = m_out.SessionStreamIndex();
  ASSERT_GE(index, 0);
  auto other = [&](int percent, size_t seen) {
    int status = -1;
    test::RunWithServer(m_server,
                        "pactl set-sink-input-volume " + std::to_string(index) + " " + std::to_string(percent) + "%",
                        &status);
    ASSERT_EQ(status, 0);
    ASSERT_TRUE(test::WaitFor([&] {
      std::lock_guard<std::mutex> g(m);
      return frame.size() >= seen;
    }));
  };
  // A slider dragged to and fro: bursts that move away from the settled value and come back to it.
  auto drag = [&](int from) {
    for (int burst = 0; burst < 5; ++burst) {
      const float step = 0.01f * static_cast<float>(from + burst);
      for (float v : {0.55f + step, 0.5f, 0.6f + step, 0.45f - step, 0.5f}) ASSERT_TRUE(m_out.SetSessionVolume(v));
      std::this_thread::sleep_for(100ms);
    }
  };
  other(25, 1);
  drag(0);
  other(13, 2);
  drag(5);
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(test::SinkInputNumber(m_server, "front-left:"), 32768);
  std::lock_guard<std::mutex> g(m);
  ASSERT_EQ(frame.size(), 2u);
  EXPECT_NEAR(frame[0], 0.25f, 0.005f);
  EXPECT_NEAR(frame[1], 0.13f, 0.001f);
}

// Switching while audio flows leaves no thread behind; the meter reads the
// new sink's level, then falls to zero; closing ends the render thread.
TEST_F(AudioOutputTest, ChangingDeviceWhileAudioFlowsLeavesNoThreadAndTheNewSinkPlays) {
  ASSERT_EQ(m_out.SetAudioDevice(Sink("kx_float")), 0);
  const int threadsOpen = test::ThreadCount();
  Feeder feeder(m_out);
  feeder.Start(test::StereoTone(1000, 0.5, 0.01));
  for (int i = 0; i < 4; ++i) {
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(m_out.SetAudioDevice(Sink(i % 2 ? "kx_float" : "kx_six")), 0);
  }
  feeder.Stop();
  EXPECT_EQ(test::ThreadCount(), threadsOpen);

  EXPECT_EQ(m_out.SetAudioDevice(Sink("kx_s16")), 0);
  ASSERT_TRUE(m_out.SetSessionVolume(1.0f));
  feeder.Start(test::StereoTone(1000, 0.5, 0.01));
  ASSERT_TRUE(test::WaitFor([&] { return m_out.GetPeakValue() > 0.4f; }));
  std::this_thread::sleep_for(100ms);
  EXPECT_NEAR(m_out.GetPeakValue(), 0.5f, 0.03f);
  feeder.Stop();
  EXPECT_TRUE(test::WaitFor([&] { return m_out.GetPeakValue() < 0.001f; }));

  m_out.CloseDevice();
  EXPECT_FALSE(m_out.RenderThreadRunning());
  EXPECT_FALSE(m_out.Started());
  EXPECT_EQ(Access::Resampler(m_out), nullptr);
  EXPECT_EQ(test::ThreadCount(), threadsOpen - 1);
}

// The loud stretches of a recording, split where it is quiet (below -40 dBFS) for `quietSamples`.
std::vector<std::vector<int16_t>> LoudParts(const std::vector<int16_t>& x, size_t quietSamples) {
  std::vector<std::vector<int16_t>> parts;
  size_t start = 0, quiet = 0;
  bool inPart = false;
  for (size_t i = 0; i <= x.size(); ++i) {
    if (i < x.size() && std::abs(static_cast<int>(x[i])) > 328) {
      if (!inPart) start = i;
      inPart = true;
      quiet = 0;
    } else if (inPart && (++quiet >= quietSamples || i == x.size())) {
      parts.emplace_back(x.begin() + static_cast<ptrdiff_t>(start), x.begin() + static_cast<ptrdiff_t>(i + 1 - quiet));
      inPart = false;
    }
  }
  return parts;
}

// What the server holds in our stream's buffer, in ms: the median of seven looks (a failed pactl is no look).
int ServerHeldMillis(const std::string& server) {
  std::vector<int64_t> seen;
  for (int i = 0; i < 30 && seen.size() < 7; ++i, std::this_thread::sleep_for(50ms))
    if (const int64_t us = test::SinkInputNumber(server, "Buffer Latency:"); us >= 0) seen.push_back(us / 1000);
  if (seen.empty()) return -1;
  std::nth_element(seen.begin(), seen.begin() + seen.size() / 2, seen.end());
  return static_cast<int>(seen[seen.size() / 2]);
}

// A lone chunk shorter than the jitter margin plays, also on a fresh stream. While sound flows the server,
// not only our FIFO, holds the margin (a render thread woken late still finds sound queued). Running dry is
// counted (an idle stream is not), and the sound comes back as soon as the audio does.
TEST_F(AudioOutputTest, ShortChunkPlaysAtOnceAndSoundResumesAfterCountedUnderruns) {
  ASSERT_EQ(m_out.SetAudioDevice(Sink("kx_float")), 0);
  ASSERT_TRUE(m_out.SetSessionVolume(1.0f));
  test::MonitorRecording rec(m_server, "kx_float.monitor", 48000);  // waits half a second
  ASSERT_TRUE(rec.Started());
  EXPECT_EQ(m_out.UnderrunCount(), 0u);

  // 15 ms of 437 Hz and nothing after it.
  const std::vector<float> chunk = test::StereoTone(437, 0.5, 0.015);
  ASSERT_GT(m_out.ConvertAndWrite(chunk.data(), 720, {}), 0);
  EXPECT_TRUE(test::WaitFor([&] { return m_out.GetPeakValue() > 0.25f; }));
  EXPECT_TRUE(test::WaitFor([&] { return m_out.UnderrunCount() >= 1; }));
  std::this_thread::sleep_for(300ms);

  // A tone that stops mid-play, then comes back after a clear silence.
  Feeder feeder(m_out);
  const std::vector<float> tone = test::StereoTone(1109, 0.5, 1.0);  // whole periods: loops seamlessly
  for (int pass = 0; pass < 2; ++pass) {
    SCOPED_TRACE(pass);
    feeder.Start(tone);
    EXPECT_TRUE(test::WaitFor([&] { return m_out.GetPeakValue() > 0.25f; }));
    std::this_thread::sleep_for(400ms);
    // The first allowance is 50 ms; a stream fed only what it asked for keeps 20 ms at most.
    if (pass == 0) {
      EXPECT_GE(ServerHeldMillis(m_server), 30) << "median of what the server held, ms";
    }
    const uint32_t playing = m_out.UnderrunCount();
    feeder.Stop();
    EXPECT_TRUE(test::WaitFor([&] { return m_out.UnderrunCount() > playing; }));
    EXPECT_TRUE(test::WaitFor([&] { return m_out.GetPeakValue() < 0.001f; }));
    std::this_thread::sleep_for(300ms);
  }
  // Closing logs the count: the chunk's end and the two stops at least.
  const uint32_t counted = m_out.UnderrunCount();
  EXPECT_GE(counted, 3u);
  LogCount logged("Audio output underruns: " + std::to_string(counted));
  m_out.CloseDevice();
  EXPECT_EQ(logged(), 1);

  // What the sink played: the chunk, then the tone twice, each at its pitch and level.
  const std::vector<std::vector<int16_t>> parts = LoudParts(rec.Stop(), 48000 / 5);  // apart by 300 ms at least
  ASSERT_EQ(parts.size(), 3u);
  for (size_t i = 0; i < parts.size(); ++i) {
    const test::ToneStats st = test::AnalyseTone(parts[i], 48000);
    EXPECT_NEAR(st.frequency, i == 0 ? 437 : 1109, 3) << "part " << i;
    EXPECT_NEAR(st.peakDb, -6.02, 1) << "part " << i;
    EXPECT_TRUE(i == 0 ? st.seconds < 0.1 : st.seconds > 0.3) << "part " << i << ": " << st.seconds << " s";
  }
}

class RecordingPresenter : public IPicturePresenter {
 public:
  void PresentPicture(const PictureRecord& p) override {
    std::lock_guard<std::mutex> g(m);
    shown.push_back(p.pts);
  }
  int64_t Last() {
    std::lock_guard<std::mutex> g(m);
    return shown.empty() ? -1 : shown.back();
  }
  std::mutex m;
  std::vector<int64_t> shown;
};

PictureRecord Picture(int64_t pts, int w = 4, int h = 2) {
  PictureRecord r;
  r.width = w;
  r.height = h;
  r.pts = pts;
  r.generation = NextPictureGeneration();
  r.pixels = std::make_shared<const PicturePixels>(static_cast<size_t>(w) * h * 4, uint8_t(pts));
  return r;
}

// Each picture is handed on once, however many chunks and wake-ups carry it;
// with nothing to play or show the loop sleeps instead of waking each period.
TEST_F(AudioOutputTest, RenderLoopPresentsEachPictureOnceAndSleepsWhenIdle) {
  RecordingPresenter presenter;
  m_out.SetPresenter(&presenter);
  ASSERT_EQ(m_out.SetAudioDevice(Sink("kx_float")), 0);
  ASSERT_TRUE(test::WaitFor([&] { return m_out.RenderWakeUps() >= 1; }));
  std::this_thread::sleep_for(50ms);
  const uint64_t asleep = m_out.RenderWakeUps();
  std::this_thread::sleep_for(300ms);  // thirty periods of the engine
  EXPECT_EQ(m_out.RenderWakeUps(), asleep) << "the render loop wakes while nothing plays";

  // With sound: 20 chunks per picture, as a decode thread repeats the last picture with chunks that have none.
  Feeder feeder(m_out);
  for (int64_t pts : {1, 2, 3}) {
    feeder.m_picture = Picture(pts);
    feeder.Start(test::StereoTone(437, 0.5, 0.2), false);
    feeder.Finish();
  }
  EXPECT_GT(m_out.RenderWakeUps(), asleep + 20);
  // Video only: shown once; the same record again or an older one is not shown.
  const PictureRecord older = Picture(76), alone = Picture(77);
  m_out.WritePicture(alone);
  ASSERT_TRUE(test::WaitFor([&] { return presenter.Last() == 77; }));
  m_out.WritePicture(alone);
  m_out.WritePicture(older);
  m_out.WritePicture(Picture(78));
  ASSERT_TRUE(test::WaitFor([&] { return presenter.Last() == 78; }));
  // A record without a picture (audio only) is never drawn.
  m_out.WritePicture(Picture(88, 0, 0));
  std::this_thread::sleep_for(100ms);
  m_out.CloseDevice();
  m_out.SetPresenter(nullptr);
  std::lock_guard<std::mutex> g(presenter.m);
  EXPECT_EQ(presenter.shown, (std::vector<int64_t>{1, 2, 3, 77, 78}));
}

// Daemons of the test's own: the process talks to theirs only.
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
  void TearDown() override {
    if (!m_peer.empty()) setenv("PULSE_SERVER", m_peer.c_str(), 1);
    ResetConnection();
  }
  std::string Pactl(const std::string& args) {
    int status = -1;
    const std::string out = m_pulse.Pactl(args, &status);
    EXPECT_EQ(status, 0) << args;
    return out;
  }

  const std::string m_peer = test::PeerServer();
  test::PrivatePulse m_pulse;
  CSettingsBlock m_settings;
};

// The main frame's side of the device notifications: the posted calls are
// counted, and Serve runs each rebuild as the frame's device-list fill does.
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

// The device list follows sinks that come and go, and a change of the
// default render device (not of the capture one) asks the frame to rebuild once.
TEST_F(AudioServerTest, DeviceListAndDefaultDeviceFollowTheServer) {
  CAudioOutput out(m_settings);
  auto listed = [&](const std::vector<std::string>& names) {
    return test::WaitFor([&] {
      out.EnumDevices();
      std::vector<std::string> now;
      for (const auto& d : out.Devices()) now.push_back(ConvertUnicodeToUTF8(d.name));
      return now == names;
    });
  };
  EXPECT_TRUE(listed({"Default", "kxAlpha", "kxBeta"}));
  EXPECT_EQ(out.Devices().at(0).device->id, "kx_beta");  // the server's default
  const std::string module =
      Pactl("load-module module-null-sink sink_name=kx_gamma sink_properties=device.description=kxGamma");
  EXPECT_TRUE(listed({"Default", "kxAlpha", "kxBeta", "kxGamma"}));
  Pactl("unload-module " + module);
  EXPECT_TRUE(listed({"Default", "kxAlpha", "kxBeta"}));

  // The second render change proves the capture change before it was seen and ignored.
  FrameCalls frame;
  EndpointEnumerator enumerator;
  ASSERT_EQ(enumerator.RegisterEndpointNotificationCallback(&frame.client), 0);
  Pactl("set-default-source kx_alpha.monitor");
  Pactl("set-default-sink kx_alpha");
  ASSERT_TRUE(test::WaitFor([&] { return frame.rebuilds >= 1; }));
  Pactl("set-default-sink kx_beta");
  ASSERT_TRUE(test::WaitFor([&] { return frame.rebuilds >= 2; }));
  enumerator.UnregisterEndpointNotificationCallback(&frame.client);
  EXPECT_EQ(frame.rebuilds.load(), 2);
  EXPECT_EQ(frame.stops.load(), 2);
}

// A loop of the program going round every `period`, counting its rounds.
struct Ticks {
  Ticks(std::chrono::milliseconds period, std::function<void()> work)
      : thread([this, period, work = std::move(work)] {
          for (; run; ++count) {
            work();
            std::this_thread::sleep_for(period);
          }
        }) {}
  ~Ticks() {
    run = false;
    thread.join();
  }
  std::atomic<bool> run{true};
  std::atomic<int> count{0};
  std::thread thread;
};

// A server that stops answering fails the user-interface thread's calls after their bound while the view's
// render thread (the meter every 40 ms frame) and the decode thread (a chunk every 10 ms under the set-up lock)
// go on; it serves again once it answers. One that dies leaves a bounded FIFO and a closable output.
TEST_F(AudioServerTest, ServerThatStallsOrDiesHoldsNeitherTheViewNorTheDecodeSide) {
  CAudioOutput out(m_settings);
  ASSERT_EQ(out.OpenConfiguredDevice(1, 1.0f), 1);
  const std::vector<CAudioDeviceItem> devices = out.Devices();
  ASSERT_EQ(devices.size(), 3u);
  const std::vector<float> chunk = test::StereoTone(437, 0.5, 0.01);
  {
    Ticks view(40ms, [&] { out.GetPeakValue(); });
    Ticks decode(10ms, [&] { out.ConvertAndWrite(chunk.data(), 480, {}); });
    // Silent while the user-interface thread works: for a second, or until the work gave up.
    auto stalled = [&](bool answersAgain, const std::function<void()>& uiWork) {
      m_pulse.Pause();
      std::thread ui(uiWork);
      std::this_thread::sleep_for(200ms);
      const int frames = view.count, chunks = decode.count;
      std::this_thread::sleep_for(1s);
      EXPECT_GE(view.count - frames, 5) << "of about 25";
      EXPECT_GE(decode.count - chunks, 20) << "of about 100";
      if (answersAgain) m_pulse.Resume();
      ui.join();
      m_pulse.Resume();
    };
    stalled(true, [&] { out.OpenConfiguredDevice(2, 1.0f); });  // the device-list rebuild
    // The user's choice:
    stalled(false, [&] {
      out.EnumDevices();
      EXPECT_TRUE(out.Devices().empty());
      EXPECT_LT(out.SetAudioDevice(devices[1].device), 0);
    });
    EXPECT_FALSE(out.RenderThreadRunning());
    EXPECT_EQ(Access::Resampler(out), nullptr);  // nothing to fill for the decode side
  }
  out.EnumDevices();
  EXPECT_EQ(out.Devices().size(), 3u);
  ASSERT_EQ(out.SetAudioDevice(devices[1].device), S_OK);
  EXPECT_TRUE(out.Started());
  for (int i = 0; i < 20; ++i) out.ConvertAndWrite(chunk.data(), 480, {});

  m_pulse.Stop();
  EXPECT_TRUE(test::WaitFor([] { return !IsConnected(); }));
  // The decode side goes on writing: the FIFO nobody drains stays bounded.
  for (int i = 0; i < 300; ++i) out.ConvertAndWrite(chunk.data(), 480, {});
  EXPECT_LE(out.QueuedFrames(), Access::Fifo(out).Capacity());
  EXPECT_FALSE(out.SetSessionVolume(0.5f));
  EXPECT_EQ(out.GetPeakValue(), 0.0f);
  out.CloseDevice();
  EXPECT_FALSE(out.RenderThreadRunning());
  out.EnumDevices();
  EXPECT_TRUE(out.Devices().empty());
}

// A server that dies and comes back (the device list rebuilt as the frame does it): the tone plays on its sink
// again. The wait is for the sound itself, with a bound only against hangs, so a loaded machine's slow restart
// is no failure while a sound that never comes back is.
TEST_F(AudioServerTest, ToneReachesTheSinkOfARestartedServer) {
  LogCount lost(kServerLost);
  FrameCalls frame;
  EndpointEnumerator enumerator;
  ASSERT_EQ(enumerator.RegisterEndpointNotificationCallback(&frame.client), S_OK);
  CAudioOutput out(m_settings);
  ASSERT_EQ(out.OpenConfiguredDevice(1, 1.0f), 1);  // kxAlpha
  Feeder decode(out);
  decode.Start(test::StereoTone(437, 0.5, 1.0));
  ASSERT_TRUE(test::WaitFor([&] { return out.GetPeakValue() > 0.4f; }));

  ASSERT_TRUE(m_pulse.Restart());
  test::MonitorRecording rec(m_pulse.Server(), "kx_alpha.monitor", 48000);
  ASSERT_TRUE(rec.Started());
  // The meter reads what the render loop hands the new server's stream.
  const bool back = test::WaitFor([&] {
    frame.Serve(out, 1);
    return out.Started() && out.GetPeakValue() > 0.4f;
  });
  std::this_thread::sleep_for(1s);  // a second of it on the monitor
  const test::ToneStats st = test::AnalyseTone(rec.Stop(), 48000);
  ASSERT_TRUE(back) << "the sound never came back";
  EXPECT_NEAR(st.frequency, 437, 2);
  EXPECT_GT(st.seconds, 0.8);
  EXPECT_EQ(lost(), 1);
  EXPECT_EQ(frame.stops.load(), 0);  // the preview goes on

  // Notifications come from the new server.
  const int before = frame.rebuilds.load();
  Pactl("set-default-sink kx_alpha");
  EXPECT_TRUE(test::WaitFor([&] { return frame.stops.load() == 1 && frame.rebuilds.load() == before + 1; }));
  decode.Stop();
  enumerator.UnregisterEndpointNotificationCallback(&frame.client);
}

// Without a server nothing is opened and nothing hangs; the server is waited for in the background, and once
// it is there the frame's rebuild opens the device.
TEST_F(AudioServerTest, ServerAbsentAtStartIsWaitedForInTheBackground) {
  LogCount lost(kServerLost);
  m_pulse.Kill();
  ResetConnection();
  EndpointEnumerator enumerator;
  FrameCalls frame;
  EXPECT_EQ(enumerator.RegisterEndpointNotificationCallback(&frame.client), S_FALSE);
  CAudioOutput out(m_settings);
  EXPECT_EQ(out.OpenConfiguredDevice(1, 1.0f), -1);
  ASSERT_TRUE(test::WaitFor([&] { return lost() == 1; }));
  std::this_thread::sleep_for(1500ms);  // retries meanwhile are not losses
  EXPECT_EQ(frame.rebuilds.load(), 0);

  ASSERT_TRUE(m_pulse.Restart());
  ASSERT_TRUE(test::WaitFor([&] { return frame.Serve(out, 1); }));
  EXPECT_TRUE(out.Started());
  EXPECT_EQ(out.Devices().size(), 3u);
  EXPECT_EQ(lost(), 1);
  enumerator.UnregisterEndpointNotificationCallback(&frame.client);
}

TEST_F(AudioServerTest, FailuresAreReportedAsFailures) {
  // A listing that ends in the server's error is no list.
  auto c = platform::audio::detail::Connection::Get();
  ASSERT_TRUE(c);
  std::vector<EndpointPtr> found;
  EXPECT_TRUE(platform::audio::detail::ListSinks(*c, "kx_beta", found));
  EXPECT_EQ(found.size(), 1u);
  EXPECT_FALSE(platform::audio::detail::ListSinks(*c, "kx_no_such_sink", found));

  // A render thread that cannot be made: the call fails, the device stays closed, the decode side drops its audio.
  CAudioOutput out(m_settings);
  out.EnumDevices();
  const EndpointPtr beta = out.Devices().at(2).device;
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
  EXPECT_EQ(Access::Resampler(out), nullptr);
  const std::vector<float> chunk = test::StereoTone(437, 0.5, 0.01);
  EXPECT_EQ(out.ConvertAndWrite(chunk.data(), 480, {}), 0);
  // Threads can be made again: the device opens.
  ASSERT_EQ(out.SetAudioDevice(beta), S_OK);
  EXPECT_TRUE(out.RenderThreadRunning());

  // A volume the server does not take: the sink and our stream on it are gone.
  ASSERT_TRUE(out.SetSessionVolume(0.3f));
  Pactl("unload-module module-null-sink");
  EXPECT_FALSE(out.SetSessionVolume(0.4f));
}

}  // namespace
}  // namespace kx
