// Faults of the session and the decode thread that only show with a real
// camera: what picture goes with a chunk, how often normal conditions are
// logged, reads after a wait, analysis without a device, levels and
// frequencies of mono tones. The camera is the peer's (see
// tests/peers/30-rtsp-camera.peer.sh for the mounts).
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <thread>

#include "common/settings_block.h"
#include "camera_server.h"
#include "session_fixture.h"

namespace kx::test {
namespace {

using namespace std::chrono_literals;

double Db(double amplitude) { return 20.0 * std::log10(amplitude); }

float PeakOf(const std::vector<float>& values, size_t from = 0) {
  float peak = 0;
  for (size_t i = from; i < values.size(); ++i) peak = std::max(peak, std::abs(values[i]));
  return peak;
}

// The spectrum the analyser shows after the last ten blocks of `values`
// (default settings: Blackman window, real time).
std::vector<double> SpectrumOfLastBlocks(const std::vector<float>& values) {
  CSettingsBlock settings;
  CSpectrumAnalyser analyser;
  const size_t block = CSpectrumAnalyser::kBlockSize;
  const size_t blocks = values.size() / block;
  for (size_t b = blocks - 10; b < blocks; ++b) {
    analyser.PushAudioBlock(values.data() + b * block, block);
    analyser.Tick(settings);
  }
  return {analyser.Spectrum().begin(), analyser.Spectrum().end()};
}

// The spectrum names the tone: its loudest bin is the one nearest the tone,
// and every bin 200 Hz or more away lies at least 50 dB lower.
void ExpectSpectrumPeaksAt(const std::vector<double>& spectrum, double hz) {
  const size_t nearest = static_cast<size_t>(std::lround(hz / CSpectrumAnalyser::kBinHz));
  const auto loudest = std::max_element(spectrum.begin() + 1, spectrum.begin() + CSpectrumAnalyser::kPowerBins);
  EXPECT_EQ(static_cast<size_t>(loudest - spectrum.begin()), nearest) << hz << " Hz";
  const size_t away = static_cast<size_t>(std::ceil(200.0 / CSpectrumAnalyser::kBinHz));
  double worst = 0;
  for (size_t k = 1; k < CSpectrumAnalyser::kPowerBins; ++k)
    if (k + away <= nearest || k >= nearest + away) worst = std::max(worst, spectrum[k]);
  EXPECT_GT(10 * std::log10(spectrum[nearest] / worst), 50.0) << hz << " Hz";
}

// Mono cameras at -6.02 dBFS (amplitude 0.5): the analyser's input and the
// device's both sides read that level, and the spectrum names the tone.
void ExpectMonoToneAtLevel(const std::string& mount, double hz) {
  const std::string url = PeerUrl(mount);
  REQUIRE_PEER(url);
  SessionRig rig;
  rig.Start(url);
  ASSERT_TRUE(rig.session.HasDecodeThread());
  ASSERT_NE(rig.host.AudioLine().find(u"Channels: [Mono]"), std::u16string::npos);
  // Two seconds of output after the three held back (so past the AAC encoder's start).
  ASSERT_TRUE(WaitUntil([&] { return rig.feed.Blocks() >= 200; }));
  rig.session.Stop();
  const auto values = rig.feed.Values();
  const float input = PeakOf(values, 480 * 50);
  EXPECT_NEAR(Db(input), Db(0.5), 0.5) << "analyser input of " << mount;
  const auto samples = rig.target.Samples();
  const std::vector<float> left = Channel(samples, 2, 0), right = Channel(samples, 2, 1);
  const size_t skip = CRecordingTarget::kRate / 2;
  ASSERT_GT(left.size(), skip * 2);
  EXPECT_NEAR(Db(PeakOf(left, skip)), Db(0.5), 0.5) << "device left of " << mount;
  EXPECT_NEAR(Db(PeakOf(right, skip)), Db(0.5), 0.5) << "device right of " << mount;
  ExpectSpectrumPeaksAt(SpectrumOfLastBlocks(values), hz);
}

TEST(SessionLevels, MonoAacAtUnityGain) { ExpectMonoToneAtLevel("/tone437", 437.0); }
TEST(SessionLevels, MonoG711AtUnityGain) { ExpectMonoToneAtLevel("/tone3001", 3001.0); }

// Without an output device the camera's sound is still decoded and analysed
// and its pictures still shown; only the playing is left out.
TEST(SessionWithoutDevice, AudioIsAnalysed) {
  for (const char* mount : {"/tone437", "/avsmall"}) {
    const std::string url = PeerUrl(mount);
    REQUIRE_PEER(url);
    SessionRig rig(4000, /*deviceOpen=*/false);
    rig.Start(url);
    ASSERT_TRUE(rig.session.HasDecodeThread()) << mount;
    ASSERT_TRUE(WaitUntil([&] { return rig.feed.Blocks() >= 100; })) << mount << ": nothing reached the analyser";
    // Sound alone ends the busy state as it flows; a camera with pictures
    // only once one is shown, and this target shows none.
    EXPECT_EQ(rig.session.IsBusy(), std::string(mount) == "/avsmall");
    if (std::string(mount) == "/avsmall") {
      // No render loop takes pictures with the chunks: each goes to the target alone.
      ASSERT_TRUE(WaitUntil([&] { return rig.target.PictureWrites() >= 10; })) << "no picture without a device";
      const PictureRecord slot = rig.target.Slot();
      ASSERT_FALSE(slot.Empty());
      EXPECT_EQ(slot.width, 320);
      EXPECT_EQ(slot.height, 240);
    }
    rig.session.Stop();
    EXPECT_EQ(rig.target.Chunks(), 0) << mount;
    if (std::string(mount) == "/tone437") {
      EXPECT_EQ(rig.target.PictureWrites(), 0);
    }
    const auto values = rig.feed.Values();
    EXPECT_NEAR(PeakOf(values, 480 * 50), 0.5, 0.03) << mount;
    ExpectSpectrumPeaksAt(SpectrumOfLastBlocks(values), std::string(mount) == "/tone437" ? 437.0 : 1000.0);
  }
}

// Pictures and sound change together once a second (red with a tone, blue
// with silence). G.711 in 40 ms packets gives one chunk per picture, so
// while audio is held the frame queue fills up, and at equal rates it would
// stay full: the picture that travels with a chunk must be the newest, not
// the oldest queued one (three frames, 120 ms, behind).
TEST(SessionLipSync, ChunkThatStartsAToneShowsThePictureOfThatMoment) {
  const std::string url = PeerUrl("/avsync");
  REQUIRE_PEER(url);
  SessionRig rig;
  rig.Start(url);
  ASSERT_TRUE(rig.session.HasDecodeThread());
  auto onsets = [&] {
    const auto notes = rig.target.ChunkNotes();
    std::vector<size_t> found;
    for (size_t c = 1; c < notes.size(); ++c)
      if (notes[c].peak > 0.1f && notes[c - 1].peak < 0.02f) found.push_back(c);
    return found;
  };
  // Three tone onsets after the three seconds held back.
  ASSERT_TRUE(WaitUntil([&] { return onsets().size() >= 3 && rig.target.ChunkNotes().size() > onsets()[2] + 12; }));
  rig.session.Stop();
  const auto notes = rig.target.ChunkNotes();
  // Every chunk shows the newest picture converted when it was written.
  for (size_t c = 0; c < notes.size(); ++c) {
    ASSERT_GE(notes[c].pts, 0);
    ASSERT_EQ(notes[c].pts, notes[c].newest) << "chunk " << c;
  }
  for (size_t c : onsets()) {
    // The first red picture of this step, as the following chunks show it.
    int64_t firstRed = -1;
    for (size_t k = c; k < std::min(notes.size(), c + 12) && firstRed < 0; ++k)
      if (notes[k].red > 160 && notes[k].blue < 96) firstRed = notes[k].pts;
    ASSERT_GE(firstRed, 0) << "no red picture after the onset at chunk " << c;
    // The camera's encoder and the decoder deliver the picture of a moment
    // up to two frames after its sound (measured here); the queue adds
    // nothing on top (with the oldest record it added three more).
    EXPECT_LE(firstRed - notes[c].pts, 2) << "the onset chunk " << c << " shows picture " << notes[c].pts
                                          << ", the step's first picture is " << firstRed;
  }
}

// Conditions that are normal for a stream are not logged per chunk: AAC at
// 48 kHz gives about two chunks to a picture (most chunks find no new
// picture), G.711 in 200 ms packets five pictures to a chunk (the queue
// overflows every chunk). Thirty seconds of each, side by side.
TEST(SessionLog, NormalConditionsAreNotLoggedPerChunk) {
  const std::string fast = PeerUrl("/avsmall"), slow = PeerUrl("/slowaudio");
  REQUIRE_PEER(fast);
  CLogCapture log;
  SessionRig fastRig, slowRig;
  fastRig.Start(fast);
  slowRig.Start(slow);
  ASSERT_TRUE(fastRig.session.HasDecodeThread());
  ASSERT_TRUE(slowRig.session.HasDecodeThread());
  std::this_thread::sleep_for(30s);
  fastRig.session.Stop();
  slowRig.session.Stop();
  // The conditions were there, hundreds of times.
  EXPECT_GT(fastRig.session.Stats().dropCopies.load(), 300);
  EXPECT_GT(slowRig.session.Stats().queueDrops.load(), 100);
  int drops = 0, full = 0;
  for (const auto& line : log.Lines()) {
    drops += line.rfind(u"Drop - Copy pFrameRGB_Fill !!!", 0) == 0;
    full += line.rfind(u"Frame queue full", 0) == 0;
  }
  EXPECT_GE(drops, 1);
  EXPECT_LE(drops, 3);
  EXPECT_GE(full, 1);
  EXPECT_LE(full, 3);
  EXPECT_EQ(fastRig.session.Stats().reconnections.load() + slowRig.session.Stats().reconnections.load(), 0);
}

// A decode thread that waited on the set-up lock longer than the quiet limit
// (a slow sound server opening a device) reads on: the wait was not the
// camera's silence. G.711 alone has no parser to hide a failed read.
TEST(SessionRead, WaitOnTheSetupLockIsNoSilence) {
  for (const char* mount : {"/tone3001", "/avsmall"}) {
    const std::string url = PeerUrl(mount);
    REQUIRE_PEER(url);
    CLogCapture log;
    SessionRig rig(1000);  // the quiet limit is OpenTimeout: one second
    rig.Start(url);
    ASSERT_TRUE(rig.session.HasDecodeThread());
    ASSERT_TRUE(WaitUntil([&] { return rig.target.Chunks() >= 20; }));
    for (int round = 0; round < 2; ++round) {
      {
        std::lock_guard<std::mutex> setup(rig.target.SetupLock());
        std::this_thread::sleep_for(2500ms);
      }
      const int64_t chunks = rig.target.Chunks();
      ASSERT_TRUE(WaitUntil([&] { return rig.target.Chunks() >= chunks + 20; })) << mount;
    }
    EXPECT_EQ(rig.session.Stats().reconnections.load(), 0) << mount;
    EXPECT_EQ(rig.session.Stats().runs.load(), 1) << mount;
    EXPECT_FALSE(log.Contains(u"av_read_frame != 0")) << mount;
    rig.session.Stop();
  }
}

}  // namespace
}  // namespace kx::test
