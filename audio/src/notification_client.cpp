#include "audio/notification_client.h"

#include "common/app_log.h"

namespace kx {

using platform::audio::EDataFlow;
using platform::audio::ERole;

CMMNotificationClient::CMMNotificationClient(Post postStop, Post postDevicesChanged)
    : m_postStop(std::move(postStop)), m_postDevicesChanged(std::move(postDevicesChanged)) {}

void CMMNotificationClient::OnDefaultDeviceChanged(EDataFlow flow, ERole, const std::string&) {
  if (flow != EDataFlow::eRender) return;
  if (m_postStop) m_postStop();
  if (m_postDevicesChanged) m_postDevicesChanged();
}

void CMMNotificationClient::OnServerLost() {
  LogWarning(u"Sound server lost: reconnecting in the background");
}

void CMMNotificationClient::OnServerRestored() {
  LogInfo(u"Sound server is back: reopening the output");
  if (m_postDevicesChanged) m_postDevicesChanged();
}

void CMMNotificationClient::OnDeviceAdded(const std::string&) {}
void CMMNotificationClient::OnDeviceRemoved(const std::string&) {}

}  // namespace kx
