// The measurements beside the analysis: the decode thread only copies each
// 48 kHz stereo chunk into a bounded queue (Push); the worker's own thread
// takes the queue every 100 ms, feeds the meter and publishes the figures.
// The thread starts with the object and is joined by its destruction.
#pragma once

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "monitor/sound_meter.h"

namespace kx::measure {

class CMeasureWorker {
 public:
  static constexpr size_t kQueueFrames = 48000 * 2;  // 2 s; more is dropped and counted

  explicit CMeasureWorker(const Thresholds& thresholds = {});
  ~CMeasureWorker();
  CMeasureWorker(const CMeasureWorker&) = delete;
  CMeasureWorker& operator=(const CMeasureWorker&) = delete;

  static constexpr size_t kQueuePictures = 100;  // 4 s at 25 fps; more is dropped

  // Any thread: a copy of the frames into the queue, nothing else. With the
  // stream time of the first frame, the frames also feed the lip-sync
  // measurement.
  void Push(const float* interleaved, size_t frames, double seconds = NAN);
  // Any thread: a copy of a picture's brightness grid, for the lip-sync measurement.
  void PushPicture(const LumaThumb& thumb);
  // Starts the measurements again (the queue and the published figures are
  // dropped at once); takes effect before the next frames pushed are measured.
  void Reset();
  void SetThresholds(const Thresholds& thresholds);
  // The newest published figures; none while no audio has been measured
  // since the reset.
  std::optional<SoundFigures> Figures() const;
  // Measures what is queued now and publishes it before returning.
  void Flush();
  int64_t DroppedFrames() const { return m_dropped.load(std::memory_order_relaxed); }

 private:
  void Run();
  // Takes the queue and feeds the meter; the worker's thread (or Flush under m_csWork).
  void Work();

  mutable std::mutex m_csQueue;  // the queue and the pending reset
  std::vector<float> m_queue;    // interleaved, m_queued frames
  size_t m_queued = 0;
  struct TimeMark {
    size_t frame;    // where in the queue a timed push begins
    double seconds;  // its stream time; NaN: untimed
  };
  std::vector<TimeMark> m_marks;
  std::vector<LumaThumb> m_pictures;
  bool m_resetPending = false;
  std::optional<Thresholds> m_newThresholds;
  std::atomic<int64_t> m_dropped{0};

  std::mutex m_csWork;  // the meter and m_take
  CSoundMeter m_meter;
  std::vector<float> m_take;
  std::vector<TimeMark> m_takeMarks;
  std::vector<LumaThumb> m_takePictures;

  mutable std::mutex m_csFigures;  // taken inside m_csQueue when both are held
  std::optional<SoundFigures> m_figures;

  std::mutex m_csWake;
  std::condition_variable m_wake;
  bool m_stop = false;
  std::thread m_thread;  // last: starts once the members above exist
};

}  // namespace kx::measure
