// The main frame's command groups: each registers its ids with the frame's
// command map and keeps its handlers short.
#pragma once

#include <QString>
#include <cstdint>

#include "app/ribbon_table.h"

namespace kx {

class CMainFrame;
class CCommandMap;
namespace ui {
class CommandUI;
}

// Start, Stop, Info, New camera, Add to bookmark, Edit bookmark, and Reset of
// the sound measurements.
class CPreviewCommands {
 public:
  explicit CPreviewCommands(CMainFrame& frame) : m_frame(frame) {}
  void Register(CCommandMap& map);

  void Start();
  void Stop();
  void ToggleInfo();
  void NewCamera();
  void AddToBookmark();
  void EditBookmark();

 private:
  bool ClientEnabled() const;
  bool Running() const;
  CMainFrame& m_frame;
};

// "Save picture", "Save sound" and the backstage's entry that opens the user
// data folder where they go.
class CEvidenceCommands {
 public:
  explicit CEvidenceCommands(CMainFrame& frame) : m_frame(frame) {}
  void Register(CCommandMap& map);

  void SavePicture();
  void SaveSound();
  void OpenFolder();

 private:
  // In the user data folder, named for the camera and the time now.
  QString FilePath(const char16_t* extension) const;
  // The message naming the file, or the reason it could not be written.
  void Tell(uint32_t savedId, const QString& path, const QString& reason);
  CMainFrame& m_frame;
};

// The commands that change one stored setting: the layout, mode and view
// buttons, colours, palettes, the three option combo boxes, "Preview" and the
// measurement panel's button.
class CSettingCommands {
 public:
  explicit CSettingCommands(CMainFrame& frame) : m_frame(frame) {}
  void Register(CCommandMap& map);

 private:
  void Choose(const ribbon::Element& e);
  void Toggle(const ribbon::Element& e);
  void PickColor(const ribbon::Element& e);
  void PickPalette(const ribbon::Element& e);
  void PickCombo(const ribbon::Element& e);
  void TogglePreview();
  void Rebuild();
  CMainFrame& m_frame;
};

// The output device box, the volume slider and the session volume.
class CDeviceCommands {
 public:
  explicit CDeviceCommands(CMainFrame& frame) : m_frame(frame) {}
  void Register(CCommandMap& map);

  // Empties the box and the device list, opens the device at OutputID (the
  // first when OutputID is past the end) and fills the box again.
  void RebuildDeviceList();
  // Step 1 of the rebuild alone (destroying the frame).
  void ReleaseDeviceList();
  void SelectDevice();
  void MoveVolume();
  // WM_SESSION_VOLUME: another program changed the volume.
  void OnSessionVolume(float volume);

 private:
  CMainFrame& m_frame;
};

}  // namespace kx
