#include "audio/session_volume.h"

namespace kx {

using namespace platform::audio;

CAudioSessionVolume::CAudioSessionVolume(SessionVolumeNotify notify) : m_notify(std::move(notify)) {}

CAudioSessionVolume::~CAudioSessionVolume() {
  // After this no call of the audio system reaches the object.
  if (m_pSimpleVolume && m_bNotify.load() && Succeeded(m_pSimpleVolume->UnregisterNotification()))
    m_bNotify = false;
  m_pSimpleVolume.reset();
}

HRESULT CAudioSessionVolume::CreateInstance(SessionVolumeNotify notify, std::unique_ptr<CAudioSessionVolume>& result,
                                            const EndpointPtr& device) {
  result.reset();
  std::unique_ptr<CAudioSessionVolume> made(new (std::nothrow) CAudioSessionVolume(std::move(notify)));
  if (!made) return E_OUTOFMEMORY;
  const HRESULT hr = SessionVolume::Create(device, made->m_pSimpleVolume);
  if (Failed(hr)) return hr;
  result = std::move(made);
  return S_OK;
}

HRESULT CAudioSessionVolume::EnableNotifications() {
  if (!m_notify || !m_pSimpleVolume || m_bNotify.load()) return S_FALSE;
  const HRESULT hr = m_pSimpleVolume->RegisterNotification(
      [this](float volume, bool mute, const GUID& context) { OnSimpleVolumeChanged(volume, mute, context); });
  if (Succeeded(hr)) m_bNotify = true;
  return hr;
}

HRESULT CAudioSessionVolume::SetMasterVolume(float volume) {
  if (!m_pSimpleVolume) return E_FAIL;
  return m_pSimpleVolume->SetMasterVolume(volume, kAudioSessionVolumeCtx);
}

HRESULT CAudioSessionVolume::GetMasterVolume(float* volume) {
  if (!m_pSimpleVolume) return E_FAIL;
  return m_pSimpleVolume->GetMasterVolume(volume);
}

void CAudioSessionVolume::OnSimpleVolumeChanged(float volume, bool mute, const GUID& eventContext) {
  if (!m_bNotify.load()) return;
  if (kxIsEqualGUID(eventContext, kAudioSessionVolumeCtx)) return;  // our own change
  if (m_notify) m_notify(volume, mute);
}

int64_t CAudioSessionVolume::StreamIndex() const { return m_pSimpleVolume ? m_pSimpleVolume->StreamIndex() : -1; }

}  // namespace kx
