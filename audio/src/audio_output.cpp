#include "audio/audio_output.h"

#include <pthread.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <system_error>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

#include "common/app_log.h"
#include "platform/debug_output.h"

namespace kx {

using namespace platform::audio;

namespace {

constexpr int64_t kBufferDuration = 100'000;  // 10 ms in 100-ns units
constexpr auto kRenderWait = platform::Millis(10);
// The stream's buffer holds the largest chunk, the margin and this much more.
constexpr int kStreamAboveMarginMs = 10;

std::string FormatLine(const WAVEFORMATEX& f) {
  char line[128];
  std::snprintf(line, sizeof line, "wBitsPerSample = %d, nSamplesPerSec = %d, nChannels = %d", f.wBitsPerSample,
                static_cast<int>(f.nSamplesPerSec), f.nChannels);
  return line;
}

}  // namespace

CAudioOutput::CAudioOutput(const CSettingsBlock& settings) : m_settings(settings) {}

CAudioOutput::~CAudioOutput() {
  CloseDevice();
  DropSessionVolumeAndMeter();
}

void CAudioOutput::ClearDevices() {
  platform::LockGuard g(m_csClient);
  m_devices.clear();
}

void CAudioOutput::EnumDevices() {
  ClearDevices();
  // Ask the audio system first: the render thread's wake-ups need m_csClient.
  EndpointEnumerator enumerator;
  EndpointPtr defaultDevice;
  if (Failed(enumerator.GetDefaultAudioEndpoint(defaultDevice)) || !defaultDevice) return;
  std::vector<EndpointPtr> endpoints;
  enumerator.EnumAudioEndpoints(endpoints);
  platform::LockGuard g(m_csClient);
  m_devices.push_back({u"Default", defaultDevice});
  for (const auto& e : endpoints) {
    if (!e || e->friendlyName.empty()) continue;
    m_devices.push_back({e->friendlyName, e});
  }
}

std::vector<CAudioDeviceItem> CAudioOutput::Devices() {
  platform::LockGuard g(m_csClient);
  return m_devices;
}

void CAudioOutput::DropSessionVolumeAndMeter() {
  std::shared_ptr<CAudioSessionVolume> volume;
  std::shared_ptr<PeakMeter> meter;
  {
    platform::LockGuard g(m_csSession);
    volume = std::move(m_pSessionVolume);
    meter = std::move(m_pAudioMeter);
  }
  // Released here, outside the lock the view's render thread takes.
}

void CAudioOutput::ReplaceSessionVolume(const EndpointPtr& device) {
  SessionVolumeNotify notify;
  std::shared_ptr<CAudioSessionVolume> old;
  {
    platform::LockGuard g(m_csSession);
    notify = m_notifyVolume;
    old = std::move(m_pSessionVolume);
  }
  old.reset();
  // Asking the server may take long: made outside the lock, then put in.
  std::unique_ptr<CAudioSessionVolume> made;
  if (Succeeded(CAudioSessionVolume::CreateInstance(std::move(notify), made, device))) made->EnableNotifications();
  platform::LockGuard g(m_csSession);
  m_pSessionVolume = std::move(made);
}

SwrContext* CAudioOutput::MakeResampler(const WAVEFORMATEX* format) {
  SwrContext* swr = swr_alloc();
  if (!swr) return nullptr;
  const auto outFormat = static_cast<AVSampleFormat>(CA2SWR_format(format));
  const int64_t mask = CA2SWR_chlayout(format->nChannels);
  AVChannelLayout inLayout = AV_CHANNEL_LAYOUT_STEREO;
  AVChannelLayout outLayout{};
  if (mask > 0)
    av_channel_layout_from_mask(&outLayout, static_cast<uint64_t>(mask));
  else
    av_channel_layout_default(&outLayout, format->nChannels);  // no mapped layout: the usual one
  av_opt_set_chlayout(swr, "in_chlayout", &inLayout, 0);
  av_opt_set_chlayout(swr, "out_chlayout", &outLayout, 0);
  av_opt_set_int(swr, "in_sample_rate", 48000, 0);
  av_opt_set_int(swr, "out_sample_rate", format->nSamplesPerSec, 0);
  av_opt_set_sample_fmt(swr, "in_sample_fmt", AV_SAMPLE_FMT_FLT, 0);
  av_opt_set_sample_fmt(swr, "out_sample_fmt", outFormat, 0);
  av_channel_layout_uninit(&outLayout);
  swr_init(swr);
  if (!swr_is_initialized(swr)) {
    platform::DebugOutput(std::string_view("Resampler has not been properly initialized\n"));
    swr_free(&swr);
    return nullptr;
  }
  return swr;
}

HRESULT CAudioOutput::SetAudioDevice(const EndpointPtr& device) {
  if (!device) return E_POINTER;
  platform::LockGuard open(m_csOpen);
  return SetAudioDeviceLocked(device);
}

HRESULT CAudioOutput::SetAudioDeviceLocked(const EndpointPtr& device) {
  ReplaceSessionVolume(device);

  const WAVEFORMATEXTENSIBLE deviceFormat = device->format;
  std::shared_ptr<PeakMeter> oldMeter;
  {
    platform::LockGuard g(m_csSession);
    oldMeter = std::move(m_pAudioMeter);
  }
  oldMeter.reset();  // outside the lock the view's render thread takes

  LogInfo(u"====== SetAudioDevice ======");
  LogInfo(device->friendlyName);
  LogInfo(u"Свойства аудиоустройства по умолчанию: ");
  LogInfo(FormatLine(deviceFormat.Format));

  CloseDeviceLocked();
  {
    platform::LockGuard setup(m_csSetup);
    m_nDeviceChannels = deviceFormat.Format.nChannels;
  }

  const HRESULT hr = OpenLocked(device, deviceFormat);

  // The meter follows the open device, also when its stream did not start.
  EndpointPtr opened;
  {
    platform::LockGuard client(m_csClient);
    opened = m_pDevice;
  }
  if (hr != kResamplerFailed && opened) {
    std::unique_ptr<PeakMeter> meter;
    if (Succeeded(PeakMeter::Activate(opened, meter))) {
      platform::LockGuard g(m_csSession);
      m_pAudioMeter = std::move(meter);
    }
  }
  return hr;
}

// Everything that waits for the server is done on a client of our own; the
// decode and render sides see the device only once it is ready.
HRESULT CAudioOutput::OpenLocked(const EndpointPtr& device, const WAVEFORMATEXTENSIBLE& deviceFormat) {
  {
    platform::LockGuard client(m_csClient);
    m_pDevice = device;
  }
  std::unique_ptr<AudioClient> client;
  HRESULT hr = AudioClient::Activate(device, client);
  if (Failed(hr)) return hr;

  FormatPtr format;  // freed on every path
  hr = client->GetMixFormat(format);
  if (Failed(hr) || !format) return Failed(hr) ? hr : E_FAIL;
  LogInfo(u"Запрашиваем m_spAudioClient->GetMixFormat(&pwfx); для этого устройства");
  LogInfo(FormatLine(*format));

  // The stream uses the device's own format, extensible part included.
  std::memcpy(format.get(), &deviceFormat, sizeof(WAVEFORMATEXTENSIBLE));
  client->IsFormatSupported(format.get());

  SwrContext* swr = MakeResampler(format.get());
  if (!swr) {
    platform::LockGuard setup(m_csSetup);
    m_wfx = *format;
    return kResamplerFailed;
  }

  int64_t defaultPeriod = 0, minimumPeriod = 0;
  client->GetDevicePeriod(&defaultPeriod, &minimumPeriod);
  hr = client->Initialize(kBufferDuration, format.get());
  if (Succeeded(hr)) {
    m_hBufferEvent.Reset();
    hr = client->SetEventHandle(&m_hBufferEvent);
  }
  uint32_t bufferFrames = 0;
  if (Succeeded(hr)) hr = client->GetBufferSize(&bufferFrames);
  bool started = false;
  if (Succeeded(hr)) {
    hr = client->Start();
    started = Succeeded(hr);
  }
  if (Failed(hr)) {
    // Nobody will read a FIFO for this device: the decode side drops its audio.
    swr_free(&swr);
    platform::LockGuard setup(m_csSetup);
    m_wfx = *format;
    return hr;
  }

  {
    platform::LockGuard setup(m_csSetup);
    platform::LockGuard lock(m_csClient);
    m_wfx = *format;
    m_fifo.Init(m_wfx.nChannels, m_wfx.wBitsPerSample, static_cast<int>(m_wfx.nSamplesPerSec));
    m_margin.Reset(static_cast<int>(m_wfx.nSamplesPerSec));
    m_nSeenUnderruns = 0;
    m_streamTargetMs = 0;
    m_latencyMs.fill(0);
    m_pSwr = swr;
    m_spAudioClient = std::move(client);
    m_bRenderClient = true;
    m_bStarted = started;
  }
  m_bRun = true;
  try {
    m_renderThread = std::thread(&CAudioOutput::RenderThreadProc, this);
  } catch (const std::system_error&) {
    // No thread to drain the FIFO: the device stays closed.
    m_bRun = false;
    CloseDeviceLocked();
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

void CAudioOutput::CloseDevice() {
  platform::LockGuard open(m_csOpen);
  CloseDeviceLocked();
}

void CAudioOutput::CloseDeviceLocked() {
  m_bRun = false;
  m_fifo.WriteSignal().Set();  // a render thread asleep while nothing plays
  if (m_renderThread.joinable()) m_renderThread.join();
  std::unique_ptr<AudioClient> client;
  {
    platform::LockGuard setup(m_csSetup);
    platform::LockGuard lock(m_csClient);
    client = std::move(m_spAudioClient);
    m_bRenderClient = false;
    m_pDevice.reset();
    m_wfx = WAVEFORMATEX{};
    m_fifo.Free();
    swr_free(&m_pSwr);
  }
  // Stopping waits for the server: no lock of the decode or render side is held.
  if (client && m_bStarted) client->Stop();
  m_bStarted = false;
  // Every time the device ran dry counts, a stopped preview's too; crackling
  // sound with many more of them than previews stopped shows in the log.
  const uint32_t underruns = client ? client->UnderrunCount() : 0;
  if (underruns > 0) {
    char line[64];
    std::snprintf(line, sizeof line, "Audio output underruns: %u", underruns);
    LogInfo(std::string_view(line));
  }
}

int CAudioOutput::OpenConfiguredDevice(int outputId, float volume) {
  platform::LockGuard open(m_csOpen);
  DropSessionVolumeAndMeter();
  ClearDevices();
  ReplaceSessionVolume(nullptr);
  EnumDevices();
  const std::vector<CAudioDeviceItem> devices = Devices();
  if (devices.empty()) return -1;
  const int index = outputId >= 0 && outputId < static_cast<int>(devices.size()) ? outputId : 0;
  SetAudioDeviceLocked(devices[index].device);
  SetSessionVolume(volume);
  return index;
}

WAVEFORMATEX CAudioOutput::DeviceFormat() {
  platform::LockGuard setup(m_csSetup);
  return m_wfx;
}

int CAudioOutput::ConvertAndWrite(const float* stereo, int frames, const PictureRecord& picture) {
  platform::LockGuard setup(m_csSetup);
  if (!m_pSwr || !swr_is_initialized(m_pSwr) || !stereo || frames <= 0) return 0;
  const int n = ConvertLocked(stereo, frames);
  if (n <= 0) return 0;
  return m_fifo.Write(m_convertBuffer.Data(), n, picture);
}

int CAudioOutput::ConvertAndWriteLocked(const float* stereo, int frames, const PictureRecord& picture) {
  const int n = ConvertLocked(stereo, frames);
  if (n < 0) return -1;
  m_fifo.Write(m_convertBuffer.Data(), n, picture);
  return n;
}

int CAudioOutput::ConvertLocked(const float* stereo, int frames) {
  // Into a buffer kept while the device is open.
  const int n = ConvertForDevice(m_pSwr, static_cast<int>(m_wfx.nSamplesPerSec), m_nDeviceChannels, stereo, frames,
                                 m_convertBuffer);
  if (n > 0 && m_wfx.wBitsPerSample == 24)
    PackS32ToS24(m_convertBuffer.Data(), static_cast<size_t>(n) * static_cast<size_t>(m_nDeviceChannels));
  return n;
}

void CAudioOutput::WritePicture(const PictureRecord& picture) {
  if (m_bRun) {
    m_fifo.WritePicture(picture);  // the render loop shows it with its chunk
    return;
  }
  platform::LockGuard client(m_csClient);
  if (m_bRenderClient) {
    m_fifo.WritePicture(picture);  // a device just opening or closing
    return;
  }
  if (!picture.Empty() && m_pPresenter) m_pPresenter->PresentPicture(picture);
}

void CAudioOutput::SetPresenter(IPicturePresenter* presenter) {
  platform::LockGuard g(m_csClient);
  m_pPresenter = presenter;
}

void CAudioOutput::SetSessionVolumeNotify(SessionVolumeNotify notify) {
  std::lock_guard<std::mutex> g(m_csSession);
  m_notifyVolume = std::move(notify);
}

bool CAudioOutput::SetSessionVolume(float volume) {
  std::shared_ptr<CAudioSessionVolume> session;
  {
    platform::LockGuard g(m_csSession);
    session = m_pSessionVolume;
  }
  // The server's answer is waited for outside the lock.
  return session && Succeeded(session->SetMasterVolume(volume));
}

bool CAudioOutput::HasSessionVolume() {
  platform::LockGuard g(m_csSession);
  return m_pSessionVolume != nullptr;
}

int64_t CAudioOutput::SessionStreamIndex() {
  std::shared_ptr<CAudioSessionVolume> session;
  {
    platform::LockGuard g(m_csSession);
    session = m_pSessionVolume;
  }
  return session ? session->StreamIndex() : -1;
}

float CAudioOutput::GetPeakValue() {
  std::shared_ptr<PeakMeter> meter;
  {
    platform::LockGuard g(m_csSession);
    meter = m_pAudioMeter;
  }
  float peak = 0.0f;
  if (!meter || Failed(meter->GetPeakValue(&peak))) return 0.0f;
  return peak;
}

void CAudioOutput::NoteLatency(int framesLeftInFifo) {
  int64_t stream = 0;
  const int rate = m_margin.Rate();
  if (m_spAudioClient->GetStreamLatency(&stream) != S_OK || rate <= 0) return;
  const int64_t ms = stream / 10'000 + int64_t{framesLeftInFifo} * 1000 / rate;
  ++m_latencyMs[static_cast<size_t>(std::clamp<int64_t>(ms, 0, static_cast<int64_t>(m_latencyMs.size()) - 1))];
}

int CAudioOutput::OutputLatencyMs() {
  platform::LockGuard client(m_csClient);
  uint64_t total = 0;
  for (uint32_t n : m_latencyMs) total += n;
  uint64_t seen = 0;
  for (size_t ms = 0; ms < m_latencyMs.size(); ++ms) {
    seen += m_latencyMs[ms];
    if (total > 0 && 2 * seen >= total) return static_cast<int>(ms);
  }
  return -1;
}

uint32_t CAudioOutput::UnderrunCount() {
  platform::LockGuard client(m_csClient);
  return m_spAudioClient ? m_spAudioClient->UnderrunCount() : 0;
}

bool CAudioOutput::RenderThreadRunning() {
  platform::LockGuard open(m_csOpen);
  return m_renderThread.joinable();
}

uint32_t CAudioOutput::RenderThreadProc(CAudioOutput* self) {
  if (!self || !self->m_bRun) return 0;
  pthread_setname_np(pthread_self(), "kx-audio-render");
  // A busy machine must not make the device wait for this thread.
  if (!platform::RaiseCurrentThreadForAudio())
    LogInfo(std::string_view("Audio render thread runs at normal priority (no right to raise it)"));
  self->m_nPresentedGeneration = 0;
  self->m_bNothingPlays = false;
  for (;;) {
    if (self->m_bNothingPlays) {
      // Nothing to play or show: sleep until the decode side writes (or the
      // device closes) rather than at every period of the engine. The new
      // sound is then first looked at on the engine's next period, as
      // before, so the margin's timing stays the engine's.
      self->m_fifo.WriteSignal().Wait();
      if (!self->m_bRun) return 0;
      self->m_hBufferEvent.Reset();
      self->m_bNothingPlays = false;
    }
    if (!self->m_hBufferEvent.Wait(kRenderWait)) {
      if (!self->m_bRun) return 0;
      continue;
    }
    if (const int raisedMs = self->RenderOnce(); raisedMs > 0) {
      char line[96];
      std::snprintf(line, sizeof line, "Audio output ran dry: jitter margin raised to %d ms", raisedMs);
      LogInfo(std::string_view(line));
    }
    if (!self->m_bRun) return 0;
  }
}

int CAudioOutput::RenderOnce() {
  platform::LockGuard client(m_csClient);
  if (!m_spAudioClient || !m_bRenderClient) return 0;
  const auto now = CJitterMargin::Clock::now();
  if (const uint32_t underruns = m_spAudioClient->UnderrunCount(); underruns != m_nSeenUnderruns) {
    m_nSeenUnderruns = underruns;
    m_margin.RanDry(now);
  }
  m_nRenderWakeUps.fetch_add(1, std::memory_order_relaxed);
  std::optional<PictureRecord> picture;
  m_fifo.WriteSignal().Reset();  // a write after this look at the FIFO wakes the next wait
  const int queued = m_fifo.Size();
  const bool wasPlaying = !m_margin.Holding();
  const bool play = m_margin.MayPlay(queued, m_fifo.LargestWrite(), now);
  const int raisedMs =
      m_margin.TakeRaised() ? static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(m_margin.Allowance()).count()) : 0;
  // Only while nothing of ours plays: a sink asked for a longer latency
  // while it plays takes the longer block at once and runs dry. Sound about
  // to start waits one wake-up for the server to take the new size.
  if (!wasPlaying && KeepMarginInStream() && play) return raisedMs;
  if (!play) {
    if (queued > 0) return raisedMs;  // building the margin: sound and its picture wait
    // Nothing to play (or video only): the device plays silence, the picture still moves.
    picture = m_fifo.PeekPicture();
    // The margin is not playing here (idle, dry or holding nothing): it
    // needs no wake-up until new sound comes, which it times from then.
    m_bNothingPlays = true;
  } else {
    uint32_t bufferFrames = 0, padding = 0;
    if (Failed(m_spAudioClient->GetBufferSize(&bufferFrames)) ||
        Failed(m_spAudioClient->GetCurrentPadding(&padding)) || bufferFrames <= padding)
      return raisedMs;
    const uint32_t frames = std::min<uint32_t>(static_cast<uint32_t>(queued), bufferFrames - padding);
    uint8_t* data = nullptr;
    if (Failed(m_spAudioClient->GetBuffer(frames, &data)) || !data) return raisedMs;
    const int read = m_fifo.Read(data, static_cast<int>(frames), picture);
    const uint32_t flags = m_settings.Preview.Get() != 0 ? 0 : AUDCLNT_BUFFERFLAGS_SILENT;
    m_spAudioClient->ReleaseBuffer(static_cast<uint32_t>(read > 0 ? read : 0), flags);
    NoteLatency(queued - std::max(read, 0));
  }
  // Each picture once: a chunk without a new picture carries the last one again.
  if (picture && !picture->Empty() && picture->generation > m_nPresentedGeneration && m_pPresenter) {
    m_nPresentedGeneration = picture->generation;
    m_pPresenter->PresentPicture(*picture);
  }
  return raisedMs;
}

bool CAudioOutput::KeepMarginInStream() {
  // The margin is kept by the server, not only in the FIFO: a render thread
  // that a busy machine wakes late then still finds the server with sound to
  // play. The sound queued in all is the same, so the latency does not grow.
  const int targetMs = m_margin.TargetMillis(m_fifo.LargestWrite()) + kStreamAboveMarginMs;
  if (targetMs <= m_streamTargetMs) return false;
  m_streamTargetMs = targetMs;
  return m_spAudioClient->SetBufferDuration(int64_t{targetMs} * 10'000) == S_OK;
}

}  // namespace kx
