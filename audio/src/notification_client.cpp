#include "audio/notification_client.h"

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

void CMMNotificationClient::OnDeviceAdded(const std::string&) {}
void CMMNotificationClient::OnDeviceRemoved(const std::string&) {}

}  // namespace kx
