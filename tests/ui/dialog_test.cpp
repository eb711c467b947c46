// The dialog helpers on a real QApplication: controls built from a template,
// layout anchors, the expandable area, the edit's error message and tips,
// the link button, separators and the theme; and a picture of them all.
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QProxyStyle>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "ui/dialog.h"
#include "ui/edit_ex.h"
#include "ui/link_button.h"
#include "ui/lang_id.h"
#include "ui/registry_manager.h"
#include "resources/res_str.h"
#include "ui/separator.h"
#include "ui/theme.h"
#include "ui/translation_manager.h"
#include "ui_test_support.h"

namespace kx {
namespace {

auto* const kUi = ::testing::AddGlobalTestEnvironment(new test::UiEnvironment(nullptr));

QString Text(uint32_t id) { return QString::fromStdU16String(ResStr(id)); }

// Shaped like the URL dialog: text, link, label + edit, line, OK/Cancel,
// then the expandable bookmark list.
DlgTemplate UrlLike() {
  return {323, 310, 34001,
          {{34003, CtlKind::Label, 34003, 7, 6, 301, 8},
           {34008, CtlKind::Link, 34008, 6, 18, 0, 12},
           {34004, CtlKind::Label, 34004, 7, 37, 50, 8},
           {34005, CtlKind::Edit, 0, 61, 35, 237, 14, MoveType::None, SizeType::Horz},
           {34000, CtlKind::HLine, 0, 7, 63, 308, 2, MoveType::None, SizeType::Horz},
           {kIdOk, CtlKind::DefButton, 3315, 107, 74, 52, 16},
           {kIdCancel, CtlKind::Button, 3316, 163, 74, 52, 16},
           {34006, CtlKind::ExpandButton, 3306, 10, 102, 301, 10, MoveType::None, SizeType::Horz},
           {34007, CtlKind::List, 0, 9, 122, 311, 186, MoveType::None, SizeType::Both}}};
}

TEST(DialogTemplate, BuildsControlsWithTextsAndKeysAndButtonsCloseIt) {
  CDialogEx dlg;
  dlg.Build(UrlLike());
  EXPECT_EQ(dlg.windowTitle(), "IP camera");
  ASSERT_NE(dlg.Item<QLabel>(34003), nullptr);
  EXPECT_EQ(dlg.Item<QLabel>(34003)->text(), "Please enter RTSP URL for IP camera");
  EXPECT_NE(dlg.Item<CSeparator>(34000), nullptr);
  EXPECT_EQ(dlg.GetDlgItem(4242), nullptr);
  EXPECT_EQ(dlg.Item<QLabel>(34005), nullptr);  // wrong type asked: null, not a bad cast
  auto* ok = dlg.Item<QPushButton>(kIdOk);
  auto* cancel = dlg.Item<QPushButton>(kIdCancel);
  ASSERT_TRUE(ok && cancel);
  EXPECT_TRUE(ok->isDefault());
  EXPECT_EQ(ok->text(), "OK");
  // Dialog units follow the font: the template's size, at least.
  EXPECT_GE(dlg.width(), dlg.DluX(323));
  EXPECT_GE(dlg.height(), dlg.DluY(310));
  EXPECT_EQ(dlg.Item<QWidget>(34004)->x(), dlg.DluX(7));

  // Enter takes the default button, Escape cancels; so do the buttons.
  dlg.show();
  QTest::keyClick(dlg.Item<CEditEx>(34005), Qt::Key_Return);
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  dlg.show();
  QTest::keyClick(&dlg, Qt::Key_Escape);
  EXPECT_EQ(dlg.result(), QDialog::Rejected);
  dlg.show();
  QTest::mouseClick(ok, Qt::LeftButton);
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  dlg.show();
  QTest::mouseClick(cancel, Qt::LeftButton);
  EXPECT_EQ(dlg.result(), QDialog::Rejected);
  // Tab order is the template's order: text, link, label, edit...
  EXPECT_EQ(dlg.Item<QWidget>(34008)->nextInFocusChain()->nextInFocusChain(), dlg.GetDlgItem(34005));

  // The expandable area below its button collapses and opens (Space, click);
  // what lies above stays in place, the list reaches the bottom.
  dlg.EnableExpand(34006, "&Show RTSP url Bookmarks", "&Hide RTSP urk Bookmarks");
  dlg.show();
  auto* button = dlg.Item<QPushButton>(34006);
  QWidget* list = dlg.GetDlgItem(34007);
  const int fullHeight = dlg.height();
  const QRect okPlace = ok->geometry();
  EXPECT_TRUE(dlg.IsExpanded() && list->isVisible());
  dlg.Expand(false);
  EXPECT_FALSE(dlg.IsExpanded() || list->isVisible());
  EXPECT_TRUE(ok->isVisible());
  EXPECT_EQ(button->text(), "&Show RTSP url Bookmarks");
  EXPECT_LT(dlg.height(), fullHeight - dlg.DluY(150));
  EXPECT_GE(dlg.height(), button->geometry().bottom());
  EXPECT_EQ(ok->geometry(), okPlace);
  button->setFocus();
  QTest::keyClick(button, Qt::Key_Space);
  EXPECT_TRUE(dlg.IsExpanded() && list->isVisible());
  EXPECT_EQ(button->text(), "&Hide RTSP urk Bookmarks");
  EXPECT_EQ(dlg.height(), fullHeight);
  EXPECT_EQ(ok->geometry(), okPlace);
  EXPECT_GT(list->geometry().bottom(), fullHeight - dlg.DluY(10));
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_FALSE(dlg.IsExpanded());
}

TEST(DialogTemplate, AnchorsFollowTheResize) {
  CDialogEx dlg;
  dlg.Build({200, 100, 0,
             {{10, CtlKind::Button, 3315, 10, 10, 40, 14},                                    // stays
              {11, CtlKind::Button, 3316, 150, 10, 40, 14, MoveType::Horz},                   // right edge
              {12, CtlKind::Edit, 0, 10, 30, 180, 14, MoveType::None, SizeType::Horz},        // width
              {13, CtlKind::VLine, 0, 100, 50, 2, 40, MoveType::Horz, SizeType::Vert},        // right, height
              {14, CtlKind::List, 0, 10, 50, 80, 40, MoveType::None, SizeType::Both},         // both
              {15, CtlKind::Button, 3318, 150, 80, 40, 14, MoveType::Both}}});               // corner
  dlg.show();
  std::map<int, QRect> before;
  for (int id = 10; id <= 15; ++id) before[id] = dlg.GetDlgItem(id)->geometry();
  dlg.resize(dlg.width() + 137, dlg.height() + 61);
  auto now = [&](int id) { return dlg.GetDlgItem(id)->geometry(); };
  EXPECT_EQ(now(10), before[10]);
  EXPECT_EQ(now(11), before[11].translated(137, 0));
  EXPECT_EQ(now(12), before[12].adjusted(0, 0, 137, 0));
  EXPECT_EQ(now(13), before[13].translated(137, 0).adjusted(0, 0, 0, 61));
  EXPECT_EQ(now(14), before[14].adjusted(0, 0, 137, 61));
  EXPECT_EQ(now(15), before[15].translated(137, 61));
  // Back to the start: every control back where it was.
  dlg.resize(dlg.width() - 137, dlg.height() - 61);
  for (int id = 10; id <= 15; ++id) EXPECT_EQ(now(id), before[id]) << id;
  // An anchor changed later takes effect at the next resize.
  dlg.AddAnchor(10, MoveType::Vert, SizeType::None);
  dlg.resize(dlg.width(), dlg.height() + 20);
  EXPECT_EQ(now(10), before[10].translated(0, 20));
  // The template's size is the smallest the dialog gets.
  dlg.resize(10, 10);
  EXPECT_GE(dlg.width(), dlg.DluX(200));
}

// The share of pixels of an image close to `color`.
double ShareOf(const QImage& image, const QColor& color, int tolerance = 40) {
  int hits = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (std::abs(c.red() - color.red()) + std::abs(c.green() - color.green()) + std::abs(c.blue() - color.blue()) <
          tolerance)
        ++hits;
    }
  return static_cast<double>(hits) / (image.width() * image.height());
}

TEST(EditEx, ErrorMessageWhileEmptyAndTipsInTheirColours) {
  CEditEx edit;
  edit.resize(300, 28);
  const QColor indianRed(0xCD, 0x5C, 0x5C);
  edit.SetErrorMessage("Host name is required", indianRed, true);
  edit.show();
  EXPECT_TRUE(edit.IsErrorMessageVisible());
  const double emptyShare = ShareOf(edit.grab().toImage(), indianRed);
  EXPECT_GT(emptyShare, 0.01);  // the frame and the text in the error colour

  QTest::keyClicks(&edit, "r");
  EXPECT_FALSE(edit.IsErrorMessageVisible());
  EXPECT_TRUE(edit.IsErrorMessageShown());
  EXPECT_LT(ShareOf(edit.grab().toImage(), indianRed), emptyShare / 10);
  QTest::keyClick(&edit, Qt::Key_Backspace);
  EXPECT_TRUE(edit.IsErrorMessageVisible());
  edit.ShowErrorMessage(false);
  EXPECT_FALSE(edit.IsErrorMessageVisible());
  EXPECT_LT(ShareOf(edit.grab().toImage(), indianRed), emptyShare / 10);

  // The tip styles look different, drawn for the screen (twice the pixels at 200 %).
  const QImage problem = CEditEx::TipIcon(kTipProblem, 16, 1.0).pixmap(16, 16).toImage();
  const QImage good = CEditEx::TipIcon(kTipGood, 16, 1.0).pixmap(16, 16).toImage();
  EXPECT_GT(ShareOf(problem, QColor(214, 64, 56)), 0.3);
  EXPECT_LT(ShareOf(problem, QColor(52, 168, 83)), 0.02);
  EXPECT_GT(ShareOf(good, QColor(52, 168, 83)), 0.3);
  EXPECT_LT(ShareOf(good, QColor(214, 64, 56)), 0.02);
  // Drawn for the screen: twice the pixels at 200 %.
  EXPECT_EQ(CEditEx::TipIcon(kTipGood, 16, 2.0).availableSizes().value(0), QSize(32, 32));
  edit.setText("x");
  edit.SetInfoTip("The name field cannot be empty\r\nTo continue, you need to enter non-empty name.", kTipProblem);
  EXPECT_EQ(edit.GetInfoTipStyle(), kTipProblem);
  EXPECT_EQ(edit.toolTip(), "The name field cannot be empty\nTo continue, you need to enter non-empty name.");
  ASSERT_EQ(edit.actions().size(), 1);
  const QImage withProblem = edit.grab().toImage();
  EXPECT_GT(ShareOf(withProblem, QColor(214, 64, 56)), 0.005);
  edit.SetInfoTip("Host is correct", kTipGood);
  EXPECT_EQ(edit.actions().size(), 1);  // one tip at a time
  EXPECT_EQ(edit.toolTip(), "Host is correct");
  const QImage withGood = edit.grab().toImage();
  EXPECT_GT(ShareOf(withGood, QColor(52, 168, 83)), 0.005);
  EXPECT_LT(ShareOf(withGood, QColor(214, 64, 56)), 0.001);
  edit.SetInfoTip({}, kTipNone);
  EXPECT_TRUE(edit.actions().isEmpty());
}

// Records what QDesktopServices was asked to open, per scheme.
class UrlRecorder : public QObject {
  Q_OBJECT
 public:
  QStringList opened;
 public slots:
  void Open(const QUrl& url) { opened << url.toString(); }
};

TEST(LinkButton, OpensOnlyWebLinks) {
  EXPECT_TRUE(IsWebLink("https://www.kexar.com/support/"));
  EXPECT_TRUE(IsWebLink("HTTP://127.0.0.1:8080/x"));
  for (const char* bad : {"file:///etc/passwd", "javascript:alert(1)", "ftp://h/f", "rtsp://cam/s", "www.kexar.com",
                          "https://", ""})
    EXPECT_FALSE(IsWebLink(bad)) << bad;

  UrlRecorder recorder;
  for (const char* scheme : {"http", "https", "file", "ftp", "javascript"})
    QDesktopServices::setUrlHandler(scheme, &recorder, "Open");
  CUrlLinkButton link;
  link.setText("How to get rtsp url link for your IP camera?");
  link.SetTooltip("To get an answer to this question, click on this link.");
  link.SizeToContent();
  EXPECT_GE(link.width(), link.fontMetrics().horizontalAdvance(link.text()));
  EXPECT_EQ(link.toolTip(), "To get an answer to this question, click on this link.");
  link.show();
  QStringList results;
  QObject::connect(&link, &CUrlLinkButton::LinkOpened,
                   [&](const QString& url, bool opened) { results << url + (opened ? " +" : " -"); });
  for (const char* url : {"https://www.kexar.com/support/", "file:///etc/passwd", "ftp://h/f", "javascript:x()",
                          "http://127.0.0.1:8080/"}) {
    link.SetURL(url);
    QTest::mouseClick(&link, Qt::LeftButton);
  }
  link.setFocus();
  QTest::keyClick(&link, Qt::Key_Space);  // by keyboard too
  EXPECT_EQ(recorder.opened,
            QStringList({"https://www.kexar.com/support/", "http://127.0.0.1:8080/", "http://127.0.0.1:8080/"}));
  EXPECT_EQ(results.size(), 6);
  EXPECT_EQ(results.value(1), "file:///etc/passwd -");
  for (const char* scheme : {"http", "https", "file", "ftp", "javascript"}) QDesktopServices::unsetUrlHandler(scheme);
}

// Fusion with a dark palette: text stands out from its background.
TEST(Theme, FusionWithADarkPalette) {
  SetVisualTheme(*qobject_cast<QApplication*>(QCoreApplication::instance()));
  EXPECT_EQ(qobject_cast<QProxyStyle*>(QApplication::style())->baseStyle()->name().toLower(), "fusion");
  const QPalette p = QApplication::palette();
  EXPECT_LT(p.color(QPalette::Window).lightness(), 80);
  EXPECT_GT(p.color(QPalette::Text).lightness() - p.color(QPalette::Base).lightness(), 120);
  QApplication::setPalette(QPalette());
}

// A dialog made with every helper, in the program's theme, on the X server
// of the test peers, for a person to look at (artifacts/ui_dialog_*.png):
// every text fits its control. Run by the kxUiDialogTest.shot.* entries in
// English and Russian (KX_UI_LANG), at 100 % and 200 % (QT_SCALE_FACTOR).
TEST(DialogShot, EveryHelperInTheThemeFits) {
  const int lang = qEnvironmentVariableIntValue("KX_UI_LANG");
  if (!lang) GTEST_SKIP() << "run by the kxUiDialogTest.shot.* entries";
  if (qEnvironmentVariableIsEmpty("DISPLAY")) {
    if (qEnvironmentVariableIntValue("KX_REQUIRE_PEERS")) FAIL() << "no X server";
    GTEST_SKIP() << "no X server (run under tests/peers/with-peers)";
  }
  test::SettingsSandbox sandbox;
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
  dlg.Item<CEditEx>(34005)->SetErrorMessage(Text(3301), QColor(0xCD, 0x5C, 0x5C), true);
  dlg.Item<CEditEx>(34005)->SetInfoTip(Text(3302), kTipProblem);
  dlg.Item<CEditEx>(1019)->setText("rtsp://127.0.0.1:8554/demo");
  dlg.Item<CEditEx>(1019)->SetInfoTip(Text(3303), kTipGood);
  dlg.Item<QComboBox>(1016)->addItem(QString::fromUtf8("Русский"));
  dlg.Item<QPushButton>(1017)->setEnabled(false);
  auto* list = dlg.Item<QTreeWidget>(34007);
  list->setHeaderLabels({Text(3310), Text(3311)});
  list->addTopLevelItem(new QTreeWidgetItem({QString::fromUtf8("Склад"), "rtsp://10.0.0.8:554/h264"}));
  dlg.EnableExpand(34006, Text(3306), Text(3307));
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
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
  ASSERT_TRUE(QDir().mkpath(KX_ARTIFACTS_DIR));
  const QString name = QStringLiteral("%1/ui_dialog_%2_%3").arg(KX_ARTIFACTS_DIR, lang == 1049 ? "ru" : "en",
                                                               qEnvironmentVariableIntValue("QT_SCALE_FACTOR") == 2 ? "200" : "100");
  QCoreApplication::processEvents();
  const QImage expanded = dlg.grab().toImage();
  ASSERT_TRUE(expanded.save(name + "_expanded.png"));
  dlg.Expand(false);
  QCoreApplication::processEvents();
  ASSERT_TRUE(dlg.grab().save(name + "_collapsed.png"));
  // At 200 % the picture has twice the pixels of the dialog's size.
  EXPECT_EQ(expanded.width(), qRound(dlg.width() * dlg.devicePixelRatioF()));
  g_LangMgr.SetLanguage(kLangEnglishUS);
}

}  // namespace
}  // namespace kx

#include "dialog_test.moc"
