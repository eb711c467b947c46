#include <algorithm>
#include <cmath>

#include "connection.h"

namespace kx::platform::audio {

// The server measures the peak of each 20 ms of the sink's monitor.
static constexpr uint32_t kPeakRate = 50;

struct PeakMeter::Impl {
  std::shared_ptr<detail::Connection> connection;
  pa_stream* stream = nullptr;
  std::mutex mutex;  // leaf: the values below
  float latest = 0.0f;
  float sinceRead = 0.0f;
  bool fresh = false;

  static void StateCallback(pa_stream*, void* p) { static_cast<Impl*>(p)->connection->WakeAll(); }
  static void ReadCallback(pa_stream* s, size_t, void* p) {
    auto* self = static_cast<Impl*>(p);
    const void* data = nullptr;
    size_t bytes = 0;
    while (pa_stream_readable_size(s) > 0) {
      if (pa_stream_peek(s, &data, &bytes) < 0) return;
      if (bytes == 0) return;
      if (data) {
        const auto* v = static_cast<const float*>(data);
        std::lock_guard<std::mutex> g(self->mutex);
        for (size_t i = 0; i < bytes / sizeof(float); ++i) {
          const float peak = std::clamp(std::fabs(v[i]), 0.0f, 1.0f);
          self->latest = peak;
          self->sinceRead = self->fresh ? std::max(self->sinceRead, peak) : peak;
          self->fresh = true;
        }
      }
      pa_stream_drop(s);
    }
  }
};

PeakMeter::PeakMeter() : m_impl(std::make_shared<Impl>()) {}

PeakMeter::~PeakMeter() {
  Impl& d = *m_impl;
  if (!d.stream) return;
  detail::Connection::Locked lock(*d.connection);
  pa_stream_set_state_callback(d.stream, nullptr, nullptr);
  pa_stream_set_read_callback(d.stream, nullptr, nullptr);
  if (PA_STREAM_IS_GOOD(pa_stream_get_state(d.stream))) pa_stream_disconnect(d.stream);
  pa_stream_unref(d.stream);
  d.stream = nullptr;
}

HRESULT PeakMeter::Activate(const EndpointPtr& endpoint, std::unique_ptr<PeakMeter>& meter) {
  meter.reset();
  if (!endpoint) return E_POINTER;
  auto c = detail::Connection::Get();
  if (!c) return AUDCLNT_E_SERVICE_NOT_RUNNING;
  std::unique_ptr<PeakMeter> made(new PeakMeter());
  Impl& d = *made->m_impl;
  d.connection = c;
  {
    detail::Connection::Locked lock(*c);
    if (!c->AliveLocked()) return AUDCLNT_E_SERVICE_NOT_RUNNING;
    pa_sample_spec sampleSpec{PA_SAMPLE_FLOAT32LE, kPeakRate, 1};
    d.stream = pa_stream_new(c->Context(), "kxToneScope peak", &sampleSpec, nullptr);
    if (!d.stream) return E_FAIL;
    pa_stream_set_state_callback(d.stream, &Impl::StateCallback, &d);
    pa_stream_set_read_callback(d.stream, &Impl::ReadCallback, &d);
    pa_buffer_attr attr;
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = attr.prebuf = attr.minreq = static_cast<uint32_t>(-1);
    attr.fragsize = sizeof(float);
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_PEAK_DETECT | PA_STREAM_ADJUST_LATENCY |
                                                      PA_STREAM_DONT_MOVE | PA_STREAM_DONT_INHIBIT_AUTO_SUSPEND);
    if (pa_stream_connect_record(d.stream, endpoint->monitorSource.c_str(), &attr, flags) < 0) return E_FAIL;
  }
  pa_stream* stream = d.stream;
  const bool ready = c->WaitUntil([stream] {
    const pa_stream_state_t s = pa_stream_get_state(stream);
    return s == PA_STREAM_READY || !PA_STREAM_IS_GOOD(s);
  });
  bool ok;
  {
    detail::Connection::Locked lock(*c);
    ok = ready && pa_stream_get_state(stream) == PA_STREAM_READY;
  }
  if (!ok) return E_FAIL;  // the meter's destruction disconnects the stream
  meter = std::move(made);
  return S_OK;
}

HRESULT PeakMeter::GetPeakValue(float* peak) {
  if (!peak) return E_POINTER;
  Impl& d = *m_impl;
  *peak = 0.0f;
  {
    detail::Connection::Locked lock(*d.connection);
    if (!d.connection->AliveLocked() || pa_stream_get_state(d.stream) != PA_STREAM_READY)
      return AUDCLNT_E_DEVICE_INVALIDATED;
  }
  std::lock_guard<std::mutex> g(d.mutex);
  *peak = d.fresh ? d.sinceRead : d.latest;
  d.fresh = false;
  return S_OK;
}

}  // namespace kx::platform::audio
