// The dialog tests' translations (the build's), screenshots into the build's artifacts, and bookmarks.
#pragma once

#include <QDir>
#include <QLabel>
#include <QWidget>
#include <QtGlobal>
#include <vector>

#include "dialogs/bookmark.h"
#include "ui/lang_id.h"
#include "ui/translation_manager.h"

namespace kx::test {

// Lists the built translations and activates `language` (1033 or 1049).
inline bool UseLanguage(uint16_t language) {
  g_LangMgr.Initialize(QStringLiteral(KX_TRANSLATIONS_BUILD_DIR));
  return g_LangMgr.SetLanguage(language);
}

// Saves a picture of `w` as artifacts/NAME[SUFFIX].png; the 200 % run sets KX_SHOT_SUFFIX to "_200".
inline QString SaveShot(QWidget& w, const QString& name) {
  QDir().mkpath(QStringLiteral(KX_ARTIFACTS_DIR));
  const QString file =
      QStringLiteral(KX_ARTIFACTS_DIR "/%1%2.png").arg(name, qEnvironmentVariable("KX_SHOT_SUFFIX"));
  return w.grab().save(file) ? file : QString();
}

// No two visible controls of `w` overlap, none passes its right edge, and every label shows its whole text.
inline void ExpectTidy(QWidget* w) {
  const QList<QWidget*> kids = w->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
  for (QWidget* a : kids) {
    if (!a->isVisible()) continue;
    const auto* label = qobject_cast<QLabel*>(a);
    EXPECT_TRUE(!label || label->width() >= label->sizeHint().width()) << label->text().toStdString();
    EXPECT_LE(a->geometry().right(), w->width()) << a->objectName().toStdString();
    for (QWidget* b : kids) {
      EXPECT_FALSE(a < b && b->isVisible() && a->geometry().intersects(b->geometry()))
          << a->objectName().toStdString() << " / " << b->objectName().toStdString();
    }
  }
}

inline std::vector<CBookmarkItem> Items(const CBookmark& b) {
  std::vector<CBookmarkItem> v;
  for (int32_t i = 0; i < b.GetCount(); ++i) v.push_back(b.GetItem(i));
  return v;
}

inline CBookmark LoadBookmarks(const QString& folder) {
  CBookmark b;
  b.SetFolder(folder.toStdU16String());
  b.Load();
  return b;
}

}  // namespace kx::test
