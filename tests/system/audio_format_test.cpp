// The sample formats and channel layouts of wave formats.
#include <gtest/gtest.h>

#include <vector>

#include "kxSystem.h"

namespace {

WAVEFORMATEXTENSIBLE Make(uint16_t tag, uint16_t bits, const GUID& sub = GUID{}) {
  WAVEFORMATEXTENSIBLE f{};
  f.Format.wFormatTag = tag;
  f.Format.nChannels = 2;
  f.Format.nSamplesPerSec = 48000;
  f.Format.wBitsPerSample = bits;
  f.Format.cbSize = tag == WAVE_FORMAT_EXTENSIBLE ? 22 : 0;
  f.SubFormat = sub;
  return f;
}

constexpr GUID kUnknownSub = {0x12345678, 0, 0x10, {0x80, 0, 0, 0xaa, 0, 0x38, 0x9b, 0x71}};
const GUID kPcm = KSDATAFORMAT_SUBTYPE_PCM;
const GUID kFlt = KSDATAFORMAT_SUBTYPE_IEEE_FLOAT;

TEST(FormatMapping, BothMappingsGiveTheTableValue) {
  const struct {
    uint16_t tag;
    uint16_t bits;
    GUID sub;
    int32_t swr;     // CA2SWR_format
    int32_t strict;  // GetSampleFormat
  } cases[] = {
      {WAVE_FORMAT_PCM, 8, {}, KX_SAMPLE_FMT_U8, KX_SAMPLE_FMT_NONE},
      {WAVE_FORMAT_PCM, 16, {}, KX_SAMPLE_FMT_S16, KX_SAMPLE_FMT_S16},
      {WAVE_FORMAT_PCM, 24, {}, KX_SAMPLE_FMT_NONE, KX_SAMPLE_FMT_NONE},
      {WAVE_FORMAT_PCM, 32, {}, KX_SAMPLE_FMT_S32, KX_SAMPLE_FMT_S32},
      {WAVE_FORMAT_IEEE_FLOAT, 32, {}, KX_SAMPLE_FMT_FLT, KX_SAMPLE_FMT_FLT},
      {WAVE_FORMAT_IEEE_FLOAT, 64, {}, KX_SAMPLE_FMT_DBL, KX_SAMPLE_FMT_FLT},
      {WAVE_FORMAT_ALAW, 8, {}, KX_SAMPLE_FMT_NONE, KX_SAMPLE_FMT_U8},
      {WAVE_FORMAT_EXTENSIBLE, 8, kPcm, KX_SAMPLE_FMT_U8, KX_SAMPLE_FMT_NONE},
      {WAVE_FORMAT_EXTENSIBLE, 24, kPcm, KX_SAMPLE_FMT_S32, KX_SAMPLE_FMT_S32},
      {WAVE_FORMAT_EXTENSIBLE, 20, kPcm, KX_SAMPLE_FMT_NONE, KX_SAMPLE_FMT_NONE},
      {WAVE_FORMAT_EXTENSIBLE, 64, kFlt, KX_SAMPLE_FMT_DBL, KX_SAMPLE_FMT_FLT},
      {WAVE_FORMAT_EXTENSIBLE, 16, kFlt, KX_SAMPLE_FMT_NONE, KX_SAMPLE_FMT_FLT},
      {WAVE_FORMAT_EXTENSIBLE, 32, kUnknownSub, KX_SAMPLE_FMT_FLT, KX_SAMPLE_FMT_NONE},
      {WAVE_FORMAT_EXTENSIBLE, 64, kUnknownSub, KX_SAMPLE_FMT_DBL, KX_SAMPLE_FMT_NONE},
      {0x0055, 16, {}, KX_SAMPLE_FMT_NONE, KX_SAMPLE_FMT_NONE}};
  for (const auto& c : cases) {
    auto f = Make(c.tag, c.bits, c.sub);
    EXPECT_EQ(CA2SWR_format(&f.Format), c.swr) << c.tag << "/" << c.bits;
    EXPECT_EQ(GetSampleFormat(&f.Format), c.strict) << c.tag << "/" << c.bits;
  }
  EXPECT_EQ(CA2SWR_format(nullptr), KX_SAMPLE_FMT_NONE);
  EXPECT_EQ(GetSampleFormat(nullptr), KX_SAMPLE_FMT_NONE);
  GUID almost = kPcm;
  almost.Data4[7] ^= 1;
  auto f = Make(WAVE_FORMAT_EXTENSIBLE, 24, almost);
  EXPECT_EQ(CA2SWR_format(&f.Format), KX_SAMPLE_FMT_NONE);  // 24 bits, not PCM, not 32
}

TEST(FormatMapping, ChannelMasksFollowTheCount) {
  for (const auto& [channels, mask] : std::vector<std::pair<int32_t, int64_t>>{
           {1, 0x4}, {2, 0x3}, {4, 0x33}, {6, 0x137}, {8, 0x737}, {0, -1}, {3, -1}, {5, -1}, {7, -1}, {-2, -1}})
    EXPECT_EQ(CA2SWR_chlayout(channels), mask) << channels;
}

}  // namespace
