#include "platform/audio/audio_client.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <pulse/rtclock.h>

#include "connection.h"
#include "format.h"

namespace kx::platform::audio {

// Stream buffer, found by measurement on the loaded two-core test machine
// (a live source of 10 ms chunks, each setting soaked side by side): the
// server asks for data every 5 ms (minreq) and keeps a target of 30 ms
// (tlength; the server makes it 20 ms in the stream and asks the sink for
// 10 ms). A 10 ms request underran even with a 40 ms target, and 5 ms with
// a 20 ms target underran several times a minute. Targets of 45 ms and
// more ask the sink for a longer period than it runs at, and a stream fed
// just in time then reports running dry at nearly every sink period.
static constexpr uint32_t kMinRequestUsec = 5'000;
static constexpr uint32_t kTargetLengthUsec = 30'000;
// The engine's period: the render loop's wake-up when the server asks for nothing.
static constexpr uint32_t kPeriodUsec = 10'000;
// Playback starts with the first frame written and, after running dry,
// resumes with the first frame that comes back: no pre-roll, nothing
// dropped. A start threshold of 0 would not do: the server then reads
// silence from an empty stream and moves its read position past what was
// written, so every later write lands behind it and is thrown away (a
// stream started before its first data never sounds).
static constexpr uint32_t kStartThresholdFrames = 1;
// The longest stream buffer SetBufferDuration asks for; the write buffer is
// made this long at Initialize, so a longer stream never moves it.
static constexpr uint32_t kMaxTargetLengthUsec = 500'000;

void FormatDeleter::operator()(WAVEFORMATEX* format) const { std::free(format); }

struct AudioClient::Impl {
  std::shared_ptr<detail::Connection> connection;
  EndpointPtr endpoint;
  pa_stream* stream = nullptr;
  pa_sample_spec sampleSpec{};
  size_t frameSize = 0;
  uint32_t bufferFrames = 0;
  std::vector<uint8_t> buffer;
  uint32_t bufferCapacity = 0;  // frames the write buffer holds
  uint64_t askedUsec = 0;       // the stream buffer last asked for
  // The last buffer change still unanswered: its answer points at this object,
  // so it is cancelled before the object goes (a stalled server answers late).
  pa_operation* resize = nullptr;
  uint32_t pendingFrames = 0;  // handed out by GetBuffer, not released
  bool pendingBuffer = false;
  Event* event = nullptr;  // loop locked
  std::shared_ptr<detail::SessionState> session;
  std::atomic<uint32_t> underruns{0};
  std::atomic<int64_t> index{-1};
  bool started = false;
  pa_time_event* period = nullptr;  // loop locked

  // The engine's period: the buffer event is signalled every period while
  // the stream runs, whether or not the server asked for data.
  static void PeriodCallback(pa_mainloop_api*, pa_time_event* e, const struct timeval*, void* p) {
    auto* self = static_cast<Impl*>(p);
    if (self->event) self->event->Set();
    pa_context_rttime_restart(self->connection->Context(), e, pa_rtclock_now() + kPeriodUsec);
  }
  void StopPeriodLocked() {
    if (!period) return;
    pa_threaded_mainloop_get_api(connection->Loop())->time_free(period);
    period = nullptr;
  }

  static void StateCallback(pa_stream*, void* p) { static_cast<Impl*>(p)->connection->WakeAll(); }
  static void WriteCallback(pa_stream*, size_t, void* p) {
    auto* self = static_cast<Impl*>(p);
    if (self->event) self->event->Set();
  }
  static void UnderflowCallback(pa_stream*, void* p) {
    static_cast<Impl*>(p)->underruns.fetch_add(1, std::memory_order_relaxed);
  }

  // The stream's buffer for a target of `targetUsec`.
  pa_buffer_attr BufferAttr(uint64_t targetUsec) const {
    pa_buffer_attr attr;
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = static_cast<uint32_t>(pa_usec_to_bytes(targetUsec, &sampleSpec));
    attr.prebuf = static_cast<uint32_t>(kStartThresholdFrames * frameSize);
    attr.minreq = static_cast<uint32_t>(pa_usec_to_bytes(kMinRequestUsec, &sampleSpec));
    attr.fragsize = static_cast<uint32_t>(-1);
    return attr;
  }

  // Loop locked.
  bool ReadyLocked() const {
    return stream && connection->AliveLocked() && pa_stream_get_state(stream) == PA_STREAM_READY;
  }

