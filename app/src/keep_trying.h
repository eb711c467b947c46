// "Keep trying": when the decode thread ended by itself (a drop that the
// session's one reconnection could not mend, or a failed open) and the
// stored Reconnect setting says so, the camera is started again after the
// retry schedule's wait, until it plays or the user stops it. The waits run
// on a single-shot timer of the window's thread, so Stop, New camera and
// closing the window end them at once.
#pragma once

#include <QTimer>
#include <cstdint>

#include "media/retry_schedule.h"

namespace kx {

class CMainFrame;
class CPreviewSession;

class CKeepTrying {
 public:
  explicit CKeepTrying(CMainFrame& frame);

  // On the window's thread, after the decode thread ended by itself: with
  // Keep trying stored and no Stop given, raises the spinner, writes the
  // reconnecting line into the info bar and schedules the next try.
  void OnDecodeThreadEnded();
  // Stop, New camera, closing the window: no further try, the spinner of a
  // wait lowered, the schedule from its start.
  void Cancel();
  bool Waiting() const { return m_timer.isActive(); }
  // A try of ours is under way and nothing has played since it was
  // scheduled: its failures are told by the info bar, not by message boxes.
  bool Quiet() const;
  // Tries scheduled since the camera last played.
  int Attempt() const { return m_schedule.Attempt(); }

 private:
  void Try();
  CPreviewSession* Session() const;
  // Pictures and sound chunks the session has passed on, all runs.
  int64_t Played() const;

  CMainFrame& m_frame;
  CRetrySchedule m_schedule;
  QTimer m_timer;
  bool m_bTrying = false;
  int64_t m_nPlayedAtSchedule = 0;
};

}  // namespace kx
