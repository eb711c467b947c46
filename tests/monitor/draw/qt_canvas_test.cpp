// The QPainter canvas on real images: where lines and outlines land, label
// text and eliding, bitmap opacity and the premultiplied byte order.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QGuiApplication>
#include <vector>

#include "monitor/draw/qt_canvas.h"

namespace kx::draw {
namespace {

class QtCanvas : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "kxQtCanvasTest";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
  }
  // Counts pixels that differ from the cleared background.
  static int Inked(const QImage& img, QRect area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
      for (int x = area.left(); x <= area.right(); ++x) n += img.pixel(x, y) != 0u;
    return n;
  }
};

TEST_F(QtCanvas, GeometryLandsOnWholePixels) {
  CQtBitmap bmp;
  ASSERT_TRUE(bmp.Create(100, 60));
  CQtCanvas c;
  c.SetBrushColor(BrushId::Axis, ColorFromRef(0x00FF8040));  // r 0x40, g 0x80, b 0xFF
  ASSERT_TRUE(c.Begin(bmp));
  c.Clear(ColorF{0, 0, 0, 0});
  c.DrawRect(RectF{57, 20, 44, 20}, BrushId::Axis);
  c.DrawLine(PointF{10, 40}, PointF{10, 49}, BrushId::Axis);
  c.FillRect(RectF{70, 5, 80, 10}, BrushId::Axis);
  c.End();
  const QImage& img = bmp.Image();
  // Memory order B, G, R, A.
  const uchar* px = img.constScanLine(20) + 50 * 4;
  EXPECT_EQ((std::vector<uchar>(px, px + 4)), (std::vector<uchar>{0xFF, 0x80, 0x40, 0xFF}));
  // The zero-height outline is exactly one row from x = 44 to 57; the line one
  // column; a filled rectangle covers [left, right) x [top, bottom); nothing else.
  EXPECT_EQ(Inked(img, QRect(44, 20, 14, 1)), 14);
  EXPECT_EQ(Inked(img, QRect(10, 40, 1, 10)), 10);
  EXPECT_EQ(Inked(img, QRect(70, 5, 10, 5)), 50);
  EXPECT_EQ(Inked(img, img.rect()), 14 + 10 + 50);
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 100; ++x) ASSERT_TRUE(qAlpha(img.pixel(x, y)) % 255 == 0) << x << "," << y;  // aliased
}

TEST_F(QtCanvas, LabelsUseTheBoldSubstituteAndElide) {
  CQtCanvas c;
  const QFontInfo info(c.LabelFont());
  EXPECT_TRUE(info.bold());
  EXPECT_EQ(info.pixelSize(), 9);
  CQtBitmap bmp;
  ASSERT_TRUE(bmp.Create(200, 40));
  c.SetBrushColor(BrushId::Axis, ColorF{1, 1, 1, 1});
  ASSERT_TRUE(c.Begin(bmp));
  c.Clear(ColorF{0, 0, 0, 0});
  const char* text = "-35 dB of a long label";
  c.DrawText(text, RectF{10, 2, 190, 8}, BrushId::Axis);  // wide: whole text
  c.DrawText(text, RectF{10, 20, 40, 26}, BrushId::Axis);  // 30 pixels: cut
  c.End();
  const QImage& img = bmp.Image();
  EXPECT_GT(Inked(img, QRect(80, 0, 120, 18)), 0);   // the whole text
  EXPECT_GT(Inked(img, QRect(10, 18, 20, 22)), 0);   // the cut one...
  EXPECT_EQ(Inked(img, QRect(43, 18, 157, 22)), 0);  // ...ends in its box
  EXPECT_GT(Inked(img, QRect(10, 9, 180, 9)), 0);    // not clipped to the 6-pixel box
  EXPECT_EQ(Inked(img, QRect(0, 0, 10, 40)), 0);     // left aligned at x = 10
}

TEST_F(QtCanvas, BitmapWithOpacityAndPaths) {
  CQtBitmap src;
  ASSERT_TRUE(src.Create(4, 4));
  src.Image().fill(qRgba(255, 0, 0, 255));
  CQtBitmap dst;
  ASSERT_TRUE(dst.Create(40, 40));
  CQtCanvas c;
  c.SetBrushColor(BrushId::SpectrumFill, ColorF{0, 0, 1, 0.5f});
  ASSERT_TRUE(c.Begin(dst));
  c.Clear(ColorF{0, 0, 0, 1});
  c.DrawBitmap(src, RectF{0, 0, 8, 8}, 0.5f, RectF{0, 0, 4, 4});
  auto path = c.CreatePath();
  ASSERT_TRUE(path);
  path->BeginFigure(PointF{20, 39});
  path->AddLine(PointF{20, 20});
  path->AddLine(PointF{39, 20});
  path->AddLine(PointF{39, 39});
  path->EndFigure(true);
  c.FillPath(*path, BrushId::SpectrumFill);
  c.End();
  const QImage& img = dst.Image();
  EXPECT_NEAR(qRed(img.pixel(4, 4)), 128, 2);
  EXPECT_EQ(img.pixel(10, 10), qRgba(0, 0, 0, 255));
  EXPECT_NEAR(qBlue(img.pixel(30, 30)), 128, 2);
  EXPECT_EQ(qBlue(img.pixel(10, 30)), 0);
  CQtBitmap none;
  EXPECT_FALSE(none.Create(0, 10));
  EXPECT_FALSE(c.Begin(none));
}

}  // namespace
}  // namespace kx::draw
