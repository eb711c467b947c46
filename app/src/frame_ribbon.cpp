#include "frame_ribbon.h"

#include <QFile>
#include <QKeySequence>

#include "app/ribbon_table.h"
#include "app/settings_store.h"
#include "ui/backstage.h"
#include "resources/res_str.h"

namespace kx {

using namespace ribbon;

namespace {

QString Str(uint32_t id) { return id ? QString::fromStdU16String(ResStr(id)) : QString(); }

QColor ToQColor(COLORREF c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

std::vector<ui::NamedColor> Named(std::span<const ribbon::NamedColor> list) {
  std::vector<ui::NamedColor> out;
  for (const auto& c : list) out.push_back({ToQColor(c.color), Str(c.nameId)});
  return out;
}

ui::ColorTable MakeColorTable() {
  ui::ColorTable t;
  t.themeTitle = Str(IDS_THEME_COLORS);
  t.theme = Named(ThemeColors());
  t.shades = Named(ThemeShades());
  t.standardTitle = Str(IDS_STANDARD_COLORS);
  t.standard = Named(StandardColors());
  t.boxSize = kColorBoxSize;
  return t;
}

// Each exclusive choice is one action group: layout, waveform mode, draw
// mode, spectrum view, reconnection.
int GroupOf(const Element& e) {
  if (!e.choice.setting) return 0;
  if (e.choice.setting == &CSettingsBlock::ShowWidgets) return 1;
  if (e.choice.setting == &CSettingsBlock::ModeWave) return 2;
  if (e.choice.setting == &CSettingsBlock::ModeSpectrum) return 3;
  if (e.choice.setting == &CSettingsBlock::Reconnect) return 5;
  return 4;
}

// The tooltip names the key that runs the command: "Start (F5)".
QString Tooltip(const Element& e) {
  QString tip = Str(e.tooltipId);
  if (e.shortcut && !tip.isEmpty())
    tip += QString(" (%1)").arg(QKeySequence(QString::fromLatin1(e.shortcut)).toString(QKeySequence::NativeText));
  return tip;
}

std::vector<ui::ComboItem> ComboItems(ComboContent content) {
  std::vector<ui::ComboItem> items;
  switch (content) {
    case ComboContent::WaveScale:
      for (const auto& i : WaveScaleItems()) items.push_back({Str(i.textId), i.data});
      break;
    case ComboContent::WindowFunc:
      for (const auto& i : WindowFuncItems()) items.push_back({Str(i.textId), i.data});
      break;
    case ComboContent::SpectrumBound:
      for (int32_t v : SpectrumBoundValues()) items.push_back({QString::asprintf("-%d", v), v});
      break;
    default:
      break;
  }
  return items;
}

std::vector<ui::PaletteItem> OpacityItems() {
  std::vector<ui::PaletteItem> items;
  int index = 0;
  for (int32_t v : OpacityValues()) {
    items.push_back({index, v, QString("%1 %").arg(v)});
    ++index;
  }
  return items;
}

ui::ElementDesc Describe(const Element& e, const CSettingsBlock& s, float volume) {
  const int id = static_cast<int>(e.id);
  switch (e.kind) {
    case Kind::Button:
      return ui::Button(id, Str(e.textId), Tooltip(e), Str(e.descriptionId), e.image,
                        e.choice.setting != nullptr || e.toggle != nullptr || e.id == ID_PREVIEW_INFO, GroupOf(e));
    case Kind::ColorButton:
      return ui::ColorButton(id, Str(e.textId), Tooltip(e), Str(e.descriptionId), e.image,
                             ToQColor((s.*e.color.setting).Get()));
    case Kind::Palette:
      return ui::Palette(id, Str(e.textId), Tooltip(e), Str(e.descriptionId), e.image,
                         ui::ImageStrip::FromResource(":/PNG/2002", kPaletteImageWidth), OpacityItems());
    case Kind::ComboBox:
      return ui::ComboBox(id, Str(e.textId), Str(e.tooltipId), Str(e.descriptionId), e.width, ComboItems(e.combo));
    case Kind::Slider:
      return ui::Slider(id, QString(), QString(), e.width, 0, 1000, CSettingsStore::SliderPosFromVolume(volume), true);
    case Kind::CheckBox:
      return ui::CheckBox(id, Str(e.textId), Tooltip(e), Str(e.descriptionId));
    case Kind::Label:
      break;
  }
  return ui::Label(Str(e.textId));
}

// The stored value's item in each option box and palette.
void SelectStored(ui::Ribbon& ribbon, const CSettingsBlock& s) {
  if (auto* box = ribbon.Find<ui::RibbonComboBox>(ID_WAVE_SCALE)) box->SetSelectedItem(WaveScaleIndex(s.WaveScale));
  if (auto* box = ribbon.Find<ui::RibbonComboBox>(ID_WINDOW_FUNC)) box->SetSelectedItem(WindowFuncIndex(s.WindowFunc));
  if (auto* box = ribbon.Find<ui::RibbonComboBox>(ID_SPECTRUM_BOUND))
    box->SetSelectedItem(SpectrumBoundIndex(s.SpectrumBound));
  if (auto* p = ribbon.Find<ui::RibbonPalette>(ID_OPACITY)) p->SetSelectedItem(OpacityIndex(s.Opacity));
  if (auto* p = ribbon.Find<ui::RibbonPalette>(ID_OPACITY_SPECTRUM)) p->SetSelectedItem(OpacityIndex(s.OpacitySpectrum));
}

}  // namespace

bool BuildRibbon(ui::Ribbon& ribbon, const CSettingsBlock& settings, float volume,
                 const std::function<void()>& afterFirstCategory, QWidget* optionsPage) {
  const QImage background(":/PNG/142");
  if (!background.isNull()) ribbon.SetBackgroundImage(background);
  ribbon.SetMainButton(Str(IDS_MAIN), Str(IDS_MAIN), Str(IDS_MAIN_DESCRIPTION));
  ribbon.SetColorTable(MakeColorTable());
  AddBackstagePages(ribbon, optionsPage);

  bool first = true;
  for (const Category& c : Categories()) {
    ui::RibbonCategory* category =
        ribbon.AddCategory(Str(c.nameId), ui::ImageStrip::FromResource(":/PNG/2000", 32));
    if (!category) return false;
    for (const Panel& p : c.panels) {
      ui::RibbonPanel* panel = category->AddPanel(Str(p.nameId));
      for (const Element& e : p.elements) panel->Add(Describe(e, settings, volume));
    }
    if (first && afterFirstCategory) afterFirstCategory();
    first = false;
  }
  SelectStored(ribbon, settings);
  return true;
}

void AddBackstagePages(ui::Ribbon& ribbon, QWidget* optionsPage) {
  ui::Backstage* backstage = ribbon.GetBackstage();
  backstage->SetPageCaptions(true);
  // The form pages come first ("Options"); then the about box and exit.
  if (optionsPage) backstage->AddPage(Str(IDS_OPTIONS), optionsPage);
  backstage->AddCommand(static_cast<int>(ID_OPEN_DATA_FOLDER), Str(IDS_OPEN_DATA_FOLDER));
  backstage->AddCommand(static_cast<int>(ID_APP_ABOUT), Str(IDS_ABOUT_ENTRY));
  backstage->AddCommand(static_cast<int>(ID_APP_EXIT), Str(IDS_EXIT));
}

}  // namespace kx
