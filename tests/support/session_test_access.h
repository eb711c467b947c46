// The preview session's state that no public call shows, and the steps of a
// start that tests drive alone.
#pragma once

#include "media/preview_session.h"

namespace kx {

class CPreviewSessionTestAccess {
 public:
  static OPEN_WATCHDOG& Watchdog(CPreviewSession& s) { return *s.m_pOpenWatchdog; }
  static AVFormatContext* FormatContext(CPreviewSession& s) { return s.m_pFormatCtx; }
  static AVCodecContext* VideoCodecContext(CPreviewSession& s) { return s.m_pVideoCodecCtx; }
  static AVCodecContext* AudioCodecContext(CPreviewSession& s) { return s.m_pAudioCodecCtx; }
  static CFrameQueue& FrameQueue(CPreviewSession& s) { return s.m_frameQueue; }
  static CPicturePool& PicturePool(CPreviewSession& s) { return s.m_picturePool; }
  static CSpinnerCounter& Spinner(CPreviewSession& s) { return s.m_spinner; }
  // The camera's picture size as a run would set it.
  static void SetVideoSize(CPreviewSession& s, VideoSize size) { s.m_sizeVideo.Set(size); }
  // The busy flag alone (no picture generation to wait for), the spinner at its first frame.
  static void SetBusyFlag(CPreviewSession& s, bool busy) {
    s.m_spinner.Reset();
    s.m_bBusy.store(busy, std::memory_order_release);
  }
  // The open of a start on the calling thread, and what ends it.
  static DecodeProc OpenStream(CPreviewSession& s, bool onDecodeThread) { return s.OpenStream(onDecodeThread); }
  static void CloseStream(CPreviewSession& s) { s.CloseStream(); }
  static void RequestStop(CPreviewSession& s) { s.RequestStop(); }
};

}  // namespace kx
