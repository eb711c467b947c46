// The about box under the test X server: its texts in English and Russian,
// Enter and Escape, and screenshots.
#include "dialogs/about_dlg.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

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
    // Every text fits inside the box. The icon, as the program sets it, is checked in the program.
    for (int id : {CAboutDlg::IDC_NAME, CAboutDlg::IDC_COPYRIGHT}) {
      QWidget* w = dlg.GetDlgItem(id);
      EXPECT_LE(w->geometry().right(), dlg.width()) << id;
      EXPECT_GE(w->width(), w->sizeHint().width()) << id;
    }
    EXPECT_FALSE(test::SaveShot(dlg, c.shot).isEmpty());
  }
  test::UseLanguage(kLangEnglishUS);
}

TEST(AboutBox, EnterAndEscapeClose) {
  for (auto [key, result] : {std::pair{Qt::Key_Return, QDialog::Accepted}, std::pair{Qt::Key_Escape, QDialog::Rejected}}) {
    CAboutDlg dlg;
    QTimer::singleShot(0, &dlg, [&dlg, key = key] { QTest::keyClick(&dlg, key); });
    EXPECT_EQ(dlg.exec(), result);
  }
}

}  // namespace
}  // namespace kx
