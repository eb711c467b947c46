#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>
#include <vector>

#include "media/log_throttle.h"
#include "media/preview_session.h"

#include "media/frame_queue.h"
#include "media/picture_pool.h"

// Every allocation of this test program is counted, to see that a queue in
// use allocates nothing.
namespace {
std::atomic<long> g_allocations{0};
}  // namespace

// Not inlined, so the compiler never pairs the malloc and free inside them
// with a new expression's delete.
[[gnu::noinline]] void* operator new(std::size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }

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

TEST(FrameQueue, BoundDropsTheOldest) {
  CFrameQueue q(3);
  EXPECT_FALSE(q.TryPop().has_value());  // empty: fails at once
  EXPECT_FALSE(q.Push(Record(0)));
  EXPECT_FALSE(q.Push(Record(1)));
  EXPECT_FALSE(q.Push(Record(2)));
  EXPECT_TRUE(q.Push(Record(3)));
  EXPECT_EQ(q.Size(), 3u);
  EXPECT_EQ(q.TryPop()->pts, 1);
  EXPECT_EQ(q.TryPop()->pts, 2);
  EXPECT_EQ(q.TryPop()->pts, 3);
  EXPECT_TRUE(q.Empty());
}

TEST(FrameQueue, TakeNewestFreesTheOlderRecords) {
  CPicturePool pool;
  CFrameQueue q;
  EXPECT_FALSE(q.TakeNewest().has_value());
  std::vector<std::weak_ptr<PicturePixels>> watch;
  for (int64_t pts = 0; pts < 3; ++pts) {
    auto px = pool.Acquire(8);
    watch.push_back(px);
    q.Push(Record(pts, std::move(px)));
  }
  auto newest = q.TakeNewest();
  ASSERT_TRUE(newest.has_value());
  EXPECT_EQ(newest->pts, 2);
  EXPECT_TRUE(q.Empty());
  EXPECT_TRUE(watch[0].expired());
  EXPECT_TRUE(watch[1].expired());
  EXPECT_FALSE(watch[2].expired());  // the record taken still shows its picture
  EXPECT_EQ(pool.FreeCount(), 2u);
}

TEST(FrameQueue, PushingAndTakingAllocateNothing) {
  CPicturePool pool;
  CFrameQueue q;
  std::shared_ptr<PicturePixels> pixels = pool.Acquire(64);
  const long before = g_allocations.load();
  int64_t taken = 0;
  for (int64_t pts = 0; pts < 1000; ++pts) {
    q.Push(Record(pts, pixels));  // past the bound too: the oldest are dropped
    if (pts % 3 == 0) taken += q.TakeNewest().has_value();
    if (pts % 7 == 0) taken += q.TryPop().has_value();
    if (pts % 50 == 0) q.Clear();
  }
  EXPECT_EQ(g_allocations.load() - before, 0);
  EXPECT_GT(taken, 300);
  EXPECT_LE(q.Size(), CFrameQueue::kDefaultBound);
}

TEST(FrameQueue, TheBoundIsHeldToWhatTheRingHolds) {
  CFrameQueue one(0), most(1000);
  EXPECT_FALSE(one.Push(Record(0)));
  EXPECT_TRUE(one.Push(Record(1)));
  EXPECT_EQ(one.TakeNewest()->pts, 1);
  for (int64_t pts = 0; pts < static_cast<int64_t>(CFrameQueue::kMaxBound); ++pts) EXPECT_FALSE(most.Push(Record(pts)));
  EXPECT_TRUE(most.Push(Record(99)));
  EXPECT_EQ(most.Size(), CFrameQueue::kMaxBound);
  EXPECT_EQ(most.TryPop()->pts, 1);
  EXPECT_EQ(most.TakeNewest()->pts, 99);
  EXPECT_TRUE(most.Empty());
}

