// The translation manager: lists the translations found in the program's
// "Translations" folder, activates the one the user chose (UILanguage in the
// user's "Settings"), and makes ResStr and every tr() text follow it.
//
// A translation is a Qt .qm file named kxToneScope_<locale>.qm (made by
// lrelease from resources/translations/kxToneScope_<locale>.ts). English is
// built in and always listed first.
#pragma once

#include <QString>
#include <QTranslator>
#include <cstdint>
#include <memory>
#include <vector>

namespace kx {

struct CTranslation {
  uint16_t wLanguage = 0;  // Windows LANGID: 1033 English US, 1049 Russian, ...
  QString strName;         // the language's name in its own language ("Русский")
  QString strFile;         // the .qm file; empty for the built-in English
};

class CLocalizeMgr {
 public:
  CLocalizeMgr();
  ~CLocalizeMgr();
  CLocalizeMgr(const CLocalizeMgr&) = delete;
  CLocalizeMgr& operator=(const CLocalizeMgr&) = delete;

  // Lists the translations of `folder` (a missing or unreadable folder lists
  // English alone) and activates the language stored as `valueName` in the
  // user's "Settings": an unlisted number activates English; no stored value
  // takes the system's language when it is listed. Needs a QCoreApplication.
  void Initialize(const QString& folder, const QString& valueName = QStringLiteral("UILanguage"));

  int GetTranslationCount() const { return static_cast<int>(m_translations.size()); }
  // nullptr outside 0 .. count - 1.
  const CTranslation* GetTranslationByIndex(int index) const;
  // The active language's LANGID (1033 while English is active).
  uint16_t GetLanguage() const { return m_wLanguage; }
  // Activates a listed language at once (the program itself asks for a
  // restart instead, so every window is built in one language). False, and
  // English active, when the language is not listed or its file no longer loads.
  bool SetLanguage(uint16_t langId);

  // Where the program looks: "Translations" beside the executable, else
  // <prefix>/share/kxToneScope/Translations of the installed layout.
  static QString DefaultFolder();

 private:
  void Deactivate();

  std::vector<CTranslation> m_translations;
  uint16_t m_wLanguage = 0;
  std::unique_ptr<QTranslator> m_program;  // the program's texts
  std::unique_ptr<QTranslator> m_qt;       // Qt's own (standard buttons, colour dialog), when installed
};

// The program's one translation manager.
extern CLocalizeMgr g_LangMgr;

}  // namespace kx
