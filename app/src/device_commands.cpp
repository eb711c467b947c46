#include "app/main_frame.h"
#include "app/wave_app.h"
#include "app/settings_store.h"
#include "frame_commands.h"
#include "resources/res_str.h"

namespace kx {

using namespace ribbon;

namespace {

// The list's first entry, the system's default output, in the user's language.
constexpr uint32_t IDS_DEFAULT_DEVICE = 5203;

ui::RibbonComboBox* DeviceBox(CMainFrame& frame) {
  return frame.Ribbon() ? frame.Ribbon()->Find<ui::RibbonComboBox>(ID_DEVICE) : nullptr;
}

ui::RibbonSlider* VolumeSlider(CMainFrame& frame) {
  return frame.Ribbon() ? frame.Ribbon()->Find<ui::RibbonSlider>(ID_VOLUME) : nullptr;
}

}  // namespace

void CDeviceCommands::Register(CCommandMap& map) {
  map.Add(ID_DEVICE, [this] { SelectDevice(); });
  map.Add(ID_VOLUME, [this] { MoveVolume(); });
}

void CDeviceCommands::ReleaseDeviceList() {
  if (auto* box = DeviceBox(m_frame)) box->RemoveAllItems();
  m_frame.App().m_audioOutput.ClearDevices();
}

void CDeviceCommands::RebuildDeviceList() {
  CkxWaveApp& app = m_frame.App();
  if (auto* box = DeviceBox(m_frame)) box->RemoveAllItems();
  // Drops the session volume and meter, lists the devices again, opens the
  // one at OutputID (the first when it is past the end; the setting stays)
  // and applies the program's volume.
  app.m_audioOutput.OpenConfiguredDevice(app.m_settings.OutputID, app.m_fVolume);
  auto* box = DeviceBox(m_frame);
  if (!box) return;
  const std::vector<CAudioDeviceItem> devices = app.m_audioOutput.Devices();
  for (size_t i = 0; i < devices.size(); ++i) {
    const std::u16string name = i == 0 ? ResStr(IDS_DEFAULT_DEVICE) : devices[i].name;
    box->AddItem(QString("%1 - %2").arg(i + 1).arg(QString::fromStdU16String(name)), static_cast<int>(i));
  }
  box->SetSelectedItem(app.m_settings.OutputID);  // past the end: no selection
}

void CDeviceCommands::SelectDevice() {
  CkxWaveApp& app = m_frame.App();
  auto* box = DeviceBox(m_frame);
  if (!box || !app.m_audioOutput.HasSessionVolume()) return;
  const int position = box->SelectedItem();
  app.m_settings.OutputID = position;
  const std::vector<CAudioDeviceItem> devices = app.m_audioOutput.Devices();
  if (position < 0 || position >= static_cast<int>(devices.size())) return;
  app.m_audioOutput.SetAudioDevice(devices[static_cast<size_t>(position)].device);
  app.m_audioOutput.SetSessionVolume(app.m_fVolume);
  app.m_store.SetInt(&CSettingsBlock::OutputID, position);
}

void CDeviceCommands::MoveVolume() {
  CkxWaveApp& app = m_frame.App();
  auto* slider = VolumeSlider(m_frame);
  if (!slider || !app.m_audioOutput.HasSessionVolume()) return;
  const float volume = CSettingsStore::VolumeFromSliderPos(slider->Pos());
  app.m_audioOutput.SetSessionVolume(volume);
  app.m_store.SetVolume(volume);
}

void CDeviceCommands::OnSessionVolume(float volume) {
  CkxWaveApp& app = m_frame.App();
  app.m_fVolume = volume;
  if (auto* slider = VolumeSlider(m_frame)) slider->SetPos(CSettingsStore::SliderPosFromVolume(volume));
}

}  // namespace kx
