// The frame queue, the picture pool and the log throttle of the decode thread.
#include <gtest/gtest.h>

#include <vector>

#include "allocation_counter.h"
#include "media/frame_queue.h"
#include "media/log_throttle.h"
#include "media/picture_pool.h"

namespace kx {
namespace {

PictureRecord Record(int64_t pts, std::shared_ptr<PicturePixels> px = nullptr) {
  PictureRecord r;
  r.width = 2;
  r.height = 1;
  r.pts = pts;
  r.pixels = std::move(px);
  return r;
}

// The bound (1..kMaxBound) drops the oldest record.
TEST(FrameQueue, BoundDropsTheOldest) {
  struct Case {
    size_t asked, held;
  };
  for (const Case& c : {Case{3, 3}, Case{0, 1}, Case{1000, CFrameQueue::kMaxBound}}) {
    SCOPED_TRACE(c.asked);
    CFrameQueue q(c.asked);
    EXPECT_FALSE(q.TryPop().has_value());  // empty: fails at once
    for (size_t pts = 0; pts < c.held; ++pts) EXPECT_FALSE(q.Push(Record(static_cast<int64_t>(pts))));
    EXPECT_TRUE(q.Push(Record(99)));
    EXPECT_EQ(q.Size(), c.held);
    if (c.held > 1) {
      EXPECT_EQ(q.TryPop()->pts, 1);
    }
    if (c.held > 2) {
      EXPECT_EQ(q.TryPop()->pts, 2);
    }
    EXPECT_EQ(q.TakeNewest()->pts, 99);
    EXPECT_TRUE(q.Empty());
  }
}

// Taking the newest and clearing free the older records' pixels.
TEST(FrameQueue, TakeNewestAndClearReleaseThePixels) {
  CPicturePool pool;
  CFrameQueue q;
  EXPECT_FALSE(q.TakeNewest().has_value());
  std::vector<std::weak_ptr<PicturePixels>> watch;
  for (int64_t pts = 0; pts < 4; ++pts) {
    auto px = pool.Acquire(8);
    watch.push_back(px);
    q.Push(Record(pts, std::move(px)));
    if (pts == 2) {
      auto newest = q.TakeNewest();
      ASSERT_TRUE(newest.has_value());
      EXPECT_EQ(newest->pts, 2);
      EXPECT_TRUE(q.Empty());
      EXPECT_TRUE(watch[0].expired());
      EXPECT_TRUE(watch[1].expired());
      EXPECT_FALSE(watch[2].expired());
      EXPECT_EQ(pool.FreeCount(), 2u);
    }
  }
  q.Clear();
  q.Clear();  // draining an empty queue does nothing
  EXPECT_TRUE(q.Empty());
  EXPECT_TRUE(watch[3].expired());
  EXPECT_EQ(pool.FreeCount(), 3u);
}

TEST(FrameQueue, PushingAndTakingAllocateNothing) {
  CPicturePool pool;
  CFrameQueue q;
  std::shared_ptr<PicturePixels> pixels = pool.Acquire(64);
  const uint64_t before = test::AllAllocations();
  int64_t taken = 0;
  for (int64_t pts = 0; pts < 1000; ++pts) {
    q.Push(Record(pts, pixels));  // past the bound too: the oldest are dropped
    if (pts % 3 == 0) taken += q.TakeNewest().has_value();
    if (pts % 7 == 0) taken += q.TryPop().has_value();
    if (pts % 50 == 0) q.Clear();
  }
  EXPECT_EQ(test::AllAllocations() - before, 0u);
  EXPECT_GT(taken, 300);
  EXPECT_LE(q.Size(), CFrameQueue::kDefaultBound);
}

// A shown buffer is never handed out again; a freed one is reused; a record outlives its pool.
TEST(PicturePool, ReusesOnlyBuffersNoRecordShows) {
  PictureRecord outlives;
  {
    CPicturePool pool;
    auto a = pool.Acquire(16);
    PictureRecord shown = Record(0, a);
    a.reset();
    auto b = pool.Acquire(16);
    EXPECT_NE(b->data(), shown.Data());  // still shown: not reused
    const uint8_t* freed = b->data();
    b.reset();
    auto c = pool.Acquire(16);
    EXPECT_EQ(c->data(), freed);  // back in the pool: reused, nothing allocated
    EXPECT_EQ(pool.AllocatedCount(), 2u);
    c.reset();
    EXPECT_EQ(pool.Acquire(32)->size(), 32u);  // a spare of another picture size is not handed out
    auto px = pool.Acquire(4);
    (*px)[0] = 7;
    outlives = Record(0, std::move(px));
  }
  EXPECT_EQ(outlives.Data()[0], 7);
}

// 47 occurrences a second are a line a minute.
TEST(LogThrottle, FirstLineThenOneAMinuteWithTheCount) {
  using namespace std::chrono_literals;
  CLogThrottle throttle;
  const auto t0 = CLogThrottle::Clock::time_point{} + 5h;
  EXPECT_EQ(throttle.Note(t0, "Drop"), "Drop");
  int lines = 0;
  std::string first;
  for (int i = 1; i <= 47 * 60 * 60; ++i) {  // an hour of chunks, 21.3 ms apart
    const std::string line = throttle.Note(t0 + i * 1s / 47, "Drop");
    if (line.empty()) continue;
    if (++lines == 1) first = line;
    EXPECT_EQ(line.rfind("Drop (", 0), 0u);
  }
  EXPECT_EQ(lines, 60);
  EXPECT_EQ(first, "Drop (2820 since the last line)") << "47 a second for 60 s";
  // A quiet spell: the next occurrence, long after, is written at once with its count.
  EXPECT_EQ(throttle.Note(t0 + 3h, "Drop"), "Drop (1 since the last line)");
  EXPECT_EQ(throttle.Note(t0 + 3h + 59s, "Drop"), "");
  EXPECT_EQ(throttle.Note(t0 + 3h + 60s, "Drop"), "Drop (2 since the last line)");
  // A new run starts with a fresh throttle: its first occurrence is written as it is.
  EXPECT_EQ(CLogThrottle().Note(t0 + 3h + 61s, "Drop"), "Drop");
}

}  // namespace
}  // namespace kx
