#include "ui/dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QStyle>
#include <QTreeWidget>
#include <algorithm>

#include "ui/edit_ex.h"
#include "ui/link_button.h"
#include "resources/res_str.h"
#include "ui/separator.h"

namespace kx {

namespace {

QString ControlText(const DlgControl& c) {
  if (c.textId != 0) return QString::fromStdU16String(ResStr(c.textId));
  return c.text ? QString::fromUtf16(c.text) : QString();
}

bool GrowsToText(CtlKind kind) {
  return kind == CtlKind::Label || kind == CtlKind::Check || kind == CtlKind::Link || kind == CtlKind::Button ||
         kind == CtlKind::DefButton;
}

QWidget* MakeControl(const DlgControl& c, QWidget* parent) {
  const QString text = ControlText(c);
  switch (c.kind) {
    case CtlKind::Label: {
      auto* label = new QLabel(text, parent);
      label->setTextFormat(Qt::PlainText);
      return label;
    }
    case CtlKind::Edit:
      return new CEditEx(parent);
    case CtlKind::Button:
    case CtlKind::DefButton: {
      auto* button = new QPushButton(text, parent);
      button->setAutoDefault(true);
      button->setDefault(c.kind == CtlKind::DefButton);
      return button;
    }
    case CtlKind::Check:
      return new QCheckBox(text, parent);
    case CtlKind::Combo: {
      auto* combo = new QComboBox(parent);
      combo->setEditable(false);
      return combo;
    }
    case CtlKind::List: {
      auto* list = new QTreeWidget(parent);
      list->setRootIsDecorated(false);
      list->setUniformRowHeights(true);
      list->setAllColumnsShowFocus(true);
      list->header()->setStretchLastSection(false);
      list->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
      return list;
    }
    case CtlKind::HLine:
      return new CSeparator(Qt::Horizontal, parent);
    case CtlKind::VLine:
      return new CSeparator(Qt::Vertical, parent);
    case CtlKind::Link: {
      auto* link = new CUrlLinkButton(parent);
      link->setText(text);
      return link;
    }
    case CtlKind::Frame: {
      auto* frame = new QWidget(parent);
      frame->setAttribute(Qt::WA_TransparentForMouseEvents);
      return frame;
    }
    case CtlKind::ExpandButton: {
      auto* button = new QPushButton(text, parent);
      button->setFlat(true);
      button->setAutoDefault(false);
      button->setStyleSheet(QStringLiteral("text-align: left; padding-left: 4px;"));
      return button;
    }
  }
  return nullptr;
}

}  // namespace

CDialogEx::CDialogEx(QWidget* parent) : QDialog(parent) { setSizeGripEnabled(false); }

int CDialogEx::DluX(int x) const {
  const QFontMetrics fm(font());
  const int width52 = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  const int baseX = (width52 / 26 + 1) / 2;
  return (x * baseX + 2) / 4;
}

int CDialogEx::DluY(int y) const { return (y * QFontMetrics(font()).height() + 4) / 8; }

QRect CDialogEx::DluRect(int x, int y, int w, int h) const { return {DluX(x), DluY(y), DluX(w), DluY(h)}; }

void CDialogEx::Build(const DlgTemplate& dlg) {
  if (dlg.captionId != 0) setWindowTitle(QString::fromStdU16String(ResStr(dlg.captionId)));
  QSize size(DluX(dlg.w), DluY(dlg.h));
  for (const DlgControl& c : dlg.controls) {
    QWidget* w = MakeControl(c, this);
    if (!w) continue;
    w->setObjectName(QStringLiteral("dlgItem%1").arg(c.id));
    QRect r = DluRect(c.x, c.y, c.w, c.h);
    const QSize hint = w->sizeHint();
    if (c.w == 0 || (GrowsToText(c.kind) && hint.width() > r.width())) r.setWidth(hint.width());
    if (c.h == 0 || (GrowsToText(c.kind) && hint.height() > r.height())) r.setHeight(hint.height());
    // A longer translation widens the dialog rather than being cut.
    size = size.expandedTo(QSize(r.right() + 1 + DluX(7), r.bottom() + 1));
    if (c.id != 0) m_items[c.id] = w;
    m_anchors.push_back({w, r, c.move, c.size});
    w->setGeometry(r);
    if (c.id == kIdOk) connect(qobject_cast<QPushButton*>(w), &QPushButton::clicked, this, &QDialog::accept);
    if (c.id == kIdCancel) connect(qobject_cast<QPushButton*>(w), &QPushButton::clicked, this, &QDialog::reject);
  }
  m_refSize = size;
  setMinimumSize(size);
  resize(size);
  Relayout();
}

QWidget* CDialogEx::GetDlgItem(int id) const {
  const auto it = m_items.find(id);
  return it == m_items.end() ? nullptr : it->second;
}

void CDialogEx::AddAnchor(QWidget* w, MoveType move, SizeType size) {
  for (Anchored& a : m_anchors)
    if (a.widget == w) {
      a.move = move;
      a.size = size;
      Relayout();
      return;
    }
  if (w) m_anchors.push_back({w, w->geometry(), move, size});
  Relayout();
}

void CDialogEx::AddAnchor(int id, MoveType move, SizeType size) { AddAnchor(GetDlgItem(id), move, size); }

void CDialogEx::Relayout() {
  if (!m_refSize.isValid()) return;
  const int dx = width() - m_refSize.width(), dy = height() - m_refSize.height();
  for (const Anchored& a : m_anchors) {
    QRect r = a.base;
    if (a.move == MoveType::Horz || a.move == MoveType::Both) r.translate(dx, 0);
    if (a.move == MoveType::Vert || a.move == MoveType::Both) r.translate(0, dy);
    if (a.size == SizeType::Horz || a.size == SizeType::Both) r.setWidth(std::max(0, r.width() + dx));
    if (a.size == SizeType::Vert || a.size == SizeType::Both) r.setHeight(std::max(0, r.height() + dy));
    a.widget->setGeometry(r);
  }
}

void CDialogEx::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  Relayout();
}

