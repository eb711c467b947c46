// The audio output on the shared PulseAudio peer: formats, what the sinks
// really play (recorded from their monitors), session volume, meter,
// device changes and the pictures that travel with the audio.
#include <gtest/gtest.h>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "common/app_log.h"
#include "audio/audio_output.h"
#include "pulse_support.h"
#include "audio_output_test_access.h"

namespace kx {
namespace {

using namespace std::chrono_literals;
using platform::audio::EndpointEnumerator;
using platform::audio::EndpointPtr;

EndpointPtr Sink(const std::string& name) {
  EndpointEnumerator e;
  std::vector<EndpointPtr> all;
  e.EnumAudioEndpoints(all);
  for (auto& d : all)
    if (d->id == name) return d;
  return nullptr;
}

// The decode side: feeds 48 kHz stereo float in 10 ms chunks, keeping about
// 200 ms queued, as a live stream would.
class Feeder {
 public:
  explicit Feeder(CAudioOutput& out) : m_out(out) {}
  ~Feeder() { StopLoop(); }
  // The device rate, read as the decode thread reads it: under m_csSetup.
  int Rate() {
    return static_cast<int>(m_out.DeviceFormat().nSamplesPerSec);
  }
  // Writes `samples` once, then returns when the FIFO has drained.
  void PlayOnce(const std::vector<float>& samples) {
    for (size_t at = 0; at < samples.size() / 2;) {
      const int rate = Rate();
      if (m_out.QueuedFrames() > rate / 5) {
        std::this_thread::sleep_for(2ms);
        continue;
      }
      const int n = static_cast<int>(std::min<size_t>(480, samples.size() / 2 - at));
      m_out.ConvertAndWrite(samples.data() + at * 2, n, m_picture);
      at += n;
    }
    test::WaitFor([&] { return m_out.QueuedFrames() == 0; });
  }
  // Keeps writing a tone on a thread of its own until StopLoop.
  void StartLoop(double amplitude) { StartLoop(test::StereoTone(1000, amplitude, 0.01)); }
  // The same with `cycle` (48 kHz stereo, a whole number of 10 ms chunks) played over and over.
  void StartLoop(std::vector<float> cycle) {
    m_run = true;
    m_thread = std::thread([this, cycle = std::move(cycle)] {
      for (size_t at = 0; m_run;) {
        const int rate = Rate();
        if (m_out.QueuedFrames() < rate / 10 && m_out.ConvertAndWrite(cycle.data() + at, 480, m_picture) > 0) {
          at = (at + 960) % cycle.size();
          continue;
        }
        std::this_thread::sleep_for(2ms);
      }
    });
  }
  void StopLoop() {
    m_run = false;
    if (m_thread.joinable()) m_thread.join();
  }
  PictureRecord m_picture;

 private:
  CAudioOutput& m_out;
  std::atomic<bool> m_run{false};
  std::thread m_thread;
};

class LogLines {
 public:
  LogLines() {
    SetAppLogObserver([this](kxLogEventType, const std::u16string& line) {
      std::lock_guard<std::mutex> g(m_mutex);
      m_lines.push_back(ConvertUnicodeToUTF8(line));
    });
  }
  ~LogLines() { SetAppLogObserver(nullptr); }
  std::vector<std::string> Lines() {
    std::lock_guard<std::mutex> g(m_mutex);
    return m_lines;
  }

 private:
  std::mutex m_mutex;
  std::vector<std::string> m_lines;
};

class AudioOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    KX_REQUIRE_PULSE_PEER();
    m_server = test::PeerServer();
  }
  // Plays `seconds` of 1000 Hz at `amplitude` on the open sink and records its monitor.
  test::ToneStats PlayAndRecord(const std::string& sink, double amplitude, double seconds,
                                std::vector<int16_t>* raw = nullptr) {
    test::MonitorRecording rec(m_server, sink + ".monitor", 48000);
    EXPECT_TRUE(rec.Started());
    Feeder feeder(m_out);
    feeder.PlayOnce(test::StereoTone(1000, amplitude, seconds));
    std::this_thread::sleep_for(500ms);  // the tail reaches the monitor; silence after
    std::vector<int16_t> samples = rec.Stop();
    if (raw) *raw = samples;
    return test::AnalyseTone(samples, 48000);
  }

  // The whole 2 s of the 1000 Hz tone at amplitude 0.5 reached the monitor.
  static void ExpectWholeTone(const test::ToneStats& st) {
    EXPECT_NEAR(st.frequency, 1000, 2);
    EXPECT_NEAR(st.peakDb, -6.02, 1);
    EXPECT_NEAR(st.seconds, 2.0, 0.1);
  }

