// Draws the view's two images and writes them as PNG files:
//   meter_icons.png  64 x 32: a microphone (stream input, left bar) at
//                    (0, 0, 31, 31) and a loudspeaker (output, right bar)
//                    at (32, 0, 63, 31), on transparent ground;
//   spinner.png      1024 x 128: eight 128 x 128 frames of a ring of dots
//                    whose bright head turns clockwise by 45 degrees a frame.
//   info_video.png, info_video@2x.png, info_audio.png, info_audio@2x.png
//                    the camera info bar's icons (24 x 24 and 48 x 48): a
//                    video camera and a row of level bars;
//   app_icon_N.png   the program's icon at N = 16 ... 256 pixels, the same
//                    drawing as kxToneScope.svg (a 256-unit square).
//   ribbon_2000.png, ribbon_2000@2x.png  the ribbon's 31 large command images,
//                    32 x 32 each in one row (64 x 64 in the 200 % copy);
//   ribbon_2002.png, ribbon_2002@2x.png  the 11 opacity palette items
//                    (100 % ... 5 %), 32 x 32 each;
//   ribbon_142.png   the ribbon's faint background, 256 x 96.
//   options_2004.png 480 x 112: the options page's picture, the icon and the name.
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


// ---- Ribbon images: each command image is drawn in a 32-unit square.
const QColor kBlue(0x4F, 0x9C, 0xE0), kGreen(0x5C, 0xC0, 0x6A), kRed(0xE0, 0x55, 0x50), kYellow(0xF0, 0xC8, 0x40);
const QColor kLight(0xDC, 0xE2, 0xE8), kDim(0x8A, 0x96, 0xA4);

QPen Stroke(const QColor& c, double w = 2.2) {
  QPen pen(c, w);
  pen.setCapStyle(Qt::RoundCap);
  pen.setJoinStyle(Qt::RoundJoin);
  return pen;
}

void Sine(QPainter& p, const QRectF& r, double cycles, const QColor& c) {
  QPainterPath path;
  for (int i = 0; i <= 48; ++i) {
    const double t = i / 48.0;
    const QPointF pt(r.left() + t * r.width(), r.center().y() - std::sin(t * cycles * 2 * M_PI) * r.height() / 2);
    if (i == 0) path.moveTo(pt); else path.lineTo(pt);
  }
  p.setPen(Stroke(c));
  p.setBrush(Qt::NoBrush);
  p.drawPath(path);
}

void Bars(QPainter& p, const QRectF& r, const QColor& c, std::initializer_list<double> heights) {
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  const double w = r.width() / heights.size();
  int i = 0;
  for (double h : heights) {
    p.drawRect(QRectF(r.left() + i * w + 0.8, r.bottom() - h * r.height(), w - 1.6, h * r.height()));
    ++i;
  }
}

void Camera(QPainter& p, QPointF at, double scale, const QColor& c) {
  p.save();
  p.translate(at);
  p.scale(scale, scale);
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  p.drawRoundedRect(QRectF(0, 4, 15, 12), 2.5, 2.5);
  QPolygonF lens;
  lens << QPointF(16, 8) << QPointF(22, 4.5) << QPointF(22, 15.5) << QPointF(16, 12);
  p.drawPolygon(lens);
  p.restore();
}

void Plus(QPainter& p, QPointF c) {
  p.setPen(Qt::NoPen);
  p.setBrush(kGreen);
  p.drawEllipse(c, 6.5, 6.5);
  p.setPen(Stroke(Qt::white, 2.2));
  p.drawLine(c + QPointF(-3.2, 0), c + QPointF(3.2, 0));
  p.drawLine(c + QPointF(0, -3.2), c + QPointF(0, 3.2));
}

// The save mark: a white arrow down into a tray on a blue disc, lower right.
void SaveMark(QPainter& p, QPointF c) {
  p.setPen(Qt::NoPen);
  p.setBrush(kBlue);
  p.drawEllipse(c, 7, 7);
  p.setPen(Stroke(Qt::white, 2));
  p.drawLine(c + QPointF(0, -4.2), c + QPointF(0, 1.8));
  p.drawLine(c + QPointF(-3, -1), c + QPointF(0, 2));
  p.drawLine(c + QPointF(3, -1), c + QPointF(0, 2));
  p.drawLine(c + QPointF(-3.6, 4.2), c + QPointF(3.6, 4.2));
}

