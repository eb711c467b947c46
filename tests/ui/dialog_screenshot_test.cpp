// A dialog made with every helper, in the program's theme, on the X server
// of the test peers: saved as artifacts/ui_dialog_<language>_<scale>.png to
// be looked at, and checked for texts that do not fit their controls.
// The language (KX_UI_LANG, 1033 or 1049) and QT_SCALE_FACTOR come from the
// ctest entry.
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "ui/dialog.h"
#include "ui/edit_ex.h"
#include "ui/lang_id.h"
#include "ui/link_button.h"
#include "ui/registry_manager.h"
#include "resources/res_str.h"
#include "ui/theme.h"
#include "ui/translation_manager.h"
#include "ui_test_support.h"

namespace kx {
namespace {

auto* const kUi = ::testing::AddGlobalTestEnvironment(new test::UiEnvironment(nullptr));

QString Text(uint32_t id) { return QString::fromStdU16String(ResStr(id)); }

TEST(DialogScreenshot, EveryHelperInTheTheme) {
  if (qEnvironmentVariableIsEmpty("DISPLAY")) {
    if (qEnvironmentVariableIntValue("KX_REQUIRE_PEERS")) FAIL() << "no X server";
    GTEST_SKIP() << "no X server (run under tests/peers/with-peers)";
  }
  test::SettingsSandbox sandbox;
  const int lang = qEnvironmentVariableIntValue("KX_UI_LANG");
  ASSERT_TRUE(CRegistryManager().WriteProfileInt(kSettingsSection, "UILanguage", lang));
  g_LangMgr.Initialize(KX_TRANSLATIONS_BUILD_DIR);
  ASSERT_EQ(g_LangMgr.GetLanguage(), lang);
  SetVisualTheme(*qobject_cast<QApplication*>(QCoreApplication::instance()));

  CDialogEx dlg;
  dlg.Build({323, 310, 34001,
             {{34003, CtlKind::Label, 34003, 7, 6, 301, 8},
              {34008, CtlKind::Link, 34008, 6, 18, 0, 12},
              {34004, CtlKind::Label, 34004, 7, 37, 50, 8},
              {34005, CtlKind::Edit, 0, 61, 35, 237, 14, MoveType::None, SizeType::Horz},
              {1019, CtlKind::Edit, 0, 61, 53, 237, 14, MoveType::None, SizeType::Horz},
              {34000, CtlKind::HLine, 0, 7, 72, 308, 2, MoveType::None, SizeType::Horz},
              {1016, CtlKind::Combo, 0, 7, 80, 120, 14},
              {1017, CtlKind::Button, 3340, 133, 79, 60, 16},
              {kIdOk, CtlKind::DefButton, 3315, 199, 79, 52, 16, MoveType::Horz},
              {kIdCancel, CtlKind::Button, 3316, 255, 79, 52, 16, MoveType::Horz},
              {34006, CtlKind::ExpandButton, 3306, 10, 102, 301, 10, MoveType::None, SizeType::Horz},
              {34007, CtlKind::List, 0, 9, 122, 311, 186, MoveType::None, SizeType::Both}}});
  auto* link = dlg.Item<CUrlLinkButton>(34008);
  link->SetURL("https://www.kexar.com/support/");
  link->SetTooltip(Text(3305));
  link->SizeToContent();
  auto* empty = dlg.Item<CEditEx>(34005);
  empty->SetErrorMessage(Text(3301), QColor(0xCD, 0x5C, 0x5C), true);
  empty->SetInfoTip(Text(3302), kTipProblem);
  auto* filled = dlg.Item<CEditEx>(1019);
  filled->setText("rtsp://127.0.0.1:8554/demo");
  filled->SetInfoTip(Text(3303), kTipGood);
  dlg.Item<QComboBox>(1016)->addItem(QString::fromUtf8("Русский"));
  dlg.Item<QPushButton>(1017)->setEnabled(false);
  auto* list = dlg.Item<QTreeWidget>(34007);
  list->setHeaderLabels({Text(3310), Text(3311)});
  list->setColumnWidth(0, 200);
  list->setColumnWidth(1, 240);
  list->addTopLevelItem(new QTreeWidgetItem({"Entrance", "rtsp://10.0.0.7/stream1"}));
  list->addTopLevelItem(new QTreeWidgetItem({QString::fromUtf8("Склад"), "rtsp://10.0.0.8:554/h264"}));
  dlg.EnableExpand(34006, Text(3306), Text(3307));
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));

  // Every text fits its control, in every language.
  for (int id : {34003, 34004}) {
    auto* label = dlg.Item<QLabel>(id);
    EXPECT_GE(label->width(), label->sizeHint().width()) << id << " " << label->text().toStdString();
  }
  for (int id : {1017, kIdOk, kIdCancel}) {
    auto* button = dlg.Item<QPushButton>(id);
    EXPECT_GE(button->width(), button->fontMetrics().horizontalAdvance(button->text())) << id;
  }
  EXPECT_GE(link->width(), link->fontMetrics().horizontalAdvance(link->text()));
  EXPECT_LE(link->geometry().right(), dlg.width());

  const QString dir = QStringLiteral(KX_ARTIFACTS_DIR);
  ASSERT_TRUE(QDir().mkpath(dir));
  const QString scale = qEnvironmentVariableIsEmpty("QT_SCALE_FACTOR") ? "100" : "200";
  const QString name = QStringLiteral("%1/ui_dialog_%2_%3").arg(dir, lang == 1049 ? "ru" : "en", scale);
  QCoreApplication::processEvents();
  const QImage expanded = dlg.grab().toImage();
  ASSERT_TRUE(expanded.save(name + "_expanded.png"));
  dlg.Expand(false);
  QCoreApplication::processEvents();
  const QImage collapsed = dlg.grab().toImage();
  ASSERT_TRUE(collapsed.save(name + "_collapsed.png"));
  EXPECT_LT(collapsed.height(), expanded.height());
  // At 200 % the picture has twice the pixels of the dialog's size.
  EXPECT_EQ(expanded.width(), qRound(dlg.width() * dlg.devicePixelRatioF()));
  g_LangMgr.SetLanguage(kLangEnglishUS);
}

}  // namespace
}  // namespace kx
