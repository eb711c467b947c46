// The waits between tries after a camera dropped, for the probe's watch and
// the window's "Keep trying": 1, 2, 4, 8, 16 s, then every 30 s, until it
// answers again. Platform-free.
#pragma once

namespace kx {

class CRetrySchedule {
 public:
  // The wait before the next try, in seconds; counts that try.
  double Next();
  void Reset() { m_attempt = 0; }
  // The tries counted since the last Reset.
  int Attempt() const { return m_attempt; }

 private:
  int m_attempt = 0;
};

}  // namespace kx
