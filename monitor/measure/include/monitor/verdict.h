// The verdict: findings from the figures and the thresholds, faults first.
#pragma once

#include <vector>

#include "monitor/sound_figures.h"
#include "monitor/thresholds.h"

namespace kx::measure {

std::vector<Finding> MakeVerdict(const SoundFigures& figures, const Thresholds& thresholds);

}  // namespace kx::measure
