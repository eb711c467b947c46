// Shared by the about box and options page tests: the Russian translation the
// build makes, and screenshots into the build's artifacts folder.
#pragma once

#include <QDir>
#include <QWidget>
#include <QtGlobal>

#include "ui/lang_id.h"
#include "ui/translation_manager.h"

namespace kx::test {

// Lists the built translations and activates `language` (1033 or 1049).
inline bool UseLanguage(uint16_t language) {
  g_LangMgr.Initialize(QStringLiteral(KX_TRANSLATIONS_BUILD_DIR));
  return g_LangMgr.SetLanguage(language);
}

// Saves a picture of `w` as artifacts/NAME[SUFFIX].png; the suffix comes from
// KX_SHOT_SUFFIX (the 200 % run sets "_200").
inline QString SaveShot(QWidget& w, const QString& name) {
  QDir().mkpath(QStringLiteral(KX_ARTIFACTS_DIR));
  const QString file =
      QStringLiteral(KX_ARTIFACTS_DIR "/%1%2.png").arg(name, qEnvironmentVariable("KX_SHOT_SUFFIX"));
  return w.grab().save(file) ? file : QString();
}

}  // namespace kx::test