  std::string m_server;
  CSettingsBlock m_settings;
  CAudioOutput m_out{m_settings};
};

TEST_F(AudioOutputTest, SixteenBitMonoSinkGetsSixteenBitFifoAndResamplerAndPlaysTheTone) {
  LogLines log;
  EndpointPtr s16 = Sink("kx_s16");
  ASSERT_TRUE(s16);
  EXPECT_EQ(m_out.SetAudioDevice(s16), 0);
  EXPECT_EQ(m_out.DeviceFormat().wBitsPerSample, 16);
  EXPECT_EQ(m_out.DeviceFormat().nSamplesPerSec, 44100u);
  EXPECT_EQ(CAudioOutputTestAccess::DeviceChannels(m_out), 1);
  EXPECT_EQ(CAudioOutputTestAccess::Fifo(m_out).FrameBytes(), 2);
  EXPECT_EQ(CAudioOutputTestAccess::Fifo(m_out).Capacity(), 44100);
  ASSERT_NE(CAudioOutputTestAccess::Resampler(m_out), nullptr);
  AVSampleFormat fmt;
  int64_t rate = 0;
  ASSERT_GE(av_opt_get_sample_fmt(CAudioOutputTestAccess::Resampler(m_out), "out_sample_fmt", 0, &fmt), 0);
  ASSERT_GE(av_opt_get_int(CAudioOutputTestAccess::Resampler(m_out), "out_sample_rate", 0, &rate), 0);
  EXPECT_EQ(fmt, AV_SAMPLE_FMT_S16);
  EXPECT_EQ(rate, 44100);
  EXPECT_TRUE(m_out.Started());

  const std::vector<std::string> expected = {
      "====== SetAudioDevice ======",
      "kxS16Mono",
      "Свойства аудиоустройства по умолчанию: ",
      "wBitsPerSample = 16, nSamplesPerSec = 44100, nChannels = 1",
      "Запрашиваем m_spAudioClient->GetMixFormat(&pwfx); для этого устройства",
      "wBitsPerSample = 16, nSamplesPerSec = 44100, nChannels = 1"};
  EXPECT_EQ(log.Lines(), expected);

  ExpectWholeTone(PlayAndRecord("kx_s16", 0.5, 2.0));
}

TEST_F(AudioOutputTest, FloatSinkGetsFourByteSamplesAndPlaysTheToneAtItsLevel) {
  ASSERT_EQ(m_out.SetAudioDevice(Sink("kx_float")), 0);
  EXPECT_EQ(m_out.DeviceFormat().wFormatTag, WAVE_FORMAT_EXTENSIBLE);
  EXPECT_EQ(m_out.DeviceFormat().wBitsPerSample, 32);
  EXPECT_EQ(CAudioOutputTestAccess::Fifo(m_out).FrameBytes(), 8);
  AVSampleFormat fmt;
  ASSERT_GE(av_opt_get_sample_fmt(CAudioOutputTestAccess::Resampler(m_out), "out_sample_fmt", 0, &fmt), 0);
  EXPECT_EQ(fmt, AV_SAMPLE_FMT_FLT);
  ASSERT_TRUE(m_out.SetSessionVolume(1.0f));
  ExpectWholeTone(PlayAndRecord("kx_float", 0.5, 2.0));
}

// Packed 24-bit sinks (common on USB devices) play: the resampler's 32-bit
// samples lose their low byte on the way into a three-byte-sample FIFO.
TEST_F(AudioOutputTest, TwentyFourBitSinkGetsThreeByteSamplesAndPlaysTheTone) {
  EndpointPtr s24 = Sink("kx_s24");
  ASSERT_TRUE(s24);
  EXPECT_EQ(m_out.SetAudioDevice(s24), 0);
  EXPECT_EQ(m_out.DeviceFormat().wBitsPerSample, 24);
  EXPECT_EQ(CAudioOutputTestAccess::Fifo(m_out).FrameBytes(), 6);
  EXPECT_EQ(CAudioOutputTestAccess::Fifo(m_out).Capacity(), 48000);
  EXPECT_TRUE(m_out.Started());
  ASSERT_TRUE(m_out.SetSessionVolume(1.0f));
  ExpectWholeTone(PlayAndRecord("kx_s24", 0.5, 2.0));
}

