#include "ui/window_pos.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <climits>

#include "ui/registry_manager.h"

namespace kx {

namespace {

QString Section(const QString& key) { return QStringLiteral("WindowPos/") + key; }

// Enough of a window to grab its title bar and drag it: 40 x 40 pixels.
constexpr int kGrab = 40;

int64_t DistanceSquared(const QRect& a, const QRect& b) {
  const int64_t dx = std::max({0, b.left() - a.right(), a.left() - b.right()});
  const int64_t dy = std::max({0, b.top() - a.bottom(), a.top() - b.bottom()});
  return dx * dx + dy * dy;
}

}  // namespace

QRect CWindowPos::FitOnScreens(const QRect& r, const std::vector<QRect>& screens) {
  if (screens.empty()) return r;
  for (const QRect& s : screens) {
    const QRect common = s.intersected(r);
    // Its top edge must be on the screen too, or the window cannot be moved back.
    if (common.width() >= std::min(kGrab, r.width()) && common.height() >= std::min(kGrab, r.height()) &&
        r.top() >= s.top() && r.top() < s.bottom() - std::min(kGrab, r.height()) / 2 + 1)
      return r;
  }
  const QRect* nearest = &screens.front();
  int64_t best = INT64_MAX;
  for (const QRect& s : screens) {
    const int64_t d = DistanceSquared(r, s);
    if (d < best) best = d, nearest = &s;
  }
  QRect fitted(QPoint(0, 0), r.size().boundedTo(nearest->size()).expandedTo(QSize(1, 1)));
  fitted.moveCenter(nearest->center());
  return fitted;
}

bool CWindowPos::SaveWindowPos(const QWidget* window, const QString& key) {
  if (!window) return false;
  const QRect r = window->isMaximized() || window->isFullScreen() ? window->normalGeometry() : window->geometry();
  CRegistryManager reg;
  const QString s = Section(key);
  return reg.WriteProfileInt(s, QStringLiteral("Left"), r.left()) &&
         reg.WriteProfileInt(s, QStringLiteral("Top"), r.top()) &&
         reg.WriteProfileInt(s, QStringLiteral("Width"), r.width()) &&
         reg.WriteProfileInt(s, QStringLiteral("Height"), r.height()) &&
         reg.WriteProfileInt(s, QStringLiteral("Maximized"), window->isMaximized() ? 1 : 0);
}

bool CWindowPos::LoadWindowPos(QWidget* window, const QString& key) {
  if (!window) return false;
  const CRegistryManager reg;
  const QString s = Section(key);
  const int32_t left = reg.GetProfileIntW(s, QStringLiteral("Left"), INT32_MIN);
  const int32_t top = reg.GetProfileIntW(s, QStringLiteral("Top"), INT32_MIN);
  const int32_t width = reg.GetProfileIntW(s, QStringLiteral("Width"), 0);
  const int32_t height = reg.GetProfileIntW(s, QStringLiteral("Height"), 0);
  const bool maximized = reg.GetProfileIntW(s, QStringLiteral("Maximized"), 0) != 0;
  // Coordinates far outside any desktop are as good as missing.
  constexpr int32_t kFar = 1 << 20;
  if (left == INT32_MIN || top == INT32_MIN || width <= 0 || height <= 0 || std::abs(left) > kFar ||
      std::abs(top) > kFar || width > kFar || height > kFar)
    return false;
  std::vector<QRect> screens;
  for (const QScreen* screen : QGuiApplication::screens()) screens.push_back(screen->availableGeometry());
  QRect r = FitOnScreens(QRect(left, top, width, height), screens);
  r.setSize(r.size().expandedTo(window->minimumSize()).boundedTo(window->maximumSize()));
  if (window->isMaximized()) window->showNormal();
  window->setGeometry(r);
  if (maximized) window->showMaximized();
  return true;
}

}  // namespace kx
