// The program's single audio output: the list of render devices, the open
// shared-mode stream on the chosen one, the resampler from 48 kHz stereo
// float to the device's format, the FIFO that the decode thread fills and
// the render thread drains.
//
// Who calls what: the user-interface thread opens and closes the device and
// lists the devices; the decode thread holds the set-up lock for each audio
// chunk; the render thread (started and joined with the device) drains the
// FIFO into the stream and never takes the set-up lock; the view's render
// thread reads the meter. No lock is held across a call that waits for the
// sound server: the device is opened under m_csOpen alone and swapped in
// under the others. Every thread and the whole lock order: docs/threads.md.
//
// The render thread presents a picture only when it is newer than the last
// one it presented (by generation), and while nothing plays (no sound queued,
// none held back) it sleeps until the decode side writes again.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/settings_block.h"
#include "audio/av_fifo.h"
#include "audio/jitter_margin.h"
#include "audio/picture_presenter.h"
#include "audio/session_volume.h"
#include "kxSystem.h"
#include "media/audio_chunk.h"
#include "platform/audio/audio_client.h"
#include "platform/audio/endpoints.h"
#include "platform/sync.h"
#include "platform/thread.h"

struct SwrContext;

namespace kx {

using platform::audio::HRESULT;
// SetAudioDevice's result when the resampler cannot be set up.
inline constexpr HRESULT kResamplerFailed = -1;

// One choosable device: its display name and the endpoint.
struct CAudioDeviceItem {
  std::u16string name;
  platform::audio::EndpointPtr device;
};

class CAudioOutput {
 public:
  explicit CAudioOutput(const CSettingsBlock& settings);
  ~CAudioOutput();  // CloseDevice, then the session volume and the meter go
  CAudioOutput(const CAudioOutput&) = delete;
  CAudioOutput& operator=(const CAudioOutput&) = delete;

  // Rebuilds the list: "Default" first, then every active render device.
  void EnumDevices();
  void ClearDevices();
  // A copy of the list (taken under the client lock).
  std::vector<CAudioDeviceItem> Devices();

  // Opens the device: stream in its own format, FIFO, resampler, render
  // thread, meter and session volume. The device must not be null. Fails
  // (and leaves the device closed) when the render thread cannot be made.
  HRESULT SetAudioDevice(const platform::audio::EndpointPtr& device);
  // Stops the stream, joins the render thread, frees FIFO and resampler.
  void CloseDevice();

  // The main frame's device-list fill without the combo box: drops session
  // volume and meter, makes a session volume for the default device, lists
  // the devices, opens item `outputId` (the first item when there is no
  // such item) and applies `volume`. Returns the index opened, -1 when the
  // list is empty (nothing is opened then).
  int OpenConfiguredDevice(int outputId, float volume);

  // The decode side's lock (the set-up lock), held for each chunk: the
  // device's format, the resampler and the FIFO stay as they are meanwhile.
  platform::Lock& SetupLock() { return m_csSetup; }
  // With SetupLock() held: a device is open for the decode side to write to
  // (its resampler is set up).
  bool DeviceOpenLocked() const { return m_pSwr != nullptr; }
  // The format of the device last opened, also after a failed open (all
  // zero after a close); taken under the set-up lock.
  WAVEFORMATEX DeviceFormat();
  // Device frames waiting in the FIFO for the render thread.
  int QueuedFrames() { return m_fifo.Size(); }

  // The decode side's step for one chunk of 48 kHz stereo float: converts it
  // with the resampler and writes it with the picture, under the set-up lock.
  // Returns the device frames written (0 when no resampler is set up).
  int ConvertAndWrite(const float* stereo, int frames, const PictureRecord& picture);
  // The same step with m_csSetup already held (the decode thread holds it for
  // the whole chunk). No frames only drains what the resampler holds; the
  // picture is stored either way. Returns the device frames made, -1 when no
  // device is open or nothing could be converted.
  int ConvertAndWriteLocked(const float* stereo, int frames, const PictureRecord& picture);

  // The decode side's picture: into the FIFO while the render loop runs; with
  // no device playing (no sound server, no sink, a failed open) nobody drains
  // the FIFO, so it goes straight to the presenter. May be called with
  // m_csSetup held; takes m_csClient only when no render loop runs.
  void WritePicture(const PictureRecord& picture);

  // Where the render loop shows pictures (null: nowhere). Taken under m_csClient.
  void SetPresenter(IPicturePresenter* presenter);
  // Where a volume change by another program is reported (the frame's queued call).
  void SetSessionVolumeNotify(SessionVolumeNotify notify);