TEST(FrameQueue, ClearReleasesThePixels) {
  CPicturePool pool;
  CFrameQueue q;
  auto px = pool.Acquire(8);
  std::weak_ptr<PicturePixels> watch = px;
  q.Push(Record(0, std::move(px)));
  q.Clear();
  q.Clear();  // draining an empty queue does nothing
  EXPECT_TRUE(q.Empty());
  EXPECT_TRUE(watch.expired());
  EXPECT_EQ(pool.FreeCount(), 1u);
}

TEST(PicturePool, NeverHandsOutABufferARecordShows) {
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
  auto d = pool.Acquire(32);  // another picture size
  EXPECT_EQ(d->size(), 32u);
}

TEST(PicturePool, RecordsOutliveThePool) {
  PictureRecord r;
  {
    CPicturePool pool;
    auto px = pool.Acquire(4);
    (*px)[0] = 7;
    r = Record(0, std::move(px));
  }
  EXPECT_EQ(r.Data()[0], 7);
}

TEST(PicturePool, BuffersComeBackFromOtherThreads) {
  CPicturePool pool;
  for (int i = 0; i < 200; ++i) {
    auto px = pool.Acquire(64);
    (*px)[0] = static_cast<uint8_t>(i);
    PictureRecord r = Record(i, std::move(px));
    std::thread reader([r = std::move(r), i] { EXPECT_EQ(r.Data()[0], static_cast<uint8_t>(i)); });
    reader.join();
  }
  EXPECT_LE(pool.AllocatedCount(), 2u);
}

// The throttle's time is the caller's: a day of a stream whose every chunk
// finds no picture, at 47 chunks a second, is a line a minute.
TEST(LogThrottle, FirstLineThenOneAMinuteWithTheCount) {
  using namespace std::chrono_literals;
  CLogThrottle throttle;
  const auto t0 = CLogThrottle::Clock::time_point{} + 5h;
  EXPECT_EQ(throttle.Note(t0, "Drop"), "Drop");
  int lines = 0;
  std::string last;
  for (int i = 1; i <= 47 * 60 * 60; ++i) {  // an hour of chunks, 21.3 ms apart
    const std::string line = throttle.Note(t0 + i * 1s / 47, "Drop");
    if (line.empty()) continue;
    ++lines;
    last = line;
    if (lines == 1) {
      EXPECT_EQ(line, "Drop (2820 since the last line)") << "47 a second for 60 s";
    }
  }
  EXPECT_EQ(lines, 60);
  EXPECT_EQ(last.rfind("Drop (", 0), 0u);
  // A quiet spell: the next occurrence, long after, is written at once with its count.
  EXPECT_EQ(throttle.Note(t0 + 3h, "Drop"), "Drop (1 since the last line)");
  EXPECT_EQ(throttle.Note(t0 + 3h + 59s, "Drop"), "");
  EXPECT_EQ(throttle.Note(t0 + 3h + 60s, "Drop"), "Drop (2 since the last line)");
  // A new run starts with a fresh throttle: its first occurrence is written as it is.
  CLogThrottle next;
  EXPECT_EQ(next.Note(t0 + 3h + 61s, "Drop"), "Drop");
}

// The connecting indicator: three composed frames per picture, eight
// pictures, and a reset starts from the first picture's first frame.
TEST(SpinnerCounter, StepsEveryThirdFrameAndResetStartsOver) {
  CSpinnerCounter spinner;
  std::vector<int32_t> shown;
  for (int i = 0; i < 26; ++i) shown.push_back(spinner.Step());
  const std::vector<int32_t> want = {0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5, 6, 6, 6, 7, 7, 7, 0, 0};
  EXPECT_EQ(shown, want);
  EXPECT_EQ(spinner.Frame(), 0);
  EXPECT_EQ(spinner.TicksInFrame(), 2);
  spinner.Step();
  spinner.Step();  // in the middle of picture 1
  spinner.Reset();
  EXPECT_EQ(spinner.Frame(), 0);
  EXPECT_EQ(spinner.TicksInFrame(), 0);
  EXPECT_EQ(spinner.Step(), 0);
}

}  // namespace
}  // namespace kx
