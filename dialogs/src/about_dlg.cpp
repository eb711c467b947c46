#include "dialogs/about_dlg.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>

#include "common/version_info.h"

namespace kx {

namespace {

constexpr uint32_t IDS_ABOUT_CAPTION = 5410;
constexpr uint32_t IDS_ABOUT_NAME = 5411;
constexpr uint32_t IDS_OK = 3315;

// Template 100 (dialog units).
const DlgTemplate kTemplate100{170,
                               62,
                               IDS_ABOUT_CAPTION,
                               {
                                   {CAboutDlg::IDC_ICON, CtlKind::Frame, 0, 14, 14, 21, 20},
                                   {CAboutDlg::IDC_NAME, CtlKind::Label, IDS_ABOUT_NAME, 42, 14, 114, 8},
                                   {CAboutDlg::IDC_COPYRIGHT, CtlKind::Label, 0, 42, 26, 114, 8},
                                   {kIdOk, CtlKind::DefButton, IDS_OK, 113, 41, 50, 14},
                               }};

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : CDialogEx(parent) {
  // The legal notice is the version table's; built in so a longer one widens the box.
  const std::u16string copyright = GetLegalCopyright();
  DlgTemplate dlg = kTemplate100;
  dlg.controls[2].text = copyright.c_str();
  Build(dlg);
}

void CAboutDlg::paintEvent(QPaintEvent* event) {
  CDialogEx::paintEvent(event);
  // Icon 128, the program's window icon, in the size of its frame.
  const QRect r = GetDlgItem(IDC_ICON)->geometry();
  const int side = std::min(r.width(), r.height());
  QPainter p(this);
  QApplication::windowIcon().paint(&p, QRect(r.topLeft(), QSize(side, side)));
}

}  // namespace kx