  // The session volume of the open device, 0.0 to 1.0 on PulseAudio's
  // scale (the desktop mixer's percent): false when there is none (then
  // nothing changes) or the sound server does not take it.
  bool SetSessionVolume(float volume);
  bool HasSessionVolume();
  int64_t SessionStreamIndex();
  // The meter of the open device: 0.0 to 1.0; 0 when there is none.
  float GetPeakValue();

  bool RenderThreadRunning();
  // Wake-ups of the render loop since the device opened (for tests).
  uint64_t RenderWakeUps() const { return m_nRenderWakeUps.load(std::memory_order_relaxed); }
  bool Started() const { return m_bStarted.load(); }
  // Times the open device ran out of audio while it played (the server's
  // underflow reports) since it was opened; 0 when no device is open.
  uint32_t UnderrunCount();
  // The median time from ConvertAndWrite to the sound being heard, in ms,
  // over the render loop's writes since the device opened (the FIFO, the
  // stream and the device); -1 before any.
  int OutputLatencyMs();

 private:
  friend class CAudioOutputTestAccess;  // tests/support/audio_output_test_access.h

  static uint32_t RenderThreadProc(CAudioOutput* self);
  // One wake-up; returns the new jitter margin in ms when a late chunk raised it, else 0.
  int RenderOnce();
  // The stream's buffer grows to hold the margin and the largest chunk; true when it was asked to.
  bool KeepMarginInStream();
  // Samples the latency after a write (render thread, m_csClient held).
  void NoteLatency(int framesLeftInFifo);
  HRESULT SetAudioDeviceLocked(const platform::audio::EndpointPtr& device);  // m_csOpen held
  HRESULT OpenLocked(const platform::audio::EndpointPtr& device, const WAVEFORMATEXTENSIBLE& deviceFormat);
  void CloseDeviceLocked();  // m_csOpen held
  // The device conversion into m_convertBuffer (m_csSetup held): device frames made, negative on failure.
  int ConvertLocked(const float* stereo, int frames);
  SwrContext* MakeResampler(const WAVEFORMATEX* format);
  void ReplaceSessionVolume(const platform::audio::EndpointPtr& device);
  void DropSessionVolumeAndMeter();

  const CSettingsBlock& m_settings;

  // Under m_csOpen, the user-interface thread's lock: opening and closing.
  platform::Lock m_csOpen;
  std::thread m_renderThread;
  // Atomics and the sound server's wake-up event.
  platform::Event m_hBufferEvent{platform::Event::Mode::Auto};
  std::atomic<bool> m_bStarted{false};
  std::atomic<bool> m_bRun{false};

  // Under m_csSetup: what the decode side converts with (swapped in with
  // m_csClient held too when a device opens or closes).
  platform::Lock m_csSetup;
  SwrContext* m_pSwr = nullptr;
  WAVEFORMATEX m_wfx{};
  int32_t m_nDeviceChannels = 0;
  CSampleBuffer m_convertBuffer;
  // Locked on its own (the FIFO's lock, inside m_csSetup and m_csClient):
  // the decode side writes, the render thread reads.
  CAVFifo m_fifo;

  // Under m_csClient: the open stream and what goes with it.
  platform::Lock m_csClient;
  platform::audio::EndpointPtr m_pDevice;
  std::unique_ptr<platform::audio::AudioClient> m_spAudioClient;
  bool m_bRenderClient = false;
  std::vector<CAudioDeviceItem> m_devices;
  IPicturePresenter* m_pPresenter = nullptr;
  // The render thread's own (set before it starts, under m_csClient).
  CJitterMargin m_margin;
  uint32_t m_nSeenUnderruns = 0;
  int m_streamTargetMs = 0;  // what the stream's buffer was last asked to hold
  std::array<uint32_t, 1001> m_latencyMs{};  // how often each latency was seen; the last bin is 1 s or more
  uint64_t m_nPresentedGeneration = 0;  // the newest picture presented
  bool m_bNothingPlays = false;  // the last wake-up found no sound to play or hold
  std::atomic<uint64_t> m_nRenderWakeUps{0};

  // Under m_csSession, a leaf: the view's render thread reads the meter.
  platform::Lock m_csSession;
  SessionVolumeNotify m_notifyVolume;
  std::shared_ptr<CAudioSessionVolume> m_pSessionVolume;
  std::shared_ptr<platform::audio::PeakMeter> m_pAudioMeter;
};

}  // namespace kx
