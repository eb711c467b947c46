#include "media/frame_queue.h"

namespace kx {

bool CFrameQueue::Push(PictureRecord record) {
  PictureRecord dropped;  // freed outside the lock
  std::lock_guard<std::mutex> lock(m_mutex);
  const bool drop = m_nCount >= m_bound;
  if (drop) {
    dropped = std::move(m_records[m_nFirst]);
    m_nFirst = (m_nFirst + 1) % m_bound;
    --m_nCount;
  }
  m_records[(m_nFirst + m_nCount) % m_bound] = std::move(record);
  ++m_nCount;
  return drop;
}

std::optional<PictureRecord> CFrameQueue::TryPop() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_nCount == 0) return std::nullopt;
  PictureRecord r = std::move(m_records[m_nFirst]);
  m_nFirst = (m_nFirst + 1) % m_bound;
  --m_nCount;
  return r;
}

size_t CFrameQueue::TakeAllLocked(std::array<PictureRecord, kMaxBound>& out) {
  const size_t count = m_nCount;
  for (size_t i = 0; i < count; ++i) out[i] = std::move(m_records[(m_nFirst + i) % m_bound]);
  m_nFirst = 0;
  m_nCount = 0;
  return count;
}

std::optional<PictureRecord> CFrameQueue::TakeNewest() {
  std::array<PictureRecord, kMaxBound> taken;  // the older ones are freed outside the lock
  size_t count = 0;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    count = TakeAllLocked(taken);
  }
  if (count == 0) return std::nullopt;
  return std::move(taken[count - 1]);
}

void CFrameQueue::Clear() {
  std::array<PictureRecord, kMaxBound> taken;
  std::lock_guard<std::mutex> lock(m_mutex);
  TakeAllLocked(taken);
}

size_t CFrameQueue::Size() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_nCount;
}

}  // namespace kx
