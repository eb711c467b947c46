#include "ui/link_button.h"

#include <QDesktopServices>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QUrl>
#include <cmath>

namespace kx {

bool IsWebLink(const QString& url) {
  const QUrl u(url.trimmed(), QUrl::StrictMode);
  const QString scheme = u.scheme().toLower();
  return u.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !u.host().isEmpty();
}

bool OpenWebLink(const QString& url) {
  if (!IsWebLink(url)) return false;
  return QDesktopServices::openUrl(QUrl(url.trimmed(), QUrl::StrictMode));
}

CUrlLinkButton::CUrlLinkButton(QWidget* parent) : QPushButton(parent) {
  setFlat(true);
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::StrongFocus);
  connect(this, &QPushButton::clicked, this, [this] {
    const bool opened = OpenWebLink(m_strUrl);
    emit LinkOpened(m_strUrl, opened);
  });
}

QSize CUrlLinkButton::sizeHint() const {
  // Fractional advances summed up can exceed the rounded width by a pixel,
  // which made paintEvent elide a text that should fit: round up, plus slack.
  const QFontMetricsF fm(font());
  return {static_cast<int>(std::ceil(fm.horizontalAdvance(text()))) + 10, static_cast<int>(std::ceil(fm.height())) + 6};
}

void CUrlLinkButton::SizeToContent() { resize(sizeHint()); }

void CUrlLinkButton::paintEvent(QPaintEvent*) {
  QStylePainter p(this);
  QFont f = font();
  f.setUnderline(m_bHover || hasFocus());
  p.setFont(f);
  const QPalette::ColorGroup group = isEnabled() ? QPalette::Active : QPalette::Disabled;
  p.setPen(palette().color(group, isEnabled() ? QPalette::Link : QPalette::WindowText));
  const QRect r = rect().adjusted(4, 0, -4, 0);
  // Cut with an ellipsis only when the button really is too narrow for the text.
  const bool fits = QFontMetricsF(f).horizontalAdvance(text()) <= r.width() + 2;
  p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip,
             fits ? text() : QFontMetrics(f).elidedText(text(), Qt::ElideRight, r.width()));
  if (hasFocus()) {
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = rect().adjusted(1, 1, -1, -1);
    p.drawPrimitive(QStyle::PE_FrameFocusRect, option);
  }
}

void CUrlLinkButton::enterEvent(QEnterEvent* event) {
  m_bHover = true;
  update();
  QPushButton::enterEvent(event);
}

void CUrlLinkButton::leaveEvent(QEvent* event) {
  m_bHover = false;
  update();
  QPushButton::leaveEvent(event);
}

}  // namespace kx
