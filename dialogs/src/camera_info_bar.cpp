#include "dialogs/camera_info_bar.h"

#include <QApplication>
#include <QFile>
#include <QFontMetrics>
#include <QPainter>

#include "resources/res_str.h"

// The resource file sits in a static library: pull it in by name.
static void InitAppImages() { Q_INIT_RESOURCE(app_images); }

namespace kx {

void InitProgramImages() { ::InitAppImages(); }

namespace {

constexpr uint32_t IDS_INFO_NOT_AVAILABLE = 3337;
const QColor kTextColor(200, 200, 200);
constexpr int kTextLeft = 45;
constexpr int kTextGap = 8;  // between the video line and the event counts
// Line boxes as (top, bottom); the icons sit at (8, 1) and (8, 25).
constexpr int kVideoTop = 5, kVideoBottom = 20;
constexpr int kAudioTop = 26, kAudioBottom = 46;
constexpr int kIconSize = 24;

// An icon from the program's resources in its 24 and 48 pixel drawings, so
// it stays sharp at 200 %. Null when either is missing.
QIcon LoadIcon(int id) {
  InitProgramImages();
  QIcon icon;
  for (int px : {24, 48}) {
    const QString path = QString(":/ICON/%1/%2.png").arg(id).arg(px);
    if (!QFile::exists(path)) return {};
    icon.addFile(path, QSize(px, px));
  }
  return icon;
}

}  // namespace

CCameraInfoBar::CCameraInfoBar(QWidget* parent) : QWidget(parent) {
  // The application's user-interface font, 14 pixels high, semi-bold.
  m_font = QApplication::font();
  m_font.setPixelSize(14);
  m_font.setWeight(QFont::DemiBold);
  m_strVideo = m_strAudio = NotAvailable();
  setFixedHeight(kHeight);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Button);
  setObjectName("CameraInfoBar");
}

bool CCameraInfoBar::Create(QWidget* frame) {
  if (!frame) return false;
  if (parentWidget() != frame && !frame->isAncestorOf(this)) setParent(frame);
  QIcon video = LoadIcon(131), audio = LoadIcon(132);
  if (!video.isNull() && !audio.isNull()) {
    m_hIconVideo = video;
    m_hIconAudio = audio;
  }
  return true;
}

QString CCameraInfoBar::NotAvailable() { return QString::fromStdU16String(ResStr(IDS_INFO_NOT_AVAILABLE)); }

void CCameraInfoBar::Reset() {
  m_strVideo.clear();
  m_strAudio.clear();
  m_strVideo = m_strAudio = NotAvailable();
  update();
}

void CCameraInfoBar::SetVideoText(const QString& text) {
  m_strVideo = text;
  update();
}

void CCameraInfoBar::SetAudioText(const QString& text) {
  m_strAudio = text;
  update();
}

void CCameraInfoBar::SetEventsText(const QString& text) {
  if (text == m_strEvents) return;
  m_strEvents = text;
  update();
}

int CCameraInfoBar::EventsWidth() const {
  return m_strEvents.isEmpty() ? 0 : QFontMetrics(m_font).horizontalAdvance(m_strEvents) + 2 * kTextGap;
}

QString CCameraInfoBar::Elided(const QString& text, int spare) const {
  const int width = std::max(0, rect().right() - kTextLeft - spare);
  return QFontMetrics(m_font).elidedText(text, Qt::ElideRight, width);
}

QString CCameraInfoBar::ShownVideoLine() const { return Elided(m_strVideo, EventsWidth()); }
QString CCameraInfoBar::ShownAudioLine() const { return Elided(m_strAudio); }

void CCameraInfoBar::paintEvent(QPaintEvent*) {
  // The background is the palette's button face (auto fill).
  QPainter p(this);
  p.setFont(m_font);
  p.setPen(kTextColor);
  if (HasIcons()) {
    m_hIconVideo.paint(&p, QRect(8, 1, kIconSize, kIconSize));
    m_hIconAudio.paint(&p, QRect(8, 25, kIconSize, kIconSize));
  }
  const int right = rect().right();
  const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
  if (!m_strVideo.isEmpty())
    p.drawText(QRect(QPoint(kTextLeft, kVideoTop), QPoint(right, kVideoBottom)), flags, ShownVideoLine());
  if (!m_strAudio.isEmpty())
    p.drawText(QRect(QPoint(kTextLeft, kAudioTop), QPoint(right, kAudioBottom)), flags, ShownAudioLine());
  if (!m_strEvents.isEmpty())
    p.drawText(QRect(QPoint(right - EventsWidth() + kTextGap, kVideoTop), QPoint(right - kTextGap, kVideoBottom)),
               Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, m_strEvents);
}

}  // namespace kx
