#include "event_watch.h"

#include <cmath>

#include "app/main_frame.h"
#include "common/app_log.h"
#include "dialogs/camera_info_bar.h"
#include "resources/res_str.h"
#include "view/draw_view.h"

namespace kx {

namespace {
constexpr uint32_t IDS_EVENT_DROPS = 5419;     // "drops: %d, longest %d s"
constexpr uint32_t IDS_EVENT_SILENCES = 5420;  // "silences: %d"
constexpr uint32_t IDS_EVENT_CLIPPING = 5421;  // "clipping bursts: %d"
constexpr int kLookMs = 500;
}  // namespace

QString EventCountsText(const measure::TimelineCounts& counts) {
  QStringList parts;
  if (counts.drops > 0)
    parts << QString::fromStdU16String(
        FormatResStr(IDS_EVENT_DROPS, counts.drops, static_cast<int>(std::lround(counts.longestDropSeconds))));
  if (counts.silences > 0) parts << QString::fromStdU16String(FormatResStr(IDS_EVENT_SILENCES, counts.silences));
  if (counts.clippingBursts > 0)
    parts << QString::fromStdU16String(FormatResStr(IDS_EVENT_CLIPPING, counts.clippingBursts));
  QString text = parts.join(QStringLiteral(", "));
  if (!text.isEmpty()) text[0] = text[0].toUpper();
  return text;
}

CEventWatch::CEventWatch(CMainFrame& frame) : m_frame(frame) {
  m_timer.setInterval(kLookMs);
  QObject::connect(&m_timer, &QTimer::timeout, [this] { Look(); });
}

int64_t CEventWatch::Played(const CPreviewSession& session) {
  return session.Stats().picturesConverted.load() + session.Stats().audioChunksWritten.load();
}

void CEventWatch::Begin() {
  End();
  m_timeline.emplace(measure::CEventTimeline::Listener{
      [](const measure::TimelineEvent& e) { LogInfo(std::string_view("Camera event began: " + DescribeEvent(e))); },
      [](const measure::TimelineEvent& e) { LogInfo(std::string_view("Camera event: " + DescribeEvent(e))); }});
  m_bUp = false;
  m_nPlayed = m_frame.View() ? Played(m_frame.View()->Session()) : 0;
  m_clock.start();
  m_timer.start();
  if (CCameraInfoBar* bar = m_frame.InfoBar()) bar->SetEventsText({});
}

void CEventWatch::End() {
  if (!m_timer.isActive()) return;
  m_timer.stop();
  // No last look: the session may already be stopped, which is no drop.
  m_timeline->Finish(Now());
}

void CEventWatch::Look() {
  CDrawView* view = m_frame.View();
  if (!view || !m_timeline || !m_timer.isActive()) return;  // no run goes on
  const CPreviewSession& session = view->Session();
  // Up once pictures or sound flowed, down when the decode thread is gone: a
  // try that is still opening the camera has a thread but is not up. Sound
  // that flowed since the last look and a thread gone by now are both told,
  // so a camera that drops between two looks still counts.
  const int64_t played = Played(session);
  const bool flowed = played != m_nPlayed, alive = session.HasDecodeThread();
  const int64_t reconnections = session.Stats().reconnections.load();
  m_nPlayed = played;
  if (flowed && !m_bUp) {
    m_bUp = true;
    if (!alive) m_timeline->Look(Now(), {true, reconnections});
  }
  if (!alive) m_bUp = false;
  measure::CameraLook look{m_bUp, reconnections};
  const bool sound = session.HasAudioStream();
  if (const auto figures = sound ? view->MeasureFigures() : std::nullopt) {
    look.silenceSeconds = figures->currentSilenceS;
    look.clippedSamples = figures->clippedSamples;
  }
  m_timeline->Look(Now(), look);
  if (CCameraInfoBar* bar = m_frame.InfoBar()) bar->SetEventsText(CountsText());
}

QString CEventWatch::CountsText() const { return m_timeline ? EventCountsText(m_timeline->Counts()) : QString(); }

}  // namespace kx
