// Shared-mode, event-driven playback on one endpoint, in the endpoint's own
// format; the volume of the program's own stream; the endpoint's peak meter.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/audio/core_audio.h"
#include "platform/sync.h"

namespace kx::platform::audio {

// A format handed out by GetMixFormat; frees itself.
struct FormatDeleter {
  void operator()(WAVEFORMATEX* format) const;
};
using FormatPtr = std::unique_ptr<WAVEFORMATEX, FormatDeleter>;

class AudioClient {
 public:
  // Creates a client for the endpoint (nothing is opened yet).
  static HRESULT Activate(const EndpointPtr& endpoint, std::unique_ptr<AudioClient>& client);
  ~AudioClient();  // stops and closes the stream
  AudioClient(const AudioClient&) = delete;
  AudioClient& operator=(const AudioClient&) = delete;

  // The endpoint's own format (WAVEFORMATEXTENSIBLE-sized when extensible).
  HRESULT GetMixFormat(FormatPtr& format);
  // S_OK when the format can be streamed as it is.
  HRESULT IsFormatSupported(const WAVEFORMATEX* format);
  // Default and minimum period in 100-ns units.
  HRESULT GetDevicePeriod(int64_t* defaultPeriod, int64_t* minimumPeriod);
  // Opens the stream (corked) with a buffer of at least `bufferDuration`
  // 100-ns units. Once started, each frame plays as soon as it is written
  // (no pre-roll); after running dry the stream resumes with the next one.
  // Event-driven: the event set with SetEventHandle is signalled whenever
  // the server wants data.
  HRESULT Initialize(int64_t bufferDuration, const WAVEFORMATEX* format);
  HRESULT SetEventHandle(Event* event);
  // Asks the server for a longer stream buffer of `bufferDuration` 100-ns
  // units (at most half a second; never shorter than Initialize's). Does not
  // wait: GetBufferSize tells the new size once the server has taken it.
  HRESULT SetBufferDuration(int64_t bufferDuration);
  HRESULT GetBufferSize(uint32_t* frames);
  // How long a frame written now takes to be heard: what the stream holds
  // plus the device's own latency, in 100-ns units (the server's timing,
  // interpolated between its updates). S_FALSE and 0 before the first update.
  HRESULT GetStreamLatency(int64_t* latency);
  // Frames written and not yet played.
  HRESULT GetCurrentPadding(uint32_t* frames);
  // A buffer of `frames` frames to fill; at most buffer size - padding.
  HRESULT GetBuffer(uint32_t frames, uint8_t** data);
  // Hands over the frames filled; with AUDCLNT_BUFFERFLAGS_SILENT silence
  // is played instead of the buffer's contents.
  HRESULT ReleaseBuffer(uint32_t frames, uint32_t flags);
  HRESULT Start();
  HRESULT Stop();

  // The server's index of our stream, or -1 before Initialize (for tools and tests).
  int64_t StreamIndex() const;
  // Underruns counted since Initialize.
  uint32_t UnderrunCount() const;

 private:
  AudioClient();
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

// The volume of the program's own stream on one endpoint. It may be created
// before the stream exists; a stream opened later on that endpoint takes the
// volume set here.
class SessionVolume {
 public:
  // Called on the audio system's thread; must not block.
  using Listener = std::function<void(float volume, bool mute, const GUID& eventContext)>;

  // Null endpoint: the default render endpoint.
  static HRESULT Create(const EndpointPtr& endpoint, std::unique_ptr<SessionVolume>& volume);
  ~SessionVolume();  // unregisters
  SessionVolume(const SessionVolume&) = delete;
  SessionVolume& operator=(const SessionVolume&) = delete;

  // 0.0 to 1.0 on PulseAudio's volume scale (1.0 is PA_VOLUME_NORM), so the
  // desktop mixer shows the same percent. Waits for the server's answer:
  // fails when it does not take the volume. Listeners hear every change of
  // the stream's volume once: a change the program makes carries its
  // context, a change by another program the null GUID.
  HRESULT SetMasterVolume(float volume, const GUID& eventContext);
  HRESULT GetMasterVolume(float* volume);
  // After Unregister returns no call is in progress and none follows.
  HRESULT RegisterNotification(Listener listener);
  HRESULT UnregisterNotification();
  // The server's index of the stream this volume applies to, or -1.
  int64_t StreamIndex() const;

 private:
  SessionVolume();
  struct Impl;
  std::shared_ptr<Impl> m_impl;
};

// The recent peak of what the endpoint plays.
class PeakMeter {
 public:
  static HRESULT Activate(const EndpointPtr& endpoint, std::unique_ptr<PeakMeter>& meter);
  ~PeakMeter();
  PeakMeter(const PeakMeter&) = delete;
  PeakMeter& operator=(const PeakMeter&) = delete;
  // 0.0 to 1.0: the highest peak since the previous call (or the latest one).
  HRESULT GetPeakValue(float* peak);

 private:
  PeakMeter();
  struct Impl;
  std::shared_ptr<Impl> m_impl;
};

}  // namespace kx::platform::audio
