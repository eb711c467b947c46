// The open-timeout watchdog: a thread that waits on a one-shot timer and,
// each time it fires, raises a flag that the FFmpeg interrupt callback turns
// into one abort of the blocking call.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/sync.h"
#include "platform/thread.h"

namespace kx {

struct OPEN_WATCHDOG {
  std::atomic<uint8_t> bTimedOut{0};
  platform::WaitableTimer hTimer;
  platform::Event hQuitEvent{platform::Event::Mode::Manual};
  platform::WorkerThread hThread;
  // Also aborts a blocking open: set by a stop request while a reconnecting
  // decode thread opens the stream. Not owned.
  const std::atomic<bool>* pStopRequested = nullptr;
  // Set for the length of avformat_open_input only. The connections an open
  // makes keep a copy of the callback for their whole life (the RTSP control
  // connection carries the interleaved media over TCP), so a timer that runs
  // out after the open must not reach them.
  std::atomic<bool> bOpening{false};
};

// FFmpeg interrupt callback; `opaque` is the OPEN_WATCHDOG. Acts on a timer
// expiry during an open once (clearing the flag), and on a stop request every time.
int OpenInterruptCallback(void* opaque);

// Thread body: waits for the quit event or the timer; on the timer it raises
// bTimedOut and waits again.
uint32_t OpenWatchdogThread(OPEN_WATCHDOG* watchdog);

// Creation and destruction in the view's order: start the thread on a fresh
// record; raise the flag, signal quit, join, cancel the timer, free.
std::unique_ptr<OPEN_WATCHDOG> CreateOpenWatchdog(const std::atomic<bool>* stopRequested);
void DestroyOpenWatchdog(std::unique_ptr<OPEN_WATCHDOG>& watchdog);

}  // namespace kx
