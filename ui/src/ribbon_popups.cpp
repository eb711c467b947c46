#include "ribbon_popups.h"

#include <QColorDialog>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QToolTip>

#include "resources/res_str.h"

namespace kx::ui {

namespace {
QString Res(uint32_t id) { return QString::fromStdU16String(ResStr(id)); }
}  // namespace

GridPopup::GridPopup(QWidget* owner) : QFrame(owner, Qt::Popup) {
  setFrameShape(QFrame::StyledPanel);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_DeleteOnClose, false);
}

QPoint PopupPosition(const QWidget* anchor, const QSize& size) {
  QPoint at = anchor->mapToGlobal(QPoint(0, anchor->height()));
  if (const QScreen* screen = anchor->screen()) {
    const QRect avail = screen->availableGeometry();
    at.setX(std::clamp(at.x(), avail.left(), std::max(avail.left(), avail.right() + 1 - size.width())));
    if (at.y() + size.height() > avail.bottom() + 1) at.setY(anchor->mapToGlobal(QPoint(0, 0)).y() - size.height());
  }
  return at;
}

void GridPopup::ShowUnder(QWidget* face) {
  SetCurrent(Initial());
  adjustSize();
  move(PopupPosition(face, size()));
  show();
  setFocus(Qt::PopupFocusReason);
}

void GridPopup::SetCurrent(int cell) {
  current_ = cell >= 0 && cell < CellCount() ? cell : -1;
  update();
}

int GridPopup::CellAt(const QPoint& p) const {
  for (int i = 0; i < CellCount(); ++i)
    if (cells_[static_cast<size_t>(i)].rect.contains(p)) return i;
  return -1;
}

// The cell an arrow key moves to: left/right along the row, up/down to the
// nearest column of the next row that has cells.
int GridPopup::Step(int from, int key) const {
  if (cells_.empty()) return -1;
  if (from < 0) return 0;
  const Cell& c = cells_[static_cast<size_t>(from)];
  auto find = [&](int row, int column) {
    int best = -1;
    for (int i = 0; i < CellCount(); ++i) {
      const Cell& o = cells_[static_cast<size_t>(i)];
      if (o.row != row) continue;
      if (best < 0 || std::abs(o.column - column) < std::abs(cells_[static_cast<size_t>(best)].column - column))
        best = i;
    }
    return best;
  };
  int maxRow = 0;
  for (const Cell& o : cells_) maxRow = std::max(maxRow, o.row);
  switch (key) {
    case Qt::Key_Left: {
      const int i = find(c.row, c.column - 1);
      return i >= 0 && cells_[static_cast<size_t>(i)].column == c.column - 1 ? i : from;
    }
    case Qt::Key_Right: {
      const int i = find(c.row, c.column + 1);
      return i >= 0 && cells_[static_cast<size_t>(i)].column == c.column + 1 ? i : from;
    }
    case Qt::Key_Up:
      for (int r = c.row - 1; r >= 0; --r)
        if (int i = find(r, c.column); i >= 0) return i;
      return from;
    case Qt::Key_Down:
      for (int r = c.row + 1; r <= maxRow; ++r)
        if (int i = find(r, c.column); i >= 0) return i;
      return from;
  }
  return from;
}

void GridPopup::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
      SetCurrent(Step(current_, event->key()));
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
      if (current_ >= 0) Choose(current_);
      return;
    case Qt::Key_Escape:
      close();
      return;
  }
  QFrame::keyPressEvent(event);
}

void GridPopup::mouseMoveEvent(QMouseEvent* event) {
  const int cell = CellAt(event->position().toPoint());
  if (cell >= 0 && cell != current_) SetCurrent(cell);
}

void GridPopup::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const int cell = CellAt(event->position().toPoint());
  if (cell >= 0) Choose(cell);
}

bool GridPopup::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const int cell = CellAt(help->pos());
    if (cell >= 0 && !CellTip(cell).isEmpty()) QToolTip::showText(help->globalPos(), CellTip(cell), this, CellRect(cell));
    else QToolTip::hideText();
    return true;
  }
  return QFrame::event(event);
}

// ---------------------------------------------------------------- palette

PalettePopup::PalettePopup(RibbonPalette* palette, const ImageStrip& images, const std::vector<PaletteItem>& items)
    : GridPopup(palette), palette_(palette) {
  const int w = std::max(16, images.Width());
  const QImage first = images.Image(0);
  imageSize_ = QSize(w, first.isNull() ? w : first.height());
  const int pad = 4, columns = items.size() <= 12 ? std::max<int>(1, static_cast<int>(items.size())) : 8;
  const int cellW = imageSize_.width() + 2 * pad, cellH = imageSize_.height() + 2 * pad;
  for (size_t i = 0; i < items.size(); ++i) {
    const int r = static_cast<int>(i) / columns, c = static_cast<int>(i) % columns;
    cells_.push_back({QRect(3 + c * cellW, 3 + r * cellH, cellW, cellH), r, c, items[i].tooltip});
    icons_.push_back(images.Icon(items[i].image));
  }
  const int rows = (static_cast<int>(items.size()) + columns - 1) / columns;
  setFixedSize(6 + columns * cellW, 6 + std::max(1, rows) * cellH);
}

int PalettePopup::Initial() const { return palette_->SelectedItem() >= 0 ? palette_->SelectedItem() : 0; }

void PalettePopup::Choose(int cell) { palette_->PickItem(cell); }

