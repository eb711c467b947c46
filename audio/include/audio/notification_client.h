// Hears endpoint changes and asks the main frame to rebuild the device list
// when the default render device changes, and when the sound server comes
// back after it was lost (then the output is reopened without stopping the
// preview).
#pragma once

#include <functional>

#include "platform/audio/endpoints.h"

namespace kx {

class CMMNotificationClient : public platform::audio::IEndpointNotification {
 public:
  // The stand-ins for posting the Stop command to the view and
  // WM_AUDIO_DEVICES_CHANGED to the main frame: queue the call, never block.
  using Post = std::function<void()>;
  CMMNotificationClient(Post postStop, Post postDevicesChanged);

  void OnDefaultDeviceChanged(platform::audio::EDataFlow flow, platform::audio::ERole role,
                              const std::string& deviceId) override;
  void OnDeviceAdded(const std::string& deviceId) override;
  void OnDeviceRemoved(const std::string& deviceId) override;
  void OnServerLost() override;
  void OnServerRestored() override;

 private:
  Post m_postStop;
  Post m_postDevicesChanged;
};

}  // namespace kx
