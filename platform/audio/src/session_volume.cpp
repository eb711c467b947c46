#include "connection.h"

namespace kx::platform::audio {

struct SessionVolume::Impl {
  std::shared_ptr<detail::Connection> connection;
  std::shared_ptr<detail::SessionState> session;  // loop locked
};

SessionVolume::SessionVolume() : m_impl(std::make_shared<Impl>()) {}

SessionVolume::~SessionVolume() { UnregisterNotification(); }

HRESULT SessionVolume::Create(const EndpointPtr& endpoint, std::unique_ptr<SessionVolume>& volume) {
  volume.reset();
  auto c = detail::Connection::Get();
  if (!c) return AUDCLNT_E_SERVICE_NOT_RUNNING;
  EndpointPtr e = endpoint ? endpoint : detail::DefaultEndpoint(*c);
  if (!e) return E_NOTFOUND;
  std::unique_ptr<SessionVolume> made(new SessionVolume());
  {
    detail::Connection::Locked lock(*c);
    if (!c->AliveLocked()) return AUDCLNT_E_SERVICE_NOT_RUNNING;
    made->m_impl->session = c->SessionLocked(e->id);
  }
  made->m_impl->connection = std::move(c);
  volume = std::move(made);
  return S_OK;
}

HRESULT SessionVolume::SetMasterVolume(float volume, const GUID& eventContext) {
  if (!(volume >= 0.0f && volume <= 1.0f)) return E_INVALIDARG;
  Impl& d = *m_impl;
  struct Op : detail::Connection::Pending {
    detail::Connection* c = nullptr;
    bool ok = false;
  } q;
  q.c = d.connection.get();
  pa_operation* op = nullptr;
  {
    detail::Connection::Locked lock(*d.connection);
    if (!d.connection->AliveLocked()) return AUDCLNT_E_SERVICE_NOT_RUNNING;
    detail::SessionState& s = *d.session;
    s.volume = volume;
    if (s.streamIndex < 0) return S_OK;  // a stream opened later takes it
    // Sent even when it seems to change nothing: a request of ours still in
    // flight may be about to set another value.
    const pa_volume_t v = detail::VolumeFromScalar(volume);
    pa_cvolume cv;
    pa_cvolume_set(&cv, s.channels ? s.channels : 1, v);
    s.expected = v;
    s.expectedContext = eventContext;
    ++s.requests;
    op = pa_context_set_sink_input_volume(
        d.connection->Context(), static_cast<uint32_t>(s.streamIndex), &cv,
        [](pa_context*, int success, void* p) {
          auto* q = static_cast<Op*>(p);
          q->ok = success != 0;
          q->c->Complete(*q);
        },
        &q);
    if (!op) return E_FAIL;
  }
  // The server's answer decides: a stream that is gone takes no volume.
  const bool done = d.connection->Wait(q, op);
  detail::Connection::Locked lock(*d.connection);
  pa_operation_unref(op);
  return done && q.ok ? S_OK : E_FAIL;
}

HRESULT SessionVolume::GetMasterVolume(float* volume) {
  if (!volume) return E_POINTER;
  detail::Connection::Locked lock(*m_impl->connection);
  if (!m_impl->connection->AliveLocked()) return AUDCLNT_E_SERVICE_NOT_RUNNING;
  *volume = m_impl->session->volume;
  return S_OK;
}

HRESULT SessionVolume::RegisterNotification(Listener listener) {
  if (!listener) return E_POINTER;
  detail::Connection::Locked lock(*m_impl->connection);
  if (!m_impl->connection->AliveLocked()) return AUDCLNT_E_SERVICE_NOT_RUNNING;
  m_impl->session->listeners[m_impl.get()] = std::move(listener);
  return S_OK;
}

HRESULT SessionVolume::UnregisterNotification() {
  if (!m_impl->connection) return S_FALSE;
  detail::Connection::Locked lock(*m_impl->connection);
  return m_impl->session->listeners.erase(m_impl.get()) ? S_OK : S_FALSE;
}

int64_t SessionVolume::StreamIndex() const {
  detail::Connection::Locked lock(*m_impl->connection);
  return m_impl->session->streamIndex;
}

}  // namespace kx::platform::audio
