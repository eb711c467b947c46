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
  // The sound server went away (or was not there when the client was
  // registered): once per loss. Reconnection is tried in the background.
  virtual void OnServerLost() {}
  // A sound server is there again and notifications flow once more; the
  // devices and streams of the old one are gone.
  virtual void OnServerRestored() {}
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

  // One client at a time. While it is registered a thread of the enumerator
  // watches the server: it notices a loss within a fraction of a second,
  // tries to reconnect about once a second, and registers the client with
  // the new server. S_OK when a server is there now, S_FALSE when not (the
  // client then hears OnServerLost, and OnServerRestored once one comes).
  // After Unregister returns no call is in progress and none follows.
  HRESULT RegisterEndpointNotificationCallback(IEndpointNotification* client);
  HRESULT UnregisterEndpointNotificationCallback(IEndpointNotification* client);

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace kx::platform::audio
