// Window placement saved in the user's settings under a key name: the normal
// (not maximised) rectangle and whether the window was maximised. A placement
// that lies off every present screen (a monitor was unplugged) is pulled back
// onto one when it is restored.
#pragma once

#include <QRect>
#include <QString>
#include <vector>

class QWidget;

namespace kx {

class CWindowPos {
 public:
  // Saves `window`'s placement under `key`.
  static bool SaveWindowPos(const QWidget* window, const QString& key);
  // Restores the placement saved under `key`; false (window untouched) when
  // nothing usable was saved.
  static bool LoadWindowPos(QWidget* window, const QString& key);

  // `r` moved (and if needed shrunk) so that it lies on one of `screens`
  // (available areas): unchanged when enough of it is on a screen already,
  // otherwise centred on the screen nearest to it. Platform-free geometry.
  static QRect FitOnScreens(const QRect& r, const std::vector<QRect>& screens);
};

}  // namespace kx
