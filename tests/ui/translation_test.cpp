// The translation manager against the Russian .qm the build makes, and
// against folders holding broken files.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
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

TEST(LangId, WindowsNumbersAndLocales) {
  EXPECT_EQ(LocaleNameFromLangId(1033), "en_US");
  EXPECT_EQ(LocaleNameFromLangId(1049), "ru_RU");
  EXPECT_EQ(LangIdFromLocaleName("ru_RU"), 1049);
  EXPECT_EQ(LangIdFromLocaleName("ru-RU"), 1049);
  EXPECT_EQ(LangIdFromLocaleName("ru"), 1049);
  EXPECT_EQ(LangIdFromLocaleName("ru_UA.UTF-8"), 1049);  // unlisted territory: the language's own
  EXPECT_EQ(LangIdFromLocaleName("de_DE"), 1031);
  EXPECT_EQ(LangIdFromLocaleName("en_GB"), 2057);
  // Sub-language unknown, primary language known (Russian, Moldova 0x0819).
  EXPECT_EQ(LocaleNameFromLangId(0x0819), "ru_RU");
  EXPECT_EQ(LocaleNameFromLangId(0), "");
  EXPECT_EQ(LocaleNameFromLangId(0x03FF), "");
  EXPECT_EQ(LocaleNameFromLangId(70000), "");
  EXPECT_EQ(LangIdFromLocaleName(""), 0);
  EXPECT_EQ(LangIdFromLocaleName("C"), 0);
  EXPECT_EQ(LangIdFromLocaleName("xx_YY"), 0);
}

TEST_F(Translations, RussianIsListedBesideEnglish) {
  ASSERT_TRUE(QFile::exists(kBuiltQm));
  g_LangMgr.Initialize(KX_TRANSLATIONS_BUILD_DIR);
  ASSERT_EQ(g_LangMgr.GetTranslationCount(), 2);
  const CTranslation* english = g_LangMgr.GetTranslationByIndex(0);
  const CTranslation* russian = g_LangMgr.GetTranslationByIndex(1);
  ASSERT_TRUE(english && russian);
  EXPECT_EQ(english->wLanguage, 1033);
  EXPECT_EQ(english->strName, "English");
  EXPECT_TRUE(english->strFile.isEmpty());
  EXPECT_EQ(russian->wLanguage, 1049);
  EXPECT_EQ(russian->strName, QString::fromUtf8("Русский"));
  EXPECT_EQ(g_LangMgr.GetTranslationByIndex(2), nullptr);
  EXPECT_EQ(g_LangMgr.GetTranslationByIndex(-1), nullptr);
}

TEST_F(Translations, StoredRussianTranslatesResStrAndTr) {
  StoreLanguage(1049);
  g_LangMgr.Initialize(KX_TRANSLATIONS_BUILD_DIR);
  EXPECT_EQ(g_LangMgr.GetLanguage(), 1049);
  EXPECT_EQ(ResStr(3315), u"ОК");
  EXPECT_EQ(ResStr(3316), u"Отмена");
  EXPECT_EQ(ResStr(3302), u"Поле имени не может быть пустым\r\nЧтобы продолжить, введите имя.");
  EXPECT_EQ(FormatResStr(3402, 437, 241), u"Размер кадра ШxВ: [437x241]");
  // Equal English texts keep their own numbers: "Waveform" category and panel.
  EXPECT_EQ(ResStr(4002), ResStr(4014));
  // The log stays English; unknown numbers stay empty.
  EXPECT_EQ(ResStrEnglish(3315), u"OK");
  EXPECT_EQ(ResStr(3399), u"");
  // The same texts reach widgets through the installed translator.
  EXPECT_EQ(QCoreApplication::translate("ResStr", "Cancel", "3316"), QString::fromUtf8("Отмена"));
  // Qt's own texts (standard buttons, the colour dialog) follow too.
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString::fromUtf8("Отмена"));

  // Back to English at once.
  EXPECT_TRUE(g_LangMgr.SetLanguage(kLangEnglishUS));
  EXPECT_EQ(ResStr(3315), u"OK");
  EXPECT_EQ(QCoreApplication::translate("ResStr", "Cancel", "3316"), "Cancel");
}

TEST_F(Translations, UnknownOrBrokenStoredLanguageFallsBackToEnglish) {
  for (int32_t stored : {1031, 70000, 0, -5}) {
    StoreLanguage(stored);
    g_LangMgr.Initialize(KX_TRANSLATIONS_BUILD_DIR);
    EXPECT_EQ(g_LangMgr.GetLanguage(), 1033) << stored;
    EXPECT_EQ(ResStr(3315), u"OK") << stored;
    EXPECT_EQ(g_LangMgr.GetTranslationCount(), 2) << stored;
  }
  ASSERT_TRUE(CRegistryManager().WriteProfileStringW(kSettingsSection, "UILanguage", "Russian"));
  g_LangMgr.Initialize(KX_TRANSLATIONS_BUILD_DIR);
  EXPECT_EQ(g_LangMgr.GetLanguage(), 1033);
  EXPECT_FALSE(g_LangMgr.SetLanguage(1031));
  EXPECT_EQ(ResStr(3316), u"Cancel");
}

TEST_F(Translations, MissingFolderListsEnglishAlone) {
  StoreLanguage(1049);
  g_LangMgr.Initialize(sandbox_.Path() + "/no/such/Translations");
  EXPECT_EQ(g_LangMgr.GetTranslationCount(), 1);
  EXPECT_EQ(g_LangMgr.GetTranslationByIndex(0)->wLanguage, 1033);
  EXPECT_EQ(g_LangMgr.GetLanguage(), 1033);
  EXPECT_EQ(ResStr(3315), u"OK");
}

TEST_F(Translations, BrokenFilesGiveNoTranslation) {
  QFile good(kBuiltQm);
  ASSERT_TRUE(good.open(QIODevice::ReadOnly));
  const QByteArray bytes = good.readAll();
  ASSERT_GT(bytes.size(), 1000);
  const QString folder = sandbox_.Path() + "/Translations";
  ASSERT_TRUE(QDir().mkpath(folder));
  auto write = [&](const QString& name, const QByteArray& data) {
    QFile f(folder + "/" + name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
  };
  QByteArray noise(4099, '\0');
  QRandomGenerator rng(437);
  for (char& c : noise) c = static_cast<char>(rng.bounded(256));
  // The .qm magic followed by noise, so the header check alone cannot reject it.
  QByteArray magicNoise = bytes.left(16) + noise;
  write("kxToneScope_ru.qm", bytes.left(bytes.size() / 3));  // truncated
  write("kxToneScope_de.qm", noise);
  write("kxToneScope_fr.qm", magicNoise);
  write("kxToneScope_uk.qm", {});
  StoreLanguage(1049);
  g_LangMgr.Initialize(folder);
  EXPECT_EQ(g_LangMgr.GetLanguage(), 1033);
  EXPECT_EQ(ResStr(3315), u"OK");
  EXPECT_FALSE(g_LangMgr.SetLanguage(1049));
  EXPECT_EQ(g_LangMgr.GetTranslationCount(), 1);
}

// Every string-table text has a Russian translation: a helper who adds an
// entry adds its Russian to resources/translations/kxToneScope_ru.ts.
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

// A translation must take the same arguments as its source: the printf
// conversions in the same order, Qt's %1..%9 in any order.
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

// At run time a translation with other placeholders gives way to the English
// text instead of reading the arguments wrongly.
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

// With no UILanguage stored, the system's language is taken when it is
// listed. The system locale is fixed per process, so each case runs this
// test again in a child process with its own LANG.
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
