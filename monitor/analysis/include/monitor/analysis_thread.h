// The analysis thread: ticks the analyser every 10 ms until a quit message.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/thread.h"

namespace kx {

class CSpectrumAnalyser;
struct CSettingsBlock;

class CAnalysisThread {
 public:
  // Starts ThreadProcAnalysis at once. Both references must outlive this object
  // (declare the analyser before the thread in the owner).
  CAnalysisThread(CSpectrumAnalyser& analyser, const CSettingsBlock& settings);
  // Stops the thread (see Stop).
  ~CAnalysisThread();
  CAnalysisThread(const CAnalysisThread&) = delete;
  CAnalysisThread& operator=(const CAnalysisThread&) = delete;

  // Posts the quit message and waits for the thread without a time limit; a
  // tick in progress completes first. Later calls do nothing.
  void Stop();
  // The thread's id, 0 once it has been stopped.
  uint32_t Id() const { return m_thread.Id(); }
  bool Finished() const { return m_thread.Finished(); }
  // Blocks processed by this thread so far.
  uint64_t ProcessedBlocks() const { return m_nProcessed.load(std::memory_order_acquire); }

 private:
  uint32_t ThreadProcAnalysis(platform::WorkerThread& self);

  CSpectrumAnalyser& m_analyser;
  const CSettingsBlock& m_settings;
  std::atomic<uint64_t> m_nProcessed{0};
  platform::WorkerThread m_thread;  // last: starts once the members above exist
};

}  // namespace kx
