#include "app/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMessageBox>
#include <QScreen>
#include <QStyle>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <utility>

#include "app/child_view.h"
#include "app/wave_app.h"
#include "dialogs/camera_info_bar.h"
#include "frame_commands.h"
#include "frame_ribbon.h"
#include "event_watch.h"
#include "keep_trying.h"
#include "kxSystem.h"
#include "view/draw_view.h"
#include "ui/backstage.h"
#include "ui/window_pos.h"

namespace kx {

using namespace ribbon;

void CCommandMap::Add(int id, Run run, Update update) {
  m_run[id] = std::move(run);
  if (update) m_update[id] = std::move(update);
}

bool CCommandMap::RunCommand(int id) const {
  auto it = m_run.find(id);
  if (it == m_run.end() || !it->second) return false;
  it->second();
  return true;
}

void CCommandMap::UpdateCommand(ui::CommandUI& ui) const {
  auto it = m_update.find(ui.Id());
  if (it != m_update.end()) it->second(ui);
}

CMainFrame::CMainFrame(CkxWaveApp& app)
    : m_app(app),
      m_pPreview(std::make_unique<CPreviewCommands>(*this)),
      m_pSettings(std::make_unique<CSettingCommands>(*this)),
      m_pDevices(std::make_unique<CDeviceCommands>(*this)),
      m_pEvidence(std::make_unique<CEvidenceCommands>(*this)),
      m_pKeepTrying(std::make_unique<CKeepTrying>(*this)),
      m_pEventWatch(std::make_unique<CEventWatch>(*this)) {
  setObjectName(app.m_strWindowClass);
  setWindowIcon(app.WindowIcon());
  m_pPreview->Register(m_commands);
  m_pSettings->Register(m_commands);
  m_pDevices->Register(m_commands);
  m_pEvidence->Register(m_commands);
  m_commands.Add(ID_APP_EXIT, [this] { close(); });
  m_commands.Add(ID_APP_ABOUT, [this] { m_app.OnAppAbout(); });
}

CMainFrame::~CMainFrame() {
  // The destroy sequence: placement, device list, then the client window
  // (the view stops its threads and its session).
  SaveWindowPos();
  m_app.m_audioOutput.SetSessionVolumeNotify(nullptr);
  m_pDevices->ReleaseDeviceList();
  m_app.m_audioOutput.SetPresenter(nullptr);
  if (CDrawView* view = View()) view->SetOutputMeter(nullptr);
  delete m_pChildView;
  m_pChildView = nullptr;
}

bool CMainFrame::LoadFrame() {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  setCentralWidget(central);

  m_pRibbon = new ui::Ribbon(this, this);
  m_pRibbon->setObjectName("Ribbon");
  setMenuWidget(m_pRibbon);
  m_app.m_audioOutput.SetSessionVolumeNotify([this](float volume, bool) { PostSessionVolume(volume); });
  if (!BuildRibbon(*m_pRibbon, m_app.m_settings, m_app.m_fVolume, [this] { m_pDevices->RebuildDeviceList(); },
                   CreateOptionsPage()))
    return false;

  m_pInfoBar = new CCameraInfoBar(central);
  if (!m_pInfoBar->Create(central)) return false;
  layout->addWidget(m_pInfoBar);

  // The preview, and at its right the measurement panel when shown.
  auto* row = new QHBoxLayout;
  row->setSpacing(0);
  layout->addLayout(row, 1);
  m_pChildView = new CChildView(central);
  if (!m_pChildView->Create(m_app.m_settings, m_app.m_audioTarget, this)) return false;
  row->addWidget(m_pChildView, 1);
  CreateMeasurePanel(row);
  m_app.m_audioOutput.SetPresenter(View());
  View()->SetOutputMeter(&m_app.m_outputMeter);
  AddShortcuts();
  return true;
}

// Keys that run ribbon commands act anywhere in the window; the ribbon's
// own actions carry them so the key, the button and its state agree.
void CMainFrame::AddShortcuts() {
  for (const Category& c : Categories())
    for (const Panel& p : c.panels)
      for (const Element& e : p.elements)
        if (e.shortcut)
          if (QAction* action = m_pRibbon->Action(static_cast<int>(e.id))) {
            action->setShortcut(QKeySequence(QString::fromLatin1(e.shortcut)));
            action->setShortcutContext(Qt::WindowShortcut);
            addAction(action);
          }
  auto* fullScreen = new QAction(this);
  fullScreen->setShortcuts({QKeySequence(Qt::Key_F11)});
  connect(fullScreen, &QAction::triggered, this, [this] { setWindowState(windowState() ^ Qt::WindowFullScreen); });
  addAction(fullScreen);
  // Esc belongs to full screen only while in it; otherwise it reaches the
  // focused widget (the backstage closes on it).
  m_pLeaveFullScreen = new QAction(this);
  m_pLeaveFullScreen->setShortcut(QKeySequence(Qt::Key_Escape));
  m_pLeaveFullScreen->setEnabled(isFullScreen());
  connect(m_pLeaveFullScreen, &QAction::triggered, this,
          [this] { setWindowState(windowState() & ~Qt::WindowFullScreen); });
  addAction(m_pLeaveFullScreen);
  auto* quit = new QAction(this);
  quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  connect(quit, &QAction::triggered, this, [this] { OnRibbonCommand(ID_APP_EXIT); });
  addAction(quit);
  AddAboutKey();
}

ui::Backstage* CMainFrame::Backstage() { return m_pRibbon ? m_pRibbon->GetBackstage() : nullptr; }

CDrawView* CMainFrame::View() const { return m_pChildView ? m_pChildView->View() : nullptr; }

bool CMainFrame::ShowMainFrame() {
  CDrawView* view = View();
  const bool urlWasEmpty = !view || view->Session().URL().empty();
  if (view && urlWasEmpty) {
    if (!m_app.m_cmdLine.m_strUrl.empty()) view->Session().SetURL(m_app.m_cmdLine.m_strUrl);
    // The dialog's URL wins over the command line's.
    if (!m_strCameraUrl.isEmpty()) view->Session().SetURL(m_strCameraUrl.toStdU16String());
  }
  LoadWindowPos();
  show();
  if (urlWasEmpty) {
    if (!m_app.m_cmdLine.m_strUrl.empty()) SetCameraTitle(QString::fromStdU16String(m_app.m_cmdLine.m_strUrl));
    if (!m_strCameraUrl.isEmpty()) SetCameraTitle(m_strCameraUrl);
  }
  if (m_pRibbon) m_pRibbon->update();
  return isVisible();
}

void CMainFrame::SetCameraTitle(const QString& url) {
  setWindowTitle(QString::fromStdU16String(kxMaskUrlPassword(url.toStdU16String())));
}

void CMainFrame::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (m_bFirstShow) {
    m_bFirstShow = false;
    if (m_firstShowHook)
      m_firstShowHook();
    else
      CheckForUpdate();
  }
}

