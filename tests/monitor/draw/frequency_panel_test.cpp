// Spectrum panel geometry and the frequency axis, through the recording canvas.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <vector>

#include "monitor/draw/recording_canvas.h"
#include "monitor/draw/widgets.h"

namespace kx::draw {
namespace {

using Kind = DrawOp::Kind;

struct Spectrum {
  CRecordingCanvas canvas;
  std::vector<double> bins = std::vector<double>(4096, 0.0);
  void Draw(int w, int h, int bound = 80, int mode = 0) {
    canvas.ops.clear();
    DrawSpectrumPanel(canvas, SpectrumInput{w, h, bins, bound, mode});
  }
  std::vector<DrawOp> Paths(Kind kind) const { return canvas.Of(kind); }
  std::vector<DrawOp> Texts() const { return canvas.Of(Kind::DrawText); }
};

TEST(FreqAtPixel, LogarithmicAxisFromTenHertz) {
  const RectF rc{0, 0, 397, 200};
  EXPECT_DOUBLE_EQ(FreqAtPixel(30, rc), 10.0);
  EXPECT_NEAR(FreqAtPixel(130, rc), 99.7, 0.1);  // one decade is 100.13 pixels
  EXPECT_NEAR(FreqAtPixel(360, rc), 19762, 1);
  EXPECT_EQ(FreqAtPixel(29, rc), 0.0);
  EXPECT_EQ(FreqAtPixel(30 + 401, rc), 0.0);  // past four decades
}

TEST(SpectrumPanel, AxisMarksAndLabels) {
  Spectrum s;
  s.Draw(397, 200);
  const auto lines = s.canvas.Of(Kind::DrawLine);
  ASSERT_EQ(lines.size(), 29u);
  const auto texts = s.Texts();
  std::vector<std::string> freq;
  for (const auto& t : texts)
    if (t.rect.top == 174) freq.push_back(t.text);
  ASSERT_EQ(freq.size(), 29u);
  EXPECT_EQ(freq[0], "10");
  EXPECT_EQ(freq[8], "90");
  EXPECT_EQ(freq[9], "100");
  EXPECT_EQ(freq[18], "1 K");
  EXPECT_EQ(freq[26], "9 K");
  EXPECT_EQ(freq[27], "10 K");
  EXPECT_EQ(freq[28], "20 K");
  // Decade marks of a 397-pixel image.
  EXPECT_NEAR(lines[0].from.x, 30, 1e-4);
  EXPECT_NEAR(lines[9].from.x, 130.1, 0.05);
  EXPECT_NEAR(lines[18].from.x, 230.3, 0.05);
  EXPECT_NEAR(lines[27].from.x, 330.4, 0.05);
  EXPECT_EQ(lines[9].from.y, 10);
  EXPECT_EQ(lines[9].to.y, 174);
  EXPECT_NEAR(texts[1].rect.left, 30 + 0.30103 * 100.13 - 2, 0.01);  // "20" at 30 + log10(2) dec - 2
  EXPECT_EQ(texts[0].rect.bottom, 184);

  // The frame reaches to the 20 kHz mark.
  const auto rects = s.canvas.Of(Kind::DrawRect);
  ASSERT_FALSE(rects.empty());
  EXPECT_EQ(rects[0].rect.left, 30);
  EXPECT_EQ(rects[0].rect.top, 10);
  EXPECT_NEAR(rects[0].rect.right, 30 + 3.30103 * 100.13, 0.05);
  EXPECT_EQ(rects[0].rect.bottom, 174);
}

TEST(SpectrumPanel, DecibelAxisOfBoundTwenty) {
  Spectrum s;
  s.Draw(397, 236, 20);
  std::vector<DrawOp> db;
  for (const auto& t : s.Texts())
    if (t.rect.left == 2 || t.rect.left == 397 - 33) db.push_back(t);
  ASSERT_EQ(db.size(), 4u);
  EXPECT_EQ(db[0].text, "0");
  EXPECT_EQ(db[0].rect, (RectF{2, 10, 27, 30}));
  EXPECT_EQ(db[1].rect, (RectF{364, 10, 389, 30}));
  EXPECT_EQ(db[2].text, "-10");
  EXPECT_EQ(db[2].rect, (RectF{2, 110, 27, 130}));
  const auto rects = s.canvas.Of(Kind::DrawRect);
  ASSERT_EQ(rects.size(), 2u);  // frame and one grid line
  EXPECT_EQ(rects[1].rect.top, 110);
  EXPECT_EQ(rects[1].rect.bottom, 110);
  // Default depth 80: "0" .. "-70", the bound itself unlabelled.
  s.Draw(397, 236, 80);
  int left = 0;
  std::string last;
  for (const auto& t : s.Texts())
    if (t.rect.left == 2) ++left, last = t.text;
  EXPECT_EQ(left, 8);
  EXPECT_EQ(last, "-70");
}

TEST(SpectrumPanel, SilenceLiesFlatOnTheBottomLine) {
  Spectrum s;
  s.Draw(397, 200);
  const auto outline = s.Paths(Kind::DrawPath), fill = s.Paths(Kind::FillPath);
  ASSERT_EQ(outline.size(), 1u);
  ASSERT_EQ(fill.size(), 1u);
  EXPECT_EQ(outline[0].brush, BrushId::Spectrum);
  EXPECT_EQ(fill[0].brush, BrushId::SpectrumFill);
  ASSERT_EQ(outline[0].figures.size(), 1u);
  for (const auto& p : outline[0].figures[0]) EXPECT_EQ(p.y, 174);
  EXPECT_FALSE(outline[0].closed[0]);
  const auto& f = fill[0].figures[0];
  EXPECT_EQ(f.front(), (PointF{30, 174}));
  EXPECT_EQ(f.back(), (PointF{360, 174}));
  EXPECT_TRUE(fill[0].closed[0]);
  // One point per bin: the first pixels share bin 0, so x = 30 is taken once.
  EXPECT_EQ(outline[0].figures[0][0], (PointF{30, 174}));
  EXPECT_EQ(outline[0].figures[0][1].x, 30);
  EXPECT_GT(outline[0].figures[0][2].x, 30 + 5);
  // Outline drawn before the fill.
  size_t iOutline = 0, iFill = 0;
  for (size_t i = 0; i < s.canvas.ops.size(); ++i) {
    if (s.canvas.ops[i].kind == Kind::DrawPath) iOutline = i;
    if (s.canvas.ops[i].kind == Kind::FillPath) iFill = i;
  }
  EXPECT_LT(iOutline, iFill);
}

TEST(SpectrumPanel, FortyDecibelsLieOnTheZeroLine) {
  Spectrum s;
  // Near 1 kHz a pixel of a 397-wide image spans about two bins: light a few.
  for (int b = 80; b <= 90; ++b) s.bins[b] = 10000.0;  // 40 dB
  for (int b = 160; b <= 180; ++b) s.bins[b] = 100.0;  // 20 dB
  s.Draw(397, 236, 20);
  const auto pts = s.Paths(Kind::DrawPath).at(0).figures.at(0);
  int top = 0, lower = 0;
  for (size_t i = 1; i < pts.size(); ++i) {
    const auto& p = pts[i];
    const int bin = static_cast<int>(FreqAtPixel(static_cast<int>(p.x), RectF{0, 0, 397, 236}) * 4096 / 48000);
    if (bin >= 80 && bin <= 90) {
      EXPECT_EQ(p.y, 10) << p.x;
      ++top;
    } else if (bin >= 160 && bin <= 180) {
      EXPECT_FLOAT_EQ(p.y, 10 + 20 * 10) << p.x;
      ++lower;
    } else {
      EXPECT_EQ(p.y, 236 - 26) << p.x;
    }
  }
  EXPECT_GE(top, 3);
  EXPECT_GE(lower, 3);
  // The first 40 dB point is the first pixel at or above bin 80 (937.5 Hz).
  for (const auto& p : pts)
    if (p.y == 10) {
      EXPECT_NEAR(p.x, 30 + std::log10(937.5 / 10) * 100.13, 1.0);
      break;
    }
}

TEST(SpectrumPanel, BarsStartWithAPoint) {
  Spectrum s;
  s.bins[0] = 1e4;
  s.Draw(397, 200, 80, 1);
  const auto out = s.Paths(Kind::DrawPath).at(0).figures.at(0);
  ASSERT_GE(out.size(), 5u);
  EXPECT_EQ(out[0], (PointF{30, 10}));
  EXPECT_EQ(out[1], (PointF{30, 10}));
  EXPECT_EQ(out[2], (PointF{30, 10}));
  // Next bin: a step at the previous x, then across.
  EXPECT_EQ(out[3].x, 30);
  EXPECT_EQ(out[3].y, 174);
  EXPECT_EQ(out[4].y, 174);
  EXPECT_GT(out[4].x, 30);
  const auto fill = s.Paths(Kind::FillPath).at(0).figures.at(0);
  EXPECT_EQ(fill.front(), (PointF{30, 174}));
  EXPECT_EQ(fill.back(), (PointF{360, 174}));
}

// A narrow image draws no curve; no bound (0 or below) no dB axis and no
// curve; a stored bound far past the list keeps its scale but neither stalls
// nor floods the frame: the labels stop at -10000 dB.
TEST(SpectrumPanel, NarrowImagesAndUnusualBounds) {
  Spectrum s;
  s.Draw(66, 200);
  EXPECT_TRUE(s.Paths(Kind::DrawPath).empty());
  EXPECT_TRUE(s.Paths(Kind::FillPath).empty());
  EXPECT_EQ(s.canvas.Of(Kind::DrawLine).size(), 29u);
  EXPECT_FALSE(s.Texts().empty());
  s.bins[85] = 1e6;
  for (int bound : {0, -10}) {
    s.Draw(397, 200, bound);
    EXPECT_TRUE(s.Paths(Kind::DrawPath).empty());
    EXPECT_EQ(s.canvas.Of(Kind::DrawRect).size(), 1u);  // the frame only
    for (const auto& t : s.Texts()) EXPECT_EQ(t.rect.top, 174) << t.text;  // frequency labels only
  }
  s.Draw(397, 200, 1000);
  const size_t thousand = s.Texts().size();
  EXPECT_GE(thousand, 200u);  // 100 labels on each side, and the frequency labels
  for (int bound : {20000, INT32_MAX}) {
    s.Draw(397, 200, bound);
    EXPECT_LE(s.Texts().size(), thousand + 2 * 1000) << bound;
    EXPECT_GT(s.Texts().size(), thousand) << bound;
    for (const auto& op : s.canvas.ops) ASSERT_TRUE(std::isfinite(op.rect.top) && std::isfinite(op.rect.bottom));
  }
}

TEST(ColorFromRef, OpacityOutsideItsRangeStillDraws) {
  EXPECT_EQ(ColorFromRef(0x0000FF, 5.0f).a, 1.0f);  // OpacitySpectrum 500
  EXPECT_EQ(ColorFromRef(0x0000FF, -0.2f).a, 0.0f);
  EXPECT_EQ(ColorFromRef(0x0000FF, NAN).a, 1.0f);
  EXPECT_EQ(ColorFromRef(0x0000FF, 0.5f).a, 0.5f);
  EXPECT_EQ(ColorFromRef(0x0000FF, 0.5f).r, 1.0f);
}

}  // namespace
}  // namespace kx::draw
