#include "png_image.h"

#include <algorithm>
#include <cmath>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

namespace kx::probe {

std::vector<uint8_t> EncodePng(const RgbImage& image) {
  std::vector<uint8_t> png;
  if (image.width <= 0 || image.height <= 0 ||
      image.pixels.size() < static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 3)
    return png;
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_PNG);
  if (!codec) return png;
  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  AVFrame* frame = av_frame_alloc();
  AVPacket* packet = av_packet_alloc();
  if (ctx && frame && packet) {
    ctx->width = image.width;
    ctx->height = image.height;
    ctx->pix_fmt = AV_PIX_FMT_RGB24;
    ctx->time_base = AVRational{1, 1};
    if (avcodec_open2(ctx, codec, nullptr) == 0) {
      frame->format = AV_PIX_FMT_RGB24;
      frame->width = image.width;
      frame->height = image.height;
      frame->data[0] = const_cast<uint8_t*>(image.pixels.data());
      frame->linesize[0] = image.width * 3;
      if (avcodec_send_frame(ctx, frame) == 0 && avcodec_send_frame(ctx, nullptr) == 0 &&
          avcodec_receive_packet(ctx, packet) == 0)
        png.assign(packet->data, packet->data + packet->size);
    }
  }
  av_packet_free(&packet);
  av_frame_free(&frame);  // the pixels stay the image's
  avcodec_free_context(&ctx);
  return png;
}

RgbImage ScaledSnapshot(const uint8_t* bgra, int width, int height, int lineSize, int maxWidth) {
  RgbImage out;
  if (!bgra || width <= 0 || height <= 0 || maxWidth <= 0) return out;
  out.width = std::min(width, maxWidth);
  out.height = std::max(1, static_cast<int>(std::lround(static_cast<double>(height) * out.width / width)));
  out.pixels.assign(static_cast<size_t>(out.width) * out.height * 3, 0);
  SwsContext* sws = sws_getContext(width, height, AV_PIX_FMT_BGRA, out.width, out.height, AV_PIX_FMT_RGB24,
                                   SWS_AREA | SWS_FULL_CHR_H_INT | SWS_FULL_CHR_H_INP | SWS_ACCURATE_RND, nullptr,
                                   nullptr, nullptr);
  if (!sws) return RgbImage{};
  const uint8_t* src[4] = {bgra, nullptr, nullptr, nullptr};
  const int srcStride[4] = {lineSize, 0, 0, 0};
  uint8_t* dst[4] = {out.pixels.data(), nullptr, nullptr, nullptr};
  const int dstStride[4] = {out.width * 3, 0, 0, 0};
  sws_scale(sws, src, srcStride, 0, height, dst, dstStride);
  sws_freeContext(sws);
  return out;
}

RgbImage DrawSpectrum(const std::vector<double>& power, double binHz, int width, int height) {
  RgbImage img;
  if (width <= 0 || height <= 0) return img;
  img.width = width;
  img.height = height;
  img.pixels.assign(static_cast<size_t>(width) * height * 3, 0);
  const auto put = [&](int x, int y, uint8_t r, uint8_t g, uint8_t b) {
    uint8_t* p = &img.pixels[(static_cast<size_t>(y) * width + x) * 3];
    p[0] = r, p[1] = g, p[2] = b;
  };
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) put(x, y, 24, 28, 36);
  if (power.size() < 2 || binHz <= 0) return img;
  double top = 0;
  for (size_t k = 1; k < power.size(); ++k) top = std::max(top, power[k]);
  if (top <= 0) return img;
  constexpr double kRangeDb = 60;
  const double lo = std::log10(20.0), hi = std::log10(binHz * static_cast<double>(power.size() - 1));
  // Grid lines at 100 Hz, 1 kHz and 10 kHz.
  for (double f : {100.0, 1000.0, 10000.0}) {
    const int x = static_cast<int>((std::log10(f) - lo) / (hi - lo) * width);
    if (x >= 0 && x < width)
      for (int y = 0; y < height; ++y) put(x, y, 60, 66, 80);
  }
  for (int x = 0; x < width; ++x) {
    // The strongest bin under this column.
    const double f0 = std::pow(10.0, lo + (hi - lo) * x / width), f1 = std::pow(10.0, lo + (hi - lo) * (x + 1) / width);
    size_t k0 = std::max<size_t>(1, static_cast<size_t>(f0 / binHz)), k1 = static_cast<size_t>(std::ceil(f1 / binHz));
    k1 = std::min(std::max(k1, k0 + 1), power.size());
    double p = 0;
    for (size_t k = k0; k < k1; ++k) p = std::max(p, power[k]);
    if (p <= 0) continue;
    const double db = std::max(-kRangeDb, 10 * std::log10(p / top));
    const int bar = static_cast<int>(std::lround((db + kRangeDb) / kRangeDb * height));
    for (int y = height - bar; y < height; ++y) put(x, y, 64, 200, 120);
  }
  return img;
}

}  // namespace kx::probe
