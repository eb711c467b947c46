#include "media/picture_pool.h"

namespace kx {

namespace {
// Spare buffers kept beyond this are freed: enough for the queue bound, the
// FIFO's slot and the picture being shown.
constexpr size_t kMaxFree = 8;
}  // namespace

CPicturePool::CPicturePool() : m_state(std::make_shared<State>()) {}

std::shared_ptr<PicturePixels> CPicturePool::Acquire(size_t bytes) {
  std::unique_ptr<PicturePixels> buffer;
  {
    std::lock_guard<std::mutex> lock(m_state->mutex);
    while (!m_state->free.empty()) {
      buffer = std::move(m_state->free.back());
      m_state->free.pop_back();
      if (buffer->size() == bytes) break;
      buffer.reset();  // another picture size: drop it
    }
    if (!buffer) ++m_state->allocated;
  }
  if (!buffer) buffer = std::make_unique<PicturePixels>(bytes);
  std::weak_ptr<State> home = m_state;
  return std::shared_ptr<PicturePixels>(buffer.release(), [home](PicturePixels* p) {
    std::unique_ptr<PicturePixels> owned(p);
    if (auto state = home.lock()) {
      std::lock_guard<std::mutex> lock(state->mutex);
      if (state->free.size() < kMaxFree) state->free.push_back(std::move(owned));
    }
  });
}

size_t CPicturePool::FreeCount() const {
  std::lock_guard<std::mutex> lock(m_state->mutex);
  return m_state->free.size();
}

size_t CPicturePool::AllocatedCount() const {
  std::lock_guard<std::mutex> lock(m_state->mutex);
  return m_state->allocated;
}

}  // namespace kx
