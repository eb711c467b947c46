// Lip-sync: the offset between a camera's picture and its sound, found from
// test events the stream itself carries (a flash held in front of the lens and
// a beep or clap at the same moment). Sound onsets and picture flashes are
// each stamped on the stream's clock (packet timestamps times their time
// bases), paired, and the offset is the median of the last pairs. Plain C++:
// fed by whoever decodes, tested with synthetic pictures and sound.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "monitor/sound_figures.h"

namespace kx::measure {

// A picture's brightness on a small grid: the mean luma (0-255) of each cell,
// with the picture's time on the stream's clock.
struct LumaThumb {
  static constexpr int kCols = 16, kRows = 12;
  double seconds = 0;
  std::array<uint8_t, kCols * kRows> cells{};
};

// How the pixels of the plane given to MakeLumaThumb are laid out.
enum class PixelLayout { Luma8, Bgra };

// Fills `thumb.cells` from a `width` x `height` plane (`lineSize` bytes a
// row): each cell is the mean of a sparse grid of at most 8x8 samples inside
// it, so the cost does not grow with the picture (a flash lights whole
// regions; single pixels do not matter). False when the picture is smaller
// than the grid.
bool MakeLumaThumb(const uint8_t* plane, int width, int height, int lineSize, PixelLayout layout, LumaThumb& thumb);

// Sudden rises of brightness over a large part of the picture. A cell has
// risen when it is `kRiseLevels` above its lowest value in the previous three
// pictures (a flash that starts mid-exposure is caught on the next picture
// too); a picture where `kShare` of the cells have risen is a flash, after
// which the next `kRefractorySeconds` are not looked at (a flash lasts a few
// pictures). Only rises count: the end of a flash is no second event.
class CFlashDetector {
 public:
  static constexpr int kRiseLevels = 40;
  static constexpr double kShare = 0.25;
  static constexpr double kRefractorySeconds = 0.3;

  // True when this picture starts a flash.
  bool Add(const LumaThumb& thumb);
  void Reset();

 private:
  std::array<std::array<uint8_t, LumaThumb::kCols * LumaThumb::kRows>, 3> m_history{};
  int m_count = 0;  // pictures in m_history (up to 3)
  int m_next = 0;   // the slot the next picture replaces
  double m_lastEvent = -INFINITY;
};

// Sound onsets: the 500 Hz - 4 kHz band's (fourth-order edges) short-term energy (2 ms) rising by
// at least 20 dB within 10 ms to at least -45 dBFS. The onset's time is the
// first sample of the rise: the first within the last 10 ms whose band level
// comes within 20 dB of the level reached. 48 kHz stereo in.
class COnsetDetector {
 public:
  static constexpr int kRate = 48000;
  static constexpr double kRiseDb = 20;
  static constexpr double kMinDbfs = -45;
  static constexpr double kRefractorySeconds = 0.2;

  COnsetDetector();
  // `seconds` is the stream time of the first frame. Appends the times of
  // the onsets found to `onsets`.
  void Add(double seconds, const float* interleaved, size_t frames, std::vector<double>& onsets);
  void Reset();

 private:
  static constexpr int kBlock = kRate / 1000;  // 1 ms of energy
  static constexpr int kLookBack = 10;         // blocks: the rise's 10 ms
  static constexpr size_t kRing = 1024;        // filtered samples kept (over 21 ms)
  struct Biquad {
    double b0, b1, b2, a1, a2;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    double Step(double x);
  };
  std::array<Biquad, 4> m_band;  // high pass 500 Hz, low pass 4 kHz
  std::array<float, kRing> m_ring{};  // filtered samples by absolute index
  int64_t m_sample = 0;               // samples since the reset
  double m_clock = NAN;               // stream time of sample m_sample
  double m_blockSum = 0;
  int m_inBlock = 0;
  std::array<double, kLookBack + 2> m_energy{};  // last blocks' mean energies, newest at m_energyAt
  int m_energyAt = 0;
  int64_t m_blocks = 0;
  double m_lastOnset = -INFINITY;
};

// The limits (sound after the picture positive). Faults: detectable by
// viewers (ITU-R BT.1359), sound more than 45 ms early or 125 ms late.
// Warnings: outside the broadcast tolerance of EBU R37, sound more than
// 40 ms early or 60 ms late.
constexpr double kAvFaultEarlyMs = -45, kAvFaultLateMs = 125;
constexpr double kAvWarnEarlyMs = -40, kAvWarnLateMs = 60;
AvSyncVerdict JudgeAvOffset(double offsetMs);

// Pairs the events: each sound onset with the flash nearest to it within
// ±500 ms, when that onset is also the flash's nearest (a flash and beep once
// a second is never paired across seconds, and an extra or missing event
// costs one pair, not a wrong one). An onset is decided once both clocks have
// passed it by a second, so every event that could be nearer is known.
class CAvSyncPairing {
 public:
  static constexpr double kWindowSeconds = 0.5;
  static constexpr size_t kMinPairs = 3;
  static constexpr size_t kMedianPairs = 9;

  void AddFlash(double seconds);
  void AddOnset(double seconds);
  // How far each clock has got (pictures and sound seen, events or not).
  void PictureClock(double seconds);
  void SoundClock(double seconds);
  void Reset();
  AvSyncFigures Figures() const;

 private:
  void Decide();
  void Restart();  // a clock went back: the events before are of another run

  std::deque<double> m_flashes, m_onsets;
  size_t m_decided = 0;  // m_onsets before this are decided (kept as others' neighbours)
  double m_pictureClock = -INFINITY, m_soundClock = -INFINITY;
  std::deque<double> m_offsets;  // seconds, the last kMedianPairs
  int m_pairs = 0;
};

// The three together, as a decode side feeds them.
class CAvSyncMeter {
 public:
  void AddPicture(const LumaThumb& thumb);
  // 48 kHz stereo; `seconds` the stream time of the first frame.
  void AddSound(double seconds, const float* interleaved, size_t frames);
  void Reset();
  AvSyncFigures Figures() const { return m_pairing.Figures(); }

 private:
  CFlashDetector m_flashes;
  COnsetDetector m_onsets;
  CAvSyncPairing m_pairing;
  std::vector<double> m_found;
};

}  // namespace kx::measure