void Meter(QPainter& p, int lit, const QColor& c) {
  for (int i = 0; i < 5; ++i) {
    p.setPen(Qt::NoPen);
    p.setBrush(i < lit ? c : QColor(0x4A, 0x52, 0x5C));
    p.drawRoundedRect(QRectF(9, 26 - i * 5, 14, 3.6), 1, 1);
  }
}

void Star(QPainter& p, QPointF c, double r, const QColor& fill) {
  QPolygonF star;
  for (int i = 0; i < 10; ++i) {
    const double a = -M_PI / 2 + i * M_PI / 5;
    const double rr = i % 2 ? r * 0.45 : r;
    star << c + QPointF(std::cos(a) * rr, std::sin(a) * rr);
  }
  p.setPen(Qt::NoPen);
  p.setBrush(fill);
  p.drawPolygon(star);
}

void Spectrum(QPainter& p, const QColor& c) {
  QPainterPath path;
  const double ys[] = {24, 14, 18, 8, 16, 12, 20, 22};
  path.moveTo(4, 26);
  for (int i = 0; i < 8; ++i) path.lineTo(4 + i * 3.4, ys[i]);
  p.setPen(Stroke(c, 1.8));
  p.setBrush(Qt::NoBrush);
  p.drawPath(path);
}

void Arrow(QPainter& p, bool up, const QColor& c) {
  p.setPen(Stroke(c, 2.4));
  const double y0 = up ? 14 : 4, y1 = up ? 4 : 14;
  p.drawLine(QPointF(25, y0), QPointF(25, y1));
  p.drawLine(QPointF(25, y1), QPointF(21.5, y1 + (up ? 3.5 : -3.5)));
  p.drawLine(QPointF(25, y1), QPointF(28.5, y1 + (up ? 3.5 : -3.5)));
}

