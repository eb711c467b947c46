// A decoded picture into opaque BGRA in one step, at its own size or straight
// at the size it is shown at: no second pass scales it again.
#pragma once

#include <cstdint>

struct AVFrame;
struct SwsContext;

namespace kx {

// Converts `frame` into `bgra` (width x height, line size width x 4). At the
// picture's own size the fastest bilinear conversion is used; made smaller,
// area averaging (the cheapest scaling, and the closest to the painter's
// smooth scaling it replaces); made larger, bicubic. `converter` is reused while the sizes and format stay and
// remade when they change; the caller frees it (sws_freeContext). False
// when no converter can be made.
bool ConvertPictureToBgra(SwsContext*& converter, const AVFrame& frame, int width, int height, uint8_t* bgra);

}  // namespace kx
