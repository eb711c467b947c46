// Spectrum panel geometry and the frequency axis, through the recording canvas.
#include <gtest/gtest.h>

#include <algorithm>
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
  std::vector<PointF> Curve(Kind kind) const { return canvas.Of(kind).at(0).figures.at(0); }
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

TEST(SpectrumPanel, FrequencyAndDecibelAxes) {
  Spectrum s;
  s.Draw(397, 236, 20);
  const auto lines = s.canvas.Of(Kind::DrawLine);
  ASSERT_EQ(lines.size(), 29u);
  std::vector<std::string> freq, db;
  for (const auto& t : s.Texts()) {
    if (t.rect.top == 210) freq.push_back(t.text);
    if (t.rect.left == 2) db.push_back(t.text);
  }
  ASSERT_EQ(freq.size(), 29u);
  EXPECT_EQ(std::vector<std::string>(freq.begin() + 7, freq.begin() + 11),
            (std::vector<std::string>{"80", "90", "100", "200"}));
  EXPECT_EQ(freq[18], "1 K");
  EXPECT_EQ(freq[27], "10 K");
  EXPECT_EQ(freq[28], "20 K");
  // Decade marks of a 397-pixel image; the frame reaches to the 20 kHz mark.
  EXPECT_NEAR(lines[0].from.x, 30, 1e-4);
  EXPECT_NEAR(lines[18].from.x, 230.3, 0.05);
  EXPECT_EQ(lines[9].from.y, 10);
  EXPECT_EQ(lines[9].to.y, 210);
  const auto rects = s.canvas.Of(Kind::DrawRect);
  ASSERT_EQ(rects.size(), 2u);  // frame and one grid line
  EXPECT_EQ(rects[0].rect, (RectF{30, 10, rects[0].rect.right, 210}));
  EXPECT_NEAR(rects[0].rect.right, 30 + 3.30103 * 100.13, 0.05);
  // Bound 20: "0" and "-10" on both sides, the -10 line 100 pixels down.
  EXPECT_EQ(db, (std::vector<std::string>{"0", "-10"}));
  EXPECT_EQ(rects[1].rect.top, 110);
  for (const auto& t : s.Texts()) EXPECT_TRUE(t.text != "-10" || t.rect.top == 110) << t.rect.left;
  // Default depth 80: "0" .. "-70", the bound itself unlabelled.
  s.Draw(397, 236, 80);
  db.clear();
  for (const auto& t : s.Texts())
    if (t.rect.left == 2) db.push_back(t.text);
  ASSERT_EQ(db.size(), 8u);
  EXPECT_EQ(db.back(), "-70");
}

// Silence lies on the bottom line (outline open, fill closed, outline drawn
// first, one point per bin); bars start with a point at the first bin.
TEST(SpectrumPanel, CurveOfSilenceAndOfBars) {
  Spectrum s;
  s.Draw(397, 200);
  ASSERT_EQ(s.canvas.Of(Kind::DrawPath).size(), 1u);
  const DrawOp outline = s.canvas.Of(Kind::DrawPath)[0], fill = s.canvas.Of(Kind::FillPath).at(0);
  EXPECT_EQ(outline.brush, BrushId::Spectrum);
  EXPECT_EQ(fill.brush, BrushId::SpectrumFill);
  for (const auto& p : outline.figures.at(0)) EXPECT_EQ(p.y, 174);
  EXPECT_FALSE(outline.closed[0]);
  EXPECT_TRUE(fill.closed[0]);
  EXPECT_EQ(fill.figures[0].front(), (PointF{30, 174}));
  EXPECT_EQ(fill.figures[0].back(), (PointF{360, 174}));
  // The first pixels share bin 0, so x = 30 is taken once.
  EXPECT_EQ(outline.figures[0][1].x, 30);
  EXPECT_GT(outline.figures[0][2].x, 30 + 5);
  const auto first = [&](Kind k) {
    return std::find_if(s.canvas.ops.begin(), s.canvas.ops.end(), [k](const DrawOp& op) { return op.kind == k; });
  };
  EXPECT_LT(first(Kind::DrawPath), first(Kind::FillPath));

  s.bins[0] = 1e4;
  s.Draw(397, 200, 80, 1);
  const auto bars = s.Curve(Kind::DrawPath);
  ASSERT_GE(bars.size(), 5u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(bars[i], (PointF{30, 10})) << i;
  // Next bin: a step at the previous x, then across.
  EXPECT_EQ(bars[3], (PointF{30, 174}));
  EXPECT_EQ(bars[4].y, 174);
  EXPECT_GT(bars[4].x, 30);
}

TEST(SpectrumPanel, FortyDecibelsLieOnTheZeroLine) {
  Spectrum s;
  // Near 1 kHz a pixel of a 397-wide image spans about two bins: light a few.
  for (int b = 80; b <= 90; ++b) s.bins[b] = 10000.0;  // 40 dB
  for (int b = 160; b <= 180; ++b) s.bins[b] = 100.0;  // 20 dB
  s.Draw(397, 236, 20);
  const auto pts = s.Curve(Kind::DrawPath);
  int top = 0, lower = 0;
  float firstTop = 0;
  for (size_t i = 1; i < pts.size(); ++i) {
    const auto& p = pts[i];
    const int bin = static_cast<int>(FreqAtPixel(static_cast<int>(p.x), RectF{0, 0, 397, 236}) * 4096 / 48000);
    if (bin >= 80 && bin <= 90) {
      EXPECT_EQ(p.y, 10) << p.x;
      if (top++ == 0) firstTop = p.x;
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
  EXPECT_NEAR(firstTop, 30 + std::log10(937.5 / 10) * 100.13, 1.0);
}

// A narrow image draws no curve; no bound (0 or below) no dB axis and no
// curve; a stored bound far past the list keeps its scale but neither stalls
// nor floods the frame: the labels stop at -10000 dB.
TEST(SpectrumPanel, NarrowImagesAndUnusualBounds) {
  Spectrum s;
  s.Draw(66, 200);
  EXPECT_TRUE(s.canvas.Of(Kind::DrawPath).empty());
  EXPECT_TRUE(s.canvas.Of(Kind::FillPath).empty());
  EXPECT_EQ(s.canvas.Of(Kind::DrawLine).size(), 29u);
  s.bins[85] = 1e6;
  for (int bound : {0, -10}) {
    s.Draw(397, 200, bound);
    EXPECT_TRUE(s.canvas.Of(Kind::DrawPath).empty());
    EXPECT_EQ(s.canvas.Of(Kind::DrawRect).size(), 1u);                       // the frame only
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
