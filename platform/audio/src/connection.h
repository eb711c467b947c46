// The process's one connection to the sound server: a threaded main loop
// and a context, the waits for operations (always bounded), and the
// dispatch of server events to endpoint and session listeners.
#pragma once

#include <pulse/pulseaudio.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/audio/audio_client.h"
#include "platform/audio/endpoints.h"

namespace kx::platform::audio::detail {

// How long any call waits for the server at most.
inline constexpr std::chrono::milliseconds kServerTimeout{2000};

// The volume state of our own stream on one sink. Touched only with the
// main loop locked.
struct SessionState {
  float volume = 1.0f;              // what the program asked for, linear
  int64_t streamIndex = -1;         // sink input of our stream, -1 when none
  uint8_t channels = 0;
  std::optional<pa_volume_t> known;  // the stream's volume as last seen
  std::optional<pa_volume_t> pendingOwn;  // our own change not yet seen
  GUID pendingContext{};
  std::map<const void*, SessionVolume::Listener> listeners;
};

class Connection {
 public:
  // The live connection, connecting when there is none; null without a server.
  static std::shared_ptr<Connection> Get();
  static void Reset();
  static bool IsConnected();

  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  pa_threaded_mainloop* Loop() const { return m_loop; }
  pa_context* Context() const { return m_context; }
  // Call with the main loop locked.
  bool AliveLocked() const;

  // RAII lock of the main loop (a no-op on the main loop's own thread).
  class Locked {
   public:
    explicit Locked(const Connection& c);
    ~Locked();
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

   private:
    pa_threaded_mainloop* m_loop;
    bool m_locked;
  };

  // A bounded wait for something the main loop thread completes. Start the
  // operation with the loop locked, then call Wait without it.
  struct Pending {
    bool done = false;
  };
  // Marks done and wakes the waiter; called on the main loop thread.
  void Complete(Pending& p);
  // Waits until p is done, the connection dies or the timeout passes; on
  // failure the operation (if given) is cancelled. True when done.
  bool Wait(Pending& p, pa_operation* op);
  // Wakes every waiter (state changes).
  void WakeAll();
  // Waits until `ready` (called with the loop locked) says yes, the
  // connection dies or the timeout passes. Returns what `ready` said last.
  bool WaitUntil(const std::function<bool()>& ready);

  // Endpoint notifications (one client per process). Loop locked.
  void SetEndpointClientLocked(IEndpointNotification* client);
  // Sessions by sink name (created on first use). Loop locked.
  std::shared_ptr<SessionState> SessionLocked(const std::string& sink);

 private:
  Connection();
  bool Connect();
  static void StateCallback(pa_context* c, void* self);
  static void SubscribeCallback(pa_context* c, pa_subscription_event_type_t t, uint32_t index, void* self);
  static void ServerInfoCallback(pa_context* c, const pa_server_info* info, void* self);
  static void SinkInfoCallback(pa_context* c, const pa_sink_info* info, int eol, void* self);
  static void SinkInputInfoCallback(pa_context* c, const pa_sink_input_info* info, int eol, void* self);

  pa_threaded_mainloop* m_loop = nullptr;
  pa_context* m_context = nullptr;
  bool m_loopStarted = false;

  std::mutex m_waitMutex;  // leaf lock of the bounded waits
  std::condition_variable m_waitCv;
  uint64_t m_generation = 0;  // bumped on every state change

  // Main loop locked:
  IEndpointNotification* m_endpointClient = nullptr;
  std::string m_defaultSink, m_defaultSource;
  bool m_defaultsKnown = false;
  std::map<uint32_t, std::string> m_sinks;  // index -> name, for removals
  std::map<std::string, std::shared_ptr<SessionState>> m_sessions;
};

// The endpoint of a sink info record.
EndpointPtr EndpointFromSinkInfo(const pa_sink_info& info);

}  // namespace kx::platform::audio::detail

namespace kx::platform::audio::detail {
// Bounded queries; false when the server did not answer.
bool ListSinks(Connection& c, const std::string& byName, std::vector<EndpointPtr>& out);
bool DefaultSinkName(Connection& c, std::string& name);
EndpointPtr DefaultEndpoint(Connection& c);
}  // namespace kx::platform::audio::detail
