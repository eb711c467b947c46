// The process's one connection to the sound server: a threaded main loop
// and a context, the waits for operations (always bounded), and the
// dispatch of server events to endpoint and session listeners.
#pragma once

#include <pulse/pulseaudio.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
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

// The program's volume is PulseAudio's own scale (what desktop mixers show
// as percent): 0.0 to 1.0 is 0 to PA_VOLUME_NORM.
pa_volume_t VolumeFromScalar(float volume);
float ScalarFromVolume(pa_volume_t volume);

// The volume state of our own stream on one sink. Touched only with the
// main loop locked.
struct SessionState {
  float volume = 1.0f;       // what the program asked for (or another program set)
  int64_t streamIndex = -1;  // sink input of our stream, -1 when none
  uint8_t channels = 0;
  // The stream's volume by our own knowledge: our latest request, or what
  // the server showed when no request of ours came after it; and the
  // context of whoever set it.
  std::optional<pa_volume_t> expected;
  GUID expectedContext{};
  uint64_t requests = 0;                 // volume requests of ours sent so far
  std::optional<pa_volume_t> delivered;  // the value the listeners heard last
  std::map<const void*, SessionVolume::Listener> listeners;
};

// A volume query in flight: what the stream's volume should be unless
// another program changed it. The server answers one connection's commands
// in order, so the answer shows our requests up to `requests` and whatever
// others did in between.
struct VolumeQuery {
  std::shared_ptr<SessionState> session;
  std::optional<pa_volume_t> expected;
  GUID context{};
  uint64_t requests = 0;
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
  // The same wait, ending early when `failed` (loop locked too) says yes.
  bool WaitFor(const std::function<bool()>& ready, const std::function<bool()>& failed);

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
  std::deque<VolumeQuery> m_volumeQueries;  // answered in order
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
