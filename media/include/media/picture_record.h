// A picture record: the newest converted BGRA picture (at the size the view
// shows it, or the camera's own) as it travels with an audio chunk to the
// render loop and on to the view. The record shares ownership of its pixels,
// so they stay valid and unchanged for as long as any record shows them; the
// decode side writes each new picture into a buffer no record holds.
//
// A record's generation names its picture for the whole process: buffers
// come back to the pool and serials start again with each run, so neither
// the pixel pointer nor the serial tells a new picture from one already shown.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace kx {

using PicturePixels = std::vector<uint8_t>;  // B, G, R, A; rows top to bottom

struct PictureRecord {
  int32_t width = 0;
  int32_t height = 0;
  int64_t pts = 0;  // serial of the picture within its decode run
  uint64_t generation = 0;  // from NextPictureGeneration; a later picture has a larger one
  std::shared_ptr<const PicturePixels> pixels;

  // A record without a picture (audio-only playback, nothing decoded yet).
  bool Empty() const { return width <= 0 || height <= 0 || !pixels; }
  int32_t LineSize() const { return width * 4; }
  const uint8_t* Data() const { return pixels ? pixels->data() : nullptr; }
};

namespace detail {
inline std::atomic<uint64_t> g_nextPictureGeneration{1};
}
// A new generation for a converted picture: never 0, never repeated, rising.
// Thread-safe.
inline uint64_t NextPictureGeneration() {
  return detail::g_nextPictureGeneration.fetch_add(1, std::memory_order_relaxed);
}
// The generation the next picture will get (all earlier ones are smaller).
inline uint64_t UpcomingPictureGeneration() {
  return detail::g_nextPictureGeneration.load(std::memory_order_relaxed);
}

}  // namespace kx
