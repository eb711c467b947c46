#include "app/wave_app.h"

#include <QApplication>
#include <QDir>
#include <QInputDialog>
#include <QStandardPaths>

#include "common/app_log.h"
#include "app/main_frame.h"
#include "dialogs/bookmark_dlg.h"
#include "dialogs/camera_info_bar.h"
#include "ui/theme.h"
#include "ui/translation_manager.h"

namespace kx {

CkxWaveApp* CkxWaveApp::s_pApp = nullptr;

namespace {

}  // namespace

CkxWaveApp::CkxWaveApp() {
  s_pApp = this;
  // The application user-model id groups the program's windows on the
  // desktop; here that is the desktop entry the windows belong to.
  QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopFileName));
  if (auto* qtApp = qobject_cast<QApplication*>(QCoreApplication::instance())) {
    SetVisualTheme(*qtApp, kVisualTheme);
    // Every window and box without an icon of its own (the about box paints it) shows the program's.
    QApplication::setWindowIcon(WindowIcon());
  }
}

CkxWaveApp::~CkxWaveApp() {
  m_pMainFrame.reset();
  if (s_pApp == this) s_pApp = nullptr;
}

bool CkxWaveApp::InitInstance() {
  // Common controls, the framework's own start, the taskbar interaction and
  // the library's global flag have no meaning here.
  // The store: organisation "KEXAR", application "kxToneScope", section "Settings".
  QCoreApplication::setOrganizationName(QStringLiteral("KEXAR"));
  QCoreApplication::setApplicationName(QStringLiteral("kxToneScope"));
  m_nSpectrumCounter = 0;
  m_store.LoadValues();
  QDir().mkpath(m_strFolderLog);  // a failure is not reported
  m_bookmark.SetFolder(m_strFolderLog.toStdU16String());
  m_bookmark.Load();
  m_store.LoadColorsAndOutput();
  // COM has no meaning here. Translations: "UILanguage" in "Settings",
  // files in the "Translations" folder.
  g_LangMgr.Initialize(CLocalizeMgr::DefaultFolder(), QStringLiteral("UILanguage"));
  // The classic-theme check and OLE have no meaning here: Qt always draws
  // themed controls.
  ParseCommandLine(m_cmdLine);
  if (m_cmdLine.m_nResult == CmdLineHelp) return false;

  m_pMainFrame = std::make_unique<CMainFrame>(*this);
  if (m_cmdLine.m_nResult == CmdLineNoUrl) {
    QString url;
    if (!RunUrlDialog(nullptr, url)) {
      m_pMainFrame.reset();
      return false;
    }
    m_pMainFrame->m_strCameraUrl = url;
  }
  RegisterEndpointNotifications();
  m_log.CreateLogFile(kxNormalizePath(m_strFolderLog.toStdU16String()), u"ToneScope");
  SetAppLog(&m_log);
  if (!m_pMainFrame->LoadFrame()) return false;
  m_pMainFrame->ShowMainFrame();
  // Told once, over the window: a bookmark file that could not be read was kept.
  if (const QString kept = BookmarkKeptAsideMessage(m_bookmark); !kept.isEmpty())
    m_pMainFrame->MessageBox(MessageIcon::Warning, kept.toStdU16String());
  return true;
}

int CkxWaveApp::ExitInstance(int loopResult) {
  // Notifications go first: the sound server's thread reads m_pMainFrame in
  // the devices-changed callback, so it must be quiet before the frame goes.
  // The frame's destruction then stops the view's threads.
  UnregisterEndpointNotifications();
  m_pMainFrame.reset();
  SetAppLog(nullptr);
  m_log.Close();
  return loopResult;
}

void CkxWaveApp::RegisterEndpointNotifications() {
  m_pNotificationClient = std::make_unique<CMMNotificationClient>(
      // The stop posted to the client view has no handler there: the device
      // list rebuild below is what follows a default-device change.
      nullptr, [this] {
        if (m_pMainFrame) m_pMainFrame->PostAudioDevicesChanged();
      });
  m_pEnumerator = std::make_unique<platform::audio::EndpointEnumerator>();
  if (platform::audio::Failed(m_pEnumerator->RegisterEndpointNotificationCallback(m_pNotificationClient.get()))) {
    // Silent: the program runs without device-change notifications.
  }
}

void CkxWaveApp::UnregisterEndpointNotifications() {
  if (m_pEnumerator && m_pNotificationClient)
    m_pEnumerator->UnregisterEndpointNotificationCallback(m_pNotificationClient.get());
  m_pEnumerator.reset();
  m_pNotificationClient.reset();
}

void CkxWaveApp::LogInfo(const std::u16string& text) const { kx::LogInfo(text); }
void CkxWaveApp::LogWarning(const std::u16string& text) const { kx::LogWarning(text); }
void CkxWaveApp::LogError(const std::u16string& text) const { kx::LogError(text); }

QIcon CkxWaveApp::WindowIcon() {
  InitProgramImages();
  QIcon icon;
  for (int px : {16, 24, 32, 48, 64, 128, 256}) icon.addFile(QString(":/ICON/128/%1.png").arg(px), QSize(px, px));
  return icon;
}

}  // namespace kx
