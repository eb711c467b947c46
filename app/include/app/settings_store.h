// The settings store: fills the settings block from the user's "Settings"
// section once at start-up and writes each value back the moment it changes.
// Values are taken as stored (no range check); the code that uses a value
// keeps a stored value from doing harm.
#pragma once

#include <QString>
#include <cstdint>

#include "common/settings_block.h"

namespace kx {

class CSettingsStore {
 public:
  // The store fills and writes these three; they belong to the application object.
  CSettingsStore(CSettingsBlock& block, float& volume, QString& folderLog)
      : m_block(block), m_fVolume(volume), m_strFolderLog(folderLog) {}

  // Start-up, first part: ModeWave, ModeSpectrum, ShowWidgets, Opacity,
  // OpacitySpectrum, Preview, WindowFunc, SpectrumBound, WaveScale,
  // OpenTimeout, SpectrumView, then FolderLog (default: the user's data location).
  void LoadValues();
  // Second part: the seven colours (each preset to its default), the volume
  // (preset to 0.5, read as a double, narrowed), OutputID.
  void LoadColorsAndOutput();
  void Load() {
    LoadValues();
    LoadColorsAndOutput();
  }

  // One setter per value: sets the member, then writes that one value at
  // once. The return value says whether the write reached the file (the
  // member is changed either way).
  bool SetInt(Setting<int32_t> CSettingsBlock::*member, int32_t value);
  bool SetColor(Setting<COLORREF> CSettingsBlock::*member, COLORREF color);
  bool TogglePreview();
  // VolumeOutput: the one place that decides how the volume is stored. The
  // float is written as the shortest decimal that reads back as the same
  // float (the slider's 735 is "0.735"), through the double accessor.
  bool SetVolume(float volume);
  // The volume slider's positions 0 ... 1000 and the volume, both ways: a
  // stored position comes back as itself (rounded, not truncated, so that
  // 251 does not come back as 250 and the mixer's 37 % shows as 370).
  static float VolumeFromSliderPos(int pos);
  static int SliderPosFromVolume(float volume);

  // The value name a member is stored under ("" for none).
  static const char16_t* NameOf(Setting<int32_t> CSettingsBlock::*member);
  static const char16_t* NameOf(Setting<COLORREF> CSettingsBlock::*member);

  static QString DefaultFolderLog();
  // The machine-wide FolderLog (system scope "kxCore", group "Devices"),
  // written by the options page; true when the write reached the file.
  static bool WriteMachineFolderLog(const QString& folder);
  static QString ReadMachineFolderLog();

 private:
  CSettingsBlock& m_block;
  float& m_fVolume;
  QString& m_strFolderLog;
};

}  // namespace kx
