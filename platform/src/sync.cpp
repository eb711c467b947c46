#include "platform/sync.h"

#include <algorithm>

namespace kx::platform {

void Waitable::NotifyLocked() {
  for (Waiter* w : waiters_) {
    std::lock_guard<std::mutex> g(w->mutex);
    w->notified = true;
    w->cv.notify_one();
  }
}

int WaitAny(std::initializer_list<Waitable*> objects, Millis timeout) {
  const auto start = Clock::now();
  const bool forever = timeout.count() < 0;
  const auto deadline = start + (forever ? Millis(0) : timeout);

  Waitable::Waiter waiter;
  // Register before the first test so that a signal between the test and the
  // sleep is not lost.
  for (Waitable* o : objects) {
    std::lock_guard<std::mutex> g(o->mutex_);
    o->waiters_.push_back(&waiter);
  }
  int result = kWaitTimeout;
  for (;;) {
    const auto now = Clock::now();
    std::optional<Clock::time_point> wake;
    if (!forever) wake = deadline;
    int index = 0;
    for (Waitable* o : objects) {
      std::lock_guard<std::mutex> g(o->mutex_);
      if (o->TryConsumeLocked(now)) {
        result = index;
        break;
      }
      if (auto due = o->NextDueLocked(); due && (!wake || *due < *wake)) wake = *due;
      ++index;
    }
    if (result != kWaitTimeout) break;
    if (!forever && now >= deadline) break;
    std::unique_lock<std::mutex> lk(waiter.mutex);
    if (!waiter.notified) {
      if (wake)
        waiter.cv.wait_until(lk, *wake, [&] { return waiter.notified; });
      else
        waiter.cv.wait(lk, [&] { return waiter.notified; });
    }
    waiter.notified = false;
  }
  for (Waitable* o : objects) {
    std::lock_guard<std::mutex> g(o->mutex_);
    auto& ws = o->waiters_;
    ws.erase(std::remove(ws.begin(), ws.end(), &waiter), ws.end());
  }
  return result;
}

void Event::Set() {
  std::lock_guard<std::mutex> g(mutex_);
  set_ = true;
  NotifyLocked();
}

void Event::Reset() {
  std::lock_guard<std::mutex> g(mutex_);
  set_ = false;
}

bool Event::IsSet() const {
  std::lock_guard<std::mutex> g(mutex_);
  return set_;
}

bool Event::TryConsumeLocked(Clock::time_point) {
  if (!set_) return false;
  if (mode_ == Mode::Auto) set_ = false;
  return true;
}

void WaitableTimer::Arm(Millis firstDue, Millis period) {
  std::lock_guard<std::mutex> g(mutex_);
  due_ = Clock::now() + firstDue;
  period_ = period;
  NotifyLocked();  // waiters recompute their wake-up time
}

void WaitableTimer::Cancel() {
  std::lock_guard<std::mutex> g(mutex_);
  due_.reset();
}

bool WaitableTimer::TryConsumeLocked(Clock::time_point now) {
  if (!due_ || now < *due_) return false;
  if (period_.count() > 0) {
    // Skip the periods that passed unobserved: they count as one expiry.
    auto next = *due_ + period_;
    if (next <= now) next += period_ * ((now - next) / period_ + 1);
    due_ = next;
  } else {
    due_.reset();
  }
  return true;
}

std::optional<Clock::time_point> WaitableTimer::NextDueLocked() const { return due_; }

void MessageQueue::Post(const Message& message) {
  std::lock_guard<std::mutex> g(mutex_);
  messages_.push_back(message);
  NotifyLocked();
}

std::optional<Message> MessageQueue::Peek() {
  std::lock_guard<std::mutex> g(mutex_);
  if (messages_.empty()) return std::nullopt;
  Message m = messages_.front();
  messages_.pop_front();
  return m;
}

size_t MessageQueue::Size() const {
  std::lock_guard<std::mutex> g(mutex_);
  return messages_.size();
}

}  // namespace kx::platform
