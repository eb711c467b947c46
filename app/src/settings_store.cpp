#include "app/settings_store.h"

#include <QStandardPaths>
#include <charconv>
#include <cmath>
#include <iterator>

#include "ui/registry_manager.h"

namespace kx {

namespace {

template <typename T>
struct Value {
  const char16_t* name;
  Setting<T> CSettingsBlock::*member;
};

// Load order of the integers (start-up reads them in this order).
constexpr Value<int32_t> kInts[] = {
    {u"ModeWave", &CSettingsBlock::ModeWave},       {u"ModeSpectrum", &CSettingsBlock::ModeSpectrum},
    {u"ShowWidgets", &CSettingsBlock::ShowWidgets}, {u"Opacity", &CSettingsBlock::Opacity},
    {u"OpacitySpectrum", &CSettingsBlock::OpacitySpectrum}, {u"Preview", &CSettingsBlock::Preview},
    {u"WindowFunc", &CSettingsBlock::WindowFunc},   {u"SpectrumBound", &CSettingsBlock::SpectrumBound},
    {u"WaveScale", &CSettingsBlock::WaveScale},     {u"OpenTimeout", &CSettingsBlock::OpenTimeout},
    {u"SpectrumView", &CSettingsBlock::SpectrumView}, {u"MeasurePanel", &CSettingsBlock::MeasurePanel},
    {u"Reconnect", &CSettingsBlock::Reconnect},
    {u"OutputID", &CSettingsBlock::OutputID},  // read last, after the volume
};

constexpr Value<COLORREF> kColors[] = {
    {u"ColorAxis", &CSettingsBlock::ColorAxis},         {u"ColorBkg", &CSettingsBlock::ColorBkg},
    {u"ColorWave", &CSettingsBlock::ColorWave},         {u"ColorSpectrum", &CSettingsBlock::ColorSpectrum},
    {u"ColorPeakMin", &CSettingsBlock::ColorPeakMin},   {u"ColorPeakMid", &CSettingsBlock::ColorPeakMid},
    {u"ColorPeakMax", &CSettingsBlock::ColorPeakMax},
};

constexpr float kDefaultVolume = 0.5f;

QString Name(const char16_t* name) { return QString::fromUtf16(name); }

template <typename T, size_t N>
const char16_t* Find(const Value<T> (&table)[N], Setting<T> CSettingsBlock::*member) {
  for (const Value<T>& v : table)
    if (v.member == member) return v.name;
  return u"";
}

}  // namespace

const char16_t* CSettingsStore::NameOf(Setting<int32_t> CSettingsBlock::*member) { return Find(kInts, member); }
const char16_t* CSettingsStore::NameOf(Setting<COLORREF> CSettingsBlock::*member) { return Find(kColors, member); }

QString CSettingsStore::DefaultFolderLog() {
  return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

void CSettingsStore::LoadValues() {
  const CSettingsBlock defaults;
  const CRegistryManager reg;
  for (const Value<int32_t>& v : kInts) {
    if (v.member == &CSettingsBlock::OutputID) continue;
    (m_block.*v.member) = reg.GetProfileIntW(kSettingsSection, Name(v.name), (defaults.*v.member).Get());
  }
  m_strFolderLog = reg.GetProfileStringW(kSettingsSection, QStringLiteral("FolderLog"), DefaultFolderLog());
}

void CSettingsStore::LoadColorsAndOutput() {
  const CSettingsBlock defaults;
  const CRegistryManager reg;
  for (const Value<COLORREF>& v : kColors) {
    COLORREF color = (defaults.*v.member).Get();  // stays when the value is missing
    reg.GetProfileColor(kSettingsSection, Name(v.name), &color);
    (m_block.*v.member) = color;
  }
  double volume = kDefaultVolume;
  reg.GetProfileDouble(kSettingsSection, QStringLiteral("VolumeOutput"), &volume);
  m_fVolume = static_cast<float>(volume);
  m_block.OutputID = reg.GetProfileIntW(kSettingsSection, QStringLiteral("OutputID"), defaults.OutputID.Get());
}

bool CSettingsStore::SetInt(Setting<int32_t> CSettingsBlock::*member, int32_t value) {
  (m_block.*member) = value;
  const char16_t* name = NameOf(member);
  return *name && CRegistryManager().WriteProfileInt(kSettingsSection, Name(name), value);
}

bool CSettingsStore::SetColor(Setting<COLORREF> CSettingsBlock::*member, COLORREF color) {
  (m_block.*member) = color;
  const char16_t* name = NameOf(member);
  return *name && CRegistryManager().WriteProfileColor(kSettingsSection, Name(name), color);
}

bool CSettingsStore::TogglePreview() { return SetInt(&CSettingsBlock::Preview, 1 - m_block.Preview.Get()); }

bool CSettingsStore::SetVolume(float volume) {
  m_fVolume = volume;
  // Widened through the float's own shortest text, so the file holds what
  // the user chose rather than the float's binary tail (0.7350000143...).
  char text[32];
  double stored = volume;
  const auto [end, ec] = std::to_chars(text, text + sizeof text, volume);
  if (ec == std::errc()) std::from_chars(text, end, stored);
  return CRegistryManager().WriteProfileDouble(kSettingsSection, QStringLiteral("VolumeOutput"), stored);
}

float CSettingsStore::VolumeFromSliderPos(int pos) { return static_cast<float>(pos) / 1000.0f; }

int CSettingsStore::SliderPosFromVolume(float volume) { return static_cast<int>(std::lround(volume * 1000.0f)); }

bool CSettingsStore::WriteMachineFolderLog(const QString& folder) {
  return CRegistryManager(CRegistryManager::Scope::Machine)
      .WriteProfileStringW(kDevicesSection, QStringLiteral("FolderLog"), folder);
}

QString CSettingsStore::ReadMachineFolderLog() {
  return CRegistryManager(CRegistryManager::Scope::Machine)
      .GetProfileStringW(kDevicesSection, QStringLiteral("FolderLog"), {});
}

}  // namespace kx
