// The about box under the test X server: its texts in English and Russian, and screenshots.
#include "dialogs/about_dlg.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "ui_test_support.h"
#include "common/version_info.h"
#include "dialogs_test_support.h"
#include "ui/theme.h"

namespace kx {
namespace {

auto* const kUi = ::testing::AddGlobalTestEnvironment(new test::UiEnvironment(nullptr));

TEST(AboutBox, ShowsNameVersionAndNoticeInEnglishAndRussian) {
  test::SettingsSandbox sandbox;
  SetVisualTheme(*qApp);
  struct Case {
    uint16_t language;
    const char *title, *name, *shot;
  };
  for (const Case& c : {Case{kLangEnglishUS, "About kxToneScopePreview", "kxToneScopePreview, Version 1.0", "about_en"},
                        Case{kLangRussian, "О программе kxToneScopePreview", "kxToneScopePreview, версия 1.0",
                             "about_ru"}}) {
    SCOPED_TRACE(c.shot);
    ASSERT_TRUE(test::UseLanguage(c.language));
    CAboutDlg dlg;
    EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8(c.title));
    EXPECT_EQ(dlg.Item<QLabel>(CAboutDlg::IDC_NAME)->text(), QString::fromUtf8(c.name));
    EXPECT_EQ(dlg.Item<QLabel>(CAboutDlg::IDC_COPYRIGHT)->text(), QString::fromStdU16String(GetLegalCopyright()));
    EXPECT_TRUE(dlg.Item<QPushButton>(kIdOk)->isDefault());
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    test::ExpectTidy(&dlg);  // the icon, as the program sets it, is checked in the program
    EXPECT_FALSE(test::SaveShot(dlg, c.shot).isEmpty());
  }
  test::UseLanguage(kLangEnglishUS);
}

}  // namespace
}  // namespace kx
