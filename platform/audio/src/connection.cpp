#include "connection.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace kx::platform::audio::detail {

namespace {
std::mutex g_connectionMutex;
std::shared_ptr<Connection> g_connection;
}  // namespace

Connection::Locked::Locked(const Connection& c)
    : m_loop(c.Loop()), m_locked(m_loop && !pa_threaded_mainloop_in_thread(m_loop)) {
  if (m_locked) pa_threaded_mainloop_lock(m_loop);
}

Connection::Locked::~Locked() {
  if (m_locked) pa_threaded_mainloop_unlock(m_loop);
}

Connection::Connection() = default;

Connection::~Connection() {
  if (m_loop) {
    if (m_context) {
      pa_threaded_mainloop_lock(m_loop);
      pa_context_set_subscribe_callback(m_context, nullptr, nullptr);
      pa_context_set_state_callback(m_context, nullptr, nullptr);
      pa_context_disconnect(m_context);
      pa_context_unref(m_context);
      m_context = nullptr;
      pa_threaded_mainloop_unlock(m_loop);
    }
    if (m_loopStarted) pa_threaded_mainloop_stop(m_loop);
    pa_threaded_mainloop_free(m_loop);
  }
}

std::shared_ptr<Connection> Connection::Get() {
  {
    std::lock_guard<std::mutex> g(g_connectionMutex);
    if (g_connection) {
      Locked lock(*g_connection);
      if (g_connection->AliveLocked()) return g_connection;
    }
  }
  // Connecting may wait for a slow server: other callers are not held up.
  std::shared_ptr<Connection> c(new Connection());
  if (!c->Connect()) return nullptr;
  std::lock_guard<std::mutex> g(g_connectionMutex);
  if (g_connection) {
    Locked lock(*g_connection);
    if (g_connection->AliveLocked()) return g_connection;  // another caller was quicker
  }
  g_connection = c;
  return c;
}

void Connection::Reset() {
  std::shared_ptr<Connection> old;
  {
    std::lock_guard<std::mutex> g(g_connectionMutex);
    old = std::move(g_connection);
  }
}

bool Connection::IsConnected() {
  std::lock_guard<std::mutex> g(g_connectionMutex);
  if (!g_connection) return false;
  Locked lock(*g_connection);
  return g_connection->AliveLocked();
}

bool Connection::AliveLocked() const {
  return m_context && pa_context_get_state(m_context) == PA_CONTEXT_READY;
}

void Connection::StateCallback(pa_context*, void* self) { static_cast<Connection*>(self)->WakeAll(); }

void Connection::WakeAll() {
  std::lock_guard<std::mutex> g(m_waitMutex);
  ++m_generation;
  m_waitCv.notify_all();
}

void Connection::Complete(Pending& p) {
  std::lock_guard<std::mutex> g(m_waitMutex);
  p.done = true;
  m_waitCv.notify_all();
}

bool Connection::Wait(Pending& p, pa_operation* op) {
  const auto deadline = std::chrono::steady_clock::now() + kServerTimeout;
  for (;;) {
    {
      std::unique_lock<std::mutex> l(m_waitMutex);
      if (p.done) return true;
      const uint64_t seen = m_generation;
      m_waitCv.wait_until(l, deadline, [&] { return p.done || m_generation != seen; });
      if (p.done) return true;
    }
    // Woken by a state change or the deadline: give up when the server is gone.
    Locked lock(*this);
    const bool alive = AliveLocked();
    const bool late = std::chrono::steady_clock::now() >= deadline;
    if (!alive || late) {
      if (op && pa_operation_get_state(op) == PA_OPERATION_RUNNING) pa_operation_cancel(op);
      std::lock_guard<std::mutex> g(m_waitMutex);
      return p.done;
    }
  }
}

bool Connection::WaitUntil(const std::function<bool()>& ready) {
  return WaitFor(ready, [this] { return !AliveLocked(); });
}

