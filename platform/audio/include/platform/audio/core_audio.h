// The audio system as the program sees it: render endpoints with their own
// format, a shared-mode event-driven client, the volume of our own stream, a
// peak meter and endpoint notifications. Built on the PulseAudio client
// library (one connection per process, threaded main loop).
//
// Failures are result codes. When no sound server is reachable every call
// fails quickly; none waits for the server for more than a few seconds.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kxSystem.h"

namespace kx::platform {
class Event;
}

namespace kx::platform::audio {

using HRESULT = int32_t;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
inline constexpr HRESULT E_NOTFOUND = static_cast<HRESULT>(0x80070490);
inline constexpr HRESULT AUDCLNT_E_NOT_INITIALIZED = static_cast<HRESULT>(0x88890001);
inline constexpr HRESULT AUDCLNT_E_ALREADY_INITIALIZED = static_cast<HRESULT>(0x88890002);
inline constexpr HRESULT AUDCLNT_E_DEVICE_INVALIDATED = static_cast<HRESULT>(0x88890004);
inline constexpr HRESULT AUDCLNT_E_NOT_STOPPED = static_cast<HRESULT>(0x88890005);
inline constexpr HRESULT AUDCLNT_E_BUFFER_TOO_LARGE = static_cast<HRESULT>(0x88890006);
inline constexpr HRESULT AUDCLNT_E_OUT_OF_ORDER = static_cast<HRESULT>(0x88890007);
inline constexpr HRESULT AUDCLNT_E_UNSUPPORTED_FORMAT = static_cast<HRESULT>(0x88890008);
inline constexpr HRESULT AUDCLNT_E_SERVICE_NOT_RUNNING = static_cast<HRESULT>(0x88890010);
inline constexpr bool Succeeded(HRESULT hr) { return hr >= 0; }
inline constexpr bool Failed(HRESULT hr) { return hr < 0; }

inline constexpr uint32_t AUDCLNT_BUFFERFLAGS_SILENT = 0x2;

// The event context the program passes when it sets its own volume.
inline constexpr GUID kNullGuid = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

enum class EDataFlow { eRender = 0, eCapture = 1 };
// PulseAudio knows one default per direction, so every change is reported
// once, with the multimedia role.
enum class ERole { eConsole = 0, eMultimedia = 1, eCommunications = 2 };

// One render endpoint (a PulseAudio sink) as it was when listed.
struct Endpoint {
  std::string id;                // the sink name
  std::u16string friendlyName;   // the sink description
  WAVEFORMATEXTENSIBLE format{}; // the sink's own format (header cbSize tells which)
  std::vector<int> positions;    // the sink's channel map (pa_channel_position_t values)
  std::string monitorSource;     // the source that records what the sink plays
};
using EndpointPtr = std::shared_ptr<const Endpoint>;

// The WAVEFORMATEX/WAVEFORMATEXTENSIBLE for a sink sample spec; formats the
// program has no container for come out as 32-bit float (the server converts).
// `paFormat` is a pa_sample_format_t value, `positions` pa_channel_position_t values.
WAVEFORMATEXTENSIBLE DeviceFormatFromSampleSpec(int paFormat, uint32_t rate, int channels,
                                                const std::vector<int>& positions);

// Drops the process's connection; the next call connects afresh, reading
// PULSE_SERVER again (used after the sound server was restarted).
void ResetConnection();
// True when the process is connected to a sound server right now.
bool IsConnected();

}  // namespace kx::platform::audio
