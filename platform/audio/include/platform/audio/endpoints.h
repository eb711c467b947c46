// Render endpoints and endpoint notifications.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/audio/core_audio.h"

namespace kx::platform::audio {

// Called on the audio system's thread; implementations must return quickly
// and never block (queue the work for another thread).
class IEndpointNotification {
 public:
  virtual ~IEndpointNotification() = default;
  virtual void OnDefaultDeviceChanged(EDataFlow flow, ERole role, const std::string& deviceId) = 0;
  virtual void OnDeviceAdded(const std::string& deviceId) = 0;
  virtual void OnDeviceRemoved(const std::string& deviceId) = 0;
};

class EndpointEnumerator {
 public:
  EndpointEnumerator();
  ~EndpointEnumerator();  // unregisters the notification, if any
  EndpointEnumerator(const EndpointEnumerator&) = delete;
  EndpointEnumerator& operator=(const EndpointEnumerator&) = delete;

  // The default render endpoint; E_NOTFOUND (and null) when there is none or
  // no sound server.
  HRESULT GetDefaultAudioEndpoint(EndpointPtr& endpoint);
  // Every active render endpoint in the server's order; empty without a server.
  HRESULT EnumAudioEndpoints(std::vector<EndpointPtr>& endpoints);

  // One client at a time. After Unregister returns no call is in progress
  // and none follows.
  HRESULT RegisterEndpointNotificationCallback(IEndpointNotification* client);
  HRESULT UnregisterEndpointNotificationCallback(IEndpointNotification* client);

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace kx::platform::audio
