#include "format.h"

#include <cstring>

namespace kx::platform::audio {

namespace {

constexpr uint32_t SPEAKER_FRONT_LEFT = 0x1, SPEAKER_FRONT_RIGHT = 0x2, SPEAKER_FRONT_CENTER = 0x4,
                   SPEAKER_LOW_FREQUENCY = 0x8, SPEAKER_BACK_LEFT = 0x10, SPEAKER_BACK_RIGHT = 0x20,
                   SPEAKER_FRONT_LEFT_OF_CENTER = 0x40, SPEAKER_FRONT_RIGHT_OF_CENTER = 0x80,
                   SPEAKER_BACK_CENTER = 0x100, SPEAKER_SIDE_LEFT = 0x200, SPEAKER_SIDE_RIGHT = 0x400,
                   SPEAKER_TOP_CENTER = 0x800;

uint32_t SpeakerBit(int position) {
  switch (position) {
    case PA_CHANNEL_POSITION_MONO: return SPEAKER_FRONT_CENTER;
    case PA_CHANNEL_POSITION_FRONT_LEFT: return SPEAKER_FRONT_LEFT;
    case PA_CHANNEL_POSITION_FRONT_RIGHT: return SPEAKER_FRONT_RIGHT;
    case PA_CHANNEL_POSITION_FRONT_CENTER: return SPEAKER_FRONT_CENTER;
    case PA_CHANNEL_POSITION_LFE: return SPEAKER_LOW_FREQUENCY;
    case PA_CHANNEL_POSITION_REAR_LEFT: return SPEAKER_BACK_LEFT;
    case PA_CHANNEL_POSITION_REAR_RIGHT: return SPEAKER_BACK_RIGHT;
    case PA_CHANNEL_POSITION_REAR_CENTER: return SPEAKER_BACK_CENTER;
    case PA_CHANNEL_POSITION_FRONT_LEFT_OF_CENTER: return SPEAKER_FRONT_LEFT_OF_CENTER;
    case PA_CHANNEL_POSITION_FRONT_RIGHT_OF_CENTER: return SPEAKER_FRONT_RIGHT_OF_CENTER;
    case PA_CHANNEL_POSITION_SIDE_LEFT: return SPEAKER_SIDE_LEFT;
    case PA_CHANNEL_POSITION_SIDE_RIGHT: return SPEAKER_SIDE_RIGHT;
    case PA_CHANNEL_POSITION_TOP_CENTER: return SPEAKER_TOP_CENTER;
    default: return 0;
  }
}

}  // namespace

WAVEFORMATEXTENSIBLE DeviceFormatFromSampleSpec(int paFormat, uint32_t rate, int channels,
                                                const std::vector<int>& positions) {
  WAVEFORMATEXTENSIBLE f{};
  uint16_t container = 32, valid = 32;
  bool isFloat = false, extensible = true;
  switch (paFormat) {
    case PA_SAMPLE_U8: container = valid = 8; extensible = channels > 2; break;
    case PA_SAMPLE_S16LE: container = valid = 16; extensible = channels > 2; break;
    case PA_SAMPLE_S32LE: container = valid = 32; extensible = channels > 2; break;
    case PA_SAMPLE_S24LE: container = valid = 24; break;
    case PA_SAMPLE_S24_32LE: container = 32; valid = 24; break;
    default: isFloat = true; break;  // float, and what the server converts for us
  }
  f.Format.wFormatTag = extensible ? WAVE_FORMAT_EXTENSIBLE : WAVE_FORMAT_PCM;
  f.Format.nChannels = static_cast<uint16_t>(channels);
  f.Format.nSamplesPerSec = rate;
  f.Format.wBitsPerSample = container;
  f.Format.nBlockAlign = static_cast<uint16_t>(channels * container / 8);
  f.Format.nAvgBytesPerSec = rate * f.Format.nBlockAlign;
  f.Format.cbSize = extensible ? 22 : 0;
  if (extensible) {
    f.Samples.wValidBitsPerSample = valid;
    uint32_t mask = 0;
    for (int p : positions) mask |= SpeakerBit(p);
    f.dwChannelMask = mask;
    f.SubFormat = isFloat ? KSDATAFORMAT_SUBTYPE_IEEE_FLOAT : KSDATAFORMAT_SUBTYPE_PCM;
  }
  return f;
}

namespace detail {

size_t FormatSize(const WAVEFORMATEX* format) {
  return format->wFormatTag == WAVE_FORMAT_EXTENSIBLE && format->cbSize >= 22 ? sizeof(WAVEFORMATEXTENSIBLE)
                                                                                : sizeof(WAVEFORMATEX);
}

bool SampleSpecFromFormat(const WAVEFORMATEX* format, pa_sample_spec& sampleSpec) {
  if (!format || format->nChannels == 0 || format->nChannels > PA_CHANNELS_MAX || format->nSamplesPerSec == 0)
    return false;
  bool isFloat = format->wFormatTag == WAVE_FORMAT_IEEE_FLOAT;
  bool isPcm = format->wFormatTag == WAVE_FORMAT_PCM;
  if (format->wFormatTag == WAVE_FORMAT_EXTENSIBLE && format->cbSize >= 22) {
    WAVEFORMATEXTENSIBLE ext;
    std::memcpy(&ext, format, sizeof ext);
    isFloat = kxIsEqualGUID(ext.SubFormat, KSDATAFORMAT_SUBTYPE_IEEE_FLOAT);
    isPcm = kxIsEqualGUID(ext.SubFormat, KSDATAFORMAT_SUBTYPE_PCM);
  }
  sampleSpec.rate = format->nSamplesPerSec;
  sampleSpec.channels = static_cast<uint8_t>(format->nChannels);
  if (isFloat && format->wBitsPerSample == 32) {
    sampleSpec.format = PA_SAMPLE_FLOAT32LE;
  } else if (isPcm && format->wBitsPerSample == 8) {
    sampleSpec.format = PA_SAMPLE_U8;
  } else if (isPcm && format->wBitsPerSample == 16) {
    sampleSpec.format = PA_SAMPLE_S16LE;
  } else if (isPcm && format->wBitsPerSample == 24) {
    sampleSpec.format = PA_SAMPLE_S24LE;
  } else if (isPcm && format->wBitsPerSample == 32) {
    // 24 valid bits in a 32-bit container are the high bits: plain S32 to the server.
    sampleSpec.format = PA_SAMPLE_S32LE;
  } else {
    return false;
  }
  return pa_sample_spec_valid(&sampleSpec) != 0;
}

pa_channel_map ChannelMapFor(const Endpoint& endpoint, int channels) {
  pa_channel_map map;
  if (static_cast<int>(endpoint.positions.size()) == channels) {
    map.channels = static_cast<uint8_t>(channels);
    for (int i = 0; i < channels; ++i) map.map[i] = static_cast<pa_channel_position_t>(endpoint.positions[i]);
    if (pa_channel_map_valid(&map)) return map;
  }
  pa_channel_map_init_extend(&map, static_cast<unsigned>(channels), PA_CHANNEL_MAP_DEFAULT);
  return map;
}

}  // namespace detail
}  // namespace kx::platform::audio
