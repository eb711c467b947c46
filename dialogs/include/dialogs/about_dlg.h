// The plain about box of the About command: the program's icon, its name and
// version line, the legal notice and OK.
#pragma once

#include "ui/dialog.h"

namespace kx {

class CAboutDlg : public CDialogEx {
  Q_OBJECT
 public:
  enum : int { IDC_ICON = 1000, IDC_NAME = 1001, IDC_COPYRIGHT = 1002 };
  explicit CAboutDlg(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace kx
