// Builds the ribbon from the ribbon tables and the current settings.
#pragma once

#include <functional>

#include "common/settings_block.h"
#include "ui/ribbon.h"

namespace kx {

// `afterFirstCategory` runs once the "Preview" category exists (the device
// box is filled then, before the next category is built). Returns false
// when the ribbon could not be built.
bool BuildRibbon(ui::Ribbon& ribbon, const CSettingsBlock& settings, float volume,
                 const std::function<void()>& afterFirstCategory, QWidget* optionsPage = nullptr);

// The backstage view: the form pages ("Options" when given), the about box,
// then "E&xit".
void AddBackstagePages(ui::Ribbon& ribbon, QWidget* optionsPage = nullptr);

}  // namespace kx
