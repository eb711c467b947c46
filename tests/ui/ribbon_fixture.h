// A QApplication for the ribbon tests and a test window with one ribbon
// element of every kind.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMainWindow>
#include <QPainter>
#include <map>
#include <set>
#include <memory>
#include <vector>

#include "ui/backstage.h"
#include "ui/ribbon.h"
#include "ui_test_support.h"

namespace kx::test {

// The platform comes from KX_RIBBON_PLATFORM ("offscreen" unless told "xcb");
// the xcb run needs the X server of the test peers.
inline UiEnvironment* RibbonQtEnvironment() {
  return new UiEnvironment(UiEnvironment::PlatformFrom("KX_RIBBON_PLATFORM"));
}

// A strip of `count` square images of side `width`, each a different shade
// with its number's worth of bars, at 1x and 2x.
inline ui::ImageStrip TestStrip(int count, int width) {
  auto draw = [&](int scale) {
    QImage img(count * width * scale, width * scale, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    for (int i = 0; i < count; ++i) {
      p.fillRect(QRect(i * width * scale + 2 * scale, 2 * scale, (width - 4) * scale, (width - 4) * scale),
                 QColor::fromHsv((i * 37) % 360, 160, 220));
      for (int b = 0; b <= i % 5; ++b)
        p.fillRect(QRect(i * width * scale + (5 + 4 * b) * scale, 8 * scale, 2 * scale, 12 * scale), Qt::black);
    }
    return img;
  };
  return ui::ImageStrip(draw(1), width, draw(2));
}

// The owner: records the commands and answers the update pass from `state`.
struct TestOwner : ui::RibbonOwner {
  struct State {
    bool enabled = true;
    int check = -1;   // -1: leave the check alone
    int select = -1;  // -1: no selection asked; else the item data to select
    bool hasSelect = false;
  };
  std::vector<int> commands;
  std::map<int, State> state;
  int updates = 0;
  void OnRibbonCommand(int id) override { commands.push_back(id); }
  void OnUpdateCommand(ui::CommandUI& ui) override {
    ++updates;
    auto it = state.find(ui.Id());
    if (it == state.end()) return;
    ui.Enable(it->second.enabled);
    if (it->second.check >= 0) ui.SetCheck(it->second.check != 0);
    if (it->second.hasSelect) ui.SelectByData(it->second.select);
  }
};

enum TestId {
  kStart = 100,
  kStop = 101,
  kShowAll = 110,
  kShowAudio = 111,
  kOpacity = 120,
  kAxis = 130,
  kDevice = 140,
  kVolume = 141,
  kPreview = 142,
  kScale = 150,
  kExit = 57665,
};

inline ui::ColorTable TestColors() {
  ui::ColorTable t;
  t.themeTitle = "Theme Colors";
  t.standardTitle = "Standard Colors";
  const char* theme[10] = {"#FFFFFF", "#000000", "#EEECE1", "#1F497D", "#4F81BD",
                           "#C0504D", "#9BBB59", "#8064A2", "#4BACC6", "#F59646"};
  for (int i = 0; i < 10; ++i) t.theme.push_back({QColor(theme[i]), QString("Theme %1").arg(i)});
  for (int i = 0; i < 50; ++i)
    t.shades.push_back({QColor::fromHsv((i % 10) * 36, 120, 250 - (i / 10) * 45), QString("Shade %1").arg(i)});
  const char* standard[10] = {"#C80F12", "#FF1418", "#FFBF28", "#FFFF31", "#8ACF57",
                              "#00AF54", "#00AEEE", "#006FBD", "#00245F", "#72329D"};
  for (int i = 0; i < 10; ++i) t.standard.push_back({QColor(standard[i]), QString("Standard %1").arg(i)});
  return t;
}

// A main window with a ribbon of two categories: the first holds one
// element of every kind, the second a label and a combo box.
struct TestWindow {
  TestOwner owner;
  QMainWindow window;
  ui::Ribbon* ribbon;
  QWidget* page = nullptr;

  TestWindow() : TestWindow(TestStrip(25, 32), TestStrip(11, 32)) {}
  TestWindow(const ui::ImageStrip& large, const ui::ImageStrip& opacity) {
    ribbon = new ui::Ribbon(&owner, &window);
    window.setMenuWidget(ribbon);
    auto* central = new QWidget(&window);
    central->setMinimumSize(200, 120);
    window.setCentralWidget(central);
    ribbon->SetMainButton("Main", "Main", "Click here to see and change options");
    ribbon->SetColorTable(TestColors());
    auto* preview = ribbon->AddCategory("Preview", large);
    auto* control = preview->AddPanel("Control");
    control->Add(ui::Button(kStart, "Start", "Start", "Start camera preview", 0));
    control->Add(ui::Button(kStop, "Stop", "Stop", "Stop camera preview", 1));
    auto* layout = preview->AddPanel("Layout");
    layout->Add(ui::Button(kShowAll, "Show all", "Show all", "Show all widgets", 3, true, 1));
    layout->Add(ui::Button(kShowAudio, "Show audio", "Show audio", "Show audio widget", 20, true, 1));
    std::vector<ui::PaletteItem> items;
    const int data[11] = {100, 90, 80, 70, 60, 50, 40, 30, 20, 10, 5};
    for (int i = 0; i < 11; ++i) items.push_back({i, data[i], QString("%1 %").arg(data[i])});
    layout->Add(ui::Palette(kOpacity, "Opacity", "Opacity", "Select transparent mode", 4, opacity, items));
    auto* color = preview->AddPanel("Color");
    color->Add(ui::ColorButton(kAxis, "Axis", "Axis", "Select color for axis", 5, QColor("#4F81BD")));
    auto* monitor = preview->AddPanel("Audio monitor");
    monitor->Add(ui::ComboBox(kDevice, "Device:", "Device:", "Device:", 200,
                              {{"1 - Null output A", 0}, {"2 - Null output B", 0}}));
    monitor->Add(ui::Slider(kVolume, "Volume", "Output volume", 220, 0, 1000, 735, true));
    monitor->Add(ui::CheckBox(kPreview, "Preview", "Preview", "Set audio preview mode"));
    auto* wave = ribbon->AddCategory("Waveform", large);
    auto* scale = wave->AddPanel("Waveform");
    scale->Add(ui::Label("Select wave scale(10 msec by pixel):"));
    scale->Add(ui::ComboBox(kScale, "", "Select wave scale(10 msec by pixel):", "Select wave scale(10 msec by pixel):",
                            200, {{"1 pixel 480", 480}, {"2 pixel 240", 240}, {"4 pixel 120", 120}}));
    auto* backstage = ribbon->GetBackstage();
    page = new QWidget;
    backstage->AddPage("Options", page);
    backstage->AddCommand(kExit, "E&xit");
    window.resize(1200, 400);
  }
};

}  // namespace kx::test
