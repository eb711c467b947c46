#include "media/sound_ring.h"

#include <algorithm>
#include <cstring>

namespace kx {

CSoundRing::CSoundRing(size_t frames, int channels, int rate)
    : m_capacity(frames), m_channels(channels), m_rate(rate), m_values(frames * static_cast<size_t>(channels)) {}

void CSoundRing::Push(const float* interleaved, size_t frames) {
  if (m_capacity == 0 || frames == 0) return;
  const size_t ch = static_cast<size_t>(m_channels);
  // Only the newest capacity's worth can stay.
  if (frames > m_capacity) {
    interleaved += (frames - m_capacity) * ch;
    frames = m_capacity;
  }
  std::lock_guard<std::mutex> lock(m_lock);
  const size_t first = std::min(frames, m_capacity - m_next);
  std::memcpy(&m_values[m_next * ch], interleaved, first * ch * sizeof(float));
  if (frames > first) std::memcpy(m_values.data(), interleaved + first * ch, (frames - first) * ch * sizeof(float));
  m_next = (m_next + frames) % m_capacity;
  m_held = std::min(m_capacity, m_held + frames);
}

std::vector<float> CSoundRing::Snapshot() const {
  const size_t ch = static_cast<size_t>(m_channels);
  std::lock_guard<std::mutex> lock(m_lock);
  if (m_held == 0) return {};
  std::vector<float> out(m_held * ch);
  const size_t start = (m_next + m_capacity - m_held) % m_capacity;
  const size_t first = std::min(m_held, m_capacity - start);
  std::memcpy(out.data(), &m_values[start * ch], first * ch * sizeof(float));
  if (m_held > first) std::memcpy(out.data() + first * ch, m_values.data(), (m_held - first) * ch * sizeof(float));
  return out;
}

size_t CSoundRing::Frames() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_held;
}

void CSoundRing::Clear() {
  std::lock_guard<std::mutex> lock(m_lock);
  m_next = 0;
  m_held = 0;
}

}  // namespace kx
