// Pictures of a ribbon with one element of every kind, its popups and the
// backstage view, on the X server of the test peers, for a person to look at:
// build/<config>/artifacts/ribbon_*_x<scale>.png (QT_SCALE_FACTOR=2 for 200 %).
#include <QDir>
#include <QGuiApplication>
#include <QListWidget>
#include <QScreen>
#include <QTest>
#include <QToolTip>

#include "ribbon_fixture.h"
#include "ribbon_popups.h"
#include "ui/theme.h"

static void InitImages() { Q_INIT_RESOURCE(app_images); }

namespace kx::test {
namespace {

auto* const kQt = ::testing::AddGlobalTestEnvironment(RibbonQtEnvironment());

class RibbonScreenshot : public ::testing::Test {
 protected:
  void SetUp() override {
    if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "pictures are taken on the X server only";
    InitImages();
    SetVisualTheme(*qApp);
    w_ = std::make_unique<TestWindow>(ui::ImageStrip::FromResource(":/PNG/2000", 32),
                                      ui::ImageStrip::FromResource(":/PNG/2002", 32));
    w_->ribbon->SetBackgroundImage(QImage(":/PNG/142"));
    w_->window.resize(900, 300);  // fits the 1920 x 1080 screen at 200 % too
    w_->window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w_->window));
    w_->window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w_->window));
    dir_ = QDir(KX_ARTIFACTS_DIR);
    ASSERT_TRUE(dir_.mkpath("."));
    scale_ = QString("x%1").arg(w_->window.devicePixelRatio());
  }
  // The screen around the window (popups included), saved and checked for content.
  void Shoot(const QString& name, QRect area = {}) {
    QApplication::processEvents();
    QTest::qWait(50);
    if (area.isNull()) area = w_->window.frameGeometry();
    const QPixmap shot = w_->window.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    ASSERT_FALSE(shot.isNull());
    const QImage image = shot.toImage();
    // A real picture has many colours; an empty grab has one.
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 3)
      for (int x = 0; x < image.width(); x += 3) colours.insert(image.pixel(x, y));
    EXPECT_GT(colours.size(), 20u) << name.toStdString();
    const QString file = dir_.filePath(QString("ribbon_%1_%2.png").arg(name, scale_));
    EXPECT_TRUE(image.save(file)) << file.toStdString();
  }
  std::unique_ptr<TestWindow> w_;
  QDir dir_;
  QString scale_;
};

TEST_F(RibbonScreenshot, EveryElementKindPopupsAndBackstage) {
  w_->owner.state[kShowAll].check = 1;
  w_->owner.state[kStop].enabled = false;
  w_->owner.state[kPreview].check = 1;
  w_->owner.state[kOpacity] = {true, -1, 60, true};
  w_->ribbon->UpdateState();
  Shoot("elements");

  // A tooltip: the text in bold, the description under it.
  QWidget* start = w_->ribbon->Find<ui::RibbonButton>(kStart)->Face();
  QToolTip::showText(start->mapToGlobal(QPoint(10, start->height())), start->toolTip(), start);
  ASSERT_TRUE(QTest::qWaitFor([] { return QToolTip::isVisible(); }));
  Shoot("tooltip", w_->window.frameGeometry().adjusted(0, 0, 0, 60));
  QToolTip::hideText();

  auto* palette = w_->ribbon->Find<ui::RibbonPalette>(kOpacity);
  palette->ShowPopup();
  ASSERT_NE(palette->Popup(), nullptr);
  QTest::keyClick(palette->Popup(), Qt::Key_Right);
  Shoot("palette", w_->window.frameGeometry().united(palette->Popup()->frameGeometry()));
  QTest::keyClick(palette->Popup(), Qt::Key_Escape);

  auto* color = w_->ribbon->Find<ui::RibbonColorButton>(kAxis);
  color->ShowPopup();
  ASSERT_NE(color->Popup(), nullptr);
  QTest::keyClick(color->Popup(), Qt::Key_Down);
  Shoot("colors", w_->window.frameGeometry().united(color->Popup()->frameGeometry()));
  QTest::keyClick(color->Popup(), Qt::Key_Escape);

  w_->ribbon->GetBackstage()->Open();
  Shoot("backstage");
  w_->ribbon->GetBackstage()->Close();

  w_->window.resize(560, 400);
  Shoot("narrow");
  ui::RibbonCategory* preview = w_->ribbon->Category(0);
  ui::RibbonPanel* last = preview->Panel(preview->PanelCount() - 1);
  ASSERT_TRUE(last->IsCollapsed());
  QTest::mouseClick(last->CollapsedButton(), Qt::LeftButton);
  Shoot("folded_panel", w_->window.frameGeometry().adjusted(0, 0, 200, 0));
}

}  // namespace
}  // namespace kx::test
