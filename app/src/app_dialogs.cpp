// The dialogs the application runs for the frame.
#include <QInputDialog>
#include <QMessageBox>

#include "app/version_info.h"
#include "app/wave_app.h"

namespace kx {

void CkxWaveApp::LoadBookmarks() {}

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
  QMessageBox::about(m_pMainFrame ? static_cast<QWidget*>(nullptr) : nullptr, QString::fromStdU16String(GetFileDescription()),
                     QString::fromStdU16String(GetProductVersion()));
}

}  // namespace kx
