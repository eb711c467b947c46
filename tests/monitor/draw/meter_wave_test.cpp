// Peak meter and waveform geometry, checked through the recording canvas.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "monitor/draw/recording_canvas.h"
#include "monitor/draw/widgets.h"

namespace kx::draw {
namespace {

using Kind = DrawOp::Kind;

std::vector<std::string> Labels(const CRecordingCanvas& canvas) {
  std::vector<std::string> out;
  for (const auto& t : canvas.Of(Kind::DrawText)) out.push_back(t.text);
  return out;
}

TEST(DbToMeterPercent, PiecewiseCurveAndItsEnds) {
  const struct {
    float db, percent;
  } curve[] = {{0, 100},   {-5, 87.5}, {-10, 75},   {-20, 50},    {-25, 40}, {-35, 22.5}, {-45, 11},
               {-60, 3.5}, {-62, 1.5}, {-110, 1.5}, {-110.5f, 0}, {0.1f, 0}, {NAN, 0},    {-INFINITY, 0}};
  for (const auto& c : curve) EXPECT_NEAR(DbToMeterPercent(c.db), c.percent, 1e-4) << c.db;
  // Magnitudes: full scale is shown at the floor, 0.999 near the top.
  const struct {
    float v, percent;
  } magnitudes[] = {{1.0f, 1.5f}, {0.999f, 99.98f}, {0.5f, 84.95f}, {0.0f, 0.0f}, {1.5f, 0.0f}};
  for (const auto& m : magnitudes) EXPECT_NEAR(MagnitudeToMeterPercent(m.v), m.percent, 0.01f) << m.v;
}

// The meter of a 800 x 500 view: base = range = 440 pixels.
struct Meter {
  CRecordingCanvas canvas;
  float holdOut = 0, holdIn = 0;
  CRecordingBitmap icons{64, 32};
  void Draw(float out, float in, float height = 500) {
    canvas.ops.clear();
    DrawPeakMeter(canvas, PeakMeterInput{800, height, &icons, out, in}, holdOut, holdIn);
  }
  // Segments of one bar (xRight 57 or 18) drawn with a zone brush, in order.
  std::vector<DrawOp> Lit(float xRight) const {
    std::vector<DrawOp> out;
    for (const auto& op : canvas.Of(Kind::DrawRect))
      if (op.rect.left == xRight && op.brush != BrushId::Axis) out.push_back(op);
    return out;
  }
};

TEST(PeakMeter, LabelsIconsAndUnlitGrid) {
  Meter m;
  m.Draw(0, 0);
  ASSERT_GE(m.canvas.ops.size(), 3u);
  EXPECT_EQ(m.canvas.ops[1].rect, (RectF{0, 0, 60, 480}));
  EXPECT_EQ(m.canvas.ops[1].brush, BrushId::Bkg);
  const auto bitmaps = m.canvas.Of(Kind::DrawBitmap);
  ASSERT_EQ(bitmaps.size(), 2u);
  EXPECT_EQ(bitmaps[1].rect, (RectF{28, 446, 60, 478}));
  EXPECT_EQ(bitmaps[1].source, (RectF{32, 0, 63, 31}));
  EXPECT_EQ(Labels(m.canvas), (std::vector<std::string>{"-60", "-50", "-40", "-35", "-30", "-25", "-20", "-15", "-10",
                                                        "-8", "-6", "-4", "-2", "0", "-\u221E"}));
  // -20 dB is half the scale: 220 pixels above the base.
  EXPECT_EQ(m.canvas.Of(Kind::DrawText)[6].rect, (RectF{22, 214, 60, 660}));
  // Unlit segments: both bars from the base up to y = 20 every 2 pixels.
  std::vector<float> right, left;
  for (const auto& op : m.canvas.Of(Kind::DrawRect)) {
    if (op.brush != BrushId::Axis) continue;
    if (op.rect.left == 57 && op.rect.right == 44) right.push_back(op.rect.top);
    if (op.rect.left == 18 && op.rect.right == 5) left.push_back(op.rect.top);
  }
  ASSERT_EQ(right.size(), 211u);
  EXPECT_EQ(right.front(), 440);
  EXPECT_EQ(right.back(), 20);
  EXPECT_EQ(left, right);
  // Silence lights only the base segments.
  ASSERT_EQ(m.Lit(57).size(), 1u);
  EXPECT_EQ(m.Lit(18).at(0).rect, (RectF{18, 440, 5, 440}));
  EXPECT_EQ(m.Lit(18).at(0).brush, BrushId::PeakMin);
}

TEST(PeakMeter, ZoneBrushFollowsHeight) {
  Meter m;
  m.Draw(0.999f, 0.5f);
  // 0.999 reaches 99.98 %: segments 440 .. 2.
  const auto out = m.Lit(57);
  ASSERT_EQ(out.size(), 220u);
  EXPECT_EQ(out.back().rect.top, 2);
  for (const auto& op : out) {
    const float y = op.rect.top;
    // Mid zone from 75 % (y = 110), max zone from 87.5 % (y = 55).
    const BrushId want = y > 110 ? BrushId::PeakMin : (y > 55 ? BrushId::PeakMid : BrushId::PeakMax);
    EXPECT_EQ(op.brush, want) << "y = " << y;
  }
  // 0.5 is 84.95 %: the bar ends at y = 68, inside the mid zone.
  const auto in = m.Lit(18);
  ASSERT_FALSE(in.empty());
  EXPECT_EQ(in.back().rect.top, 68);
  EXPECT_EQ(in.back().brush, BrushId::PeakMid);
  EXPECT_NEAR(m.holdIn, 84.95f, 0.01f);
  // Full scale shows at the floor: 1.5 % of a range of 140 is 2.1 pixels, of 440 6.6.
  m.holdOut = m.holdIn = 0;
  m.Draw(1.0f, 1.0f, 200);
  ASSERT_EQ(m.Lit(57).size(), 2u);
  EXPECT_EQ(m.Lit(57)[1].rect.top, 138);
  EXPECT_FLOAT_EQ(m.holdOut, 1.5f);
  m.Draw(1.0f, 1.0f, 500);
  EXPECT_EQ(m.Lit(18).size(), 4u);
}

TEST(PeakMeter, HoldMarkSitsOnTheTwoPixelGrid) {
  Meter m;
  m.holdOut = 50.0f;  // exactly 220 pixels: the grid position itself
  m.holdIn = 50.3f;   // 221.32 pixels: the next grid position above
  m.Draw(0, 0);
  ASSERT_EQ(m.Lit(57).size(), 2u);
  EXPECT_EQ(m.Lit(57)[1].rect.top, 220);
  ASSERT_EQ(m.Lit(18).size(), 2u);
  EXPECT_EQ(m.Lit(18)[1].rect.top, 218);
  // The hold stays above a lower level and is raised by a higher one.
  EXPECT_EQ(m.holdOut, 50.0f);
  m.holdIn = 10.0f;
  m.Draw(0, 0.5f);
  EXPECT_NEAR(m.holdIn, 84.95f, 0.01f);
  EXPECT_EQ(m.Lit(18).back().rect.top, 68);  // no extra mark when the hold equals the level
  // A hold just above the base still gets a mark at least one step up.
  m.holdOut = 0.1f;
  m.Draw(0, 0);
  ASSERT_EQ(m.Lit(57).size(), 2u);
  EXPECT_EQ(m.Lit(57)[1].rect.top, 438);
}

// ---- waveform: a 1000 x 600 view, panel centre c = (300 - 10) / 2 ----

constexpr float kCentre = 145;

struct Wave {
  CRecordingCanvas canvas;
  std::vector<double> history = std::vector<double>(4800, 0.0);
  // Vertical waveform lines only (scale lines are horizontal).
  std::vector<DrawOp> Columns() const {
    std::vector<DrawOp> out;
    for (const auto& op : canvas.Of(Kind::DrawLine))
      if (op.brush == BrushId::Wave && op.from.y != op.to.y) out.push_back(op);
    return out;
  }
  void Draw(int mode, int scale) {
    canvas.ops.clear();
    DrawWavePanel(canvas, WaveInput{1000, 600, history, scale}, mode);
  }
};

TEST(WavePanel, OneColumnPerBlockAcrossTheView) {
  Wave w;
  std::fill(w.history.begin(), w.history.end(), 0.5);
  w.Draw(0, 480);
  const auto cols = w.Columns();
  ASSERT_EQ(cols.size(), 865u);
  EXPECT_EQ(cols.front().from.x, 875);
  EXPECT_EQ(cols.back().from.x, 11);
  // 0.5 is 84.95 % of the half height on the dB scale.
  const float a = MagnitudeToMeterPercent(0.5f) * kCentre / 100;
  EXPECT_FLOAT_EQ(cols[0].from.y, kCentre - a);
  EXPECT_FLOAT_EQ(cols[0].to.y, kCentre + a - 1);
  EXPECT_EQ(w.canvas.ops[1].rect, (RectF{0, 0, 910, 285}));
}

TEST(WavePanel, LinearAndLogScales) {
  Wave w;
  w.history[0] = 0.5;
  w.history[3] = 1.2;  // above full scale: reaches beyond the panel
  w.Draw(1, 480);
  const auto cols = w.Columns();
  ASSERT_EQ(cols.size(), 2u);
  EXPECT_EQ(cols[0].from, (PointF{875, kCentre / 2}));
  EXPECT_EQ(cols[0].to, (PointF{875, kCentre * 1.5f - 1}));
  EXPECT_EQ(cols[1].from.x, 872);
  EXPECT_LT(cols[1].from.y, 0);
  EXPECT_EQ(Labels(w.canvas),
            (std::vector<std::string>{"0.0", "0.25", "0.25", "0.50", "0.50", "0.75", "0.75", "1.0", "1.0"}));
  EXPECT_EQ(w.canvas.Of(Kind::DrawText)[1].rect, (RectF{877, kCentre * 0.75f - 5, 900, kCentre * 0.75f}));
  // Scale lines: centre (waveform brush) and axis lines, 10 .. W - 125.
  int axis = 0;
  for (const auto& op : w.canvas.Of(Kind::DrawLine))
    if (op.from.y == op.to.y) {
      EXPECT_EQ(op.from.x, 10);
      EXPECT_EQ(op.to.x, 875);
      axis += op.brush == BrushId::Axis;
    }
  EXPECT_EQ(axis, 8);

  std::fill(w.history.begin(), w.history.end(), 0.0);
  w.Draw(0, 480);
  const std::string inf = "-\u221E";
  EXPECT_EQ(Labels(w.canvas), (std::vector<std::string>{inf, "-10", "-10", "-20", "-20", "-30", "-30", "-40", "-40",
                                                        "-50", "-50", inf, inf, inf, inf}));
  EXPECT_EQ(w.canvas.Of(Kind::DrawText)[4].rect, (RectF{877, kCentre * 1.5f - 6, 900, kCentre * 1.5f}));
  EXPECT_TRUE(w.Columns().empty());  // silence with a wide scale: only the scale
}

// Fine scales zigzag; an unknown mode draws the background only; a short
// history draws what it has.
TEST(WavePanel, ZigzagUnknownModeAndShortHistory) {
  Wave w;
  w.Draw(0, 3);
  // Silence: a one-pixel-high line along the centre, element 0 not drawn.
  auto lines = w.Columns();
  ASSERT_EQ(lines.size(), 864u);
  EXPECT_EQ(lines[0].from, (PointF{873, 145}));
  EXPECT_EQ(lines[0].to, (PointF{874, 144}));
  w.history[0] = 0.5;
  w.history[1] = 0.25;
  w.Draw(1, 1);
  lines = w.Columns();
  // Each segment joins the previous column's top to this column's bottom.
  EXPECT_EQ(lines[0].from, (PointF{873, 145 - 72.5f}));
  EXPECT_EQ(lines[0].to, (PointF{874, 145 + 36.25f - 1}));
  EXPECT_EQ(lines[1].from, (PointF{872, 145 - 36.25f}));
  w.Draw(2, 480);
  ASSERT_EQ(w.canvas.ops.size(), 2u);
  EXPECT_EQ(w.canvas.ops[1].kind, Kind::FillRect);
  w.history.assign(100, 0.5);
  w.Draw(1, 480);
  EXPECT_EQ(w.Columns().size(), 100u);
}

}  // namespace
}  // namespace kx::draw
