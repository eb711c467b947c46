// A warning about a condition that is normal for some streams (no picture
// for an audio chunk, pictures dropped at the queue bound) is written once
// when it first happens in a decode run, then at most once a minute with the
// count since the last line, so a day of such a stream is a few lines, not
// millions. Platform-free: the caller passes the time.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace kx {

class CLogThrottle {
 public:
  using Clock = std::chrono::steady_clock;
  explicit CLogThrottle(Clock::duration interval = std::chrono::minutes(1)) : m_interval(interval) {}

  // Counts one occurrence of `text` at `now` and returns the line to write
  // now: the text itself for the first occurrence, the text with the count of
  // occurrences since the last line once the interval has passed, else ""
  // (write nothing).
  std::string Note(Clock::time_point now, std::string_view text);

 private:
  const Clock::duration m_interval;
  bool m_bWritten = false;
  Clock::time_point m_lastLine{};
  int64_t m_nSince = 0;  // occurrences since the last line, this one included
};

}  // namespace kx
