// The probe's report of the sound measurements: the JSON object
// "measurements" (field names are an interface scripts rely on) and the text
// lines.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>

#include "monitor/sound_figures.h"

namespace kx::probe {

// null when nothing was measured (no audio).
nlohmann::ordered_json MeasurementsJson(const std::optional<measure::SoundFigures>& figures);
void WriteMeasurementsText(std::ostream& out, const std::optional<measure::SoundFigures>& figures);

}  // namespace kx::probe
