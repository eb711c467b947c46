// The dialog helpers: template controls, anchors, the expandable area, the edit's messages and tips, links.
#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "ui/dialog.h"
#include "ui/edit_ex.h"
#include "ui/link_button.h"
#include "ui/separator.h"
#include "ui_test_support.h"

namespace kx {
namespace {

auto* const kUi = ::testing::AddGlobalTestEnvironment(new test::UiEnvironment(nullptr));

// Shaped like the URL dialog: text, link, label + edit, line, OK/Cancel, then the expandable bookmark list.
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
  EXPECT_EQ(dlg.Item<QLabel>(34005), nullptr);  // wrong type asked: null, not a bad cast
  auto* ok = dlg.Item<QPushButton>(kIdOk);
  auto* cancel = dlg.Item<QPushButton>(kIdCancel);
  ASSERT_TRUE(ok && cancel);
  EXPECT_TRUE(ok->isDefault());
  // Dialog units follow the font.
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
  QTest::mouseClick(cancel, Qt::LeftButton);
  EXPECT_EQ(dlg.result(), QDialog::Rejected);
  // Tab order is the template's order: text, link, label, edit...
  EXPECT_EQ(dlg.Item<QWidget>(34008)->nextInFocusChain()->nextInFocusChain(), dlg.GetDlgItem(34005));

  // The expandable area collapses and opens (Space, click); what lies above stays, the list reaches the bottom.
  dlg.EnableExpand(34006, "&Show RTSP url Bookmarks", "&Hide RTSP urk Bookmarks");
  dlg.show();
  auto* button = dlg.Item<QPushButton>(34006);
  QWidget* list = dlg.GetDlgItem(34007);
  const int fullHeight = dlg.height();
  const QRect okPlace = ok->geometry();
  dlg.Expand(false);
  EXPECT_FALSE(dlg.IsExpanded() || list->isVisible());
  EXPECT_EQ(button->text(), "&Show RTSP url Bookmarks");
  EXPECT_TRUE(dlg.height() < fullHeight - dlg.DluY(150) && dlg.height() >= button->geometry().bottom());
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
  // An anchor changed later takes effect at the next resize, from the template's size.
  dlg.AddAnchor(10, MoveType::Vert, SizeType::None);
  dlg.resize(dlg.width(), dlg.height() + 20);
  EXPECT_EQ(now(10), before[10].translated(0, 61 + 20));
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
  EXPECT_LT(ShareOf(edit.grab().toImage(), indianRed), emptyShare / 10);
  QTest::keyClick(&edit, Qt::Key_Backspace);
  EXPECT_TRUE(edit.IsErrorMessageVisible());
  edit.ShowErrorMessage(false);
  EXPECT_LT(ShareOf(edit.grab().toImage(), indianRed), emptyShare / 10);

  // The tips in their colours, drawn for the screen (twice the pixels at 200 %).
  EXPECT_EQ(CEditEx::TipIcon(kTipGood, 16, 2.0).availableSizes().value(0), QSize(32, 32));
  edit.setText("x");
  edit.SetInfoTip("The name field cannot be empty\r\nTo continue, you need to enter non-empty name.", kTipProblem);
  EXPECT_EQ(edit.toolTip(), "The name field cannot be empty\nTo continue, you need to enter non-empty name.");
  EXPECT_GT(ShareOf(edit.grab().toImage(), QColor(214, 64, 56)), 0.005);
  edit.SetInfoTip("Host is correct", kTipGood);
  EXPECT_EQ(edit.actions().size(), 1);  // one tip at a time
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
  for (const char* bad : {"rtsp://cam/s", "www.kexar.com", "https://", ""}) EXPECT_FALSE(IsWebLink(bad)) << bad;
  UrlRecorder recorder;
  for (const char* scheme : {"http", "https", "file", "ftp", "javascript"})
    QDesktopServices::setUrlHandler(scheme, &recorder, "Open");
  CUrlLinkButton link;
  link.setText("How to get rtsp url link for your IP camera?");
  link.show();
  QStringList results;
  QObject::connect(&link, &CUrlLinkButton::LinkOpened,
                   [&](const QString& url, bool opened) { results << url + (opened ? " +" : " -"); });
  for (const char* url : {"https://www.kexar.com/support/", "file:///etc/passwd", "ftp://h/f", "javascript:x()",
                          "HTTP://127.0.0.1:8080/"}) {
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

}  // namespace
}  // namespace kx

#include "dialog_test.moc"