void DrawCommand(QPainter& p, int index) {
  p.setRenderHint(QPainter::Antialiasing);
  switch (index) {
    case 0: {  // Start
      QPolygonF play;
      play << QPointF(9, 5) << QPointF(27, 16) << QPointF(9, 27);
      p.setPen(Stroke(kGreen.darker(130), 1.2));
      p.setBrush(kGreen);
      p.drawPolygon(play);
      break;
    }
    case 1:  // Stop
      p.setPen(Stroke(kRed.darker(130), 1.2));
      p.setBrush(kRed);
      p.drawRoundedRect(QRectF(7, 7, 18, 18), 3, 3);
      break;
    case 2: {  // Info
      p.setPen(Qt::NoPen);
      p.setBrush(kBlue);
      p.drawEllipse(QPointF(16, 16), 12.5, 12.5);
      p.setBrush(Qt::white);
      p.drawEllipse(QPointF(16, 9.5), 2.2, 2.2);
      p.drawRoundedRect(QRectF(14, 13.5, 4, 11), 1.2, 1.2);
      break;
    }
    case 3:  // Show all: picture with the widgets on it
      p.setPen(Stroke(kLight, 1.6));
      p.setBrush(QColor(0x2E, 0x3A, 0x46));
      p.drawRect(QRectF(3, 6, 26, 20));
      Bars(p, QRectF(5, 12, 5, 12), kGreen, {0.9});
      Sine(p, QRectF(12, 10, 15, 6), 1.5, kYellow);
      Bars(p, QRectF(12, 18, 15, 6), kBlue, {0.5, 1, 0.7, 0.4, 0.6});
      break;
    case 4: {  // Opacity
      for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) p.fillRect(QRectF(4 + x * 6, 4 + y * 6, 6, 6), (x + y) % 2 ? kDim : kLight);
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(kBlue.red(), kBlue.green(), kBlue.blue(), 150));
      p.drawRect(QRectF(10, 10, 18, 18));
      break;
    }
    case 5:  // Axis
      p.setPen(Stroke(kLight));
      p.drawLine(QPointF(6, 4), QPointF(6, 24));
      p.drawLine(QPointF(6, 24), QPointF(28, 24));
      for (int i = 0; i < 4; ++i) {
        p.drawLine(QPointF(3, 6 + i * 5), QPointF(6, 6 + i * 5));
        p.drawLine(QPointF(10 + i * 5, 24), QPointF(10 + i * 5, 27));
      }
      break;
    case 6:  // Background
      p.setPen(Stroke(kLight, 1.6));
      p.setBrush(QColor(0x36, 0x36, 0x36));
      p.drawRoundedRect(QRectF(4, 5, 24, 20), 2, 2);
      break;
    case 7:  // Waveform colour
      Sine(p, QRectF(3, 8, 26, 14), 2, kYellow);
      break;
    case 8:  // Spectrum colour
      Bars(p, QRectF(4, 5, 24, 22), kBlue, {0.3, 0.8, 1.0, 0.6, 0.45, 0.25});
      break;
    case 9: Meter(p, 2, kGreen); break;
    case 10: Meter(p, 4, kYellow); break;
    case 11: Meter(p, 5, kRed); break;
    case 12: {  // Log: a filled envelope
      QPainterPath env;
      env.moveTo(3, 16);
      for (int i = 0; i <= 26; ++i) env.lineTo(3 + i, 16 - std::abs(std::sin(i * 0.5)) * (4 + i % 5 * 2));
      for (int i = 26; i >= 0; --i) env.lineTo(3 + i, 16 + std::abs(std::sin(i * 0.5)) * (4 + i % 5 * 2));
      p.setPen(Qt::NoPen);
      p.setBrush(kYellow);
      p.drawPath(env);
      break;
    }
    case 13: {  // Line: a zig-zag trace
      QPainterPath line;
      line.moveTo(3, 16);
      const double ys[] = {8, 22, 11, 25, 6, 19, 13, 16};
      for (int i = 0; i < 8; ++i) line.lineTo(6 + i * 3.2, ys[i]);
      p.setPen(Stroke(kYellow, 1.8));
      p.drawPath(line);
      break;
    }
    case 14: Spectrum(p, kBlue); break;
    case 15: Bars(p, QRectF(4, 5, 24, 22), kBlue, {0.4, 0.9, 0.6, 1.0, 0.5, 0.3, 0.55}); break;
    case 16: {  // Real time: the spectrum with a live dot
      Spectrum(p, kBlue);
      p.setPen(Qt::NoPen);
      p.setBrush(kRed);
      p.drawEllipse(QPointF(25, 7), 3.5, 3.5);
      break;
    }
    case 17:  // Middle spectrum: the curve and its mean
      Spectrum(p, kDim);
      p.setPen(Stroke(kGreen, 2.2));
      p.drawLine(QPointF(4, 16), QPointF(28, 16));
      break;
    case 18:  // Min spectrum
      Spectrum(p, kBlue);
      Arrow(p, false, kGreen);
      break;
    case 19:  // Max spectrum
      Spectrum(p, kBlue);
      Arrow(p, true, kRed);
      break;
    case 20: {  // Show audio: a loudspeaker
      p.setPen(Qt::NoPen);
      p.setBrush(kLight);
      QPolygonF body;
      body << QPointF(4, 12) << QPointF(10, 12) << QPointF(17, 5) << QPointF(17, 27) << QPointF(10, 20) << QPointF(4, 20);
      p.drawPolygon(body);
      p.setPen(Stroke(kLight, 2));
      p.setBrush(Qt::NoBrush);
      p.drawArc(QRectF(14, 10, 8, 12), -50 * 16, 100 * 16);
      p.drawArc(QRectF(14, 5, 14, 22), -50 * 16, 100 * 16);
      break;
    }
    case 21: Camera(p, QPointF(4, 6), 1.05, kLight); break;  // Show video
    case 22:  // New camera
      Camera(p, QPointF(2, 2), 1.0, kLight);
      Plus(p, QPointF(23, 23));
      break;
    case 23:  // Add to bookmark
      Star(p, QPointF(14, 14), 12, kYellow);
      Plus(p, QPointF(24, 24));
      break;
    case 24: {  // Edit bookmark: a list and a pencil
      p.setPen(Stroke(kLight, 2.2));
      for (int i = 0; i < 4; ++i) p.drawLine(QPointF(4, 6 + i * 6), QPointF(20, 6 + i * 6));
      p.save();
      p.translate(22, 20);
      p.rotate(45);
      p.setPen(Qt::NoPen);
      p.setBrush(kYellow);
      p.drawRect(QRectF(-2.5, -11, 5, 14));
      QPolygonF tip;
      tip << QPointF(-2.5, 3) << QPointF(2.5, 3) << QPointF(0, 8);
      p.setBrush(kLight);
      p.drawPolygon(tip);
      p.restore();
      break;
    }
    case 25: {  // Measurement panel: a sheet of figures with a loudness gauge
      p.setPen(Stroke(kLight, 1.6));
      p.setBrush(QColor(0x2E, 0x3A, 0x46));
      p.drawRoundedRect(QRectF(5, 3, 22, 26), 2, 2);
      p.setPen(Stroke(kDim, 2));
      for (int i = 0; i < 3; ++i) p.drawLine(QPointF(9, 9 + i * 5), QPointF(17, 9 + i * 5));
      p.setPen(Stroke(kGreen, 2));
      p.drawLine(QPointF(20, 9), QPointF(23, 9));
      p.setPen(Stroke(kYellow, 2));
      p.drawLine(QPointF(20, 14), QPointF(23, 14));
      p.setPen(Stroke(kRed, 2));
      p.drawLine(QPointF(20, 19), QPointF(23, 19));
      p.setPen(Qt::NoPen);
      p.setBrush(kBlue);
      p.drawRect(QRectF(9, 23, 10, 2.5));
      p.setBrush(QColor(0x4A, 0x52, 0x5C));
      p.drawRect(QRectF(19, 23, 4, 2.5));
      break;
    }
    case 26: {  // Reset the measurements: a turning arrow round a zero
      p.setPen(Stroke(kBlue, 2.6));
      p.setBrush(Qt::NoBrush);
      p.drawArc(QRectF(5, 5, 22, 22), 100 * 16, 290 * 16);
      QPolygonF head;
      head << QPointF(8.5, 2.5) << QPointF(15.5, 6) << QPointF(9, 11);
      p.setPen(Qt::NoPen);
      p.setBrush(kBlue);
      p.drawPolygon(head);
      p.setPen(Stroke(kLight, 2));
      p.drawEllipse(QPointF(16, 16), 3.2, 4.6);
      break;
    }
    case 27: {  // Save picture: a framed picture with hills and a sun
      p.setPen(Stroke(kLight, 1.6));
      p.setBrush(QColor(0x2E, 0x3A, 0x46));
      p.drawRect(QRectF(2.5, 4.5, 23, 18));
      QPolygonF hills;
      hills << QPointF(4, 21) << QPointF(10, 12) << QPointF(14, 17) << QPointF(18, 13) << QPointF(24, 21);
      p.setPen(Qt::NoPen);
      p.setBrush(kGreen);
      p.drawPolygon(hills);
      p.setBrush(kYellow);
      p.drawEllipse(QPointF(19, 9.5), 2.6, 2.6);
      SaveMark(p, QPointF(24, 24));
      break;
    }
    case 28:  // Save sound: a waveform
      Sine(p, QRectF(2, 5, 20, 15), 2, kYellow);
      SaveMark(p, QPointF(24, 24));
      break;
    case 29:  // Reconnect once: one turn of an arrow round a "1"
    case 30: {  // Keep trying: two arrows chasing each other round a ring
      const bool keep = index == 30;
      p.setPen(Stroke(kBlue, 2.6));
      p.setBrush(Qt::NoBrush);
      const QRectF ring(5, 5, 22, 22);
      p.drawArc(ring, 100 * 16, keep ? 150 * 16 : 300 * 16);
      if (keep) p.drawArc(ring, 280 * 16, 150 * 16);
      p.setPen(Qt::NoPen);
      p.setBrush(kBlue);
      QPolygonF head;
      head << QPointF(9, 2) << QPointF(16.5, 6) << QPointF(9.5, 11.5);
      p.drawPolygon(head);
      if (keep) {
        QTransform half;
        half.translate(16, 16).rotate(180).translate(-16, -16);
        p.drawPolygon(half.map(head));
        p.setBrush(kGreen);
        p.drawEllipse(QPointF(16, 16), 3.6, 3.6);
      } else {
        p.setPen(Stroke(kLight, 2.2));
        p.drawLine(QPointF(16.5, 11), QPointF(16.5, 21));
        p.drawLine(QPointF(16.5, 11), QPointF(13.5, 13.5));
      }
      break;
    }
    default:
      break;
  }
}

