#include "media/open_watchdog.h"

#include <pthread.h>

namespace kx {

int OpenInterruptCallback(void* opaque) {
  auto* watchdog = static_cast<OPEN_WATCHDOG*>(opaque);
  if (!watchdog) return 0;
  if (watchdog->pStopRequested && watchdog->pStopRequested->load(std::memory_order_acquire)) return 1;
  if (!watchdog->bOpening.load(std::memory_order_acquire)) return 0;
  if (watchdog->bTimedOut.load(std::memory_order_acquire) == 0) return 0;
  watchdog->bTimedOut.store(0, std::memory_order_release);
  return 1;
}

uint32_t OpenWatchdogThread(OPEN_WATCHDOG* watchdog) {
  if (!watchdog) return 0;
  while (platform::WaitAny({&watchdog->hQuitEvent, &watchdog->hTimer}, platform::Millis(-1)) == 1)
    watchdog->bTimedOut.store(1, std::memory_order_release);
  return 0;
}

std::unique_ptr<OPEN_WATCHDOG> CreateOpenWatchdog(const std::atomic<bool>* stopRequested) {
  auto watchdog = std::make_unique<OPEN_WATCHDOG>();
  watchdog->pStopRequested = stopRequested;
  OPEN_WATCHDOG* raw = watchdog.get();
  watchdog->hThread.Start([raw](platform::WorkerThread&) {
    pthread_setname_np(pthread_self(), "kx-watchdog");  // to tell it apart in top and perf
    return OpenWatchdogThread(raw);
  });
  return watchdog;
}

void DestroyOpenWatchdog(std::unique_ptr<OPEN_WATCHDOG>& watchdog) {
  if (!watchdog) return;
  watchdog->bTimedOut.store(1, std::memory_order_release);
  watchdog->hQuitEvent.Set();
  watchdog->hThread.Join();
  watchdog->hTimer.Cancel();
  watchdog.reset();
}

}  // namespace kx