bool Connection::WaitFor(const std::function<bool()>& ready, const std::function<bool()>& failed) {
  const auto deadline = std::chrono::steady_clock::now() + kServerTimeout;
  for (;;) {
    // The generation is read before the state: a change in between is then
    // not missed (it would leave the wait to its deadline).
    uint64_t seen;
    {
      std::lock_guard<std::mutex> g(m_waitMutex);
      seen = m_generation;
    }
    {
      Locked lock(*this);
      if (ready()) return true;
      if (failed()) return false;
    }
    std::unique_lock<std::mutex> l(m_waitMutex);
    if (!m_waitCv.wait_until(l, deadline, [&] { return m_generation != seen; })) {
      l.unlock();
      Locked lock(*this);
      return ready();
    }
  }
}

bool Connection::Connect() {
  m_loop = pa_threaded_mainloop_new();
  if (!m_loop) return false;
  pa_threaded_mainloop_set_name(m_loop, "kx-pulse");
  m_context = pa_context_new(pa_threaded_mainloop_get_api(m_loop), "kxToneScope");
  if (!m_context) return false;
  pa_context_set_state_callback(m_context, &Connection::StateCallback, this);
  pa_context_set_subscribe_callback(m_context, &Connection::SubscribeCallback, this);
  // PULSE_SERVER (or the usual places) decides the server; never spawn one.
  if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return false;
  if (pa_threaded_mainloop_start(m_loop) < 0) return false;
  m_loopStarted = true;

  const auto state = [this] { return pa_context_get_state(m_context); };
  if (!WaitFor([&] { return state() == PA_CONTEXT_READY; }, [&] { return !PA_CONTEXT_IS_GOOD(state()); }))
    return false;

  Locked lock(*this);
  const auto mask = static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SERVER |
                                                        PA_SUBSCRIPTION_MASK_SINK_INPUT);
  if (pa_operation* op = pa_context_subscribe(m_context, mask, nullptr, nullptr)) pa_operation_unref(op);
  // What is known now, so that later events can tell what changed.
  if (pa_operation* op = pa_context_get_server_info(m_context, &Connection::ServerInfoCallback, this))
    pa_operation_unref(op);
  if (pa_operation* op = pa_context_get_sink_info_list(
          m_context,
          [](pa_context*, const pa_sink_info* info, int eol, void* self) {
            if (eol == 0 && info) static_cast<Connection*>(self)->m_sinks[info->index] = info->name;
          },
          this))
    pa_operation_unref(op);
  return true;
}

void Connection::SetEndpointClientLocked(IEndpointNotification* client) { m_endpointClient = client; }

std::shared_ptr<SessionState> Connection::SessionLocked(const std::string& sink) {
  auto& s = m_sessions[sink];
  if (!s) s = std::make_shared<SessionState>();
  return s;
}

void Connection::SubscribeCallback(pa_context* c, pa_subscription_event_type_t t, uint32_t index, void* p) {
  auto* self = static_cast<Connection*>(p);
  const unsigned facility = t & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
  const unsigned kind = t & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
  if (facility == PA_SUBSCRIPTION_EVENT_SERVER && kind == PA_SUBSCRIPTION_EVENT_CHANGE) {
    if (pa_operation* op = pa_context_get_server_info(c, &Connection::ServerInfoCallback, self))
      pa_operation_unref(op);
  } else if (facility == PA_SUBSCRIPTION_EVENT_SINK && kind == PA_SUBSCRIPTION_EVENT_NEW) {
    if (pa_operation* op = pa_context_get_sink_info_by_index(c, index, &Connection::SinkInfoCallback, self))
      pa_operation_unref(op);
  } else if (facility == PA_SUBSCRIPTION_EVENT_SINK && kind == PA_SUBSCRIPTION_EVENT_REMOVE) {
    auto it = self->m_sinks.find(index);
    if (it == self->m_sinks.end()) return;
    const std::string name = it->second;
    self->m_sinks.erase(it);
    if (self->m_endpointClient) self->m_endpointClient->OnDeviceRemoved(name);
  } else if (facility == PA_SUBSCRIPTION_EVENT_SINK_INPUT && kind == PA_SUBSCRIPTION_EVENT_CHANGE) {
    for (auto& [sink, session] : self->m_sessions) {
      if (session->streamIndex != static_cast<int64_t>(index) || session->listeners.empty()) continue;
      self->m_volumeQueries.push_back({session, session->expected, session->expectedContext, session->requests});
      if (pa_operation* op = pa_context_get_sink_input_info(c, index, &Connection::SinkInputInfoCallback, self))
        pa_operation_unref(op);
      else
        self->m_volumeQueries.pop_back();
      break;
    }
  }
}

