// A picture record: the newest converted BGRA picture as it travels with an
// audio chunk to the render loop. The record shares ownership of its pixels,
// so they stay valid and unchanged for as long as any record shows them; the
// decode side writes each new picture into a buffer no record holds.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace kx {

using PicturePixels = std::vector<uint8_t>;  // B, G, R, A; rows top to bottom

struct PictureRecord {
  int32_t width = 0;
  int32_t height = 0;
  int64_t pts = 0;  // serial of the picture within its decode run
  std::shared_ptr<const PicturePixels> pixels;

  // A record without a picture (audio-only playback, nothing decoded yet).
  bool Empty() const { return width <= 0 || height <= 0 || !pixels; }
  int32_t LineSize() const { return width * 4; }
  const uint8_t* Data() const { return pixels ? pixels->data() : nullptr; }
};

}  // namespace kx
