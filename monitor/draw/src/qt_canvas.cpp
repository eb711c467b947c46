#include "monitor/draw/qt_canvas.h"

#include <QFontMetricsF>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kx::draw {

namespace {
QRectF ToQt(const RectF& rc) {
  return QRectF(QPointF(rc.left, rc.top), QPointF(rc.right, rc.bottom)).normalized();
}
QColor ToQt(ColorF c) { return QColor::fromRgbF(c.r, c.g, c.b, c.a); }
}  // namespace

CQtBitmap::CQtBitmap(const QImage& image) : image_(image.convertToFormat(QImage::Format_ARGB32_Premultiplied)) {}

bool CQtBitmap::Create(int width, int height) {
  image_ = QImage();
  if (width <= 0 || height <= 0) return false;
  image_ = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
  return !image_.isNull();
}

CQtCanvas::CQtCanvas() : font_(QStringLiteral("Tahoma")) {
  font_.setPixelSize(9);
  font_.setBold(true);
  font_.setStyle(QFont::StyleNormal);
  font_.setStretch(QFont::Unstretched);
  for (int i = 0; i < kBrushCount; ++i) SetBrushColor(static_cast<BrushId>(i), ColorF{0, 0, 0, 1});
}

CQtCanvas::~CQtCanvas() {
  if (painter_.isActive()) painter_.end();
}

bool CQtCanvas::Begin(CQtBitmap& target) {
  if (painter_.isActive()) painter_.end();
  if (target.IsNull() || !painter_.begin(&target.Image())) return false;
  if (labelsThread_ != std::this_thread::get_id()) {
    labels_.clear();
    labelsThread_ = std::this_thread::get_id();
  }
  painter_.setRenderHint(QPainter::Antialiasing, false);
  painter_.setRenderHint(QPainter::SmoothPixmapTransform, true);
  painter_.setFont(font_);
  return true;
}

void CQtCanvas::ReleaseThreadResources() {
  End();
  labels_.clear();
  labelsThread_ = std::thread::id();
}

void CQtCanvas::End() {
  if (painter_.isActive()) painter_.end();
}

void CQtCanvas::SetBrushColor(BrushId brush, ColorF color) {
  const int i = static_cast<int>(brush);
  colors_[i] = ToQt(color);
  pens_[i] = QPen(colors_[i], 1.0);
  pens_[i].setCapStyle(Qt::SquareCap);
}

void CQtCanvas::Clear(ColorF color) {
  const auto mode = painter_.compositionMode();
  painter_.setCompositionMode(QPainter::CompositionMode_Source);
  painter_.fillRect(QRect(0, 0, painter_.device()->width(), painter_.device()->height()), ToQt(color));
  painter_.setCompositionMode(mode);
}

void CQtCanvas::FillRect(const RectF& rc, BrushId brush) {
  painter_.fillRect(ToQt(rc), colors_[static_cast<int>(brush)]);
}

void CQtCanvas::DrawRect(const RectF& rc, BrushId brush) {
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
  const QStaticText& label = Label(utf8, rc.right - rc.left);
  painter_.setPen(pens_[static_cast<int>(brush)]);
  painter_.drawStaticText(QPointF(rc.left, rc.top), label);
}

void CQtCanvas::DrawBitmap(const IBitmap& bitmap, const RectF& dest, float opacity, const RectF& src) {
  const auto& image = static_cast<const CQtBitmap&>(bitmap).Image();
  if (image.isNull()) return;
  painter_.setOpacity(opacity);
  painter_.drawImage(ToQt(dest), image, ToQt(src));
  painter_.setOpacity(1.0);
}

std::unique_ptr<IPath> CQtCanvas::CreatePath() { return std::make_unique<CQtPath>(); }

void CQtCanvas::DrawPath(const IPath& path, BrushId brush) {
  painter_.strokePath(static_cast<const CQtPath&>(path).Path(), pens_[static_cast<int>(brush)]);
}

void CQtCanvas::FillPath(const IPath& path, BrushId brush) {
  painter_.fillPath(static_cast<const CQtPath&>(path).Path(), colors_[static_cast<int>(brush)]);
}

}  // namespace kx::draw