TEST_F(AudioOutputTest, SixChannelsMapToTheHexagonalLayout) {
  ASSERT_EQ(m_out.SetAudioDevice(Sink("kx_six")), 0);
  EXPECT_EQ(CAudioOutputTestAccess::DeviceChannels(m_out), 6);
  ASSERT_NE(CAudioOutputTestAccess::Resampler(m_out), nullptr);
  AVChannelLayout layout{};
  ASSERT_GE(av_opt_get_chlayout(CAudioOutputTestAccess::Resampler(m_out), "out_chlayout", 0, &layout), 0);
  EXPECT_EQ(layout.order, AV_CHANNEL_ORDER_NATIVE);
  EXPECT_EQ(layout.u.mask, AV_CH_LAYOUT_HEXAGONAL);
  av_channel_layout_uninit(&layout);
  EXPECT_EQ(CAudioOutputTestAccess::Fifo(m_out).FrameBytes(), 24);
}

TEST_F(AudioOutputTest, PreviewOffIsSilentWhileTheFifoDrainsInRealTime) {
  ASSERT_EQ(m_out.SetAudioDevice(Sink("kx_float")), 0);
  ASSERT_TRUE(m_out.SetSessionVolume(1.0f));
  m_settings.Preview = 0;
  const auto start = std::chrono::steady_clock::now();
  std::vector<int16_t> raw;
  PlayAndRecord("kx_float", 0.5, 2.0, &raw);
  const double drained = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(test::PeakDb(raw), -60);
  EXPECT_GT(raw.size(), 48000u * 2);  // the monitor went on recording
  // The device took the audio at its own pace: no faster than real time.
  EXPECT_GT(drained, 1.5 + 0.5 + 0.5);
}

TEST_F(AudioOutputTest, HalfVolumeIsTheMixersFiftyPercent) {
  ASSERT_EQ(m_out.SetAudioDevice(Sink("kx_float")), 0);
  ASSERT_TRUE(m_out.SetSessionVolume(0.5f));
  // The desktop mixer (pactl) shows the same number as the program ...
  EXPECT_EQ(test::SinkInputVolume(m_server, m_out.SessionStreamIndex()), 32768);
  ASSERT_TRUE(m_out.SetSessionVolume(0.37f));
  EXPECT_EQ(test::SinkInputVolume(m_server, m_out.SessionStreamIndex()), 24248);  // 37 %
  // ... and on PulseAudio's cubic scale half volume is an eighth of the amplitude: -18 dB.
  ASSERT_TRUE(m_out.SetSessionVolume(0.5f));
  const test::ToneStats st = PlayAndRecord("kx_float", 0.5, 2.0);
  EXPECT_NEAR(st.frequency, 1000, 2);
  EXPECT_NEAR(st.peakDb, -6.02 - 18.06, 1);
}

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

  // Beneath: the audio system tells our own change from another's.
  std::unique_ptr<platform::audio::SessionVolume> raw;
  ASSERT_EQ(platform::audio::SessionVolume::Create(Sink("kx_float"), raw), 0);
  std::vector<std::pair<float, bool>> seen;  // volume, carried our context
  raw->RegisterNotification([&](float v, bool, const GUID& ctx) {
    std::lock_guard<std::mutex> g(m);
    seen.emplace_back(v, kxIsEqualGUID(ctx, kAudioSessionVolumeCtx));
  });

  ASSERT_TRUE(m_out.SetSessionVolume(0.3f));
  ASSERT_TRUE(test::WaitFor([&] {
    std::lock_guard<std::mutex> g(m);
    return !seen.empty();
  }));
  int status = -1;
  test::RunWithServer(m_server, "pactl set-sink-input-volume " + std::to_string(index) + " 25%", &status);
  ASSERT_EQ(status, 0);
  ASSERT_TRUE(test::WaitFor([&] {
    std::lock_guard<std::mutex> g(m);
    return !frame.empty();
  }));
  raw->UnregisterNotification();
  std::lock_guard<std::mutex> g(m);
  ASSERT_EQ(frame.size(), 1u);
  EXPECT_NEAR(frame[0], 0.25f, 0.005f);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_NEAR(seen[0].first, 0.3f, 0.005f);
  EXPECT_TRUE(seen[0].second);
  EXPECT_NEAR(seen[1].first, 0.25f, 0.005f);
  EXPECT_FALSE(seen[1].second);
}

