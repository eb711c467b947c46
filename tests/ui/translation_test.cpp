// The translation manager against the Russian .qm the build makes, and against folders of broken files.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <set>

#include "ui/lang_id.h"
#include "ui/registry_manager.h"
#include "resources/res_str.h"
#include "ui/translation_manager.h"
#include "ui_test_support.h"

namespace kx {
namespace {

auto* const kUi = ::testing::AddGlobalTestEnvironment(new test::UiEnvironment("offscreen"));

const QString kBuiltQm = QStringLiteral(KX_TRANSLATIONS_BUILD_DIR "/kxToneScope_ru.qm");

class Translations : public ::testing::Test {
 protected:
  void TearDown() override { g_LangMgr.SetLanguage(kLangEnglishUS); }
  void StoreLanguage(int32_t id) {
    ASSERT_TRUE(CRegistryManager().WriteProfileInt(kSettingsSection, "UILanguage", id));
  }
  test::SettingsSandbox sandbox_;
};

TEST_F(Translations, RussianIsListedBesideEnglishAndTranslatesWhenStored) {
  ASSERT_TRUE(QFile::exists(kBuiltQm));
  g_LangMgr.Initialize(KX_TRANSLATIONS_BUILD_DIR);
  ASSERT_EQ(g_LangMgr.GetTranslationCount(), 2);
  EXPECT_EQ(g_LangMgr.GetTranslationByIndex(0)->strName + g_LangMgr.GetTranslationByIndex(1)->strName,
            QString::fromUtf8("EnglishРусский"));
  EXPECT_EQ(g_LangMgr.GetTranslationByIndex(1)->wLanguage, 1049);
  // Russian translates at once, through ResStr and tr() (Qt's own texts too); the log stays English.
  StoreLanguage(1049);
  g_LangMgr.Initialize(KX_TRANSLATIONS_BUILD_DIR);
  EXPECT_EQ(g_LangMgr.GetLanguage(), 1049);
  EXPECT_EQ(ResStr(3302), u"Поле имени не может быть пустым\r\nЧтобы продолжить, введите имя.");
  EXPECT_EQ(FormatResStr(3402, 437, 241), u"Размер кадра ШxВ: [437x241]");
  EXPECT_EQ(ResStrEnglish(3315) + ResStr(3399), u"OK");
  EXPECT_EQ(QCoreApplication::translate("ResStr", "Cancel", "3316"), QString::fromUtf8("Отмена"));
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString::fromUtf8("Отмена"));
  EXPECT_TRUE(g_LangMgr.SetLanguage(kLangEnglishUS));
  EXPECT_EQ(ResStr(3315), u"OK");
  EXPECT_EQ(QCoreApplication::translate("ResStr", "Cancel", "3316"), "Cancel");
}

TEST_F(Translations, UnknownLanguageMissingFolderOrBrokenFilesFallBackToEnglish) {
  // Stored languages not listed, or no number at all.
  for (const char* stored : {"1031", "-5", "Russian"}) {
    ASSERT_TRUE(CRegistryManager().WriteProfileStringW(kSettingsSection, "UILanguage", stored));
    g_LangMgr.Initialize(KX_TRANSLATIONS_BUILD_DIR);
    EXPECT_EQ(g_LangMgr.GetLanguage(), 1033) << stored;
    EXPECT_EQ(g_LangMgr.GetTranslationCount(), 2) << stored;
  }
  EXPECT_FALSE(g_LangMgr.SetLanguage(1031));
  // A missing folder, and a folder of broken files (truncated, noise, the .qm magic and noise, empty).
  const QByteArray good = test::FileBytes(kBuiltQm), noise = test::Noise(4099);
  const QString folder = sandbox_.Path() + "/Translations";
  const std::pair<const char*, QByteArray> files[] = {
      {"ru", good.left(good.size() / 3)}, {"de", noise}, {"fr", good.left(16) + noise}, {"uk", {}}};
  for (const auto& [language, data] : files)
    ASSERT_TRUE(test::WriteBytes(folder + "/kxToneScope_" + language + ".qm", data));
  StoreLanguage(1049);
  for (const QString& where : {sandbox_.Path() + "/no/such/Translations", folder}) {
    g_LangMgr.Initialize(where);
    EXPECT_EQ(g_LangMgr.GetLanguage(), 1033);
    EXPECT_EQ(ResStr(3315), u"OK");
    EXPECT_FALSE(g_LangMgr.SetLanguage(1049));
    EXPECT_EQ(g_LangMgr.GetTranslationCount(), 1);
  }
}

// Every string-table text has its Russian in resources/translations/kxToneScope_ru.ts.
TEST_F(Translations, RussianCoversTheWholeStringTable) {
  StoreLanguage(1049);
  g_LangMgr.Initialize(KX_TRANSLATIONS_BUILD_DIR);
  ASSERT_EQ(g_LangMgr.GetLanguage(), 1049);
  // Texts that read the same in Russian.
  const std::set<std::u16string> same = {u"-%d", u"%d - %s", u"...", u"100 %", u"90 %", u"80 %", u"70 %", u"60 %",
                                         u"50 %", u"40 %", u"30 %", u"20 %", u"10 %", u"5 %"};
  std::vector<uint32_t> missing;
  for (uint32_t id : ResStrIds())
    if (ResStr(id) == ResStrEnglish(id) && !same.count(ResStrEnglish(id))) missing.push_back(id);
  EXPECT_TRUE(missing.empty()) << "first without Russian: " << (missing.empty() ? 0 : missing.front()) << " of "
                               << missing.size();
}

// A translation takes the same arguments as its source: printf conversions in order, Qt's %1..%9 in any.
TEST(TranslationFiles, EveryTranslationKeepsItsSourcesPlaceholders) {
  const QStringList files = QDir(KX_TRANSLATIONS_SOURCE_DIR).entryList({"*.ts"}, QDir::Files);
  ASSERT_FALSE(files.isEmpty());
  auto qtArgs = [](const QString& text) {
    QStringList args;
    for (const auto& m : QRegularExpression("%[1-9]").globalMatch(text)) args << m.captured();
    args.sort();
    return args;
  };
  for (const QString& name : files) {
    QFile file(QStringLiteral(KX_TRANSLATIONS_SOURCE_DIR "/") + name);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QString source;
    int checked = 0;
    while (!xml.atEnd()) {
      if (xml.readNext() != QXmlStreamReader::StartElement) continue;
      if (xml.name() == u"source") {
        source = xml.readElementText(QXmlStreamReader::IncludeChildElements);
      } else if (xml.name() == u"translation") {
        const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        if (text.isEmpty()) continue;
        // A text with Qt's %1..%9 is filled by QString::arg, never by printf ("%1 dBFS" is no "% d").
        if (qtArgs(source).isEmpty()) {
          EXPECT_EQ(FormatPlaceholders(text.toStdU16String()), FormatPlaceholders(source.toStdU16String()))
              << name.toStdString() << ": " << source.toStdString() << " / " << text.toStdString();
        }
        EXPECT_EQ(qtArgs(text), qtArgs(source)) << name.toStdString() << ": " << source.toStdString();
        ++checked;
      }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_GT(checked, 200) << name.toStdString();
  }
}

// At run time a translation with other placeholders gives way to the English text.
TEST_F(Translations, FormatFallsBackToEnglishWhenPlaceholdersDiffer) {
  SetResStrTranslator([](uint32_t id, const char16_t*) -> std::u16string {
    switch (id) {
      case 3402: return u"Размер кадра: [%s]";         // another conversion
      case 3400: return u"Кодек: [%S] %d";             // one more
      case 3401: return u"Кадров в секунду: [%.01lf]";  // the same
      default: return {};
    }
  });
  EXPECT_EQ(FormatResStr(3402, 437, 241), u"Video size WxH: [437x241]");
  EXPECT_EQ(FormatResStr(3400, "H.264"), u"Codec: [H.264]");
  EXPECT_EQ(FormatResStr(3401, 25.0), u"Кадров в секунду: [25.0]");
  // What counts as a placeholder.
  EXPECT_EQ(FormatPlaceholders(u"100 %% of %-5.2lf and %S, %d%%"),
            (std::vector<std::u16string>{u"%-5.2lf", u"%S", u"%d"}));
}

// With no UILanguage stored, the system's language when it is listed; the locale is fixed per process, so
// each case runs this test again in a child process with its own LANG.
TEST_F(Translations, NoStoredLanguageTakesTheSystemsWhenListed) {
  if (qEnvironmentVariableIsSet("KX_EXPECT_LANGUAGE")) {
    g_LangMgr.Initialize(KX_TRANSLATIONS_BUILD_DIR);
    EXPECT_EQ(g_LangMgr.GetLanguage(), qEnvironmentVariableIntValue("KX_EXPECT_LANGUAGE"));
    return;
  }
  for (const auto& [lang, expected] : {std::pair{"ru_RU.UTF-8", 1049}, {"de_DE.UTF-8", 1033}, {"C", 1033}}) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("LC_ALL");
    env.remove("LC_MESSAGES");
    env.remove("LANGUAGE");
    env.insert("LANG", lang);
    env.insert("KX_EXPECT_LANGUAGE", QString::number(expected));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=Translations.NoStoredLanguageTakesTheSystemsWhenListed"});
    ASSERT_TRUE(child.waitForFinished(-1));
    EXPECT_EQ(child.exitCode(), 0) << lang << "\n" << child.readAllStandardOutput().toStdString();
  }
}

}  // namespace
}  // namespace kx
