#include "keep_trying.h"

#include "app/main_frame.h"
#include "app/wave_app.h"
#include "dialogs/camera_info_bar.h"
#include "view/draw_view.h"
#include "resources/res_str.h"

namespace kx {

namespace {
constexpr uint32_t IDS_RECONNECTING = 5418;  // "Reconnecting: attempt %d, next in %d s"
}

CKeepTrying::CKeepTrying(CMainFrame& frame) : m_frame(frame) {
  m_timer.setSingleShot(true);
  QObject::connect(&m_timer, &QTimer::timeout, [this] { Try(); });
}

CPreviewSession* CKeepTrying::Session() const { return m_frame.View() ? &m_frame.View()->Session() : nullptr; }

int64_t CKeepTrying::Played() const {
  const CPreviewSession* s = Session();
  return s ? s->Stats().picturesConverted.load() + s->Stats().audioChunksWritten.load() : 0;
}

void CKeepTrying::OnDecodeThreadEnded() {
  CPreviewSession* s = Session();
  // Stopped meanwhile, or started again by the user: nothing to retry.
  if (!s || m_frame.App().m_settings.Reconnect.Get() != 1 || !s->IsPlaying() || s->HasDecodeThread())
    return;
  // The camera played since the last wait: this drop starts the waits anew.
  if (Played() != m_nPlayedAtSchedule) m_schedule.Reset();
  const int wait = static_cast<int>(m_schedule.Next());
  m_nPlayedAtSchedule = Played();
  s->SetBusy();  // the spinner turns through the wait
  if (CCameraInfoBar* bar = m_frame.InfoBar()) {
    bar->Reset();
    bar->SetVideoText(QString::fromStdU16String(FormatResStr(IDS_RECONNECTING, m_schedule.Attempt(), wait)));
  }
  m_timer.start(wait * 1000);
}

void CKeepTrying::Try() {
  CPreviewSession* s = Session();
  if (!s || !s->IsPlaying() || s->HasDecodeThread()) return;
  m_bTrying = true;
  s->Start(CPreviewSession::OpenOn::DecodeThread);
  if (m_frame.Ribbon()) m_frame.Ribbon()->UpdateState();
}

void CKeepTrying::Cancel() {
  if (m_timer.isActive())
    if (CPreviewSession* s = Session()) s->SetIdle();  // no decode thread during a wait
  m_timer.stop();
  m_schedule.Reset();
  m_bTrying = false;
}

bool CKeepTrying::Quiet() const { return m_bTrying && Played() == m_nPlayedAtSchedule; }

}  // namespace kx