constexpr int kRibbonImages = 31;

QImage RibbonImages(int scale) {
  QImage img(kRibbonImages * 32 * scale, 32 * scale, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  for (int i = 0; i < kRibbonImages; ++i) {
    QPainter p(&img);
    p.scale(scale, scale);
    p.translate(i * 32, 0);
    p.setClipRect(QRectF(0, 0, 32, 32));
    DrawCommand(p, i);
  }
  return img;
}

QImage OpacityImages(int scale) {
  const int values[] = {100, 90, 80, 70, 60, 50, 40, 30, 20, 10, 5};
  QImage img(11 * 32 * scale, 32 * scale, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.scale(scale, scale);
  for (int i = 0; i < 11; ++i) {
    const double x0 = i * 32;
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x)
        p.fillRect(QRectF(x0 + 4 + x * 6, 4 + y * 6, 6, 6), (x + y) % 2 ? kDim : kLight);
    p.fillRect(QRectF(x0 + 4, 4, 24, 24), QColor(kBlue.red(), kBlue.green(), kBlue.blue(), values[i] * 255 / 100));
  }
  return img;
}

QImage RibbonBackground() {
  QImage img(256, 96, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(255, 255, 255, 18), 1.5));
  for (int i = 0; i < 5; ++i) {
    QPainterPath wave;
    for (int x = 0; x <= 256; x += 4) {
      const double y = 20 + i * 14 + std::sin((x / 256.0) * 2 * M_PI * (i + 1)) * 8;
      if (x == 0) wave.moveTo(x, y); else wave.lineTo(x, y);
    }
    p.drawPath(wave);
  }
  return img;
}

