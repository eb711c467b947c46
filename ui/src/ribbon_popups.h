// The drop-down popups of palette and colour buttons (inside the library).
#pragma once

#include <QFrame>
#include <QRect>
#include <vector>

#include "ui/ribbon.h"

namespace kx::ui {

// Where a popup of `size` goes under `anchor`: kept on the anchor's screen,
// above the anchor when there is no room below.
QPoint PopupPosition(const QWidget* anchor, const QSize& size);

// A grid of cells drawn by the popup itself, navigable by arrows, Enter,
// Space and Esc, with a tooltip per cell.
class GridPopup : public QFrame {
 public:
  explicit GridPopup(QWidget* owner);
  void ShowUnder(QWidget* face);
  int Current() const { return current_; }
  void SetCurrent(int cell);
  int CellCount() const { return static_cast<int>(cells_.size()); }
  QRect CellRect(int cell) const { return cells_.at(static_cast<size_t>(cell)).rect; }
  QString CellTip(int cell) const { return cells_.at(static_cast<size_t>(cell)).tip; }

 protected:
  struct Cell {
    QRect rect;
    int row, column;
    QString tip;
  };
  virtual void Choose(int cell) = 0;
  virtual int Initial() const = 0;  // the cell current when the popup opens
  int CellAt(const QPoint& p) const;
  int Step(int from, int key) const;
  void keyPressEvent(QKeyEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  bool event(QEvent* event) override;

  std::vector<Cell> cells_;
  int current_ = -1;
};

class PalettePopup : public GridPopup {
 public:
  PalettePopup(RibbonPalette* palette, const ImageStrip& images, const std::vector<PaletteItem>& items);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void Choose(int cell) override;
  int Initial() const override;

 private:
  RibbonPalette* palette_;
  std::vector<QIcon> icons_;
  QSize imageSize_;
};

class ColorPopup : public GridPopup {
 public:
  ColorPopup(RibbonColorButton* button, const ColorTable& table);
  int MoreCell() const { return static_cast<int>(cells_.size()) - 1; }
  QColor CellColor(int cell) const { return colors_.at(static_cast<size_t>(cell)); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void Choose(int cell) override;
  int Initial() const override;

 private:
  void MoreColors();
  RibbonColorButton* button_;
  std::vector<QColor> colors_;  // per cell; invalid for "More Colors"
  QString themeTitle_, standardTitle_, moreText_;
  QRect themeTitleRect_, standardTitleRect_;
};

}  // namespace kx::ui
