// The window's timeline of one camera run (Start to Stop, or to the next
// camera): drops, the session's reconnections, silences and clipping bursts,
// each written to the log as it begins and ends, and counted in the info bar
// ("Drops: 2, longest 14 s"). Looks twice a second, only while a run goes on.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <optional>

#include "monitor/event_timeline.h"

namespace kx {

class CMainFrame;
class CPreviewSession;

class CEventWatch {
 public:
  explicit CEventWatch(CMainFrame& frame);

  // A run begins: counts from nothing.
  void Begin();
  // The run ends: what goes on ends here, in the log too; the counts stay shown.
  void End();
  // A look at once, between the regular ones: the decode thread just ended,
  // and a Stop may follow before the next regular look.
  void Look();
  // The counts as the info bar shows them; empty before anything happened.
  QString CountsText() const;
  const measure::CEventTimeline* Timeline() const { return m_timeline ? &*m_timeline : nullptr; }

 private:
  double Now() const { return m_clock.elapsed() / 1000.0; }
  // Pictures and sound chunks the session has passed on, all runs.
  static int64_t Played(const CPreviewSession& session);

  CMainFrame& m_frame;
  QTimer m_timer;
  QElapsedTimer m_clock;
  std::optional<measure::CEventTimeline> m_timeline;
  bool m_bUp = false;
  int64_t m_nPlayed = 0;  // pictures and sound chunks at the last look
};

// "Drops: 2, longest 14 s, silences: 1, clipping bursts: 3": only what happened.
QString EventCountsText(const measure::TimelineCounts& counts);

}  // namespace kx
