// Waitable objects and a wait over several of them: the stand-ins for
// events, waitable timers and thread message queues.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <vector>

namespace kx::platform {

using Clock = std::chrono::steady_clock;
using Millis = std::chrono::milliseconds;

class Waitable;

// What WaitAny returns besides the index of the signalled object.
inline constexpr int kWaitTimeout = -1;

// Waits until one of the objects is signalled or the timeout passes; an
// auto-reset object is consumed by the wait that sees it. Objects are tested
// in order, so the first signalled one wins. Returns its index or kWaitTimeout.
// A negative timeout waits without limit.
int WaitAny(std::initializer_list<Waitable*> objects, Millis timeout);

class Waitable {
 public:
  Waitable() = default;
  Waitable(const Waitable&) = delete;
  Waitable& operator=(const Waitable&) = delete;
  virtual ~Waitable() = default;

  // Waits for this object alone; true when it was signalled in time.
  bool Wait(Millis timeout) { return WaitAny({this}, timeout) == 0; }
  void Wait() { WaitAny({this}, Millis(-1)); }

 protected:
  friend int WaitAny(std::initializer_list<Waitable*>, Millis);
  struct Waiter {
    std::mutex mutex;
    std::condition_variable cv;
    bool notified = false;
  };

  // Called with mutex_ held. True when signalled; consumes the signal of an
  // auto-reset object.
  virtual bool TryConsumeLocked(Clock::time_point now) = 0;
  // Called with mutex_ held: when the object turns signalled by itself (timers).
  virtual std::optional<Clock::time_point> NextDueLocked() const { return std::nullopt; }
  // Wakes every waiter; call with mutex_ held.
  void NotifyLocked();

  mutable std::mutex mutex_;

 private:
  std::vector<Waiter*> waiters_;
};

// Manual- or auto-reset event.
class Event : public Waitable {
 public:
  enum class Mode { Manual, Auto };
  explicit Event(Mode mode, bool initiallySet = false) : mode_(mode), set_(initiallySet) {}
  void Set();
  void Reset();
  bool IsSet() const;

 private:
  bool TryConsumeLocked(Clock::time_point) override;
  const Mode mode_;
  bool set_;
};

// Auto-reset waitable timer: first due after `firstDue`, then every `period`
// (a zero period fires once). Each expiry satisfies one wait; expiries that
// pile up while nobody waits count as one, as a synchronisation timer does.
class WaitableTimer : public Waitable {
 public:
  void Arm(Millis firstDue, Millis period = Millis(0));
  void Cancel();

 private:
  bool TryConsumeLocked(Clock::time_point now) override;
  std::optional<Clock::time_point> NextDueLocked() const override;
  std::optional<Clock::time_point> due_;
  Millis period_{0};
};

// A thread's message queue: signalled while it holds a message.
struct Message {
  uint32_t id = 0;
  uint64_t wParam = 0;
  int64_t lParam = 0;
};
inline constexpr uint32_t kMsgQuit = 0x0012;  // the WM_QUIT value

class MessageQueue : public Waitable {
 public:
  void Post(const Message& message);
  void PostQuit() { Post(Message{kMsgQuit, 0, 0}); }
  std::optional<Message> Peek();  // takes the oldest message, if any
  size_t Size() const;

 private:
  bool TryConsumeLocked(Clock::time_point) override { return !messages_.empty(); }
  std::deque<Message> messages_;
};

}  // namespace kx::platform
