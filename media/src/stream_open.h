// Opening a camera for the preview session (steps 1 to 15 of a start): the
// input under the open watchdog, the stream-information search, the first
// stream of each kind and its decoder, the camera lines, and which decode
// procedure fits. Runs on the thread that opens (see CPreviewSession::OpenOn).
#pragma once

#include <cstdint>
#include <string>

#include "media/preview_session.h"
#include "media/stream_probe.h"

namespace kx {

class CStreamOpener {
 public:
  explicit CStreamOpener(CPreviewSession& session) : m_s(session) {}

  // Steps 1 to 15; on None nothing stays open. `onDecodeThread`: a stop
  // request that comes meanwhile is kept for the thread's loop.
  DecodeProc Open(bool onDecodeThread);

 private:
  // Steps 3 to 8: the input opened under the watchdog and its streams
  // searched within `limits`. Incomplete: a bounded search left a stream's
  // parameters unknown (the input stays open).
  enum class InputResult { Open, OpenFailed, NoStreamInfo, Incomplete };
  InputResult OpenInput(const std::string& url, const ProbeLimits& limits, int32_t timeoutMs, bool logUrl);
  // A stream or decoder the preview cannot do without is missing: the text
  // goes to the debug output and the log as a warning, and the user is told
  // string `textId` (unless a stop was requested).
  void Refuse(const std::string& text, uint32_t textId);

  CPreviewSession& m_s;
};

}  // namespace kx