TEST_F(AudioOutputTest, FastSliderMovesEndAtTheLastValueWithoutEcho) {
  std::mutex m;
  std::vector<float> frame;  // what the main frame would receive
  m_out.SetSessionVolumeNotify([&](float v, bool) {
    std::lock_guard<std::mutex> g(m);
    frame.push_back(v);
  });
  ASSERT_EQ(m_out.SetAudioDevice(Sink("kx_float")), 0);
  ASSERT_TRUE(m_out.SetSessionVolume(0.5f));
  const int64_t index = m_out.SessionStreamIndex();
  ASSERT_GE(index, 0);
  // A slider dragged to and fro: bursts of changes that move away from the
  // settled value and come back to it, 50 within about a second.
  auto drag = [&](int from) {
    for (int burst = 0; burst < 5; ++burst) {
      const float step = 0.01f * static_cast<float>(from + burst);
      for (float v : {0.55f + step, 0.5f, 0.6f + step, 0.45f - step, 0.5f}) ASSERT_TRUE(m_out.SetSessionVolume(v));
      std::this_thread::sleep_for(100ms);
    }
  };
  drag(0);
  // Another program's change in the middle of them is heard ...
  int status = -1;
  test::RunWithServer(m_server, "pactl set-sink-input-volume " + std::to_string(index) + " 13%", &status);
  ASSERT_EQ(status, 0);
  ASSERT_TRUE(test::WaitFor([&] {
    std::lock_guard<std::mutex> g(m);
    return !frame.empty();
  }));
  drag(5);
  // ... and after the last change (0.5) the stream is at it; none of ours echoed.
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(test::SinkInputVolume(m_server, index), 32768);
  std::lock_guard<std::mutex> g(m);
  ASSERT_EQ(frame.size(), 1u);
  EXPECT_NEAR(frame[0], 0.13f, 0.001f);
}

TEST_F(AudioOutputTest, MeterReadsThePlayingLevelAndFallsToZero) {
  ASSERT_EQ(m_out.SetAudioDevice(Sink("kx_float")), 0);
  ASSERT_TRUE(m_out.SetSessionVolume(1.0f));  // the session keeps its volume for the process
  Feeder feeder(m_out);
  feeder.StartLoop(0.5);
  ASSERT_TRUE(test::WaitFor([&] { return m_out.GetPeakValue() > 0.4f; }));
  std::this_thread::sleep_for(100ms);
  EXPECT_NEAR(m_out.GetPeakValue(), 0.5f, 0.03f);
  feeder.StopLoop();
  EXPECT_TRUE(test::WaitFor([&] { return m_out.GetPeakValue() < 0.001f; }));
}

TEST_F(AudioOutputTest, ChangingDeviceWhileAudioFlowsLeavesNoThreadAndTheNewSinkPlays) {
  ASSERT_EQ(m_out.SetAudioDevice(Sink("kx_float")), 0);
  const int threadsOpen = test::ThreadCount();
  Feeder feeder(m_out);
  feeder.StartLoop(0.5);
  for (int i = 0; i < 4; ++i) {
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(m_out.SetAudioDevice(Sink(i % 2 ? "kx_float" : "kx_six")), 0);
  }
  feeder.StopLoop();
  EXPECT_EQ(test::ThreadCount(), threadsOpen);

  EXPECT_EQ(m_out.SetAudioDevice(Sink("kx_s16")), 0);
  ASSERT_TRUE(m_out.SetSessionVolume(1.0f));
  test::MonitorRecording rec(m_server, "kx_s16.monitor", 48000);
  feeder.StartLoop(0.5);
  std::this_thread::sleep_for(1s);
  feeder.StopLoop();
  const test::ToneStats st = test::AnalyseTone(rec.Stop(), 48000);
  EXPECT_NEAR(st.frequency, 1000, 2);
  EXPECT_NEAR(st.peakDb, -6.02, 1);

  m_out.CloseDevice();
  EXPECT_FALSE(m_out.RenderThreadRunning());
  EXPECT_FALSE(m_out.Started());
  EXPECT_EQ(CAudioOutputTestAccess::Resampler(m_out), nullptr);
  EXPECT_EQ(CAudioOutputTestAccess::Fifo(m_out).Capacity(), 0);
  EXPECT_EQ(test::ThreadCount(), threadsOpen - 1);
}

