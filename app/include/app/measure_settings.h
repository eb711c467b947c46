// The sound measurements' thresholds from the settings store: each value of
// the "Settings" section named in kThresholdNames replaces its default, so an
// administrator can change a limit without a new build. Values that are
// missing or not numbers keep the default.
#pragma once

#include "monitor/thresholds.h"

namespace kx {

measure::Thresholds LoadMeasureThresholds();

}  // namespace kx
