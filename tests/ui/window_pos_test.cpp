// Window placement saved, restored and pulled back onto a screen (a real window on the peers' X server).
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include "ui/registry_manager.h"
#include "ui/window_pos.h"
#include "ui_test_support.h"

namespace kx {
namespace {

auto* const kUi = ::testing::AddGlobalTestEnvironment(new test::UiEnvironment(nullptr));

using Screens = std::vector<QRect>;

TEST(FitOnScreens, KeepsVisiblePlacesAndMovesLostOnes) {
  const Screens one{QRect(0, 0, 1920, 1080)}, two{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
  // Places whose title bar is in reach stay, even mostly off the edge or on the second screen.
  for (const QRect& r : {QRect(137, 121, 641, 403), QRect(1800, 500, 641, 403)})
    EXPECT_EQ(CWindowPos::FitOnScreens(r, one), r);
  EXPECT_EQ(CWindowPos::FitOnScreens(QRect(2000, 100, 640, 400), two), QRect(2000, 100, 640, 400));
  // Off every screen, or the title bar above it: onto the nearest screen, same size; too large: the screen.
  const QRect moved = CWindowPos::FitOnScreens(QRect(5000, 3000, 641, 403), one);
  EXPECT_TRUE(one[0].contains(moved) && moved.size() == QSize(641, 403));
  EXPECT_TRUE(one[0].contains(CWindowPos::FitOnScreens(QRect(100, -300, 641, 403), one)));
  EXPECT_EQ(CWindowPos::FitOnScreens(QRect(-9000, 0, 4000, 3000), one), one[0]);
  EXPECT_TRUE(two[1].contains(CWindowPos::FitOnScreens(QRect(4000, 100, 640, 400), two)));
  EXPECT_EQ(CWindowPos::FitOnScreens(QRect(4000, 100, 640, 400), {}), QRect(4000, 100, 640, 400));
}

class WindowPos : public ::testing::Test {
 protected:
  QRect Screen() const { return QGuiApplication::primaryScreen()->availableGeometry(); }
  void Settle(QWidget& w) {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QCoreApplication::processEvents();
  }
  test::SettingsSandbox sandbox_;
};

TEST_F(WindowPos, SaveMoveLoadRestoresThePlaceAndTheMaximisedState) {
  QWidget w;
  w.setGeometry(QRect(Screen().topLeft() + QPoint(137, 121), QSize(641, 403)));
  w.show();
  Settle(w);
  const QRect saved = w.geometry();
  ASSERT_TRUE(CWindowPos::SaveWindowPos(&w, "kxToneScope"));
  w.setGeometry(QRect(Screen().topLeft() + QPoint(300, 200), QSize(320, 240)));
  ASSERT_TRUE(CWindowPos::LoadWindowPos(&w, "kxToneScope"));
  QTRY_COMPARE_WITH_TIMEOUT(w.geometry(), saved, 5000);
  EXPECT_FALSE(CWindowPos::LoadWindowPos(&w, "NoSuchKey"));

  // Maximised: the state and the normal place come back.
  w.setGeometry(QRect(Screen().topLeft() + QPoint(90, 70), QSize(500, 300)));
  QCoreApplication::processEvents();
  w.showMaximized();
  QCoreApplication::processEvents();
  ASSERT_TRUE(w.isMaximized());
  ASSERT_TRUE(CWindowPos::SaveWindowPos(&w, "kxToneScope"));
  QWidget again;
  again.show();
  Settle(again);
  ASSERT_TRUE(CWindowPos::LoadWindowPos(&again, "kxToneScope"));
  EXPECT_TRUE(again.isMaximized());
  again.showNormal();
  QTRY_COMPARE_WITH_TIMEOUT(again.geometry().size(), QSize(500, 300), 5000);
}

TEST_F(WindowPos, PlacementOffEveryScreenComesBackUnusableValuesChangeNothing) {
  CRegistryManager reg;
  const QString section = "WindowPos/kxToneScope";
  const QRect all = QGuiApplication::primaryScreen()->virtualGeometry();
  ASSERT_TRUE(reg.WriteProfileInt(section, "Left", all.right() + 3000));
  ASSERT_TRUE(reg.WriteProfileInt(section, "Top", all.bottom() + 2000));
  ASSERT_TRUE(reg.WriteProfileInt(section, "Width", 437));
  ASSERT_TRUE(reg.WriteProfileInt(section, "Height", 241));
  QWidget w;
  w.show();
  Settle(w);
  ASSERT_TRUE(CWindowPos::LoadWindowPos(&w, "kxToneScope"));
  QCoreApplication::processEvents();
  bool onScreen = false;
  for (const QScreen* s : QGuiApplication::screens()) onScreen = onScreen || s->availableGeometry().contains(w.geometry());
  EXPECT_TRUE(onScreen) << w.x() << "," << w.y();
  EXPECT_EQ(w.size(), QSize(437, 241));

  // Unusable saved values leave the window alone.
  const QRect before = w.geometry();
  reg.WriteProfileInt(section, "Left", 10);
  reg.WriteProfileInt(section, "Top", 10);
  for (const char* width : {"-5", "0", "wide", "99999999"}) {
    reg.WriteProfileStringW(section, "Width", width);
    reg.WriteProfileInt(section, "Height", 300);
    EXPECT_FALSE(CWindowPos::LoadWindowPos(&w, "kxToneScope")) << width;
    EXPECT_EQ(w.geometry(), before) << width;
  }
}

}  // namespace
}  // namespace kx
