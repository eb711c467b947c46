// A picture converted straight to the size it is shown at (one step on the
// decode thread) against what the view showed before: the picture converted
// at the camera's size and stretched into the box by the painter. The
// interpolation differs on purpose (area averaging or bicubic from the
// decoder's planes instead of the painter's smooth scaling of BGRA, 34 to
// 43 dB apart on this picture), so where the picture is
// scaled the bound is on image quality (PSNR), and where it is not, pixels.
#include <cmath>

extern "C" {
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include "media/picture_convert.h"
#include "view/draw_view.h"
#include "view_fixture.h"
#include "session_test_access.h"

namespace kx {
namespace {

auto* const kQt = ::testing::AddGlobalTestEnvironment(new test::QtEnvironment("offscreen"));

// A camera picture in the decoder's own planes: soft shading, hard-edged
// shapes and stripes a few pixels wide, in colour.
AVFrame* CameraFrame(int w, int h) {
  AVFrame* f = av_frame_alloc();
  f->width = w;
  f->height = h;
  f->format = AV_PIX_FMT_YUV420P;
  if (av_frame_get_buffer(f, 32) < 0) return f;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      double v = 128 + 50 * std::sin(x / 37.0) * std::cos(y / 23.0);
      if ((x / (w / 7)) % 2 == 0 && y > h / 3 && y < h / 2) v = 225;  // bright blocks
      if (x > w / 2 && y > 2 * h / 3) v += ((x / 4) % 2 ? 40 : -40);  // stripes 4 px wide
      f->data[0][y * f->linesize[0] + x] = static_cast<uint8_t>(std::clamp(v, 16.0, 235.0));
    }
  for (int y = 0; y < h / 2; ++y)
    for (int x = 0; x < w / 2; ++x) {
      f->data[1][y * f->linesize[1] + x] = static_cast<uint8_t>(128 + 80.0 * x / w);
      f->data[2][y * f->linesize[2] + x] = static_cast<uint8_t>(90 + 120.0 * y / h);
    }
  return f;
}

PictureRecord Convert(const AVFrame& frame, int w, int h) {
  PictureRecord r;
  auto pixels = std::make_shared<PicturePixels>(static_cast<size_t>(w) * h * 4);
  SwsContext* converter = nullptr;
  const bool ok = ConvertPictureToBgra(converter, frame, w, h, pixels->data());
  sws_freeContext(converter);
  if (!ok) return r;
  r.width = w;
  r.height = h;
  r.generation = NextPictureGeneration();
  r.pixels = std::move(pixels);
  return r;
}

// PSNR of the colour channels in the rectangle, a border of two pixels left
// out (where the box's rounding and the filters' edge rules differ).
double Psnr(const QImage& a, const QImage& b, QRect area) {
  area.adjust(2, 2, -2, -2);
  double sum = 0;
  int64_t n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      for (int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)}) sum += d * d;
      n += 3;
    }
  const double mse = sum / static_cast<double>(n);
  return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

TEST(PictureScaling, MadeAtTheShownSizeLooksAsTheStretchedPicture) {
  test::ViewParts parts;
  parts.settings.ShowWidgets = 2;  // the picture alone
  CDrawView view(parts.settings, parts.target);
  view.StopRenderThread();
  struct Case {
    int w, h, cameraW, cameraH;
  } cases[] = {
      {1280, 720, 1920, 1080},  // scaled down by 1.5
      {1001, 633, 1280, 720},   // odd view: the box has half-pixel edges
      {1001, 633, 640, 360},    // scaled up
      {800, 600, 1920, 1080},   // bars above and below
      {1920, 1080, 1920, 1080}, // one to one: nothing scaled, the same pixels
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.cameraW << "x" << c.cameraH << " in " << c.w << "x" << c.h);
    CPreviewSessionTestAccess::SetVideoSize(view.Session(), {c.cameraW, c.cameraH});
    view.ResizeTargets(c.w, c.h);
    const VideoSize shown = view.ShownPictureSize();
    AVFrame* frame = CameraFrame(c.cameraW, c.cameraH);
    view.PresentPicture(Convert(*frame, c.cameraW, c.cameraH));
    view.ComposeFrame();
    const QImage before = view.LastFrame();
    const uint64_t scalings = view.PictureScalings();
    view.PresentPicture(Convert(*frame, shown.cx, shown.cy));
    view.ComposeFrame();
    const QImage after = view.LastFrame();
    av_frame_free(&frame);
    EXPECT_EQ(view.PictureScalings(), scalings) << "the picture made for the box was scaled again";
    const draw::RectF box = draw::LetterboxPixels(static_cast<float>(c.w), static_cast<float>(c.h));
    const QRect area(static_cast<int>(box.left), static_cast<int>(box.top), shown.cx, shown.cy);
    ASSERT_EQ(QSize(shown.cx, shown.cy), area.size());
    if (c.w == c.cameraW && c.h == c.cameraH) {
      EXPECT_EQ(after, before);
      continue;
    }
    const double psnr = Psnr(before, after, area);
    EXPECT_GT(psnr, 30.0);
    // Outside the box the bars stay black.
    if (area.top() > 0) {
      EXPECT_EQ(after.pixel(c.w / 2, area.top() - 1), qRgb(0, 0, 0));
    }
    if (area.left() > 0) {
      EXPECT_EQ(after.pixel(area.left() - 1, c.h / 2), qRgb(0, 0, 0));
    }
  }
}

}  // namespace
}  // namespace kx
