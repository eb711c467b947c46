#include "monitor/analysis_thread.h"

#include <pthread.h>

#include "common/settings_block.h"
#include "monitor/analyser.h"

namespace kx {

CAnalysisThread::CAnalysisThread(CSpectrumAnalyser& analyser, const CSettingsBlock& settings)
    : m_analyser(analyser),
      m_settings(settings),
      m_thread([this](platform::WorkerThread& self) { return ThreadProcAnalysis(self); }) {}

CAnalysisThread::~CAnalysisThread() { Stop(); }

void CAnalysisThread::Stop() {
  if (!m_thread.Running()) return;
  m_thread.PostQuit();
  m_thread.Join();
}

uint32_t CAnalysisThread::ThreadProcAnalysis(platform::WorkerThread& self) {
  pthread_setname_np(pthread_self(), "kx-analysis");  // to tell it apart in top and perf
  constexpr platform::Millis kPeriod(10);
  // Ticks run on one 10 ms grid, first 1 ms from now. A tick without a block
  // does nothing, so while none is pending the timer is stopped and the
  // thread sleeps until a block arrives; it then ticks at the grid's next mark.
  // The waits have no time-out: the timer, a pending block and a message each
  // wake them, so no wake-up is wasted.
  platform::Event pending(platform::Event::Mode::Auto);
  m_analyser.SetPendingSignal([&pending] { pending.Set(); });
  const platform::Clock::time_point origin = platform::Clock::now() + platform::Millis(1);
  platform::WaitableTimer timer;
  timer.Arm(platform::Millis(1), kPeriod);
  bool ticking = true;
  platform::MessageQueue& queue = self.Queue();
  for (;;) {
    const int woken = ticking ? platform::WaitAny({&timer, &queue}, platform::Millis(-1))
                              : platform::WaitAny({&pending, &queue}, platform::Millis(-1));
    if (woken == 1) {
      while (auto message = queue.Peek()) {
        if (message->id == platform::kMsgQuit) {
          m_analyser.SetPendingSignal(nullptr);  // before `pending` goes
          return 0;
        }
      }
    } else if (!ticking) {
      const auto phase = (platform::Clock::now() - origin) % kPeriod;
      timer.Arm(std::chrono::ceil<platform::Millis>(kPeriod - phase), kPeriod);
      ticking = true;
    } else if (m_analyser.Tick(m_settings)) {
      m_nProcessed.fetch_add(1, std::memory_order_release);
    } else {
      // Nothing pending: sleep. A block pushed after this test sets `pending`.
      pending.Reset();
      if (!m_analyser.HasNewBlock()) {
        timer.Cancel();
        ticking = false;
      }
    }
  }
}

}  // namespace kx
