#include "media/picture_convert.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace kx {

bool ConvertPictureToBgra(SwsContext*& converter, const AVFrame& frame, int width, int height, uint8_t* bgra) {
  const bool scaled = width != frame.width || height != frame.height;
  const bool smaller = width <= frame.width && height <= frame.height;
  const int flags = !scaled ? SWS_FAST_BILINEAR : smaller ? SWS_AREA : SWS_BICUBIC;
  converter = sws_getCachedContext(converter, frame.width, frame.height, static_cast<AVPixelFormat>(frame.format),
                                   width, height, AV_PIX_FMT_BGRA, flags, nullptr, nullptr, nullptr);
  if (!converter) return false;
  uint8_t* dst[4];
  int dstLines[4];
  av_image_fill_arrays(dst, dstLines, bgra, AV_PIX_FMT_BGRA, width, height, 1);
  sws_scale(converter, frame.data, frame.linesize, 0, frame.height, dst, dstLines);
  return true;
}

}  // namespace kx
