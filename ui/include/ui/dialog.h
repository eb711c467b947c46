// Dialogs described as data. A dialog template lists its controls with their
// place in dialog units (the classic measure: a quarter of the font's average
// character width, an eighth of its height), their text (a resource string)
// and how each follows the dialog when it is resized (layout anchors).
// CDialogEx builds the controls from it, in the order given (which is also
// the keyboard's tab order), and keeps the anchors while the user resizes.
//
// Control id 1 closes the dialog with OK (accept()), id 2 with Cancel
// (reject()); override accept() to read the fields first.
#pragma once

#include <QDialog>
#include <QRect>
#include <QString>
#include <cstdint>
#include <map>
#include <vector>

class QPushButton;

namespace kx {

enum class MoveType { None, Horz, Vert, Both };  // move with the right edge, the bottom edge, or both
enum class SizeType { None, Horz, Vert, Both };  // stretch with the width, the height, or both

enum class CtlKind {
  Label,         // QLabel, one line
  Edit,          // CEditEx
  Button,        // QPushButton
  DefButton,     // QPushButton, the default (Enter)
  Check,         // QCheckBox
  Combo,         // QComboBox, drop-down list without edit field
  List,          // QTreeWidget as a report-mode list: the dialog adds its columns
  HLine,         // CSeparator, horizontal
  VLine,         // CSeparator, vertical
  Link,          // CUrlLinkButton
  Frame,         // an empty, invisible placeholder (a picture is painted into its rectangle)
  ExpandButton,  // the button of the expandable area (see EnableExpand)
};

constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

struct DlgControl {
  int id;
  CtlKind kind;
  uint32_t textId;  // resource string; 0: `text` below, or none
  int x, y, w, h;   // dialog units; w or h 0: the control's natural size
  MoveType move = MoveType::None;
  SizeType size = SizeType::None;
  const char16_t* text = nullptr;  // literal text when there is no resource string ("...")
};

struct DlgTemplate {
  int w, h;            // dialog units (the expanded size when there is an expandable area)
  uint32_t captionId;  // 0: no caption
  std::vector<DlgControl> controls;
};

class CDialogEx : public QDialog {
  Q_OBJECT
 public:
  explicit CDialogEx(QWidget* parent = nullptr);

  // Creates every control of the template; call once, from the constructor.
  void Build(const DlgTemplate& dlg);

  // The control with that id, or null.
  QWidget* GetDlgItem(int id) const;
  template <class T>
  T* Item(int id) const {
    return qobject_cast<T*>(GetDlgItem(id));
  }

  // Dialog units to pixels, for this dialog's font.
  int DluX(int x) const;
  int DluY(int y) const;
  QRect DluRect(int x, int y, int w, int h) const;

  // Layout anchors: `w` keeps its distance to the right/bottom edge (move)
  // or its margins (stretch) while the dialog is resized. The template's
  // anchors are set by Build; these change them later.
  void AddAnchor(QWidget* w, MoveType move, SizeType size);
  void AddAnchor(int id, MoveType move, SizeType size);

  // The expandable area: every control below the expand button. The button
  // shows `expandText` while the area is collapsed and `collapseText` while
  // it is open; clicking it (or Space/Enter on it) toggles the area, and the
  // dialog grows or shrinks by the area's height. The area has a background
  // of its own.
  void EnableExpand(int buttonId, const QString& expandText, const QString& collapseText);
  void Expand(bool expand);
  bool IsExpanded() const { return m_bExpanded; }

 signals:
  void Expanded(bool expanded);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  struct Anchored {
    QWidget* widget;
    QRect base;  // pixels, at the reference size
    MoveType move;
    SizeType size;
  };
  void Relayout();
  QRect ExpandAreaRect() const;

  std::map<int, QWidget*> m_items;
  std::vector<Anchored> m_anchors;
  QSize m_refSize;  // the size the base rectangles were laid out for
  QPushButton* m_pExpandButton = nullptr;
  std::vector<QWidget*> m_expandArea;
  int m_nAreaTop = 0;      // pixels: where the area's background starts
  int m_nAreaHeight = 0;   // pixels the dialog grows by when expanded
  QString m_strExpand, m_strCollapse;
  bool m_bExpanded = true;
};

}  // namespace kx
