// The events of a long run of one camera: drops (the stream down after it
// had played), the session's own reconnections, silences of 2 s or more and
// clipping bursts, each with its start and length. Fed by regular looks at
// the camera (the probe's watch, the window); platform-free.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kx::measure {

struct TimelineEvent {
  double atSeconds = 0;        // since the timeline began
  std::string kind;            // "drop", "reconnection", "silence", "clipping"
  double durationSeconds = 0;  // 0 for a moment's event
  int64_t count = 0;           // clipping: samples in the burst
};

// What one look at the camera saw.
struct CameraLook {
  bool up = false;              // the stream plays (a decode thread runs)
  int64_t reconnections = 0;    // the session's own, since it began
  double silenceSeconds = NAN;  // the silent stretch going on now; NaN: not measured
  int64_t clippedSamples = -1;  // since the measurements began; -1: not measured
};

struct TimelineCounts {
  int drops = 0;
  double longestDropSeconds = 0;  // an ongoing drop counts with its length so far
  int reconnections = 0;
  int silences = 0;
  int clippingBursts = 0;
};

class CEventTimeline {
 public:
  static constexpr double kSilenceSeconds = 2.0;
  // `started`: an event begins (a drop, a silence, a burst); `ended`: it is
  // over, with its length (a reconnection is told once, as ended).
  struct Listener {
    std::function<void(const TimelineEvent&)> started;
    std::function<void(const TimelineEvent&)> ended;
  };
  explicit CEventTimeline(Listener listener = {}) : m_listener(std::move(listener)) {}

  // One look, `now` seconds since the timeline began (never going back).
  void Look(double now, const CameraLook& look);
  // The run is over: what is going on now ends here and is an event too.
  void Finish(double now);

  const std::vector<TimelineEvent>& Events() const { return m_events; }
  TimelineCounts Counts() const;

 private:
  void Begin(TimelineEvent event);
  void End(TimelineEvent& open, double now);

  Listener m_listener;
  std::vector<TimelineEvent> m_events;  // ended events, in the order they ended
  bool m_everUp = false;                // a camera that never answered did not drop
  int64_t m_reconnections = 0;
  int64_t m_clippedBefore = 0;                  // the count before the burst going on
  TimelineEvent m_drop, m_silence, m_clipping;  // kind empty: not going on
  double m_lastLook = 0;
};

// "drop at 12.3 s for 14.0 s", "clipping at 3.1 s for 0.5 s (210 samples)":
// the log's words for an event (the log is never translated).
std::string DescribeEvent(const TimelineEvent& event);

}  // namespace kx::measure