  HRESULT Cork(bool cork) {
    struct Op : detail::Connection::Pending {
      detail::Connection* c = nullptr;
      bool ok = false;
    } q;
    q.c = connection.get();
    pa_operation* op = nullptr;
    {
      detail::Connection::Locked lock(*connection);
      if (!ReadyLocked()) return AUDCLNT_E_DEVICE_INVALIDATED;
      op = pa_stream_cork(
          stream, cork ? 1 : 0,
          [](pa_stream*, int success, void* p) {
            auto* q = static_cast<Op*>(p);
            q->ok = success != 0;
            q->c->Complete(*q);
          },
          &q);
      if (!op) return E_FAIL;
    }
    const bool done = connection->Wait(q, op);
    detail::Connection::Locked lock(*connection);
    pa_operation_unref(op);
    return done && q.ok ? S_OK : AUDCLNT_E_DEVICE_INVALIDATED;
  }

  void DropResizeLocked() {
    if (!resize) return;
    if (pa_operation_get_state(resize) == PA_OPERATION_RUNNING) pa_operation_cancel(resize);
    pa_operation_unref(resize);
    resize = nullptr;
  }

  void Close() {
    if (!stream) return;
    {
      detail::Connection::Locked lock(*connection);
      DropResizeLocked();
      pa_stream_set_state_callback(stream, nullptr, nullptr);
      pa_stream_set_write_callback(stream, nullptr, nullptr);
      pa_stream_set_underflow_callback(stream, nullptr, nullptr);
      StopPeriodLocked();
      if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) pa_stream_disconnect(stream);
      pa_stream_unref(stream);
      stream = nullptr;
      if (session && session->streamIndex == index.load()) {
        session->streamIndex = -1;
        session->expected.reset();
        session->delivered.reset();
      }
    }
    index = -1;
  }
};

AudioClient::AudioClient() : m_impl(std::make_unique<Impl>()) {}

AudioClient::~AudioClient() { m_impl->Close(); }

HRESULT AudioClient::Activate(const EndpointPtr& endpoint, std::unique_ptr<AudioClient>& client) {
  client.reset();
  if (!endpoint) return E_POINTER;
  auto c = detail::Connection::Get();
  if (!c) return AUDCLNT_E_SERVICE_NOT_RUNNING;
  std::unique_ptr<AudioClient> made(new AudioClient());
  made->m_impl->connection = std::move(c);
  made->m_impl->endpoint = endpoint;
  client = std::move(made);
  return S_OK;
}

HRESULT AudioClient::GetMixFormat(FormatPtr& format) {
  // Shared mode mixes in the device's own format.
  const size_t size = detail::FormatSize(&m_impl->endpoint->format.Format);
  auto* f = static_cast<WAVEFORMATEX*>(std::malloc(sizeof(WAVEFORMATEXTENSIBLE)));
  if (!f) return E_OUTOFMEMORY;
  std::memset(f, 0, sizeof(WAVEFORMATEXTENSIBLE));
  std::memcpy(f, &m_impl->endpoint->format, size);
  format.reset(f);
  return S_OK;
}

HRESULT AudioClient::IsFormatSupported(const WAVEFORMATEX* format) {
  pa_sample_spec sampleSpec;
  return detail::SampleSpecFromFormat(format, sampleSpec) ? S_OK : AUDCLNT_E_UNSUPPORTED_FORMAT;
}

HRESULT AudioClient::GetDevicePeriod(int64_t* defaultPeriod, int64_t* minimumPeriod) {
  if (defaultPeriod) *defaultPeriod = kPeriodUsec * 10;
  if (minimumPeriod) *minimumPeriod = kPeriodUsec * 10;
  return S_OK;
}

