#include <cstring>

#include "kxSystem.h"

bool kxIsEqualGUID(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

namespace {

const GUID* SubFormatOf(const WAVEFORMATEX* format) {
  return &reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(format)->SubFormat;
}

}  // namespace

int32_t CA2SWR_format(const WAVEFORMATEX* format) {
  if (format == nullptr) return KX_SAMPLE_FMT_NONE;
  const uint16_t bits = format->wBitsPerSample;
  switch (format->wFormatTag) {
    case WAVE_FORMAT_PCM:
      if (bits == 8) return KX_SAMPLE_FMT_U8;
      if (bits == 16) return KX_SAMPLE_FMT_S16;
      if (bits == 32) return KX_SAMPLE_FMT_S32;
      return KX_SAMPLE_FMT_NONE;
    case WAVE_FORMAT_IEEE_FLOAT:
      if (bits == 32) return KX_SAMPLE_FMT_FLT;
      if (bits == 64) return KX_SAMPLE_FMT_DBL;
      return KX_SAMPLE_FMT_NONE;
    case WAVE_FORMAT_EXTENSIBLE:
      if (kxIsEqualGUID(*SubFormatOf(format), KSDATAFORMAT_SUBTYPE_PCM)) {
        if (bits == 8) return KX_SAMPLE_FMT_U8;
        if (bits == 16) return KX_SAMPLE_FMT_S16;
        if (bits == 24 || bits == 32) return KX_SAMPLE_FMT_S32;
        return KX_SAMPLE_FMT_NONE;
      }
      if (bits == 32) return KX_SAMPLE_FMT_FLT;
      if (bits == 64) return KX_SAMPLE_FMT_DBL;
      return KX_SAMPLE_FMT_NONE;
    default:
      kxDebugOutputUtf8("\n format is not supported.");
      return KX_SAMPLE_FMT_NONE;
  }
}

int32_t GetSampleFormat(const WAVEFORMATEX* format) {
  if (format == nullptr) return KX_SAMPLE_FMT_NONE;
  const uint16_t bits = format->wBitsPerSample;
  switch (format->wFormatTag) {
    case WAVE_FORMAT_PCM:
      if (bits == 16) return KX_SAMPLE_FMT_S16;
      if (bits == 32) return KX_SAMPLE_FMT_S32;
      return KX_SAMPLE_FMT_NONE;
    case WAVE_FORMAT_IEEE_FLOAT:
      return KX_SAMPLE_FMT_FLT;
    case WAVE_FORMAT_ALAW:
    case WAVE_FORMAT_MULAW:
      return KX_SAMPLE_FMT_U8;
    case WAVE_FORMAT_EXTENSIBLE: {
      const GUID* sub = SubFormatOf(format);
      // The float sub-format is tested first.
      if (kxIsEqualGUID(*sub, KSDATAFORMAT_SUBTYPE_IEEE_FLOAT)) return KX_SAMPLE_FMT_FLT;
      if (kxIsEqualGUID(*sub, KSDATAFORMAT_SUBTYPE_PCM)) {
        if (bits == 16) return KX_SAMPLE_FMT_S16;
        if (bits == 24 || bits == 32) return KX_SAMPLE_FMT_S32;
      }
      return KX_SAMPLE_FMT_NONE;
    }
    default:
      return KX_SAMPLE_FMT_NONE;
  }
}

int64_t CA2SWR_chlayout(int32_t channels) {
  switch (channels) {
    case 1: return 0x4;    // mono: front centre
    case 2: return 0x3;    // stereo
    case 4: return 0x33;   // quad
    case 6: return 0x137;  // hexagonal, not 5.1
    case 8: return 0x737;  // octagonal, not 7.1
    default: return -1;
  }
}

float PPM2Percent(float level) {
  // NaN fails every comparison and so falls through to 0.1.
  if (level == 0.0f) return 0.1f;
  if (level >= -20.0f && level <= 0.0f) return (level + 40.0f) / 0.4f;
  if (level >= -30.0f && level < -20.0f) return (level + 45.0f) * 2.0f;
  if (level >= -40.0f && level < -30.0f) return (level + 50.0f) / 0.6666667f;
  if (level >= -50.0f && level < -40.0f) return (level + 58.75f) / 1.25f;
  if (level > -62.0f && level < -50.0f) return (level + 70.0f) / 2.857143f;
  return 0.1f;
}
