// A joinable thread with a message queue of its own, the stand-in for a
// Windows thread that is stopped by posting WM_QUIT to it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "platform/sync.h"

namespace kx::platform {

class WorkerThread {
 public:
  using Body = std::function<uint32_t(WorkerThread&)>;

  WorkerThread() = default;
  // Starts the thread at once. The body reads Queue() for its quit message.
  explicit WorkerThread(Body body);
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;
  // A still-running thread is asked to quit and joined.
  ~WorkerThread();

  void Start(Body body);
  bool Running() const { return thread_.joinable(); }
  // A small non-zero id while a thread is started (0 when none), the way a
  // thread id is kept and tested.
  uint32_t Id() const { return id_.load(std::memory_order_acquire); }
  MessageQueue& Queue() { return *queue_; }
  void PostQuit() { queue_->PostQuit(); }
  // True once the body has returned.
  bool Finished() const { return finished_->load(std::memory_order_acquire); }
  // Waits for the end of the body, at most `timeout` (negative: no limit).
  // The thread is joined when it has finished; false when it has not.
  bool Join(Millis timeout = Millis(-1));
  uint32_t ExitCode() const { return exitCode_->load(std::memory_order_acquire); }
  bool IsCurrent() const { return thread_.get_id() == std::this_thread::get_id(); }

 private:
  std::thread thread_;
  std::atomic<uint32_t> id_{0};
  std::unique_ptr<MessageQueue> queue_ = std::make_unique<MessageQueue>();
  std::shared_ptr<Event> done_ = std::make_shared<Event>(Event::Mode::Manual);
  std::shared_ptr<std::atomic<bool>> finished_ = std::make_shared<std::atomic<bool>>(false);
  std::shared_ptr<std::atomic<uint32_t>> exitCode_ = std::make_shared<std::atomic<uint32_t>>(0);
};

// Lifts the calling thread above ordinary work, as sound servers and players
// do for the thread that feeds the device (nice -11, the sound server's own
// level). Needs the right to (root, CAP_SYS_NICE or an RLIMIT_NICE that
// allows it): false, and nothing changed, without it.
bool RaiseCurrentThreadForAudio();

// The stand-in for a critical section.
using Lock = std::mutex;
using LockGuard = std::lock_guard<std::mutex>;

}  // namespace kx::platform
