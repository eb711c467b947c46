// The canvas on QPainter over QImage (Format_ARGB32_Premultiplied, which is
// B, G, R, A premultiplied in memory on little-endian machines). Geometry is
// drawn aliased; labels use a bold 9-pixel "Tahoma" (or the font the system
// substitutes), cut at the end with an ellipsis.
#pragma once

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QStaticText>
#include <climits>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "monitor/draw/canvas.h"

namespace kx::draw {

class CQtBitmap : public IBitmap {
 public:
  CQtBitmap() = default;
  // Takes the image converted to premultiplied ARGB32.
  explicit CQtBitmap(const QImage& image);
  // A new image of that size with undefined pixels; false (and null) when
  // either side is not positive or memory runs out.
  bool Create(int width, int height);
  void Reset() { image_ = QImage(); }
  bool IsNull() const { return image_.isNull(); }
  int Width() const override { return image_.width(); }
  int Height() const override { return image_.height(); }
  QImage& Image() { return image_; }
  const QImage& Image() const { return image_; }

 private:
  QImage image_;
};

class CQtPath : public IPath {
 public:
  // Room for a curve with a point per pixel column of a wide view, so a
  // frame's path is one allocation.
  CQtPath() { path_.reserve(4096); }
  void BeginFigure(PointF start) override { path_.moveTo(start.x, start.y); }
  void AddLine(PointF to) override { path_.lineTo(to.x, to.y); }
  void EndFigure(bool closed) override {
    if (closed) path_.closeSubpath();
  }
  const QPainterPath& Path() const { return path_; }
  // Empty again, keeping the memory for the next curve.
  void Clear() { path_.clear(); }

 private:
  QPainterPath path_;
};

// The pixels a vertical one-pixel line covers: column x, rows [r0, r1)
// (those whose centres lie within the ends), unclipped.
struct ColumnSpan {
  int x, r0, r1;
};
ColumnSpan VerticalLineSpan(PointF from, PointF to);

// Where a one-to-one draw of the part src of an image (imageWidth x
// imageHeight) at dest lands, target rows limited to [rowBegin, rowEnd):
// target pixel (dx + x, dy + y) takes image pixel (sx + x, sy + y) for x in
// [x0, x1) and y in [y0, y1). Only for places CanBlitImage accepts.
struct BlitArea {
  int dx = 0, dy = 0, sx = 0, sy = 0, x0 = 0, x1 = 0, y0 = 0, y1 = 0;
  bool Empty() const { return x0 >= x1 || y0 >= y1; }
};
BlitArea ClipBlit(const QImage& target, const RectF& dest, int imageWidth, int imageHeight, const RectF& src,
                  int rowBegin = 0, int rowEnd = INT_MAX);
// The constant alpha QPainter blends an opacity with: a fraction of 256
// scaled to 255.
uint32_t PainterAlpha(float opacity);

// Draws the part src of image at dest, source over, with the opacity, the
// way QPainter does when nothing is scaled: only when dest has whole-pixel
// corners and the size of src. False (nothing drawn) otherwise, or when the
// target is not premultiplied ARGB32. overBlack: the target's pixels under
// dest count as opaque black whatever they hold. Only target rows
// [rowBegin, rowEnd) are written.
bool BlitImageOver(QImage& target, const RectF& dest, const QImage& image, const RectF& src, float opacity,
                   bool overBlack = false, int rowBegin = 0, int rowEnd = INT_MAX);
// Whether BlitImageOver can draw this (one to one on whole pixels).
bool CanBlitImage(const QImage& target, const RectF& dest, const QImage& image, const RectF& src);

// The fill of a figure that starts on a base line, runs along a curve whose
// x never decreases and ends on the base line again (the spectrum's fill),
// as column spans: in each pixel column x of [xBegin, xEnd) the rows
// [top[x], end[x]) whose centres lie between the curve and the base line,
// clipped to the image; rows of all spans lie in [rowMin, rowMax). Filling
// a general polygon with a thousand edge crossings per row costs far more.
// False when the path is not of that shape; top and end grow to the width.
struct CurveFill {
  int xBegin = 0, xEnd = 0, rowMin = 0, rowMax = 0;
};
bool CurveFillSpans(const QPainterPath& path, int width, int height, std::vector<int>& top, std::vector<int>& end,
                    CurveFill& fill);

class CQtCanvas : public ICanvas {
 public:
  // keepPainter: End leaves the painter open on its image, and the next
  // Begin on the same pixels goes on with it (opening a painter costs
  // allocations). The image must then not be replaced, resized or freed
  // before Finish.
  explicit CQtCanvas(bool keepPainter = false);
  CQtCanvas(const CQtCanvas&) = delete;
  CQtCanvas& operator=(const CQtCanvas&) = delete;
  ~CQtCanvas() override;