HRESULT AudioClient::Initialize(int64_t bufferDuration, const WAVEFORMATEX* format) {
  Impl& d = *m_impl;
  if (d.stream) return AUDCLNT_E_ALREADY_INITIALIZED;
  if (!format) return E_POINTER;
  if (!detail::SampleSpecFromFormat(format, d.sampleSpec)) return AUDCLNT_E_UNSUPPORTED_FORMAT;
  d.frameSize = pa_frame_size(&d.sampleSpec);
  const pa_channel_map map = detail::ChannelMapFor(*d.endpoint, d.sampleSpec.channels);
  const uint64_t asked = bufferDuration > 0 ? static_cast<uint64_t>(bufferDuration) / 10 : kPeriodUsec;
  const uint64_t target = asked > kTargetLengthUsec ? asked : kTargetLengthUsec;

  {
    detail::Connection::Locked lock(*d.connection);
    if (!d.connection->AliveLocked()) return AUDCLNT_E_SERVICE_NOT_RUNNING;
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "video");
    d.stream = pa_stream_new_with_proplist(d.connection->Context(), "kxToneScope playback", &d.sampleSpec, &map, props);
    pa_proplist_free(props);
    if (!d.stream) return E_FAIL;
    pa_stream_set_state_callback(d.stream, &Impl::StateCallback, &d);
    pa_stream_set_write_callback(d.stream, &Impl::WriteCallback, &d);
    pa_stream_set_underflow_callback(d.stream, &Impl::UnderflowCallback, &d);

    const pa_buffer_attr attr = d.BufferAttr(target);

    d.session = d.connection->SessionLocked(d.endpoint->id);
    pa_cvolume volume;
    pa_cvolume_set(&volume, d.sampleSpec.channels, detail::VolumeFromScalar(d.session->volume));
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE | PA_STREAM_NO_REMIX_CHANNELS |
        PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);
    if (pa_stream_connect_playback(d.stream, d.endpoint->id.c_str(), &attr, flags, &volume, nullptr) < 0) {
      d.session.reset();
      return E_FAIL;
    }
  }

  // Wait for the stream to be ready (bounded).
  pa_stream* stream = d.stream;
  const bool ready = d.connection->WaitUntil([stream] {
    const pa_stream_state_t s = pa_stream_get_state(stream);
    return s == PA_STREAM_READY || !PA_STREAM_IS_GOOD(s);
  });
  bool ok;
  {
    detail::Connection::Locked lock(*d.connection);
    ok = ready && d.ReadyLocked();
    if (ok) {
      const pa_buffer_attr* a = pa_stream_get_buffer_attr(d.stream);
      d.bufferFrames = a ? static_cast<uint32_t>(a->tlength / d.frameSize) : 0;
      d.bufferCapacity = std::max<uint32_t>(
          d.bufferFrames, static_cast<uint32_t>(pa_usec_to_bytes(kMaxTargetLengthUsec, &d.sampleSpec) / d.frameSize));
      d.buffer.assign(static_cast<size_t>(d.bufferCapacity) * d.frameSize, 0);
      d.askedUsec = target;
      d.index = static_cast<int64_t>(pa_stream_get_index(d.stream));
      d.session->streamIndex = d.index;
      d.session->channels = d.sampleSpec.channels;
      d.session->expected = detail::VolumeFromScalar(d.session->volume);
      d.session->expectedContext = kNullGuid;
      d.session->delivered = d.session->expected;
      ok = d.bufferFrames > 0;
    }
  }
  if (!ok) {
    d.Close();
    d.session.reset();
    return AUDCLNT_E_DEVICE_INVALIDATED;
  }
  return S_OK;
}

HRESULT AudioClient::SetEventHandle(Event* event) {
  if (!event) return E_INVALIDARG;
  detail::Connection::Locked lock(*m_impl->connection);
  if (!m_impl->stream) return AUDCLNT_E_NOT_INITIALIZED;
  m_impl->event = event;
  return S_OK;
}

HRESULT AudioClient::SetBufferDuration(int64_t bufferDuration) {
  Impl& d = *m_impl;
  detail::Connection::Locked lock(*d.connection);
  if (!d.stream) return AUDCLNT_E_NOT_INITIALIZED;
  if (!d.ReadyLocked()) return AUDCLNT_E_DEVICE_INVALIDATED;
  const uint64_t asked = std::min<uint64_t>(bufferDuration > 0 ? static_cast<uint64_t>(bufferDuration) / 10 : 0,
                                            kMaxTargetLengthUsec);
  if (asked <= d.askedUsec) return S_FALSE;
  d.askedUsec = asked;
  const pa_buffer_attr attr = d.BufferAttr(asked);
  // The answer comes on the server's thread; the render side sees the new
  // size at its next GetBufferSize.
  pa_operation* op = pa_stream_set_buffer_attr(
      d.stream, &attr,
      [](pa_stream* stream, int success, void* p) {
        auto* self = static_cast<Impl*>(p);
        const pa_buffer_attr* a = success ? pa_stream_get_buffer_attr(stream) : nullptr;
        if (a && self->frameSize > 0)
          self->bufferFrames = std::min<uint32_t>(static_cast<uint32_t>(a->tlength / self->frameSize), self->bufferCapacity);
      },
      &d);
  if (!op) return E_FAIL;
  d.DropResizeLocked();  // the newer answer tells the size
  d.resize = op;
  return S_OK;
}

HRESULT AudioClient::GetStreamLatency(int64_t* latency) {
  if (!latency) return E_POINTER;
  *latency = 0;
  Impl& d = *m_impl;
  detail::Connection::Locked lock(*d.connection);
  if (!d.stream) return AUDCLNT_E_NOT_INITIALIZED;
  if (!d.ReadyLocked()) return AUDCLNT_E_DEVICE_INVALIDATED;
  pa_usec_t usec = 0;
  int negative = 0;
  // A playback latency of zero is the library's clamp when its interpolated
  // clock ran past what was written (a silent start, a stream waiting to
  // refill), not a latency: unknown until the next timing update.
  if (pa_stream_get_latency(d.stream, &usec, &negative) < 0 || negative || usec == 0) return S_FALSE;
  *latency = static_cast<int64_t>(usec) * 10;
  return S_OK;
}