void CMainFrame::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && m_pLeaveFullScreen)
    m_pLeaveFullScreen->setEnabled(isFullScreen());
}

void CMainFrame::focusInEvent(QFocusEvent* event) {
  QMainWindow::focusInEvent(event);
  if (m_pChildView) m_pChildView->setFocus();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  StopEverything();
  SaveWindowPos();
  QMainWindow::closeEvent(event);
}

// The close sequence: the output first (its render thread presents into the
// view), then the decode thread is stopped and waited for.
void CMainFrame::StopEverything() {
  m_pKeepTrying->Cancel();
  m_pEventWatch->End();
  CDrawView* view = View();
  if (view) view->Session().ClearPlaying();
  m_app.m_audioOutput.CloseDevice();
  if (m_pChildView && view) view->Session().Stop();
}

void CMainFrame::OnRibbonCommand(int id) { m_commands.RunCommand(id); }

void CMainFrame::OnUpdateCommand(ui::CommandUI& ui) { m_commands.UpdateCommand(ui); }

void CMainFrame::Post(std::function<void()> message) {
  bool wake = false;
  {
    std::lock_guard<std::mutex> lock(m_csMessages);
    m_messages.push_back(std::move(message));
    wake = !std::exchange(m_bDrainPosted, true);
  }
  if (wake) QMetaObject::invokeMethod(this, "DrainMessages", Qt::QueuedConnection);
}

void CMainFrame::DrainMessages() {
  std::vector<std::function<void()>> messages;
  {
    std::lock_guard<std::mutex> lock(m_csMessages);
    messages.swap(m_messages);
    m_bDrainPosted = false;
  }
  for (auto& message : messages) message();
}

void CMainFrame::PostAudioDevicesChanged() {
  Post([this] {
    m_pDevices->RebuildDeviceList();
    if (m_pRibbon) m_pRibbon->UpdateState();
  });
}

void CMainFrame::PostCameraInfo(int wParam, const std::u16string& text) {
  Post([this, wParam, copy = QString::fromStdU16String(text)] { OnCameraInfo(wParam, copy); });
}

void CMainFrame::PostSessionVolume(float volume) {
  Post([this, volume] { m_pDevices->OnSessionVolume(volume); });
}

void CMainFrame::OnCameraInfo(int wParam, const QString& text) {
  if (!m_pInfoBar) return;
  if (wParam == kInfoReset)
    m_pInfoBar->Reset();
  else if (wParam == kInfoVideo)
    m_pInfoBar->SetVideoText(text);
  else if (wParam == kInfoAudio)
    m_pInfoBar->SetAudioText(text);
  // The commands' states follow the session (a run ending by itself).
  if (m_pRibbon) m_pRibbon->UpdateState();
}

void CMainFrame::CameraInfo(CameraInfoLine line, const std::u16string& text) {
  PostCameraInfo(static_cast<int>(line), text);
}

// Start becomes available again after an open that failed on the decode
// thread, unless Keep trying schedules the next try.
void CMainFrame::DecodeThreadEnded() {
  Post([this] {
    m_pKeepTrying->OnDecodeThreadEnded();
    m_pEventWatch->Look();
    if (m_pRibbon) m_pRibbon->UpdateState();
  });
}

// Shown without blocking: the window stays usable, and closing it (also by
// the window manager while a camera is being reconnected) is never held up
// by a box nobody has answered. The tries of Keep trying are told in the
// info bar instead: a box for each would pile up while the camera is away.
void CMainFrame::MessageBox(MessageIcon icon, const std::u16string& text) {
  Post([this, icon, copy = QString::fromStdU16String(text)] {
    if (m_pKeepTrying->Quiet()) return;
    auto* box = new QMessageBox(icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::Warning,
                                QApplication::applicationDisplayName(), copy, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
  });
}

// The placement lives under the key "kxToneScope".
void CMainFrame::SaveWindowPos() { CWindowPos::SaveWindowPos(this, QStringLiteral("kxToneScope")); }
void CMainFrame::LoadWindowPos() {
  if (CWindowPos::LoadWindowPos(this, QStringLiteral("kxToneScope"))) return;
  // First start: a 16:9 picture area on most of the screen, centred.
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
  const QSize size(std::min(1280, area.width() * 9 / 10), std::min(860, area.height() * 9 / 10));
  setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size, area));
}

VideoSize CMainFrame::WindowSize() {
  const QSize s = m_pChildView ? m_pChildView->size() : QSize();
  return {s.width(), s.height()};
}

}  // namespace kx