  // Starts drawing on the target; false when it has no pixels.
  bool Begin(CQtBitmap& target);
  void End();
  // Closes the painter, kept or not.
  void Finish();
  bool Active() const { return target_ != nullptr; }
  // Starts drawing on an image that is not a CQtBitmap (an 8-bit mask).
  bool Begin(QImage& target);
  // Laid-out labels belong to the font data of the thread that drew them,
  // which goes when that thread ends: a drawing thread calls this last.
  void ReleaseThreadResources();

  void SetBrushColor(BrushId brush, ColorF color) override;
  void Clear(ColorF color) override;
  void FillRect(const RectF& rc, BrushId brush) override;
  void DrawRect(const RectF& rc, BrushId brush) override;
  void DrawLine(PointF from, PointF to, BrushId brush) override;
  void DrawText(std::string_view utf8, const RectF& rc, BrushId brush) override;
  void DrawBitmap(const IBitmap& bitmap, const RectF& dest, float opacity, const RectF& src) override;
  std::unique_ptr<IPath> CreatePath() override;
  void DrawPath(const IPath& path, BrushId brush) override;
  void FillPath(const IPath& path, BrushId brush) override;

  const QFont& LabelFont() const { return font_; }
  // A brush's colour premultiplied, as written into pixels.
  QRgb Premultiplied(BrushId brush) const { return premultiplied_[static_cast<int>(brush)]; }
  ColorF BrushColor(BrushId brush) const { return brushColors_[static_cast<int>(brush)]; }
  // Changes with every SetBrushColor: images drawn from the brushes before
  // a different value are out of date.
  uint64_t BrushSerial() const { return brushSerial_; }

 private:
  struct KeyHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  const QStaticText& Label(std::string_view utf8, float width);
  // The spectrum fill straight into the pixels (CurveFillSpans); false when
  // the path is not of that shape.
  bool FillUnderCurve(const QPainterPath& path, QRgb premultiplied);
  // True when pixels may be written straight into the target (no clip,
  // transform, opacity or other composition mode in force).
  bool DirectPixels() const;
  // Source-over of one premultiplied colour on rows [r0, r1) of column x.
  void BlendColumn(int x, int r0, int r1, QRgb premultiplied);
  // What QPainter::drawPath does with the current pen and brush, without
  // the per-path allocations.
  void DrawPathKept(const QPainterPath& path);

  const bool keepPainter_;
  QPainter painter_;
  QImage* target_ = nullptr;
  // The image the kept painter is open on, and its pixels and size then.
  QImage* kept_ = nullptr;
  const uchar* keptBits_ = nullptr;
  QSize keptSize_;
  // A clear is held back until the next operation: a widget's first fill
  // covers its whole image with an opaque colour and makes it unnecessary.
  bool clearPending_ = false;
  QColor clearColor_;
  void FlushClear();
  QFont font_;
  bool fontSet_ = false;
  ColorF brushColors_[kBrushCount];
  QColor colors_[kBrushCount];
  QRgb premultiplied_[kBrushCount] = {};
  uint64_t brushSerial_ = 0;
  // Per-column row ranges of the curve fill; grown with the widest target.
  std::vector<int> fillTop_, fillBottom_;
  // A path's element types and coordinates as the paint engine takes them;
  // grown with the longest path.
  std::vector<QPainterPath::ElementType> pathTypes_;
  std::vector<qreal> pathPoints_;
  QPen pens_[kBrushCount];
  // Labels repeat every frame: keep each laid out once per text and width.
  std::unordered_map<std::string, QStaticText, KeyHash, std::equal_to<>> labels_;
  std::thread::id labelsThread_;
};

}  // namespace kx::draw
