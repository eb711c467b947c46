#include "platform/audio/endpoints.h"

#include "connection.h"

namespace kx::platform::audio {

namespace detail {

EndpointPtr EndpointFromSinkInfo(const pa_sink_info& info) {
  auto e = std::make_shared<Endpoint>();
  e->id = info.name ? info.name : "";
  e->friendlyName = ConvertUTF8ToUnicode(info.description ? info.description : e->id);
  for (unsigned i = 0; i < info.channel_map.channels; ++i) e->positions.push_back(info.channel_map.map[i]);
  e->format = DeviceFormatFromSampleSpec(info.sample_spec.format, info.sample_spec.rate,
                                         info.sample_spec.channels, e->positions);
  e->monitorSource = info.monitor_source_name ? info.monitor_source_name : e->id + ".monitor";
  return e;
}

namespace {

struct SinkQuery : Connection::Pending {
  Connection* connection = nullptr;
  std::vector<EndpointPtr> endpoints;
};

void CollectSink(pa_context*, const pa_sink_info* info, int eol, void* p) {
  auto* q = static_cast<SinkQuery*>(p);
  if (eol == 0 && info) {
    q->endpoints.push_back(EndpointFromSinkInfo(*info));
    return;
  }
  q->connection->Complete(*q);
}

struct ServerQuery : Connection::Pending {
  Connection* connection = nullptr;
  std::string defaultSink;
};

void CollectServer(pa_context*, const pa_server_info* info, void* p) {
  auto* q = static_cast<ServerQuery*>(p);
  if (info && info->default_sink_name) q->defaultSink = info->default_sink_name;
  q->connection->Complete(*q);
}

template <typename Query, typename Start>
bool Run(Connection& c, Query& q, Start start) {
  q.connection = &c;
  pa_operation* op = nullptr;
  {
    Connection::Locked lock(c);
    if (!c.AliveLocked()) return false;
    op = start(c.Context(), &q);
    if (!op) return false;
  }
  const bool done = c.Wait(q, op);
  Connection::Locked lock(c);
  pa_operation_unref(op);
  return done;
}

}  // namespace

// Every active sink; `byName` picks one (empty: all).
bool ListSinks(Connection& c, const std::string& byName, std::vector<EndpointPtr>& out) {
  SinkQuery q;
  bool ok;
  if (byName.empty()) {
    ok = Run(c, q, [](pa_context* ctx, SinkQuery* q) { return pa_context_get_sink_info_list(ctx, CollectSink, q); });
  } else {
    ok = Run(c, q, [&](pa_context* ctx, SinkQuery* q) {
      return pa_context_get_sink_info_by_name(ctx, byName.c_str(), CollectSink, q);
    });
  }
  if (!ok) return false;
  out = std::move(q.endpoints);
  return true;
}

bool DefaultSinkName(Connection& c, std::string& name) {
  ServerQuery q;
  if (!Run(c, q, [](pa_context* ctx, ServerQuery* q) { return pa_context_get_server_info(ctx, CollectServer, q); }))
    return false;
  name = q.defaultSink;
  return !name.empty();
}

EndpointPtr DefaultEndpoint(Connection& c) {
  std::string name;
  std::vector<EndpointPtr> found;
  if (!DefaultSinkName(c, name) || !ListSinks(c, name, found) || found.empty()) return nullptr;
  return found.front();
}

}  // namespace detail

struct EndpointEnumerator::Impl {
  std::shared_ptr<detail::Connection> connection;  // while a client is registered
  IEndpointNotification* client = nullptr;
};

EndpointEnumerator::EndpointEnumerator() : m_impl(std::make_unique<Impl>()) {}

EndpointEnumerator::~EndpointEnumerator() {
  if (m_impl->client) UnregisterEndpointNotificationCallback(m_impl->client);
}

HRESULT EndpointEnumerator::GetDefaultAudioEndpoint(EndpointPtr& endpoint) {
  endpoint.reset();
  auto c = detail::Connection::Get();
  if (!c) return AUDCLNT_E_SERVICE_NOT_RUNNING;
  endpoint = detail::DefaultEndpoint(*c);
  return endpoint ? S_OK : E_NOTFOUND;
}

HRESULT EndpointEnumerator::EnumAudioEndpoints(std::vector<EndpointPtr>& endpoints) {
  endpoints.clear();
  auto c = detail::Connection::Get();
  if (!c) return AUDCLNT_E_SERVICE_NOT_RUNNING;
  return detail::ListSinks(*c, {}, endpoints) ? S_OK : E_FAIL;
}

HRESULT EndpointEnumerator::RegisterEndpointNotificationCallback(IEndpointNotification* client) {
  if (!client) return E_POINTER;
  if (m_impl->client) return E_INVALIDARG;
  auto c = detail::Connection::Get();
  if (!c) return AUDCLNT_E_SERVICE_NOT_RUNNING;
  {
    detail::Connection::Locked lock(*c);
    c->SetEndpointClientLocked(client);
  }
  m_impl->connection = std::move(c);
  m_impl->client = client;
  return S_OK;
}

HRESULT EndpointEnumerator::UnregisterEndpointNotificationCallback(IEndpointNotification* client) {
  if (!client || client != m_impl->client) return E_INVALIDARG;
  {
    detail::Connection::Locked lock(*m_impl->connection);
    m_impl->connection->SetEndpointClientLocked(nullptr);
  }
  m_impl->connection.reset();
  m_impl->client = nullptr;
  return S_OK;
}

}  // namespace kx::platform::audio
