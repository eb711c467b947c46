// The run's events from regular looks at a camera, as the probe's watch and
// the window feed them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "monitor/event_timeline.h"

namespace kx::measure {
namespace {

struct Look {
  double at;
  CameraLook look;
};

TEST(EventTimelineTest, DropsSilencesBurstsAndReconnectionsWithTheirTimesAndCounts) {
  std::vector<std::string> started, ended;
  CEventTimeline timeline({[&](const TimelineEvent& e) { started.push_back(DescribeEvent(e)); },
                           [&](const TimelineEvent& e) { ended.push_back(DescribeEvent(e)); }});
  constexpr double kNan = NAN;
  const Look looks[] = {
      {0.5, {false, 0, kNan, -1}},   // never answered yet: no drop
      {1.5, {true, 0, 0.3, 0}},
      {2.0, {true, 0, 1.0, 0}},
      {3.3, {true, 0, 2.3, 0}},      // silent since 1.0
      {4.1, {true, 1, 0.0, 17}},     // silence over; the session reconnected; a burst begins
      {4.6, {true, 1, 0.0, 40}},
      {5.1, {true, 1, 0.0, 40}},     // the burst of 40 samples is over
      {6.0, {false, 1, kNan, -1}},   // dropped
      {20.25, {true, 1, 0.0, 3}},    // back after 14.25 s; the measurements started again
      {21.0, {true, 1, 0.0, 3}},
      {30.0, {false, 1, kNan, -1}},  // dropped again, still down at the end
      {33.0, {false, 1, kNan, -1}},
  };
  for (const auto& l : looks) timeline.Look(l.at, l.look);

  TimelineCounts counts = timeline.Counts();
  EXPECT_EQ(counts.drops, 2);  // the ongoing one with its length so far
  EXPECT_NEAR(counts.longestDropSeconds, 14.25, 1e-9);
  EXPECT_EQ(counts.silences, 1);
  EXPECT_EQ(counts.clippingBursts, 2);
  EXPECT_EQ(counts.reconnections, 1);

  timeline.Finish(34.0);
  const std::vector<std::string> expectEnded = {
      "reconnection at 4.1 s",
      "silence at 1.0 s for 3.1 s",
      "clipping at 4.1 s for 1.0 s (40 samples)",
      "drop at 6.0 s for 14.2 s",
      "clipping at 20.2 s for 0.8 s (3 samples)",
      "drop at 30.0 s for 4.0 s",
  };
  EXPECT_EQ(ended, expectEnded);
  const std::vector<std::string> expectStarted = {"silence at 1.0 s", "clipping at 4.1 s", "drop at 6.0 s",
                                                  "clipping at 20.2 s", "drop at 30.0 s"};
  EXPECT_EQ(started, expectStarted);
  EXPECT_EQ(timeline.Counts().drops, 2);
  EXPECT_DOUBLE_EQ(timeline.Counts().longestDropSeconds, 14.25);
}

TEST(EventTimelineTest, ACameraThatNeverAnsweredAndUnmeasuredSoundGiveNoEvents) {
  CEventTimeline timeline;
  for (double t = 0; t < 10; t += 0.5) timeline.Look(t, {false, 0, NAN, -1});
  timeline.Look(10, {true, 0, NAN, -1});  // plays, nothing measured
  timeline.Finish(12);
  EXPECT_TRUE(timeline.Events().empty());
  EXPECT_EQ(timeline.Counts().drops, 0);
}

}  // namespace
}  // namespace kx::measure
