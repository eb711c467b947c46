// The dialogs the application runs for the frame.
#include <QInputDialog>
#include <QMessageBox>

#include "app/main_frame.h"
#include "dialogs/about_dlg.h"
#include "app/wave_app.h"

namespace kx {

bool CkxWaveApp::RunUrlDialog(QWidget* parent, QString& url) {
  if (m_urlPrompt) return m_urlPrompt(parent, url);
  bool ok = false;
  const QString text = QInputDialog::getText(parent, QStringLiteral("IP camera"),
                                             QStringLiteral("* RTSP url:"), QLineEdit::Normal, "rtsp://", &ok);
  if (!ok || text.isEmpty()) return false;
  url = text;
  return true;
}

void CkxWaveApp::RunAddBookmarkDialog(QWidget*, const QString&) {}
void CkxWaveApp::RunBookmarkListDialog(QWidget*) {}

void CkxWaveApp::OnAppAbout() {
  CAboutDlg dlg(m_pMainFrame.get());
  dlg.exec();
}

}  // namespace kx
