#include "ui/translation_manager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>

#include "ui/lang_id.h"
#include "ui/registry_manager.h"
#include "resources/res_str.h"

namespace kx {

CLocalizeMgr g_LangMgr;

namespace {

const QString kFilePrefix = QStringLiteral("kxToneScope_");

// ResStr's hook: the string table's texts live in the context "ResStr" with
// their number as the disambiguation, so equal English texts stay apart.
std::u16string TranslateResStr(uint32_t id, const char16_t* english) {
  const QByteArray source = QString::fromUtf16(english).toUtf8();
  const QByteArray number = QByteArray::number(id);
  const QString text = QCoreApplication::translate("ResStr", source.constData(), number.constData());
  if (text.isEmpty() || text.toUtf8() == source) return {};
  return text.toStdU16String();
}

QString NativeName(const QLocale& locale) {
  QString name = locale.nativeLanguageName();
  if (name.isEmpty()) name = QLocale::languageToString(locale.language());
  if (!name.isEmpty()) name[0] = name[0].toUpper();
  return name;
}

}  // namespace

CLocalizeMgr::CLocalizeMgr() { m_translations.push_back({kLangEnglishUS, QStringLiteral("English"), {}}); }

CLocalizeMgr::~CLocalizeMgr() {
  // The global manager outlives the application object: nothing to uninstall then.
  if (QCoreApplication::instance()) Deactivate();
}

QString CLocalizeMgr::DefaultFolder() {
  const QString exeDir = QCoreApplication::applicationDirPath();
  const QString beside = exeDir + QStringLiteral("/Translations");
  if (QFileInfo(beside).isDir()) return beside;
  return QDir::cleanPath(exeDir + QStringLiteral("/../share/kxToneScope/Translations"));
}

void CLocalizeMgr::Initialize(const QString& folder, const QString& valueName) {
  Deactivate();
  m_translations.assign(1, {kLangEnglishUS, QStringLiteral("English"), {}});

  const QFileInfoList files =
      QDir(folder).entryInfoList({kFilePrefix + QStringLiteral("*.qm")}, QDir::Files | QDir::Readable, QDir::Name);
  for (const QFileInfo& file : files) {
    // A file that does not load (truncated, not a .qm) is not offered.
    QTranslator probe;
    if (!probe.load(file.absoluteFilePath()) || probe.isEmpty()) continue;
    QString locale = probe.language();  // from the .ts file's language attribute
    if (locale.isEmpty()) locale = file.completeBaseName().mid(kFilePrefix.size());
    const uint16_t id = LangIdFromLocaleName(locale.toStdString());
    if (id == 0 || id == kLangEnglishUS) continue;
    bool listed = false;
    for (const CTranslation& t : m_translations) listed = listed || t.wLanguage == id;
    if (listed) continue;
    const QLocale qlocale(QString::fromStdString(LocaleNameFromLangId(id)));
    m_translations.push_back({id, NativeName(qlocale), file.absoluteFilePath()});
  }

  const int32_t stored = CRegistryManager().GetProfileIntW(kSettingsSection, valueName, -1);
  uint16_t wanted = kLangEnglishUS;
  if (stored >= 0 && stored <= 0xFFFF)
    wanted = static_cast<uint16_t>(stored);
  else if (stored == -1)
    wanted = LangIdFromLocaleName(QLocale::system().name().toStdString());
  SetLanguage(wanted);
}

const CTranslation* CLocalizeMgr::GetTranslationByIndex(int index) const {
  if (index < 0 || index >= GetTranslationCount()) return nullptr;
  return &m_translations[static_cast<size_t>(index)];
}

bool CLocalizeMgr::SetLanguage(uint16_t langId) {
  Deactivate();
  if (langId == kLangEnglishUS) return true;
  const CTranslation* found = nullptr;
  for (const CTranslation& t : m_translations)
    if (t.wLanguage == langId && !t.strFile.isEmpty()) found = &t;
  if (!found) return false;

  auto program = std::make_unique<QTranslator>();
  if (!program->load(found->strFile) || !QCoreApplication::installTranslator(program.get())) return false;
  m_program = std::move(program);
  const QLocale locale(QString::fromStdString(LocaleNameFromLangId(langId)));
  auto qt = std::make_unique<QTranslator>();
  if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
               QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
      QCoreApplication::installTranslator(qt.get()))
    m_qt = std::move(qt);
  m_wLanguage = langId;
  SetResStrTranslator(&TranslateResStr);
  return true;
}

void CLocalizeMgr::Deactivate() {
  SetResStrTranslator(nullptr);
  if (m_program) QCoreApplication::removeTranslator(m_program.get());
  if (m_qt) QCoreApplication::removeTranslator(m_qt.get());
  m_program.reset();
  m_qt.reset();
  m_wLanguage = kLangEnglishUS;
}

}  // namespace kx
