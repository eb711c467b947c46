#include "audio/audio_output.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

#include "app/app_log.h"
#include "platform/debug_output.h"

namespace kx {

using namespace platform::audio;

namespace {

constexpr int64_t kBufferDuration = 100'000;  // 10 ms in 100-ns units
constexpr auto kRenderWait = platform::Millis(10);

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
  std::lock_guard<std::mutex> g(m_csSession);
  m_pAudioMeter.reset();
  m_pSessionVolume.reset();
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

void CAudioOutput::ReplaceSessionVolume(const EndpointPtr& device) {
  std::lock_guard<std::mutex> g(m_csSession);
  m_pSessionVolume.reset();
  if (Succeeded(CAudioSessionVolume::CreateInstance(m_notifyVolume, m_pSessionVolume, device)))
    m_pSessionVolume->EnableNotifications();
}

bool CAudioOutput::SetUpResampler(const WAVEFORMATEX* format) {
  m_pSwr = swr_alloc();
  if (!m_pSwr) return false;
  const auto outFormat = static_cast<AVSampleFormat>(CA2SWR_format(format));
  const int64_t mask = CA2SWR_chlayout(format->nChannels);
  AVChannelLayout inLayout = AV_CHANNEL_LAYOUT_STEREO;
  AVChannelLayout outLayout{};
  if (mask > 0)
    av_channel_layout_from_mask(&outLayout, static_cast<uint64_t>(mask));
  else
    av_channel_layout_default(&outLayout, format->nChannels);  // no mapped layout: the usual one
  av_opt_set_chlayout(m_pSwr, "in_chlayout", &inLayout, 0);
  av_opt_set_chlayout(m_pSwr, "out_chlayout", &outLayout, 0);
  av_opt_set_int(m_pSwr, "in_sample_rate", 48000, 0);
  av_opt_set_int(m_pSwr, "out_sample_rate", format->nSamplesPerSec, 0);
  av_opt_set_sample_fmt(m_pSwr, "in_sample_fmt", AV_SAMPLE_FMT_FLT, 0);
  av_opt_set_sample_fmt(m_pSwr, "out_sample_fmt", outFormat, 0);
  av_channel_layout_uninit(&outLayout);
  swr_init(m_pSwr);
  if (!swr_is_initialized(m_pSwr)) {
    platform::DebugOutput(std::string_view("Resampler has not been properly initialized\n"));
    swr_free(&m_pSwr);
    return false;
  }
  m_nOutSampleBytes = av_get_bytes_per_sample(outFormat);
  return true;
}

HRESULT CAudioOutput::SetAudioDevice(const EndpointPtr& device) {
  if (!device) return E_POINTER;
  platform::LockGuard setup(m_csSetup);

  ReplaceSessionVolume(device);

  const WAVEFORMATEXTENSIBLE deviceFormat = device->format;
  m_nDeviceChannels = deviceFormat.Format.nChannels;

  {
    std::lock_guard<std::mutex> g(m_csSession);
    m_pAudioMeter.reset();
  }

  LogInfo(u"====== SetAudioDevice ======");
  LogInfo(device->friendlyName);
  LogInfo(u"Свойства аудиоустройства по умолчанию: ");
  LogInfo(FormatLine(deviceFormat.Format));

  CloseDeviceLocked();

  HRESULT hr = OpenLocked(device, deviceFormat);

  // The meter follows the open device, also when its stream did not start.
  if (hr != kResamplerFailed && m_pDevice) {
    std::unique_ptr<PeakMeter> meter;
    if (Succeeded(PeakMeter::Activate(m_pDevice, meter))) {
      std::lock_guard<std::mutex> g(m_csSession);
      m_pAudioMeter = std::move(meter);
    }
  }
  return hr;
}

HRESULT CAudioOutput::OpenLocked(const EndpointPtr& device, const WAVEFORMATEXTENSIBLE& deviceFormat) {
  platform::LockGuard client(m_csClient);
  m_bRenderClient = false;
  m_spAudioClient.reset();
  if (m_pDevice != device) m_pDevice = device;

  HRESULT hr = AudioClient::Activate(m_pDevice, m_spAudioClient);
  if (Failed(hr)) return hr;

  FormatPtr format;  // freed on every path
  hr = m_spAudioClient->GetMixFormat(format);
  if (Failed(hr) || !format) return Failed(hr) ? hr : E_FAIL;
  LogInfo(u"Запрашиваем m_spAudioClient->GetMixFormat(&pwfx); для этого устройства");
  LogInfo(FormatLine(*format));

  // The stream uses the device's own format, extensible part included.
  std::memcpy(format.get(), &deviceFormat, sizeof(WAVEFORMATEXTENSIBLE));
  m_spAudioClient->IsFormatSupported(format.get());

  m_wfx = *format;
  m_fifo.Init(m_wfx.nChannels, m_wfx.wBitsPerSample, static_cast<int>(m_wfx.nSamplesPerSec));

  if (!SetUpResampler(format.get())) {
    m_fifo.Free();  // nothing will be converted for it
    return kResamplerFailed;
  }

  int64_t defaultPeriod = 0, minimumPeriod = 0;
  m_spAudioClient->GetDevicePeriod(&defaultPeriod, &minimumPeriod);
  hr = m_spAudioClient->Initialize(kBufferDuration, format.get());
  if (Succeeded(hr)) {
    m_hBufferEvent.Reset();
    hr = m_spAudioClient->SetEventHandle(&m_hBufferEvent);
  }
  uint32_t bufferFrames = 0;
  if (Succeeded(hr)) hr = m_spAudioClient->GetBufferSize(&bufferFrames);
  if (Succeeded(hr)) m_bRenderClient = true;
  if (Succeeded(hr) && m_bRenderClient) {
    m_bStarted = false;
    m_bRun = true;
    m_renderThread = std::thread(&CAudioOutput::RenderThreadProc, this);
    if (m_renderThread.joinable() && !m_bStarted) {
      hr = m_spAudioClient->Start();
      if (Succeeded(hr)) m_bStarted = true;
    }
  }
  if (Failed(hr) && !m_renderThread.joinable()) {
    // Nobody will read this device's FIFO: let the decode side drop its audio.
    m_fifo.Free();
    swr_free(&m_pSwr);
  }
  return hr;
}

void CAudioOutput::CloseDevice() {
  platform::LockGuard setup(m_csSetup);
  CloseDeviceLocked();
}

void CAudioOutput::CloseDeviceLocked() {
  if (m_bStarted && m_spAudioClient) {
    if (Succeeded(m_spAudioClient->Stop())) m_bStarted = false;
  }
  m_bRun = false;
  if (m_renderThread.joinable()) m_renderThread.join();

  platform::LockGuard client(m_csClient);
  if (m_bStarted && m_spAudioClient) m_spAudioClient->Stop();
  m_bStarted = false;
  m_bRenderClient = false;
  m_spAudioClient.reset();
  m_pDevice.reset();
  m_wfx = WAVEFORMATEX{};
  m_fifo.Free();
  swr_free(&m_pSwr);
  m_nOutSampleBytes = 0;
}

int CAudioOutput::OpenConfiguredDevice(int outputId, float volume) {
  {
    std::lock_guard<std::mutex> g(m_csSession);
    m_pSessionVolume.reset();
    m_pAudioMeter.reset();
  }
  ClearDevices();
  ReplaceSessionVolume(nullptr);
  EnumDevices();
  const std::vector<CAudioDeviceItem> devices = Devices();
  if (devices.empty()) return -1;
  const int index = outputId >= 0 && outputId < static_cast<int>(devices.size()) ? outputId : 0;
  SetAudioDevice(devices[index].device);
  SetSessionVolume(volume);
  return index;
}

int CAudioOutput::ConvertAndWrite(const float* stereo, int frames, const PictureRecord& picture) {
  platform::LockGuard setup(m_csSetup);
  if (!m_pSwr || !swr_is_initialized(m_pSwr) || !stereo || frames <= 0) return 0;
  const int capacity = swr_get_out_samples(m_pSwr, frames);
  if (capacity <= 0) return 0;
  m_convertBuffer.resize(static_cast<size_t>(capacity) * m_nDeviceChannels * m_nOutSampleBytes);
  const uint8_t* in[1] = {reinterpret_cast<const uint8_t*>(stereo)};
  uint8_t* out[1] = {m_convertBuffer.data()};
  const int n = swr_convert(m_pSwr, out, capacity, in, frames);
  if (n <= 0) return 0;
  return m_fifo.Write(m_convertBuffer.data(), n, picture);
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
  std::lock_guard<std::mutex> g(m_csSession);
  if (!m_pSessionVolume) return false;
  return Succeeded(m_pSessionVolume->SetMasterVolume(volume));
}

bool CAudioOutput::HasSessionVolume() {
  std::lock_guard<std::mutex> g(m_csSession);
  return m_pSessionVolume != nullptr;
}

int64_t CAudioOutput::SessionStreamIndex() {
  std::lock_guard<std::mutex> g(m_csSession);
  return m_pSessionVolume ? m_pSessionVolume->StreamIndex() : -1;
}

float CAudioOutput::GetPeakValue() {
  std::shared_ptr<PeakMeter> meter;
  {
    std::lock_guard<std::mutex> g(m_csSession);
    meter = m_pAudioMeter;
  }
  float peak = 0.0f;
  if (!meter || Failed(meter->GetPeakValue(&peak))) return 0.0f;
  return peak;
}

bool CAudioOutput::RenderThreadRunning() {
  platform::LockGuard setup(m_csSetup);
  return m_renderThread.joinable();
}

uint32_t CAudioOutput::RenderThreadProc(CAudioOutput* self) {
  if (!self || !self->m_bRun) return 0;
  for (;;) {
    if (!self->m_hBufferEvent.Wait(kRenderWait)) {
      if (!self->m_bRun) return 0;
      continue;
    }
    self->RenderOnce();
    if (!self->m_bRun) return 0;
  }
}

void CAudioOutput::RenderOnce() {
  platform::LockGuard client(m_csClient);
  if (!m_spAudioClient || !m_bRenderClient) return;
  std::optional<PictureRecord> picture;
  const int queued = m_fifo.Size();
  if (queued == 0) {
    // Nothing to play (or video only): the device plays silence, the picture still moves.
    picture = m_fifo.PeekPicture();
  } else {
    uint32_t bufferFrames = 0, padding = 0;
    if (Failed(m_spAudioClient->GetBufferSize(&bufferFrames)) ||
        Failed(m_spAudioClient->GetCurrentPadding(&padding)) || bufferFrames <= padding)
      return;
    const uint32_t frames = std::min<uint32_t>(static_cast<uint32_t>(queued), bufferFrames - padding);
    uint8_t* data = nullptr;
    if (Failed(m_spAudioClient->GetBuffer(frames, &data)) || !data) return;
    const int read = m_fifo.Read(data, static_cast<int>(frames), picture);
    const uint32_t flags = m_settings.Preview.Get() != 0 ? 0 : AUDCLNT_BUFFERFLAGS_SILENT;
    m_spAudioClient->ReleaseBuffer(static_cast<uint32_t>(read > 0 ? read : 0), flags);
  }
  if (picture && !picture->Empty() && m_pPresenter) m_pPresenter->PresentPicture(*picture);
}

}  // namespace kx
