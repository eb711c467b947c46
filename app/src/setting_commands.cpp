#include <QColor>

#include "app/main_frame.h"
#include "app/wave_app.h"
#include "frame_commands.h"
#include "view/draw_view.h"
#include "app/settings_store.h"

namespace kx {

using namespace ribbon;

namespace {

COLORREF ToColorRef(const QColor& c) {
  return RGB(static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()), static_cast<uint8_t>(c.blue()));
}

}  // namespace

void CSettingCommands::Register(CCommandMap& map) {
  CSettingsBlock& s = m_frame.App().m_settings;
  for (const Category& c : Categories())
    for (const Panel& p : c.panels)
      for (const Element& e : p.elements) {
        if (e.choice.setting) {
          map.Add(static_cast<int>(e.id), [this, &e] { Choose(e); }, [&s, &e](ui::CommandUI& ui) {
            const int32_t v = (s.*e.choice.setting).Get();
            ui.SetCheck(e.choice.checkBit ? (v & e.choice.value) != 0 : v == e.choice.value);
          });
        } else if (e.toggle) {
          map.Add(static_cast<int>(e.id), [this, &e] { Toggle(e); },
                  [&s, &e](ui::CommandUI& ui) { ui.SetCheck((s.*e.toggle).Get() == 1); });
        } else if (e.kind == Kind::ColorButton) {
          map.Add(static_cast<int>(e.id), [this, &e] { PickColor(e); });
        } else if (e.kind == Kind::Palette) {
          map.Add(static_cast<int>(e.id), [this, &e] { PickPalette(e); },
                  [&s, &e](ui::CommandUI& ui) { ui.SelectByData((s.*e.paletteSetting).Get()); });
        } else if (e.kind == Kind::ComboBox && e.combo != ComboContent::Devices) {
          map.Add(static_cast<int>(e.id), [this, &e] { PickCombo(e); });
        }
      }
  map.Add(ID_AUDIO_PREVIEW, [this] { TogglePreview(); },
          [&s](ui::CommandUI& ui) { ui.SetCheck(s.Preview.Get() == 1); });
}

void CSettingCommands::Choose(const Element& e) { m_frame.App().m_store.SetInt(e.choice.setting, e.choice.value); }

void CSettingCommands::Toggle(const Element& e) {
  m_frame.App().m_store.SetInt(e.toggle, (m_frame.App().m_settings.*e.toggle).Get() == 1 ? 0 : 1);
  m_frame.ShowStoredPanels();
}

void CSettingCommands::PickColor(const Element& e) {
  auto* button = m_frame.Ribbon() ? m_frame.Ribbon()->Find<ui::RibbonColorButton>(static_cast<int>(e.id)) : nullptr;
  if (!button) return;
  m_frame.App().m_store.SetColor(e.color.setting, ToColorRef(button->Color()));
  Rebuild();
}

void CSettingCommands::PickPalette(const Element& e) {
  auto* palette = m_frame.Ribbon() ? m_frame.Ribbon()->Find<ui::RibbonPalette>(static_cast<int>(e.id)) : nullptr;
  if (!palette || palette->SelectedItem() < 0) return;
  m_frame.App().m_store.SetInt(e.paletteSetting, palette->SelectedData());
  // The spectrum's fill brush is made with its opacity.
  if (e.paletteSetting == &CSettingsBlock::OpacitySpectrum) Rebuild();
}

void CSettingCommands::PickCombo(const Element& e) {
  auto* box = m_frame.Ribbon() ? m_frame.Ribbon()->Find<ui::RibbonComboBox>(static_cast<int>(e.id)) : nullptr;
  if (!box || box->SelectedItem() < 0) return;
  CSettingsStore& store = m_frame.App().m_store;
  switch (e.combo) {
    case ComboContent::WaveScale:
      store.SetInt(&CSettingsBlock::WaveScale, box->SelectedData());
      break;
    case ComboContent::WindowFunc:
      store.SetInt(&CSettingsBlock::WindowFunc, box->SelectedItem());
      break;
    case ComboContent::SpectrumBound:
      store.SetInt(&CSettingsBlock::SpectrumBound, box->SelectedData());
      break;
    default:
      break;
  }
}

void CSettingCommands::TogglePreview() { m_frame.App().m_store.TogglePreview(); }

void CSettingCommands::Rebuild() {
  if (CDrawView* view = m_frame.View()) view->RebuildDeviceResources();
}

}  // namespace kx
