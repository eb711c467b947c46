// Draws the view's two images and writes them as PNG files:
//   meter_icons.png  64 x 32: a microphone (stream input, left bar) at
//                    (0, 0, 31, 31) and a loudspeaker (output, right bar)
//                    at (32, 0, 63, 31), on transparent ground;
//   spinner.png      1024 x 128: eight 128 x 128 frames of a ring of dots
//                    whose bright head turns clockwise by 45 degrees a frame.
// Usage: kxMakeImages OUTPUT_FOLDER
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <cstdio>

namespace {

const QColor kInk(205, 212, 220);

void DrawMicrophone(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(kInk);
  p.drawRoundedRect(QRectF(11, 3, 9, 16), 4.5, 4.5);  // capsule
  QPen pen(kInk, 2.0);
  pen.setCapStyle(Qt::FlatCap);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  QPainterPath holder;  // U-shaped holder around the capsule
  holder.moveTo(7.5, 12);
  holder.arcTo(QRectF(7.5, 8, 16, 15), 180, 180);
  p.drawPath(holder);
  p.drawLine(QPointF(15.5, 23), QPointF(15.5, 27));  // stem
  p.drawLine(QPointF(10, 28), QPointF(21, 28));      // foot
}

void DrawLoudspeaker(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(kInk);
  QPolygonF body;
  body << QPointF(3, 11) << QPointF(8, 11) << QPointF(15, 5) << QPointF(15, 26) << QPointF(8, 20) << QPointF(3, 20);
  p.drawPolygon(body);
  QPen pen(kInk, 2.0);
  pen.setCapStyle(Qt::RoundCap);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(12, 10, 8, 11), -50 * 16, 100 * 16);   // near wave
  p.drawArc(QRectF(12, 6, 14, 19), -50 * 16, 100 * 16);   // middle wave
  p.drawArc(QRectF(12, 2, 19, 27), -48 * 16, 96 * 16);    // far wave
}

QImage MeterIcons() {
  QImage img(64, 32, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.setClipRect(0, 0, 31, 31);
  DrawMicrophone(p);
  p.setClipRect(32, 0, 31, 31);
  p.translate(32, 0);
  DrawLoudspeaker(p);
  return img;
}

QImage Spinner() {
  constexpr int kFrames = 8, kSize = 128, kDots = 8;
  QImage img(kFrames * kSize, kSize, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  for (int f = 0; f < kFrames; ++f) {
    const QPointF centre(f * kSize + kSize / 2.0, kSize / 2.0);
    for (int d = 0; d < kDots; ++d) {
      // Dot d steps behind the head: smaller and fainter.
      const int behind = (f - d + kDots) % kDots;
      const double angle = (d * 360.0 / kDots - 90.0) * M_PI / 180.0;
      const double r = 11.0 - behind * 0.9;
      const int alpha = 255 - behind * 28;
      const QPointF at = centre + QPointF(std::cos(angle), std::sin(angle)) * 40.0;
      p.setBrush(QColor(0, 0, 0, alpha / 3));  // soft shadow keeps it visible on light pictures
      p.drawEllipse(at + QPointF(1.5, 1.5), r, r);
      p.setBrush(QColor(kInk.red(), kInk.green(), kInk.blue(), alpha));
      p.drawEllipse(at, r, r);
    }
  }
  return img;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
    return 2;
  }
  QGuiApplication app(argc, argv);
  const QString out = QString::fromLocal8Bit(argv[1]);
  const bool ok = MeterIcons().save(out + "/meter_icons.png") && Spinner().save(out + "/spinner.png");
  if (!ok) std::fprintf(stderr, "cannot write the images into %s\n", argv[1]);
  return ok ? 0 : 1;
}
