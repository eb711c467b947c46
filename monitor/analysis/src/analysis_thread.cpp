#include "monitor/analysis_thread.h"

#include <pthread.h>

#include "app/settings_block.h"
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
  // First expiry 1 ms from now, then every 10 ms.
  platform::WaitableTimer timer;
  timer.Arm(platform::Millis(1), platform::Millis(10));
  platform::MessageQueue& queue = self.Queue();
  for (;;) {
    switch (platform::WaitAny({&timer, &queue}, platform::Millis(1))) {
      case 0:
        if (m_analyser.Tick(m_settings)) m_nProcessed.fetch_add(1, std::memory_order_release);
        break;
      case 1:
        while (auto message = queue.Peek()) {
          if (message->id == platform::kMsgQuit) return 0;
        }
        break;
      default:  // time-out: wait again
        break;
    }
  }
}

}  // namespace kx
