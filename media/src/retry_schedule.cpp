#include "media/retry_schedule.h"

namespace kx {

double CRetrySchedule::Next() {
  static constexpr double kWaits[] = {1, 2, 4, 8, 16};
  const double wait = m_attempt < 5 ? kWaits[m_attempt] : 30;
  ++m_attempt;
  return wait;
}

}  // namespace kx
