// The dialogs the application runs for the frame.
#include "app/main_frame.h"
#include "app/wave_app.h"
#include "dialogs/about_dlg.h"
#include "dialogs/bookmark_dlg.h"
#include "dialogs/url_dlg.h"
#include "kxSystem.h"

namespace kx {

bool CkxWaveApp::RunUrlDialog(QWidget* parent, QString& url) {
  if (m_urlPrompt) return m_urlPrompt(parent, url);
  CUrlDlg dlg(m_bookmark, parent);
  if (dlg.exec() != QDialog::Accepted) return false;
  url = dlg.GetUrl();
  return true;
}

// Both fields start as the current address, the name with its password
// masked (names are shown everywhere); OK adds the bookmark and saves the file.
void CkxWaveApp::RunAddBookmarkDialog(QWidget* parent, const QString& url) {
  CBookmarkItemDlg dlg(parent);
  dlg.m_strName = QString::fromStdU16String(kxMaskUrlPassword(url.toStdU16String()));
  dlg.m_strUrl = url;
  if (dlg.exec() != QDialog::Accepted) return;
  m_bookmark.Add(dlg.m_strName.toStdU16String(), dlg.m_strUrl.toStdU16String());
  SaveBookmarks(parent, m_bookmark);
}

void CkxWaveApp::RunBookmarkListDialog(QWidget* parent) {
  CBookmarkListDlg dlg(m_bookmark, parent);
  dlg.exec();
}

void CkxWaveApp::OnAppAbout() {
  CAboutDlg dlg(m_pMainFrame.get());
  dlg.exec();
}

}  // namespace kx