void PalettePopup::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter p(this);
  const QPalette& pal = palette();
  for (int i = 0; i < CellCount(); ++i) {
    const QRect r = CellRect(i);
    if (i == palette_->SelectedItem()) p.fillRect(r.adjusted(1, 1, -1, -1), pal.color(QPalette::Highlight));
    if (i == current_) {
      p.setPen(QPen(pal.color(QPalette::HighlightedText), 1, Qt::DotLine));
      p.setBrush(Qt::NoBrush);
      p.drawRect(r.adjusted(1, 1, -2, -2));
    }
    const QRect image(r.topLeft() + QPoint((r.width() - imageSize_.width()) / 2, (r.height() - imageSize_.height()) / 2),
                      imageSize_);
    icons_[static_cast<size_t>(i)].paint(&p, image);
  }
}

// ---------------------------------------------------------------- colours

ColorPopup::ColorPopup(RibbonColorButton* button, const ColorTable& table) : GridPopup(button), button_(button) {
  themeTitle_ = table.themeTitle;
  standardTitle_ = table.standardTitle;
  moreText_ = table.moreText.isEmpty() ? Res(5000) : table.moreText;
  const QString moreTip = table.moreTooltip.isEmpty() ? Res(5001) : table.moreTooltip;
  const int box = table.boxSize > 0 ? table.boxSize : 18, gap = 4, margin = 6;
  const QFontMetrics fm = fontMetrics();
  const int titleH = fm.height() + 6;
  const int columns = std::max<int>(10, static_cast<int>(table.theme.size()));
  const int width = 2 * margin + columns * box + (columns - 1) * gap;
  int y = margin;
  auto addRow = [&](const std::vector<NamedColor>& colors, int row, int top) {
    for (size_t i = 0; i < colors.size(); ++i) {
      const int c = static_cast<int>(i);
      cells_.push_back({QRect(margin + c * (box + gap), top, box, box), row, c, colors[i].name});
      colors_.push_back(colors[i].color);
    }
  };
  if (!themeTitle_.isEmpty()) {
    themeTitleRect_ = QRect(0, y, width, titleH);
    y += titleH + 2;
  }
  addRow(table.theme, 0, y);
  y += box + gap;
  // The shades sit in contiguous columns under their theme colour.
  const int perRow = std::max<int>(1, static_cast<int>(table.theme.size()));
  const int shadeRows = (static_cast<int>(table.shades.size()) + perRow - 1) / perRow;
  for (int r = 0; r < shadeRows; ++r) {
    std::vector<NamedColor> row(table.shades.begin() + r * perRow,
                                table.shades.begin() + std::min<int>((r + 1) * perRow, static_cast<int>(table.shades.size())));
    addRow(row, 1 + r, y);
    y += box;
  }
  y += gap;
  if (!standardTitle_.isEmpty()) {
    standardTitleRect_ = QRect(0, y, width, titleH);
    y += titleH + 2;
  }
  addRow(table.standard, 1 + shadeRows + 1, y);
  y += box + gap + 2;
  const int moreH = fm.height() + 10;
  cells_.push_back({QRect(margin, y, width - 2 * margin, moreH), 1 + shadeRows + 2, 0, moreTip});
  colors_.push_back(QColor());
  y += moreH + margin;
  setFixedSize(width, y);
}

int ColorPopup::Initial() const {
  for (int i = 0; i < MoreCell(); ++i)
    if (colors_[static_cast<size_t>(i)].rgb() == button_->Color().rgb()) return i;
  return 0;
}

void ColorPopup::Choose(int cell) {
  if (cell == MoreCell()) {
    MoreColors();
    return;
  }
  button_->PickColor(CellColor(cell));
}

void ColorPopup::MoreColors() {
  close();
  QPointer<RibbonColorButton> button(button_);
  QColorDialog dialog(button_->Color(), button_->window());
  dialog.setOption(QColorDialog::DontUseNativeDialog);
  dialog.setWindowTitle(QString(moreText_).remove('&').remove(QStringLiteral("...")));
  const bool ok = dialog.exec() == QDialog::Accepted;
  if (ok && button) button->PickColor(dialog.selectedColor());
}

void ColorPopup::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter p(this);
  const QPalette& pal = palette();
  auto title = [&](const QRect& r, const QString& text) {
    if (r.isNull()) return;
    p.fillRect(r, pal.color(QPalette::Button));
    QFont f = font();
    f.setBold(true);
    p.setFont(f);
    p.setPen(pal.color(QPalette::ButtonText));
    p.drawText(r.adjusted(6, 0, -6, 0), Qt::AlignVCenter | Qt::AlignLeft, text);
    p.setFont(font());
  };
  title(themeTitleRect_, themeTitle_);
  title(standardTitleRect_, standardTitle_);
  const QColor current = button_->Color();
  for (int i = 0; i < MoreCell(); ++i) {
    const QRect r = CellRect(i);
    p.fillRect(r, CellColor(i));
    p.setPen(pal.color(QPalette::Mid));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(0, 0, -1, -1));
    if (CellColor(i).rgb() == current.rgb() || i == current_) {
      // Selected or current box: a two-tone frame readable on any colour.
      p.setPen(pal.color(QPalette::Highlight));
      p.drawRect(r.adjusted(-2, -2, 1, 1));
      p.setPen(i == current_ ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::Highlight));
      p.drawRect(r.adjusted(-1, -1, 0, 0));
    }
  }
  const QRect more = CellRect(MoreCell());
  if (current_ == MoreCell()) p.fillRect(more, pal.color(QPalette::Highlight));
  p.setPen(pal.color(current_ == MoreCell() ? QPalette::HighlightedText : QPalette::ButtonText));
  p.drawText(more.adjusted(8, 0, -8, 0), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextShowMnemonic, moreText_);
}

}  // namespace kx::ui
