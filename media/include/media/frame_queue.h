// The frame queue: picture records from the video branch of the decode
// thread to its audio branch, thread-safe, non-blocking. It is bounded:
// while nothing takes records (audio held, no device) the oldest are dropped,
// which changes nothing visible since a chunk shows the newest picture.
#pragma once

#include <array>
#include <cstddef>
#include <mutex>
#include <optional>

#include "media/picture_record.h"

namespace kx {

class CFrameQueue {
 public:
  static constexpr size_t kDefaultBound = 4;
  static constexpr size_t kMaxBound = 16;
  // The bound is held to 1..kMaxBound: the records live in a ring inside the
  // queue, so pushing and taking never allocate.
  explicit CFrameQueue(size_t bound = kDefaultBound)
      : m_bound(bound < 1 ? 1 : bound > kMaxBound ? kMaxBound : bound) {}

  // Appends the record; returns true when the oldest had to be dropped.
  bool Push(PictureRecord record);
  std::optional<PictureRecord> TryPop();
  // Takes the newest record and frees every older one: what an audio chunk
  // shows is the newest converted picture, never a backlog.
  std::optional<PictureRecord> TakeNewest();
  // Pops and frees every record.
  void Clear();
  size_t Size() const;
  bool Empty() const { return Size() == 0; }

 private:
  // Moves every record into `out` (oldest first); returns how many. Lock held.
  size_t TakeAllLocked(std::array<PictureRecord, kMaxBound>& out);

  mutable std::mutex m_mutex;
  std::array<PictureRecord, kMaxBound> m_records;  // a ring of m_nCount from m_nFirst
  size_t m_nFirst = 0;
  size_t m_nCount = 0;
  const size_t m_bound;
};

}  // namespace kx
