#include "media/frame_queue.h"

namespace kx {

bool CFrameQueue::Push(PictureRecord record) {
  PictureRecord dropped;  // freed outside the lock
  std::lock_guard<std::mutex> lock(m_mutex);
  bool drop = m_bound > 0 && m_records.size() >= m_bound;
  if (drop) {
    dropped = std::move(m_records.front());
    m_records.pop_front();
  }
  m_records.push_back(std::move(record));
  return drop;
}

std::optional<PictureRecord> CFrameQueue::TryPop() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_records.empty()) return std::nullopt;
  PictureRecord r = std::move(m_records.front());
  m_records.pop_front();
  return r;
}

std::optional<PictureRecord> CFrameQueue::TakeNewest() {
  std::deque<PictureRecord> older;  // freed outside the lock
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_records.empty()) return std::nullopt;
  PictureRecord r = std::move(m_records.back());
  m_records.pop_back();
  older.swap(m_records);
  return r;
}

void CFrameQueue::Clear() {
  std::deque<PictureRecord> old;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    old.swap(m_records);
  }
}

size_t CFrameQueue::Size() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_records.size();
}

}  // namespace kx
