// The about box under the test X server: its texts in English and Russian,
// OK from the keyboard, and screenshots.
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

class AboutBox : public ::testing::Test {
 protected:
  void SetUp() override { SetVisualTheme(*qApp); }
  void TearDown() override { test::UseLanguage(kLangEnglishUS); }
  test::SettingsSandbox sandbox_;
};

TEST_F(AboutBox, ShowsNameVersionAndNotice) {
  ASSERT_TRUE(test::UseLanguage(kLangEnglishUS));
  CAboutDlg dlg;
  EXPECT_EQ(dlg.windowTitle(), "About kxToneScopePreview");
  EXPECT_EQ(dlg.Item<QLabel>(CAboutDlg::IDC_NAME)->text(), "kxToneScopePreview, Version 1.0");
  EXPECT_EQ(dlg.Item<QLabel>(CAboutDlg::IDC_COPYRIGHT)->text(), QString::fromStdU16String(GetLegalCopyright()));
  EXPECT_FALSE(GetLegalCopyright().empty());
  auto* ok = dlg.Item<QPushButton>(kIdOk);
  ASSERT_TRUE(ok);
  EXPECT_TRUE(ok->isDefault());

  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  // Every text fits inside the box.
  for (int id : {CAboutDlg::IDC_NAME, CAboutDlg::IDC_COPYRIGHT}) {
    QWidget* w = dlg.GetDlgItem(id);
    EXPECT_LE(w->geometry().right(), dlg.width()) << id;
    EXPECT_GE(w->width(), w->sizeHint().width()) << id;
  }
  // The icon, as the program sets it, is checked in the program (app_frame_update_tests).
  EXPECT_FALSE(test::SaveShot(dlg, "about_en").isEmpty());
}

TEST_F(AboutBox, RussianTexts) {
  ASSERT_TRUE(test::UseLanguage(kLangRussian));
  CAboutDlg dlg;
  EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8("О программе kxToneScopePreview"));
  EXPECT_EQ(dlg.Item<QLabel>(CAboutDlg::IDC_NAME)->text(), QString::fromUtf8("kxToneScopePreview, версия 1.0"));
  EXPECT_EQ(dlg.Item<QPushButton>(kIdOk)->text(), QString::fromUtf8("ОК"));
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  EXPECT_FALSE(test::SaveShot(dlg, "about_ru").isEmpty());
}

TEST_F(AboutBox, EnterAndEscapeClose) {
  for (auto [key, result] : {std::pair{Qt::Key_Return, QDialog::Accepted}, std::pair{Qt::Key_Escape, QDialog::Rejected}}) {
    CAboutDlg dlg;
    QTimer::singleShot(0, &dlg, [&dlg, key = key] { QTest::keyClick(&dlg, key); });
    EXPECT_EQ(dlg.exec(), result);
  }
}

}  // namespace
}  // namespace kx
