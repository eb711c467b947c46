// The application object: owns the process-wide state (settings, bookmarks,
// log, audio output, endpoint notifications, output volume) and the main
// frame, and runs start-up and exit in their fixed order.
#pragma once

#include <QIcon>
#include <QWidget>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "app/command_line.h"
#include "app/settings_store.h"
#include "dialogs/bookmark.h"
#include "common/settings_block.h"
#include "audio/audio_output.h"
#include "audio/notification_client.h"
#include "kxSystem.h"
#include "media/session_adapters.h"
#include "view/draw_view.h"
#include "platform/audio/endpoints.h"

namespace kx {

class CMainFrame;

// Runs one modal URL prompt; returns false on Cancel. Replaceable so that
// start-up can be driven without a person at the keyboard.
using UrlPrompt = std::function<bool(QWidget* parent, QString& url)>;

class CkxWaveApp {
 public:
  // The desktop entry that stands for the application user-model id.
  static constexpr const char* kAppUserModelId = "kxToneScope.AppID.NoVersion";
  static constexpr const char* kDesktopFileName = "com.kexar.kxToneScope";

  CkxWaveApp();
  ~CkxWaveApp();
  CkxWaveApp(const CkxWaveApp&) = delete;
  CkxWaveApp& operator=(const CkxWaveApp&) = delete;

  // Needs the QApplication. False: end the process at once (ExitInstance
  // still runs).
  bool InitInstance();
  // After the event loop: the frame is destroyed, then notifications, the
  // log. Returns the process exit code.
  int ExitInstance(int loopResult = 0);

  // The framework's about command (57664).
  void OnAppAbout();

  // The program's dialogs as the frame runs them.
  bool RunUrlDialog(QWidget* parent, QString& url);
  void RunAddBookmarkDialog(QWidget* parent, const QString& url);
  void RunBookmarkListDialog(QWidget* parent);

  // Icon 128: the window's icon in all its sizes.
  static QIcon WindowIcon();

  void LogInfo(const std::u16string& text) const;
  void LogWarning(const std::u16string& text) const;
  void LogError(const std::u16string& text) const;

  static CkxWaveApp* Instance() { return s_pApp; }

  const QString m_strWindowClass = QStringLiteral("kxMainFrameToneScope");
  int32_t m_nSpectrumCounter = 0;
  CSettingsBlock m_settings;
  CAudioOutput m_audioOutput{m_settings};
  CAudioOutputTarget<CAudioOutput> m_audioTarget{m_audioOutput};
  COutputPeakMeter<CAudioOutput> m_outputMeter{m_audioOutput};
  float m_fVolume = 0.5f;
  CKxLog m_log;
  QString m_strFolderLog;
  CSettingsStore m_store{m_settings, m_fVolume, m_strFolderLog};
  CBookmark m_bookmark;
  CAppCommandLine m_cmdLine;
  std::unique_ptr<CMainFrame> m_pMainFrame;
  UrlPrompt m_urlPrompt;  // empty: the URL dialog

 private:
  void RegisterEndpointNotifications();
  void UnregisterEndpointNotifications();

  std::unique_ptr<platform::audio::EndpointEnumerator> m_pEnumerator;
  std::unique_ptr<CMMNotificationClient> m_pNotificationClient;
  static CkxWaveApp* s_pApp;
};

}  // namespace kx