// The loud stretches of a recording, split where it is quiet (below
// -40 dBFS) for at least `quietSamples`.
std::vector<std::vector<int16_t>> LoudParts(const std::vector<int16_t>& x, size_t quietSamples) {
  std::vector<std::vector<int16_t>> parts;
  size_t start = 0, quiet = 0;
  bool inPart = false;
  for (size_t i = 0; i <= x.size(); ++i) {
    const bool loud = i < x.size() && std::abs(static_cast<int>(x[i])) > 328;
    if (loud) {
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

// A single chunk shorter than the jitter margin still plays (once it has
// waited twice the margin), also on a stream that has never had data. Running dry is counted (an idle
// stream that never played is not), and the sound comes back as soon as the
// audio does, however long the device went without.
TEST_F(AudioOutputTest, ShortChunkPlaysAtOnceAndSoundResumesAfterCountedUnderruns) {
  LogLines log;
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
    feeder.StartLoop(tone);
    EXPECT_TRUE(test::WaitFor([&] { return m_out.GetPeakValue() > 0.25f; })) << "pass " << pass;
    std::this_thread::sleep_for(400ms);
    const uint32_t playing = m_out.UnderrunCount();
    feeder.StopLoop();
    EXPECT_TRUE(test::WaitFor([&] { return m_out.UnderrunCount() > playing; })) << "pass " << pass;
    EXPECT_TRUE(test::WaitFor([&] { return m_out.GetPeakValue() < 0.001f; })) << "pass " << pass;
    std::this_thread::sleep_for(300ms);
  }
  // Closing logs the count: the chunk's end and the two stops at least.
  const uint32_t counted = m_out.UnderrunCount();
  EXPECT_GE(counted, 3u);
  m_out.CloseDevice();
  const std::vector<std::string> lines = log.Lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Audio output underruns: " + std::to_string(counted)), lines.end());

  // What the sink played: the chunk, then the tone twice, each at its pitch and level.
  const std::vector<std::vector<int16_t>> parts = LoudParts(rec.Stop(), 48000 / 10);
  ASSERT_EQ(parts.size(), 3u);
  const test::ToneStats first = test::AnalyseTone(parts[0], 48000);
  EXPECT_NEAR(first.frequency, 437, 3);
  EXPECT_NEAR(first.peakDb, -6.02, 1);
  EXPECT_LT(first.seconds, 0.1);
  for (size_t i = 1; i < parts.size(); ++i) {
    const test::ToneStats st = test::AnalyseTone(parts[i], 48000);
    EXPECT_NEAR(st.frequency, 1109, 2) << "part " << i;
    EXPECT_NEAR(st.peakDb, -6.02, 1) << "part " << i;
    EXPECT_GT(st.seconds, 0.3) << "part " << i;
  }
}

// The margin is held by the server, not only in the FIFO: a render thread a
// busy machine wakes late must still find sound queued in the stream. The
// sound server's own view of our stream's buffer tells.
std::vector<int> StreamBufferMillis() {
  std::vector<int> ms;
  FILE* p = popen("pactl list sink-inputs 2>/dev/null", "r");
  if (!p) return ms;
  char line[256];
  while (std::fgets(line, sizeof line, p))
    if (const char* at = std::strstr(line, "Buffer Latency:")) ms.push_back(std::atoi(at + 15) / 1000);
  pclose(p);
  return ms;
}

TEST_F(AudioOutputTest, TheServerHoldsTheJitterMarginWhileSoundFlows) {
  ASSERT_EQ(m_out.SetAudioDevice(Sink("kx_float")), 0);
  Feeder feeder(m_out);
  feeder.StartLoop(0.3);
  ASSERT_TRUE(test::WaitFor([&] { return m_out.GetPeakValue() > 0.1f; }));
  std::this_thread::sleep_for(500ms);
  std::vector<int> seen;
  for (int i = 0; i < 7; ++i) {
    const std::vector<int> now = StreamBufferMillis();
    ASSERT_EQ(now.size(), 1u) << "one playback stream";
    seen.push_back(now[0]);
    std::this_thread::sleep_for(50ms);
  }
  std::sort(seen.begin(), seen.end());
  // The first allowance is 50 ms; a stream fed only what it asked for keeps
  // 20 ms at most, whatever the FIFO holds.
  EXPECT_GE(seen[seen.size() / 2], 30) << "median of what the server held, ms";
}

class RecordingPresenter : public IPicturePresenter {
 public:
  void PresentPicture(const PictureRecord& p) override {
    std::lock_guard<std::mutex> g(m);
    shown.push_back(p.pts);
    if (p.Empty()) ++emptyShown;
  }
  size_t Count() {
    std::lock_guard<std::mutex> g(m);
    return shown.size();
  }
  int64_t Last() {
    std::lock_guard<std::mutex> g(m);
    return shown.empty() ? -1 : shown.back();
  }
  std::mutex m;
  std::vector<int64_t> shown;
  int emptyShown = 0;
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

  // With sound: 20 chunks per picture, as a decode thread repeats the last
  // picture with chunks that have no new one.
  Feeder feeder(m_out);
  for (int64_t pts : {1, 2, 3}) {
    feeder.m_picture = Picture(pts);
    feeder.PlayOnce(test::StereoTone(437, 0.5, 0.2));
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
  EXPECT_EQ(presenter.emptyShown, 0);
}

}  // namespace
}  // namespace kx
