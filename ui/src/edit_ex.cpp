#include "ui/edit_ex.h"

#include <QAction>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>
#include <QStyleOptionFrame>

namespace kx {

CEditEx::CEditEx(QWidget* parent) : QLineEdit(parent) {
  // Repaint when the field becomes empty or filled: the message depends on it.
  connect(this, &QLineEdit::textChanged, this, qOverload<>(&QWidget::update));
}

void CEditEx::SetErrorMessage(const QString& text, const QColor& color, bool show) {
  m_strError = text;
  m_colorError = color;
  m_bErrorShown = show;
  update();
}

void CEditEx::ShowErrorMessage(bool show) {
  m_bErrorShown = show;
  update();
}

QIcon CEditEx::TipIcon(int style, int size, qreal dpr) {
  QPixmap pixmap(QSize(size, size) * dpr);
  pixmap.setDevicePixelRatio(dpr);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor fill = style == kTipProblem ? QColor(214, 64, 56) : style == kTipGood ? QColor(52, 168, 83) : QColor(48, 128, 220);
  const QRectF r(0.5, 0.5, size - 1.0, size - 1.0);
  p.setPen(QPen(fill.darker(140), 1.0));
  p.setBrush(fill);
  p.drawEllipse(r);
  QPen mark(Qt::white, size / 8.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(mark);
  const double s = size;
  if (style == kTipGood) {
    QPainterPath tick;
    tick.moveTo(s * 0.27, s * 0.52);
    tick.lineTo(s * 0.44, s * 0.69);
    tick.lineTo(s * 0.74, s * 0.34);
    p.setBrush(Qt::NoBrush);
    p.drawPath(tick);
  } else {
    const bool problem = style == kTipProblem;
    const double top = problem ? 0.24 : 0.45, bottom = problem ? 0.56 : 0.76, dot = problem ? 0.75 : 0.27;
    p.drawLine(QPointF(s / 2, s * top), QPointF(s / 2, s * bottom));
    p.drawPoint(QPointF(s / 2, s * dot));
  }
  return QIcon(pixmap);
}

void CEditEx::SetInfoTip(const QString& text, int style) {
  m_strTip = text;
  m_nTipStyle = style;
  if (style == kTipNone) {
    delete m_pTip;
    m_pTip = nullptr;
    setToolTip({});
    return;
  }
  const int size = fontMetrics().height();
  const QIcon icon = TipIcon(style, size, devicePixelRatioF());
  if (!m_pTip) m_pTip = addAction(icon, QLineEdit::TrailingPosition);
  m_pTip->setIcon(icon);
  // Keep the tip's line breaks ("\r\n" in the string table) as plain breaks.
  QString tip = text;
  tip.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  m_pTip->setToolTip(tip);
  setToolTip(tip);
}

void CEditEx::paintEvent(QPaintEvent* event) {
  QLineEdit::paintEvent(event);
  if (!IsErrorMessageVisible()) return;
  QPainter p(this);
  QStyleOptionFrame option;
  initStyleOption(&option);
  QRect r = style()->subElementRect(QStyle::SE_LineEditContents, &option, this).adjusted(3, 0, -3, 0);
  if (m_pTip) r.setRight(r.right() - fontMetrics().height() - 6);  // leave the tip's icon free
  p.setPen(m_colorError);
  p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
             fontMetrics().elidedText(m_strError, Qt::ElideRight, r.width()));
  p.setPen(QPen(m_colorError, 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace kx
