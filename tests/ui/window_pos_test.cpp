// Window placement: saved under a key, restored under it, and pulled back
// onto a screen when the saved place lies off every screen. Runs on the X
// server of the test peers when there is one (a real window), offscreen
// otherwise.
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
  const Screens one{QRect(0, 0, 1920, 1080)};
  EXPECT_EQ(CWindowPos::FitOnScreens(QRect(137, 121, 641, 403), one), QRect(137, 121, 641, 403));
  // Mostly off the right edge, but its title bar is still in reach.
  EXPECT_EQ(CWindowPos::FitOnScreens(QRect(1800, 500, 641, 403), one), QRect(1800, 500, 641, 403));
  // Entirely off: centred on the screen, same size.
  const QRect moved = CWindowPos::FitOnScreens(QRect(5000, 3000, 641, 403), one);
  EXPECT_EQ(moved.size(), QSize(641, 403));
  EXPECT_TRUE(one[0].contains(moved));
  // Title bar above the screen: cannot be grabbed, so it moves.
  EXPECT_TRUE(one[0].contains(CWindowPos::FitOnScreens(QRect(100, -300, 641, 403), one)));
  // Too large for the screen: shrunk to it.
  const QRect huge = CWindowPos::FitOnScreens(QRect(-9000, 0, 4000, 3000), one);
  EXPECT_EQ(huge, one[0]);
  // Two screens: onto the nearest one.
  const Screens two{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
  EXPECT_EQ(CWindowPos::FitOnScreens(QRect(2000, 100, 640, 400), two), QRect(2000, 100, 640, 400));
  const QRect right = CWindowPos::FitOnScreens(QRect(4000, 100, 640, 400), two);
  EXPECT_TRUE(two[1].contains(right)) << right.x() << "," << right.y();
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
  QCoreApplication::processEvents();
  ASSERT_NE(w.geometry(), saved);
  ASSERT_TRUE(CWindowPos::LoadWindowPos(&w, "kxToneScope"));
  QTRY_COMPARE_WITH_TIMEOUT(w.geometry(), saved, 5000);
  EXPECT_EQ(w.geometry(), saved);
  EXPECT_FALSE(w.isMaximized());
  // Another key holds another placement; an unknown key changes nothing.
  EXPECT_FALSE(CWindowPos::LoadWindowPos(&w, "NoSuchKey"));
  EXPECT_EQ(w.geometry(), saved);

  // Maximised: the state and the normal place come back.
  w.setGeometry(QRect(Screen().topLeft() + QPoint(90, 70), QSize(500, 300)));
  QCoreApplication::processEvents();
  w.showMaximized();
  QCoreApplication::processEvents();
  ASSERT_TRUE(w.isMaximized());
  ASSERT_TRUE(CWindowPos::SaveWindowPos(&w, "kxToneScope"));
  EXPECT_EQ(CRegistryManager().GetProfileIntW("WindowPos/kxToneScope", "Maximized", 0), 1);
  EXPECT_EQ(CRegistryManager().GetProfileIntW("WindowPos/kxToneScope", "Width", 0), 500);
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
  EXPECT_FALSE(CWindowPos::LoadWindowPos(nullptr, "kxToneScope"));
  EXPECT_FALSE(CWindowPos::SaveWindowPos(nullptr, "kxToneScope"));
}

}  // namespace
}  // namespace kx