// The info bar icons are drawn in a 24-unit square, scaled for the 200 % copy.
QImage InfoIcon(bool video, int scale) {
  QImage img(24 * scale, 24 * scale, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(scale, scale);
  p.setPen(Qt::NoPen);
  p.setBrush(kInk);
  if (video) {
    p.drawRoundedRect(QRectF(2, 6, 14, 12), 2.5, 2.5);  // body
    QPolygonF lens;
    lens << QPointF(17, 10.5) << QPointF(22, 7) << QPointF(22, 17) << QPointF(17, 13.5);
    p.drawPolygon(lens);
    p.setBrush(QColor(40, 44, 52));
    p.drawEllipse(QPointF(6.5, 10.5), 1.6, 1.6);  // recording light
  } else {
    const double heights[] = {6, 12, 18, 10, 14};
    for (int i = 0; i < 5; ++i) {
      const double h = heights[i];
      p.drawRoundedRect(QRectF(2.5 + i * 4, 12 - h / 2, 3, h), 1.2, 1.2);
    }
  }
  return img;
}

// The program's icon: a dark rounded tile, spectrum bars, a sine wave.
// kxToneScope.svg holds the same shapes in the same 256-unit space.
QImage AppIcon(int size) {
  QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 256.0, size / 256.0);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x1E, 0x2A, 0x33));
  p.drawRoundedRect(QRectF(8, 8, 240, 240), 44, 44);
  const double bars[] = {60, 104, 150, 120, 84, 56};
  p.setBrush(QColor(0x3F, 0xA7, 0xD6));
  for (int i = 0; i < 6; ++i) p.drawRect(QRectF(40 + i * 30, 216 - bars[i], 20, bars[i]));
  QPen pen(QColor(0xF2, 0xC1, 0x4E), 14);
  pen.setCapStyle(Qt::RoundCap);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  QPainterPath wave;
  wave.moveTo(32, 96);
  wave.cubicTo(64, 24, 96, 24, 128, 96);
  wave.cubicTo(160, 168, 192, 168, 224, 96);
  p.drawPath(wave);
  return img;
}

// The options page's picture (image 2004): the program's icon and its name,
// 240 x 56 at twice the size so it stays sharp at 200 %.
QImage OptionsPicture() {
  QImage img(480, 112, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.drawImage(QRect(0, 4, 104, 104), AppIcon(208));
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(44);
  font.setBold(true);
  p.setFont(font);
  p.setPen(QColor(0xE6, 0xEA, 0xEE));
  p.drawText(QRect(120, 0, 360, 112), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("kxToneScope"));
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
  bool ok = MeterIcons().save(out + "/meter_icons.png") && Spinner().save(out + "/spinner.png");
  for (int scale : {1, 2}) {
    const QString suffix = scale == 1 ? ".png" : "@2x.png";
    ok = ok && InfoIcon(true, scale).save(out + "/info_video" + suffix) &&
         InfoIcon(false, scale).save(out + "/info_audio" + suffix);
  }
  for (int scale : {1, 2}) {
    const QString suffix = scale == 1 ? ".png" : "@2x.png";
    ok = ok && RibbonImages(scale).save(out + "/ribbon_2000" + suffix) &&
         OpacityImages(scale).save(out + "/ribbon_2002" + suffix);
  }
  ok = ok && RibbonBackground().save(out + "/ribbon_142.png");
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
    ok = ok && AppIcon(size).save(out + QString("/app_icon_%1.png").arg(size));
  ok = ok && OptionsPicture().save(out + "/options_2004.png");
  if (!ok) std::fprintf(stderr, "cannot write the images into %s\n", argv[1]);
  return ok ? 0 : 1;
}
