#include "app/measure_settings.h"

#include <QSettings>
#include <cmath>

namespace kx {

measure::Thresholds LoadMeasureThresholds() {
  measure::Thresholds t;
  QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "KEXAR", "kxToneScope");
  settings.beginGroup("Settings");
  for (const measure::ThresholdName& entry : measure::kThresholdNames) {
    bool ok = false;
    const double v = settings.value(entry.name).toDouble(&ok);
    if (ok && std::isfinite(v)) t.*entry.member = v;
  }
  return t;
}

}  // namespace kx
