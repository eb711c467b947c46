// A single-line edit that can carry an error message and an information tip.
//
// The error message (text, colour, shown) is drawn inside the empty field in
// its colour, with a frame of that colour: a field the user must fill says
// so where the text goes. The information tip is an icon at the right end of
// the field, vertically centred; hovering it (or the field) shows the tip's
// text. Style 1 marks a problem (a red round sign with "!"), style 3 a good
// state (a green round sign with a tick), style 2 plain information (a blue
// "i"); style 0 removes the tip.
#pragma once

#include <QColor>
#include <QLineEdit>
#include <QString>

class QAction;

namespace kx {

enum InfoTipStyle : int { kTipNone = 0, kTipProblem = 1, kTipInfo = 2, kTipGood = 3 };

class CEditEx : public QLineEdit {
  Q_OBJECT
 public:
  explicit CEditEx(QWidget* parent = nullptr);

  void SetErrorMessage(const QString& text, const QColor& color, bool show = true);
  void ShowErrorMessage(bool show);
  QString GetErrorMessage() const { return m_strError; }
  QColor GetErrorColor() const { return m_colorError; }
  bool IsErrorMessageShown() const { return m_bErrorShown; }
  // Whether the message is on screen now: shown, and the field empty.
  bool IsErrorMessageVisible() const { return m_bErrorShown && !m_strError.isEmpty() && text().isEmpty(); }

  void SetInfoTip(const QString& text, int style);
  QString GetInfoTip() const { return m_strTip; }
  int GetInfoTipStyle() const { return m_nTipStyle; }

  // The tip's icon, drawn for the device pixel ratio (exposed for tests).
  static QIcon TipIcon(int style, int size, qreal dpr);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString m_strError;
  QColor m_colorError = QColor(0xCD, 0x5C, 0x5C);
  bool m_bErrorShown = false;
  QString m_strTip;
  int m_nTipStyle = kTipNone;
  QAction* m_pTip = nullptr;
};

}  // namespace kx
