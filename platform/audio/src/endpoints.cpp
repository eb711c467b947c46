#include "platform/audio/endpoints.h"

#include <pthread.h>

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

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
  bool failed = false;  // the listing ended in an error: what came is not the list
};

void CollectSink(pa_context*, const pa_sink_info* info, int eol, void* p) {
  auto* q = static_cast<SinkQuery*>(p);
  if (eol == 0 && info) {
    q->endpoints.push_back(EndpointFromSinkInfo(*info));
    return;
  }
  q->failed = eol < 0;
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
  if (!ok || q.failed) return false;
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

namespace {
// How often a live connection is checked, and a lost server retried.
constexpr auto kCheckPeriod = std::chrono::milliseconds(200);
constexpr auto kRetryPeriod = std::chrono::seconds(1);
}  // namespace

struct EndpointEnumerator::Impl {
  IEndpointNotification* client = nullptr;
  // The watcher's; read by others only once it has been joined.
  std::shared_ptr<detail::Connection> connection;
  std::thread watcher;
  std::mutex cs;  // guards `stop`
  std::condition_variable wake;
  bool stop = false;

  // Waits `period`; false when asked to stop.
  bool Sleep(std::chrono::milliseconds period) {
    std::unique_lock<std::mutex> lock(cs);
    return !wake.wait_for(lock, period, [this] { return stop; });
  }

  void Watch() {
    pthread_setname_np(pthread_self(), "kx-audio-watch");
    bool lost = !connection;
    if (lost) client->OnServerLost();
    while (Sleep(lost ? std::chrono::milliseconds(kRetryPeriod) : kCheckPeriod)) {
      if (!lost) {
        {
          detail::Connection::Locked lock(*connection);
          if (connection->AliveLocked()) continue;
          connection->SetEndpointClientLocked(nullptr);
        }
        connection.reset();
        lost = true;
        client->OnServerLost();
        continue;
      }
      auto c = detail::Connection::Get();
      if (!c) continue;
      {
        detail::Connection::Locked lock(*c);
        c->SetEndpointClientLocked(client);
      }
      connection = std::move(c);
      lost = false;
      client->OnServerRestored();
    }
  }
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
  Impl& d = *m_impl;
  d.connection = detail::Connection::Get();
  const bool connected = d.connection != nullptr;
  if (connected) {
    detail::Connection::Locked lock(*d.connection);
    d.connection->SetEndpointClientLocked(client);
  }
  d.client = client;
  d.stop = false;
  try {
    d.watcher = std::thread([&d] { d.Watch(); });
  } catch (const std::system_error&) {
    UnregisterEndpointNotificationCallback(client);
    return E_OUTOFMEMORY;
  }
  return connected ? S_OK : S_FALSE;
}

HRESULT EndpointEnumerator::UnregisterEndpointNotificationCallback(IEndpointNotification* client) {
  if (!client || client != m_impl->client) return E_INVALIDARG;
  Impl& d = *m_impl;
  {
    std::lock_guard<std::mutex> lock(d.cs);
    d.stop = true;
  }
  d.wake.notify_all();
  if (d.watcher.joinable()) d.watcher.join();
  if (d.connection) {
    detail::Connection::Locked lock(*d.connection);
    d.connection->SetEndpointClientLocked(nullptr);
  }
  d.connection.reset();
  d.client = nullptr;
  return S_OK;
}

}  // namespace kx::platform::audio
