#include <gtest/gtest.h>

#include <thread>

#include "media/frame_queue.h"
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

}  // namespace
}  // namespace kx
