// The main window: the ribbon with every command, the camera info bar under
// it and the client window with the preview view. Commands are handled by
// small groups (preview, settings, devices); the frame routes ids to them
// and receives the three private messages as queued calls carrying copies.
#pragma once

#include <QMainWindow>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "media/preview_host.h"
#include "ui/ribbon.h"

class QHBoxLayout;

namespace kx {

class CkxWaveApp;
class CCameraInfoBar;
class CChildView;
class CDrawView;
class CPreviewCommands;
class CSettingCommands;
class CDeviceCommands;
class CEvidenceCommands;
class CKeepTrying;
class CEventWatch;
class CMeasurePanel;

// Command id -> what it does and its update state.
class CCommandMap {
 public:
  using Run = std::function<void()>;
  using Update = std::function<void(ui::CommandUI&)>;
  void Add(int id, Run run, Update update = {});
  bool RunCommand(int id) const;
  void UpdateCommand(ui::CommandUI& ui) const;

 private:
  std::map<int, Run> m_run;
  std::map<int, Update> m_update;
};

class CMainFrame : public QMainWindow, public ui::RibbonOwner, public IPreviewHost {
  Q_OBJECT
 public:
  // WM_CAMERA_INFO's wParam values.
  enum CameraInfoParam { kInfoReset = 0, kInfoVideo = 1, kInfoAudio = 2 };

  explicit CMainFrame(CkxWaveApp& app);
  ~CMainFrame() override;  // the destroy sequence

  // Creation: colour tables, ribbon (with the device list), info bar and
  // client window. False when any of them cannot be made.
  bool LoadFrame();
  // Hands the URL to the view, shows the window, restores its placement.
  bool ShowMainFrame();

  // The three private messages. Safe from any thread: each queues a call to
  // the frame's thread with a copy of its data and returns at once.
  void PostAudioDevicesChanged();
  void PostCameraInfo(int wParam, const std::u16string& text);
  void PostSessionVolume(float volume);

  // Once per run, on the first showing (unless a hook replaces it): fetches
  // the version document and offers a newer version (app/src/frame_update.cpp).
  void CheckForUpdate();
  // Called once, on the first showing instead of the update check.
  void SetFirstShowHook(std::function<void()> hook) { m_firstShowHook = std::move(hook); }
  // Pages of the backstage view after "Options" (the options page, the about page).
  ui::Backstage* Backstage();

  // IPreviewHost, for the view: texts and message boxes are queued.
  void CameraInfo(CameraInfoLine line, const std::u16string& text) override;
  void MessageBox(MessageIcon icon, const std::u16string& text) override;
  void DecodeThreadEnded() override;
  VideoSize WindowSize() override;
  void ResizeTargets(int32_t, int32_t) override {}

  // ui::RibbonOwner
  void OnRibbonCommand(int id) override;
  void OnUpdateCommand(ui::CommandUI& ui) override;

  // Sets the title: the address with any password masked.
  void SetCameraTitle(const QString& url);

  CkxWaveApp& App() { return m_app; }
  ui::Ribbon* Ribbon() const { return m_pRibbon; }
  CCameraInfoBar* InfoBar() const { return m_pInfoBar; }
  CChildView* ChildView() const { return m_pChildView; }
  CDrawView* View() const;
  CDeviceCommands& Devices() { return *m_pDevices; }
  CKeepTrying& KeepTrying() { return *m_pKeepTrying; }
  CEventWatch& EventWatch() { return *m_pEventWatch; }
  CMeasurePanel* MeasurePanel() const { return m_pMeasurePanel; }
  // Shows or hides the window parts that follow a stored setting (the
  // measurement panel), after the setting changed.
  void ShowStoredPanels();
  // Starts the sound measurements again without touching the preview.
  void ResetMeasurements();

  QString m_strCameraUrl;

 protected:
  // Runs the messages posted from other threads, in order.
  Q_INVOKABLE void DrainMessages();
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Queues `message` for the frame's thread. The messages and their data go
  // through our own lock, so every hand-over is visible to the thread checker;
  // the queued call that wakes the frame is Qt's own, made by name.
  void Post(std::function<void()> message);
  void OnCameraInfo(int wParam, const QString& text);
  void StopEverything();
  void SaveWindowPos();
  void LoadWindowPos();
  void AddShortcuts();
  // The backstage's options page and F1 for the about box (frame_update.cpp).
  QWidget* CreateOptionsPage();
  void AddAboutKey();
  // The measurement panel at the right of the client window (frame_measure.cpp).
  void CreateMeasurePanel(QHBoxLayout* row);

  CkxWaveApp& m_app;
  ui::Ribbon* m_pRibbon = nullptr;
  CCameraInfoBar* m_pInfoBar = nullptr;
  QAction* m_pLeaveFullScreen = nullptr;
  CChildView* m_pChildView = nullptr;
  CMeasurePanel* m_pMeasurePanel = nullptr;
  bool m_bFirstShow = true;
  bool m_bClosed = false;
  std::function<void()> m_firstShowHook;
  CCommandMap m_commands;
  std::unique_ptr<CPreviewCommands> m_pPreview;
  std::unique_ptr<CSettingCommands> m_pSettings;
  std::unique_ptr<CDeviceCommands> m_pDevices;
  std::unique_ptr<CEvidenceCommands> m_pEvidence;
  std::unique_ptr<CKeepTrying> m_pKeepTrying;
  std::unique_ptr<CEventWatch> m_pEventWatch;
  std::mutex m_csMessages;
  std::vector<std::function<void()>> m_messages;
  bool m_bDrainPosted = false;  // under m_csMessages
};

}  // namespace kx
