#include "media/log_throttle.h"

namespace kx {

std::string CLogThrottle::Note(Clock::time_point now, std::string_view text) {
  ++m_nSince;
  if (!m_bWritten) {
    m_bWritten = true;
    m_lastLine = now;
    m_nSince = 0;
    return std::string(text);
  }
  if (now - m_lastLine < m_interval) return {};
  m_lastLine = now;
  const int64_t count = m_nSince;
  m_nSince = 0;
  return std::string(text) + " (" + std::to_string(count) + " since the last line)";
}

}  // namespace kx