void Connection::ServerInfoCallback(pa_context*, const pa_server_info* info, void* p) {
  auto* self = static_cast<Connection*>(p);
  if (!info) return;
  const std::string sink = info->default_sink_name ? info->default_sink_name : "";
  const std::string source = info->default_source_name ? info->default_source_name : "";
  const bool known = self->m_defaultsKnown;
  const bool sinkChanged = known && sink != self->m_defaultSink;
  const bool sourceChanged = known && source != self->m_defaultSource;
  self->m_defaultSink = sink;
  self->m_defaultSource = source;
  self->m_defaultsKnown = true;
  if (!self->m_endpointClient) return;
  // The server keeps one default per direction: one change, one call.
  if (sinkChanged) self->m_endpointClient->OnDefaultDeviceChanged(EDataFlow::eRender, ERole::eMultimedia, sink);
  if (sourceChanged)
    self->m_endpointClient->OnDefaultDeviceChanged(EDataFlow::eCapture, ERole::eMultimedia, source);
}

void Connection::SinkInfoCallback(pa_context*, const pa_sink_info* info, int eol, void* p) {
  auto* self = static_cast<Connection*>(p);
  if (eol != 0 || !info) return;
  const bool isNew = self->m_sinks.count(info->index) == 0;
  self->m_sinks[info->index] = info->name;
  if (isNew && self->m_endpointClient) self->m_endpointClient->OnDeviceAdded(info->name);
}

void Connection::SinkInputInfoCallback(pa_context*, const pa_sink_input_info* info, int eol, void* p) {
  auto* self = static_cast<Connection*>(p);
  if (self->m_volumeQueries.empty()) return;
  if (eol != 0) {  // the end of one answer (or its failure)
    self->m_volumeQueries.pop_front();
    return;
  }
  const VolumeQuery& q = self->m_volumeQueries.front();
  SessionState& s = *q.session;
  if (!info || s.streamIndex != static_cast<int64_t>(info->index)) return;
  const pa_volume_t v = pa_cvolume_max(&info->volume);
  const bool own = q.expected && *q.expected == v;
  if (!own && s.requests == q.requests) {
    // Another program's change, and no request of ours came after it.
    s.expected = v;
    s.expectedContext = kNullGuid;
    s.volume = ScalarFromVolume(v);
  }
  if (s.delivered && *s.delivered == v) return;  // another property changed, not the volume
  s.delivered = v;
  const GUID context = own ? q.context : kNullGuid;
  for (auto& [owner, listener] : s.listeners) listener(ScalarFromVolume(v), info->mute != 0, context);
}

pa_volume_t VolumeFromScalar(float volume) {
  if (!(volume > 0.0f)) return PA_VOLUME_MUTED;
  const double v = std::lround(static_cast<double>(volume) * PA_VOLUME_NORM);
  return static_cast<pa_volume_t>(std::min<double>(v, PA_VOLUME_MAX));
}

float ScalarFromVolume(pa_volume_t volume) {
  return static_cast<float>(static_cast<double>(volume) / PA_VOLUME_NORM);
}

}  // namespace kx::platform::audio::detail

namespace kx::platform::audio {

void ResetConnection() { detail::Connection::Reset(); }
bool IsConnected() { return detail::Connection::IsConnected(); }

}  // namespace kx::platform::audio
