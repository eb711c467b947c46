// The last seconds of a stream's sound, kept for saving: a ring of
// interleaved float frames that the decode thread fills and the window's
// thread copies out. Plain C++: no decoder, sound server or window.
#pragma once

#include <cstddef>
#include <mutex>
#include <vector>

namespace kx {

class CSoundRing {
 public:
  // Room for `frames` frames of `channels` values each, at `rate` frames a second.
  CSoundRing(size_t frames, int channels, int rate);
  CSoundRing(const CSoundRing&) = delete;
  CSoundRing& operator=(const CSoundRing&) = delete;

  // Appends `frames` frames; the oldest go when the ring is full. A copy
  // under a short lock: the caller is the decode thread.
  void Push(const float* interleaved, size_t frames);
  // The frames held, oldest first.
  std::vector<float> Snapshot() const;
  size_t Frames() const;
  size_t Capacity() const { return m_capacity; }
  int Channels() const { return m_channels; }
  int Rate() const { return m_rate; }
  void Clear();

 private:
  const size_t m_capacity;
  const int m_channels;
  const int m_rate;
  mutable std::mutex m_lock;
  std::vector<float> m_values;  // m_capacity frames
  size_t m_next = 0;            // frame written next
  size_t m_held = 0;            // frames held, at most m_capacity
};

}  // namespace kx