HRESULT AudioClient::GetBufferSize(uint32_t* frames) {
  if (!frames) return E_POINTER;
  detail::Connection::Locked lock(*m_impl->connection);
  if (!m_impl->stream) return AUDCLNT_E_NOT_INITIALIZED;
  if (!m_impl->ReadyLocked()) return AUDCLNT_E_DEVICE_INVALIDATED;
  *frames = m_impl->bufferFrames;
  return S_OK;
}

HRESULT AudioClient::GetCurrentPadding(uint32_t* frames) {
  if (!frames) return E_POINTER;
  Impl& d = *m_impl;
  detail::Connection::Locked lock(*d.connection);
  if (!d.stream) return AUDCLNT_E_NOT_INITIALIZED;
  if (!d.ReadyLocked()) return AUDCLNT_E_DEVICE_INVALIDATED;
  const size_t writable = pa_stream_writable_size(d.stream);
  if (writable == static_cast<size_t>(-1)) return AUDCLNT_E_DEVICE_INVALIDATED;
  const size_t free = writable / d.frameSize;
  *frames = free >= d.bufferFrames ? 0 : d.bufferFrames - static_cast<uint32_t>(free);
  return S_OK;
}

HRESULT AudioClient::GetBuffer(uint32_t frames, uint8_t** data) {
  if (!data) return E_POINTER;
  *data = nullptr;
  Impl& d = *m_impl;
  detail::Connection::Locked lock(*d.connection);
  if (!d.stream) return AUDCLNT_E_NOT_INITIALIZED;
  if (d.pendingBuffer) return AUDCLNT_E_OUT_OF_ORDER;
  if (!d.ReadyLocked()) return AUDCLNT_E_DEVICE_INVALIDATED;
  const size_t writable = pa_stream_writable_size(d.stream);
  if (writable == static_cast<size_t>(-1)) return AUDCLNT_E_DEVICE_INVALIDATED;
  const size_t free = std::min<size_t>(writable / d.frameSize, d.bufferFrames);
  if (frames > free) return AUDCLNT_E_BUFFER_TOO_LARGE;
  d.pendingFrames = frames;
  d.pendingBuffer = true;
  *data = d.buffer.data();
  return S_OK;
}

HRESULT AudioClient::ReleaseBuffer(uint32_t frames, uint32_t flags) {
  Impl& d = *m_impl;
  detail::Connection::Locked lock(*d.connection);
  if (!d.stream) return AUDCLNT_E_NOT_INITIALIZED;
  if (!d.pendingBuffer) return AUDCLNT_E_OUT_OF_ORDER;
  d.pendingBuffer = false;
  if (frames > d.pendingFrames) return E_INVALIDARG;
  if (frames == 0) return S_OK;
  const size_t bytes = static_cast<size_t>(frames) * d.frameSize;
  if (flags & AUDCLNT_BUFFERFLAGS_SILENT) std::memset(d.buffer.data(), d.sampleSpec.format == PA_SAMPLE_U8 ? 0x80 : 0, bytes);
  if (!d.ReadyLocked()) return AUDCLNT_E_DEVICE_INVALIDATED;
  // The server copies the frames; the buffer is ours again at once.
  if (pa_stream_write(d.stream, d.buffer.data(), bytes, nullptr, 0, PA_SEEK_RELATIVE) < 0)
    return AUDCLNT_E_DEVICE_INVALIDATED;
  return S_OK;
}

HRESULT AudioClient::Start() {
  if (!m_impl->stream) return AUDCLNT_E_NOT_INITIALIZED;
  if (m_impl->started) return AUDCLNT_E_NOT_STOPPED;
  const HRESULT hr = m_impl->Cork(false);
  if (Succeeded(hr)) {
    m_impl->started = true;
    detail::Connection::Locked lock(*m_impl->connection);
    if (!m_impl->period && m_impl->connection->AliveLocked())
      m_impl->period = pa_context_rttime_new(m_impl->connection->Context(), pa_rtclock_now() + kPeriodUsec,
                                             &Impl::PeriodCallback, m_impl.get());
  }
  return hr;
}

HRESULT AudioClient::Stop() {
  if (!m_impl->stream) return AUDCLNT_E_NOT_INITIALIZED;
  if (!m_impl->started) return S_FALSE;
  {
    detail::Connection::Locked lock(*m_impl->connection);
    m_impl->StopPeriodLocked();
  }
  const HRESULT hr = m_impl->Cork(true);
  m_impl->started = false;
  return hr;
}

int64_t AudioClient::StreamIndex() const { return m_impl->index.load(); }
uint32_t AudioClient::UnderrunCount() const { return m_impl->underruns.load(std::memory_order_relaxed); }

}  // namespace kx::platform::audio
