#include "platform/thread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kx::platform {

namespace {
std::atomic<uint32_t> g_nextThreadId{1};
}

WorkerThread::WorkerThread(Body body) { Start(std::move(body)); }

WorkerThread::~WorkerThread() {
  if (thread_.joinable()) {
    PostQuit();
    Join();
  }
}

void WorkerThread::Start(Body body) {
  if (thread_.joinable()) Join();
  queue_ = std::make_unique<MessageQueue>();
  done_ = std::make_shared<Event>(Event::Mode::Manual);
  finished_ = std::make_shared<std::atomic<bool>>(false);
  exitCode_ = std::make_shared<std::atomic<uint32_t>>(0);
  id_ = g_nextThreadId.fetch_add(1);
  if (id_ == 0) id_ = g_nextThreadId.fetch_add(1);
  thread_ = std::thread([this, body = std::move(body), done = done_, finished = finished_,
                         code = exitCode_]() {
    code->store(body(*this), std::memory_order_release);
    finished->store(true, std::memory_order_release);
    done->Set();
  });
}

bool WorkerThread::Join(Millis timeout) {
  if (!thread_.joinable()) return true;
  if (timeout.count() >= 0 && !done_->Wait(timeout)) return false;
  thread_.join();
  id_ = 0;
  return true;
}

bool RaiseCurrentThreadForAudio() {
  constexpr int kAudioNice = -11;
  // On Linux a nice value belongs to the thread whose id is given.
  const auto tid = static_cast<id_t>(syscall(SYS_gettid));
  return setpriority(PRIO_PROCESS, tid, kAudioNice) == 0;
}

}  // namespace kx::platform
