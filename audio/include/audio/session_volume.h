// The volume of the program's own audio session, and the note to the main
// frame when another program changes it.
#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include "platform/audio/audio_client.h"

namespace kx {

// The event context of the program's own volume changes.
inline constexpr GUID kAudioSessionVolumeCtx = {
    0x2715279F, 0x4139, 0x4BA0, {0x9C, 0xB1, 0xB3, 0x51, 0xF1, 0xB5, 0x8A, 0x4A}};

// The stand-in for posting WM_SESSION_VOLUME (1200) to the main frame: queue
// the call, never block.
using SessionVolumeNotify = std::function<void(float volume, bool mute)>;

class CAudioSessionVolume {
 public:
  // Null device: the default render device. Fails when the audio system
  // cannot give the session (the result stays null).
  static platform::audio::HRESULT CreateInstance(SessionVolumeNotify notify,
                                                 std::unique_ptr<CAudioSessionVolume>& result,
                                                 const platform::audio::EndpointPtr& device);
  ~CAudioSessionVolume();
  CAudioSessionVolume(const CAudioSessionVolume&) = delete;
  CAudioSessionVolume& operator=(const CAudioSessionVolume&) = delete;

  platform::audio::HRESULT EnableNotifications();
  // Sets the volume with the program's own context (no notification follows).
  platform::audio::HRESULT SetMasterVolume(float volume);
  platform::audio::HRESULT GetMasterVolume(float* volume);

  // The audio system's call; public so that it can be driven directly.
  void OnSimpleVolumeChanged(float volume, bool mute, const GUID& eventContext);

  int64_t StreamIndex() const;

 private:
  explicit CAudioSessionVolume(SessionVolumeNotify notify);
  SessionVolumeNotify m_notify;
  std::atomic<bool> m_bNotify{false};
  std::unique_ptr<platform::audio::SessionVolume> m_pSimpleVolume;
};

}  // namespace kx
