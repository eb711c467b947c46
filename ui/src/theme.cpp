#include "ui/theme.h"

#include <QApplication>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QToolTip>

namespace kx {

namespace {

// Fusion wakes tooltips after 700 ms; ribbon users expect about half a second.
class CThemeStyle : public QProxyStyle {
 public:
  using QProxyStyle::QProxyStyle;
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_ToolTip_WakeUpDelay) return kToolTipWakeUpMs;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

}  // namespace

QPalette DarkPalette() {
  const QColor window(53, 53, 53), base(35, 35, 35), text(222, 222, 222), disabled(128, 128, 128);
  QPalette p;
  p.setColor(QPalette::Window, window);
  p.setColor(QPalette::WindowText, text);
  p.setColor(QPalette::Base, base);
  p.setColor(QPalette::AlternateBase, QColor(45, 45, 45));
  p.setColor(QPalette::ToolTipBase, QColor(30, 30, 30));
  p.setColor(QPalette::ToolTipText, text);
  p.setColor(QPalette::PlaceholderText, QColor(150, 150, 150));
  p.setColor(QPalette::Text, text);
  p.setColor(QPalette::Button, QColor(60, 60, 60));
  p.setColor(QPalette::ButtonText, text);
  p.setColor(QPalette::BrightText, QColor(255, 90, 90));
  p.setColor(QPalette::Light, QColor(85, 85, 85));
  p.setColor(QPalette::Midlight, QColor(70, 70, 70));
  p.setColor(QPalette::Mid, QColor(45, 45, 45));
  p.setColor(QPalette::Dark, QColor(30, 30, 30));
  p.setColor(QPalette::Shadow, QColor(15, 15, 15));
  p.setColor(QPalette::Highlight, QColor(42, 130, 218));
  p.setColor(QPalette::HighlightedText, Qt::white);
  p.setColor(QPalette::Link, QColor(95, 175, 255));
  p.setColor(QPalette::LinkVisited, QColor(175, 140, 255));
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    p.setColor(QPalette::Disabled, role, disabled);
  p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(80, 80, 80));
  p.setColor(QPalette::Disabled, QPalette::HighlightedText, disabled);
  p.setColor(QPalette::Disabled, QPalette::Base, QColor(45, 45, 45));
  return p;
}

void SetVisualTheme(QApplication& app, int theme) {
  // Only one theme exists; any number selects it, so a stored value can never leave the program unstyled.
  (void)theme;
  if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) app.setStyle(new CThemeStyle(fusion));
  const QPalette palette = DarkPalette();
  app.setPalette(palette);
  QToolTip::setPalette(palette);
}

}  // namespace kx
