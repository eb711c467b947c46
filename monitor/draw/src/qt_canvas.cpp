#include "monitor/draw/qt_canvas.h"

#include <QFontMetricsF>
#include <QtGui/private/qpaintengineex_p.h>
#include <QtGui/private/qvectorpath_p.h>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "monitor/draw/pixel_rows.h"

namespace kx::draw {

using pixels::ByteMul;

namespace {
QRectF ToQt(const RectF& rc) {
  return QRectF(QPointF(rc.left, rc.top), QPointF(rc.right, rc.bottom)).normalized();
}
QColor ToQt(ColorF c) { return QColor::fromRgbF(c.r, c.g, c.b, c.a); }
}  // namespace

ColumnSpan VerticalLineSpan(PointF from, PointF to) {
  const int x = static_cast<int>(std::floor(from.x + 0.5f));
  const int y0 = static_cast<int>(std::floor(std::min(from.y, to.y) + 0.5f));
  const int y1 = static_cast<int>(std::floor(std::max(from.y, to.y) + 0.5f));
  return ColumnSpan{x, y0, y1 + 1};
}

bool CanBlitImage(const QImage& target, const RectF& dest, const QImage& image, const RectF& src) {
  const auto whole = [](float v) { return v == std::floor(v) && std::fabs(v) < 1e6f; };
  return whole(dest.left) && whole(dest.top) && whole(src.left) && whole(src.top) && dest.Width() == src.Width() &&
         dest.Height() == src.Height() && whole(src.Width()) && whole(src.Height()) &&
         target.format() == QImage::Format_ARGB32_Premultiplied &&
         image.format() == QImage::Format_ARGB32_Premultiplied;
}

BlitArea ClipBlit(const QImage& target, const RectF& dest, int imageWidth, int imageHeight, const RectF& src,
                  int rowBegin, int rowEnd) {
  BlitArea a;
  a.dx = static_cast<int>(dest.left);
  a.dy = static_cast<int>(dest.top);
  a.sx = static_cast<int>(src.left);
  a.sy = static_cast<int>(src.top);
  // The overlap of the source part with the image, then with the target.
  a.x0 = std::max({0, -a.sx, -a.dx});
  a.y0 = std::max({0, -a.sy, -a.dy});
  a.x1 = std::min({static_cast<int>(src.Width()), imageWidth - a.sx, target.width() - a.dx});
  a.y1 = std::min({static_cast<int>(src.Height()), imageHeight - a.sy, target.height() - a.dy});
  a.y0 = std::max(a.y0, rowBegin - a.dy);
  a.y1 = static_cast<int>(std::min<int64_t>(a.y1, int64_t{rowEnd} - a.dy));
  return a;
}

uint32_t PainterAlpha(float opacity) {
  const double clamped = std::clamp(static_cast<double>(opacity), 0.0, 1.0);
  return (static_cast<uint32_t>(clamped * 256.0) * 255u) >> 8;
}

bool BlitImageOver(QImage& target, const RectF& dest, const QImage& image, const RectF& src, float opacity,
                   bool overBlack, int rowBegin, int rowEnd) {
  if (!CanBlitImage(target, dest, image, src)) return false;
  const uint32_t constAlpha = PainterAlpha(opacity);
  const BlitArea a = ClipBlit(target, dest, image.width(), image.height(), src, rowBegin, rowEnd);
  if ((constAlpha == 0 && !overBlack) || a.Empty()) return true;
  for (int r = a.y0; r < a.y1; ++r) {
    const uint32_t* s = reinterpret_cast<const uint32_t*>(image.constScanLine(a.sy + r)) + a.sx + a.x0;
    uint32_t* d = reinterpret_cast<uint32_t*>(target.scanLine(a.dy + r)) + a.dx + a.x0;
    if (overBlack && constAlpha == 255)
      pixels::OverBlackRow(d, s, a.x1 - a.x0);
    else {
      if (overBlack) std::fill(d, d + (a.x1 - a.x0), 0xFF000000u);
      pixels::OverRow(d, s, a.x1 - a.x0, constAlpha);
    }
  }
  return true;
}

CQtBitmap::CQtBitmap(const QImage& image) : image_(image.convertToFormat(QImage::Format_ARGB32_Premultiplied)) {}

bool CQtBitmap::Create(int width, int height) {
  image_ = QImage();
  if (width <= 0 || height <= 0) return false;
  image_ = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
  return !image_.isNull();
}

CQtCanvas::CQtCanvas(bool keepPainter) : keepPainter_(keepPainter), font_(QStringLiteral("Tahoma")) {
  font_.setPixelSize(9);
  font_.setBold(true);
  font_.setStyle(QFont::StyleNormal);
  font_.setStretch(QFont::Unstretched);
  for (int i = 0; i < kBrushCount; ++i) SetBrushColor(static_cast<BrushId>(i), ColorF{0, 0, 0, 1});
}

CQtCanvas::~CQtCanvas() {
  if (painter_.isActive()) painter_.end();
}

bool CQtCanvas::Begin(CQtBitmap& target) { return Begin(target.Image()); }

bool CQtCanvas::Begin(QImage& image) {
  clearPending_ = false;
  if (keepPainter_ && painter_.isActive() && kept_ == &image && !image.isNull() && keptBits_ == image.constBits() &&
      keptSize_ == image.size()) {
    target_ = kept_;
    if (labelsThread_ != std::this_thread::get_id()) {
      labels_.clear();
      labelsThread_ = std::this_thread::get_id();
    }
    return true;
  }
  if (painter_.isActive()) painter_.end();
  target_ = nullptr;
  kept_ = nullptr;
  if (image.isNull() || !painter_.begin(&image)) return false;
  target_ = &image;
  if (keepPainter_) {
    kept_ = target_;
    keptBits_ = target_->constBits();
    keptSize_ = target_->size();
  }
  if (labelsThread_ != std::this_thread::get_id()) {
    labels_.clear();
    labelsThread_ = std::this_thread::get_id();
  }
  painter_.setRenderHint(QPainter::Antialiasing, false);
  painter_.setRenderHint(QPainter::SmoothPixmapTransform, true);
  fontSet_ = false;  // set with the first label: it costs an allocation
  return true;
}

void CQtCanvas::ReleaseThreadResources() {
  Finish();
  labels_.clear();
  labelsThread_ = std::thread::id();
}

void CQtCanvas::End() {
  if (painter_.isActive()) {
    FlushClear();
    if (!keepPainter_) painter_.end();
  }
  clearPending_ = false;
  target_ = nullptr;
}

void CQtCanvas::Finish() {
  End();
  if (painter_.isActive()) painter_.end();
  kept_ = nullptr;
  keptBits_ = nullptr;
}

void CQtCanvas::SetBrushColor(BrushId brush, ColorF color) {
  const int i = static_cast<int>(brush);
  ++brushSerial_;
  brushColors_[i] = color;
  colors_[i] = ToQt(color);
  premultiplied_[i] = qPremultiply(colors_[i].rgba());
  pens_[i] = QPen(colors_[i], 1.0);
  pens_[i].setCapStyle(Qt::SquareCap);
  // No transform is ever set, so a cosmetic pen is the same one pixel, drawn
  // by the fast line rasteriser instead of the stroker.
  pens_[i].setCosmetic(true);
}

void CQtCanvas::Clear(ColorF color) {
  clearPending_ = true;
  clearColor_ = ToQt(color);
}

void CQtCanvas::FlushClear() {
  if (!clearPending_) return;
  clearPending_ = false;
  const QColor color = clearColor_;
  const auto mode = painter_.compositionMode();
  painter_.setCompositionMode(QPainter::CompositionMode_Source);
  painter_.fillRect(QRect(0, 0, painter_.device()->width(), painter_.device()->height()), color);
  painter_.setCompositionMode(mode);
}

void CQtCanvas::FillRect(const RectF& rc, BrushId brush) {
  if (clearPending_ && target_ && colors_[static_cast<int>(brush)].alpha() == 255 && rc.left <= 0 && rc.top <= 0 &&
      rc.right >= static_cast<float>(target_->width()) && rc.bottom >= static_cast<float>(target_->height()) &&
      painter_.opacity() == 1.0 && !painter_.hasClipping())
    clearPending_ = false;  // every pixel is about to be replaced
  FlushClear();
  painter_.fillRect(ToQt(rc), colors_[static_cast<int>(brush)]);
}

void CQtCanvas::DrawRect(const RectF& rc, BrushId brush) {
  FlushClear();
  painter_.setPen(pens_[static_cast<int>(brush)]);
  if (rc.top == rc.bottom) {
    // A zero-height outline is one row: draw it as the line it is.
    painter_.drawLine(QPointF(rc.left, rc.top), QPointF(rc.right, rc.bottom));
    return;
  }
  painter_.setBrush(Qt::NoBrush);
  painter_.drawRect(ToQt(rc));
}

void CQtCanvas::DrawLine(PointF from, PointF to, BrushId brush) {
  FlushClear();
  if (from.x == to.x) {
    // Waveform columns: a one-pixel rectangle fills far faster than a line
    // of one-pixel spans.
    const ColumnSpan span = VerticalLineSpan(from, to);
    if (DirectPixels())
      BlendColumn(span.x, span.r0, span.r1, premultiplied_[static_cast<int>(brush)]);
    else
      painter_.fillRect(QRect(span.x, span.r0, 1, span.r1 - span.r0), colors_[static_cast<int>(brush)]);
    return;
  }
  painter_.setPen(pens_[static_cast<int>(brush)]);
  painter_.drawLine(QPointF(from.x, from.y), QPointF(to.x, to.y));
}

const QStaticText& CQtCanvas::Label(std::string_view utf8, float width) {
  char key[64];
  const int n = std::snprintf(key, sizeof key, "%d\x1f%.*s", static_cast<int>(std::floor(width)),
                              static_cast<int>(std::min<size_t>(utf8.size(), 40)), utf8.data());
  const std::string_view k(key, static_cast<size_t>(std::clamp(n, 0, static_cast<int>(sizeof key) - 1)));
  if (auto it = labels_.find(k); it != labels_.end()) return it->second;
  const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
  if (labels_.size() > 1024) labels_.clear();  // only a resize storm gets here
  const QFontMetricsF metrics(font_);
  QStaticText label(metrics.elidedText(text, Qt::ElideRight, std::max(0.0f, width)));
  label.setTextFormat(Qt::PlainText);
  label.prepare(QTransform(), font_);
  return labels_.emplace(std::string(k), std::move(label)).first->second;
}

void CQtCanvas::DrawText(std::string_view utf8, const RectF& rc, BrushId brush) {
  FlushClear();
  if (!fontSet_) {
    painter_.setFont(font_);
    fontSet_ = true;
  }
  const QStaticText& label = Label(utf8, rc.right - rc.left);
  painter_.setPen(pens_[static_cast<int>(brush)]);
  painter_.drawStaticText(QPointF(rc.left, rc.top), label);
}

void CQtCanvas::DrawBitmap(const IBitmap& bitmap, const RectF& dest, float opacity, const RectF& src) {
  FlushClear();
  const auto& image = static_cast<const CQtBitmap&>(bitmap).Image();
  if (image.isNull()) return;
  painter_.setOpacity(opacity);
  painter_.drawImage(ToQt(dest), image, ToQt(src));
  painter_.setOpacity(1.0);
}

std::unique_ptr<IPath> CQtCanvas::CreatePath() { return std::make_unique<CQtPath>(); }

void CQtCanvas::DrawPath(const IPath& path, BrushId brush) {
  FlushClear();
  painter_.setPen(pens_[static_cast<int>(brush)]);
  painter_.setBrush(Qt::NoBrush);
  DrawPathKept(static_cast<const CQtPath&>(path).Path());
}

// QPainter::drawPath hands the raster engine a vector form of the path that
// Qt builds anew, on the heap, whenever the path has changed: three blocks
// for every frame of the spectrum. The same engine call is made here with
// that form built the same way into arrays the canvas keeps, so the pixels
// are the painter's own.
void CQtCanvas::DrawPathKept(const QPainterPath& path) {
  QPaintEngine* engine = painter_.paintEngine();
  if (!engine || !engine->isExtended()) {
    painter_.drawPath(path);
    return;
  }
  const int n = path.elementCount();
  if (path.isEmpty()) return;  // as drawPath: nothing to draw
  pathTypes_.resize(static_cast<size_t>(n));
  pathPoints_.resize(2 * static_cast<size_t>(n));
  uint hints = path.fillRule() == Qt::WindingFill ? QVectorPath::WindingFill : QVectorPath::OddEvenFill;
  bool lines = true;  // moveTo, lineTo, moveTo, ...: separate lines
  for (int i = 0; i < n; ++i) {
    const QPainterPath::Element e = path.elementAt(i);
    pathTypes_[i] = e.type;
    pathPoints_[2 * i] = e.x;
    pathPoints_[2 * i + 1] = e.y;
    if (e.type == QPainterPath::CurveToElement) hints |= QVectorPath::CurvedShapeMask;
    lines = lines && e.type == static_cast<QPainterPath::ElementType>(i % 2);
  }
  // CQtPath builds figures from lines only, so Qt never marks them convex.
  hints |= lines ? QVectorPath::LinesShapeMask : QVectorPath::AreaShapeMask | QVectorPath::NonConvexShapeMask;
  static_cast<QPaintEngineEx*>(engine)->draw(QVectorPath(pathPoints_.data(), n, pathTypes_.data(), hints));
}

void CQtCanvas::FillPath(const IPath& path, BrushId brush) {
  FlushClear();
  const QPainterPath& p = static_cast<const CQtPath&>(path).Path();
  const QColor& color = colors_[static_cast<int>(brush)];
  if (DirectPixels() && FillUnderCurve(p, premultiplied_[static_cast<int>(brush)])) return;
  painter_.fillPath(p, color);
}

bool CQtCanvas::DirectPixels() const {
  return target_ && target_->format() == QImage::Format_ARGB32_Premultiplied && painter_.opacity() == 1.0 && !painter_.hasClipping() && painter_.transform().isIdentity() &&
         painter_.compositionMode() == QPainter::CompositionMode_SourceOver;
}

void CQtCanvas::BlendColumn(int x, int r0, int r1, QRgb premultiplied) {
  QImage& img = *target_;
  if (x < 0 || x >= img.width()) return;
  r0 = std::max(r0, 0);
  r1 = std::min(r1, img.height());
  if (r0 >= r1) return;
  const qsizetype stride = img.bytesPerLine() / 4;
  uint32_t* px = reinterpret_cast<uint32_t*>(img.bits()) + r0 * stride + x;
  const uint32_t inverse = 255u - qAlpha(premultiplied);
  if (inverse == 0) {
    for (int r = r0; r < r1; ++r, px += stride) *px = premultiplied;
  } else {
    for (int r = r0; r < r1; ++r, px += stride) *px = premultiplied + ByteMul(*px, inverse);
  }
}

bool CurveFillSpans(const QPainterPath& path, int width, int height, std::vector<int>& top, std::vector<int>& end,
                    CurveFill& fill) {
  const int n = path.elementCount();
  if (n < 3 || !path.elementAt(0).isMoveTo()) return false;
  // One figure: base point, the curve with x never decreasing, the end on
  // the base line, then (when closed) back to the start.
  int last = n - 1;
  const QPainterPath::Element first = path.elementAt(0);
  if (path.elementAt(last).x == first.x && path.elementAt(last).y == first.y) --last;
  if (last < 2) return false;
  const double base = first.y;
  if (path.elementAt(last).y != base) return false;
  for (int i = 1; i <= last; ++i) {
    const auto e = path.elementAt(i);
    if (!e.isLineTo() || e.x < path.elementAt(i - 1).x) return false;
  }
  if (static_cast<int>(top.size()) < width) {
    top.resize(static_cast<size_t>(width));
    end.resize(static_cast<size_t>(width));
  }
  // Pixel columns whose centres lie inside the figure's x range; in each,
  // rows whose centres lie between the curve and the base line.
  int seg = 1;
  fill.xBegin = std::max(0, static_cast<int>(std::ceil(first.x - 0.5)));
  fill.xEnd = std::max(fill.xBegin, std::min(width, static_cast<int>(std::ceil(path.elementAt(last).x - 0.5))));
  fill.rowMin = height;
  fill.rowMax = 0;
  for (int x = fill.xBegin; x < fill.xEnd; ++x) {
    const double cx = x + 0.5;
    while (seg < last && path.elementAt(seg).x < cx) ++seg;
    const auto a = path.elementAt(seg - 1), b = path.elementAt(seg);
    const double y = b.x == a.x ? b.y : a.y + (b.y - a.y) * (cx - a.x) / (b.x - a.x);
    const int r0 = std::max(0, static_cast<int>(std::ceil(std::min(y, base) - 0.5)));
    const int r1 = std::min(height, static_cast<int>(std::ceil(std::max(y, base) - 0.5)));
    top[x] = r0;
    end[x] = r1;
    if (r0 < r1) {
      fill.rowMin = std::min(fill.rowMin, r0);
      fill.rowMax = std::max(fill.rowMax, r1);
    }
  }
  if (fill.rowMin > fill.rowMax) fill.rowMin = fill.rowMax;
  return true;
}

bool CQtCanvas::FillUnderCurve(const QPainterPath& path, QRgb premultiplied) {
  QImage& img = *target_;
  CurveFill fill;
  if (!CurveFillSpans(path, img.width(), img.height(), fillTop_, fillBottom_, fill)) return false;
  // Row by row, so the pixels are touched in memory order.
  const qsizetype stride = img.bytesPerLine() / 4;
  uint32_t* bits = reinterpret_cast<uint32_t*>(img.bits());
  for (int r = fill.rowMin; r < fill.rowMax; ++r)
    pixels::BlendWhereRow(bits + r * stride + fill.xBegin, fillTop_.data() + fill.xBegin,
                          fillBottom_.data() + fill.xBegin, r, premultiplied, fill.xEnd - fill.xBegin);
  return true;
}

}  // namespace kx::draw
