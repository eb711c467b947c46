#include "app/child_view.h"
#include "app/main_frame.h"
#include "app/wave_app.h"
#include "dialogs/camera_info_bar.h"
#include "frame_commands.h"
#include "event_watch.h"
#include "keep_trying.h"
#include "view/draw_view.h"

namespace kx {

using namespace ribbon;

void CPreviewCommands::Register(CCommandMap& map) {
  map.Add(ID_PREVIEW_START, [this] { Start(); },
          [this](ui::CommandUI& ui) { ui.Enable(ClientEnabled() && !Running()); });
  map.Add(ID_PREVIEW_STOP, [this] { Stop(); }, [this](ui::CommandUI& ui) { ui.Enable(ClientEnabled() && Running()); });
  map.Add(ID_PREVIEW_INFO, [this] { ToggleInfo(); }, [this](ui::CommandUI& ui) {
    CCameraInfoBar* bar = m_frame.InfoBar();
    ui.Enable(bar != nullptr);
    ui.SetCheck(bar && bar->isVisibleTo(&m_frame));
  });
  map.Add(ID_NEW_CAMERA, [this] { NewCamera(); });
  map.Add(ID_ADD_BOOKMARK, [this] { AddToBookmark(); });
  map.Add(ID_EDIT_BOOKMARK, [this] { EditBookmark(); });
  map.Add(ID_MEASURE_RESET, [this] { m_frame.ResetMeasurements(); });
}

bool CPreviewCommands::ClientEnabled() const {
  return m_frame.ChildView() && m_frame.View() && m_frame.ChildView()->isEnabled();
}

// A reconnecting session has no thread id for a moment but still a thread:
// the thread's existence decides; a wait of Keep trying counts as running.
bool CPreviewCommands::Running() const {
  return (m_frame.View() && m_frame.View()->Session().HasDecodeThread()) || m_frame.KeepTrying().Waiting();
}

// The window opens the camera on the decode thread: keys, repaints and the
// spinner go on while a camera is slow to answer, and Stop cancels the open.
void CPreviewCommands::Start() {
  if (!ClientEnabled() || Running()) return;
  m_frame.View()->KeptSound().Clear();  // the sound to save is this start's
  m_frame.EventWatch().Begin();
  m_frame.View()->Session().Start(CPreviewSession::OpenOn::DecodeThread);
}

void CPreviewCommands::Stop() {
  m_frame.KeepTrying().Cancel();
  if (ClientEnabled()) m_frame.View()->Session().Stop();
  m_frame.EventWatch().End();
}

void CPreviewCommands::ToggleInfo() {
  if (CCameraInfoBar* bar = m_frame.InfoBar()) bar->setVisible(!bar->isVisibleTo(&m_frame));
}

void CPreviewCommands::NewCamera() {
  QString url;
  if (!m_frame.App().RunUrlDialog(&m_frame, url)) return;
  m_frame.KeepTrying().Cancel();  // the new camera starts at once when playing
  m_frame.EventWatch().End();
  if (m_frame.InfoBar()) {
    m_frame.InfoBar()->Reset();
    m_frame.InfoBar()->SetEventsText({});  // the last camera's counts
  }
  m_frame.m_strCameraUrl = url;
  m_frame.SetCameraTitle(url);
  CDrawView* view = m_frame.View();
  if (!view) return;
  view->Session().SetURL(url.toStdU16String());
  // No sound of the last camera under the new one's name; the counts are the new camera's.
  const auto clearKept = [this, view] {
    view->KeptSound().Clear();
    m_frame.EventWatch().Begin();
  };
  if (!view->Session().Restart(CPreviewSession::OpenOn::DecodeThread, clearKept)) view->KeptSound().Clear();
}

void CPreviewCommands::AddToBookmark() {
  const QString url = m_frame.View() ? QString::fromStdU16String(m_frame.View()->Session().URL()) : QString();
  m_frame.App().RunAddBookmarkDialog(&m_frame, url);
}

void CPreviewCommands::EditBookmark() { m_frame.App().RunBookmarkListDialog(&m_frame); }

}  // namespace kx
