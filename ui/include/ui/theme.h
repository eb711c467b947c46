// The program's look: "visual theme 28" is Qt's Fusion style with a dark
// palette (the monitor's own colours are dark). Every colour of the ribbon,
// dialogs and bars comes from this palette, so this is the one place that
// changes the look.
#pragma once

#include <QColor>
#include <QPalette>

class QApplication;

namespace kx {

constexpr int kVisualTheme = 28;
// How long the pointer rests before a tooltip shows.
constexpr int kToolTipWakeUpMs = 500;

// The palette of the theme.
QPalette DarkPalette();
// Applies the theme to the application: Fusion, the dark palette, tooltips
// in the same colours. Call once at start, after the QApplication exists.
void SetVisualTheme(QApplication& app, int theme = kVisualTheme);

}  // namespace kx