void CDialogEx::EnableExpand(int buttonId, const QString& expandText, const QString& collapseText) {
  m_pExpandButton = Item<QPushButton>(buttonId);
  if (!m_pExpandButton) return;
  m_strExpand = expandText;
  m_strCollapse = collapseText;
  QRect button;
  for (const Anchored& a : m_anchors)
    if (a.widget == m_pExpandButton) button = a.base;
  m_expandArea.clear();
  int bottom = button.bottom();
  for (const Anchored& a : m_anchors)
    if (a.widget != m_pExpandButton && a.base.top() > button.bottom()) {
      m_expandArea.push_back(a.widget);
      bottom = std::max(bottom, a.base.bottom());
    }
  m_nAreaTop = std::max(0, button.top() - DluY(4));
  const int collapsedHeight = button.bottom() + 1 + DluY(4);
  m_nAreaHeight = std::max(0, m_refSize.height() - collapsedHeight);
  m_bExpanded = true;
  m_pExpandButton->setText(m_strCollapse);
  m_pExpandButton->setIcon(style()->standardIcon(QStyle::SP_ArrowUp));
  connect(m_pExpandButton, &QPushButton::clicked, this, [this] { Expand(!m_bExpanded); });
  update();
}

void CDialogEx::Expand(bool expand) {
  if (!m_pExpandButton || expand == m_bExpanded) return;
  m_bExpanded = expand;
  for (QWidget* w : m_expandArea) w->setVisible(expand);
  m_pExpandButton->setText(expand ? m_strCollapse : m_strExpand);
  m_pExpandButton->setIcon(style()->standardIcon(expand ? QStyle::SP_ArrowUp : QStyle::SP_ArrowDown));
  const int delta = expand ? m_nAreaHeight : -m_nAreaHeight;
  const int target = height() + delta;  // before the new minimum may already grow the dialog
  m_refSize.rheight() += delta;
  setMinimumSize(m_refSize);
  resize(width(), target);
  Relayout();
  update();
  emit Expanded(expand);
}

QRect CDialogEx::ExpandAreaRect() const {
  if (!m_pExpandButton) return {};
  return {0, m_nAreaTop, width(), height() - m_nAreaTop};
}

void CDialogEx::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  const QRect area = ExpandAreaRect();
  if (area.isEmpty()) return;
  QPainter p(this);
  p.fillRect(area, palette().color(QPalette::AlternateBase));
  p.setPen(palette().color(QPalette::Midlight));
  p.drawLine(area.topLeft(), area.topRight());
}

}  // namespace kx
