// Peak meter, waveform and spectrum geometry, checked through the recording
// canvas; the QPainter canvas on real images.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#include "monitor/draw/qt_canvas.h"
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
  EXPECT_EQ(m.canvas.ops.at(1).rect, (RectF{0, 0, 60, 480}));
  ASSERT_EQ(m.canvas.Of(Kind::DrawBitmap).size(), 2u);
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

// ---- spectrum: a 397-pixel image, one decade 100.13 pixels from x = 30 ----

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
  const auto rects = s.canvas.Of(Kind::DrawRect);
  ASSERT_EQ(rects.size(), 2u);  // frame and one grid line
  EXPECT_EQ(rects[0].rect, (RectF{30, 10, rects[0].rect.right, 210}));
  EXPECT_NEAR(rects[0].rect.right, 30 + 3.30103 * 100.13, 0.05);
  // Bound 20: "0" and "-10" on both sides, the -10 line 100 pixels down.
  EXPECT_EQ(db, (std::vector<std::string>{"0", "-10"}));
  EXPECT_EQ(rects[1].rect.top, 110);
  for (const auto& t : s.Texts()) EXPECT_TRUE(t.text != "-10" || t.rect.top == 110) << t.rect.left;
}

// Silence lies on the bottom line (outline open, fill closed, outline drawn
// first); bars start with a point at the first bin.
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

// ---- the QPainter canvas: where lines and outlines land, bitmap opacity
// and the premultiplied byte order ----


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
