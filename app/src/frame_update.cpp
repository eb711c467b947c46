// The frame's parts of the update check, the options page and the about box.
#include <QAction>

#include "app/main_frame.h"
#include "app/ribbon_table.h"
#include "app/update_check.h"
#include "common/version_info.h"
#include "app/wave_app.h"
#include "dialogs/options_page.h"
#include "ui/registry_manager.h"
#include "ui/translation_manager.h"

namespace kx {

namespace {

// The user's UpdateUrl in "Settings": nothing when the value is not there
// at all (an empty value is there, and turns the check off).
std::optional<QString> StoredUpdateUrl() {
  const QString missing = QStringLiteral("\x01 no value");
  const QString value = CRegistryManager().GetProfileStringW(kSettingsSection, QStringLiteral("UpdateUrl"), missing);
  if (value == missing) return std::nullopt;
  return value;
}

}  // namespace

void CMainFrame::CheckForUpdate() {
  // The check owns itself and ends with the window at the latest.
  auto* check =
      new CUpdateCheck(this, VersionDocumentUrl(StoredUpdateUrl()), QString::fromStdU16String(GetProductVersion()));
  check->Start();
}

QWidget* CMainFrame::CreateOptionsPage() {
  return new CBackStagePageOptions(g_LangMgr, CUserData{m_app.m_strFolderLog, m_app.m_bookmark, m_app.m_log});
}

void CMainFrame::AddAboutKey() {
  auto* about = new QAction(this);
  about->setShortcut(QKeySequence(Qt::Key_F1));
  about->setShortcutContext(Qt::WindowShortcut);
  connect(about, &QAction::triggered, this, [this] { OnRibbonCommand(ribbon::ID_APP_ABOUT); });
  addAction(about);
}

}  // namespace kx
