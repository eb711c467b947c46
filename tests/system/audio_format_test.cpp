#include <gtest/gtest.h>

#include <cmath>

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

struct FormatCase {
  uint16_t tag;
  uint16_t bits;
  GUID sub;
  int32_t swr;     // CA2SWR_format
  int32_t strict;  // GetSampleFormat
};

class FormatMapping : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatMapping, BothMappingsGiveTheTableValue) {
  const FormatCase& c = GetParam();
  auto f = Make(c.tag, c.bits, c.sub);
  EXPECT_EQ(CA2SWR_format(&f.Format), c.swr);
  EXPECT_EQ(GetSampleFormat(&f.Format), c.strict);
}

const GUID kPcm = KSDATAFORMAT_SUBTYPE_PCM;
const GUID kFlt = KSDATAFORMAT_SUBTYPE_IEEE_FLOAT;

INSTANTIATE_TEST_SUITE_P(
    Tables, FormatMapping,
    ::testing::Values(
        FormatCase{WAVE_FORMAT_PCM, 8, {}, KX_SAMPLE_FMT_U8, KX_SAMPLE_FMT_NONE},
        FormatCase{WAVE_FORMAT_PCM, 16, {}, KX_SAMPLE_FMT_S16, KX_SAMPLE_FMT_S16},
        FormatCase{WAVE_FORMAT_PCM, 24, {}, KX_SAMPLE_FMT_NONE, KX_SAMPLE_FMT_NONE},
        FormatCase{WAVE_FORMAT_PCM, 32, {}, KX_SAMPLE_FMT_S32, KX_SAMPLE_FMT_S32},
        FormatCase{WAVE_FORMAT_IEEE_FLOAT, 32, {}, KX_SAMPLE_FMT_FLT, KX_SAMPLE_FMT_FLT},
        FormatCase{WAVE_FORMAT_IEEE_FLOAT, 64, {}, KX_SAMPLE_FMT_DBL, KX_SAMPLE_FMT_FLT},
        FormatCase{WAVE_FORMAT_IEEE_FLOAT, 16, {}, KX_SAMPLE_FMT_NONE, KX_SAMPLE_FMT_FLT},
        FormatCase{WAVE_FORMAT_ALAW, 8, {}, KX_SAMPLE_FMT_NONE, KX_SAMPLE_FMT_U8},
        FormatCase{WAVE_FORMAT_MULAW, 8, {}, KX_SAMPLE_FMT_NONE, KX_SAMPLE_FMT_U8},
        FormatCase{WAVE_FORMAT_EXTENSIBLE, 8, kPcm, KX_SAMPLE_FMT_U8, KX_SAMPLE_FMT_NONE},
        FormatCase{WAVE_FORMAT_EXTENSIBLE, 16, kPcm, KX_SAMPLE_FMT_S16, KX_SAMPLE_FMT_S16},
        FormatCase{WAVE_FORMAT_EXTENSIBLE, 24, kPcm, KX_SAMPLE_FMT_S32, KX_SAMPLE_FMT_S32},
        FormatCase{WAVE_FORMAT_EXTENSIBLE, 32, kPcm, KX_SAMPLE_FMT_S32, KX_SAMPLE_FMT_S32},
        FormatCase{WAVE_FORMAT_EXTENSIBLE, 20, kPcm, KX_SAMPLE_FMT_NONE, KX_SAMPLE_FMT_NONE},
        FormatCase{WAVE_FORMAT_EXTENSIBLE, 32, kFlt, KX_SAMPLE_FMT_FLT, KX_SAMPLE_FMT_FLT},
        FormatCase{WAVE_FORMAT_EXTENSIBLE, 64, kFlt, KX_SAMPLE_FMT_DBL, KX_SAMPLE_FMT_FLT},
        FormatCase{WAVE_FORMAT_EXTENSIBLE, 16, kFlt, KX_SAMPLE_FMT_NONE, KX_SAMPLE_FMT_FLT},
        FormatCase{WAVE_FORMAT_EXTENSIBLE, 32, kUnknownSub, KX_SAMPLE_FMT_FLT, KX_SAMPLE_FMT_NONE},
        FormatCase{WAVE_FORMAT_EXTENSIBLE, 64, kUnknownSub, KX_SAMPLE_FMT_DBL, KX_SAMPLE_FMT_NONE},
        FormatCase{0x0055, 16, {}, KX_SAMPLE_FMT_NONE, KX_SAMPLE_FMT_NONE}));

TEST(FormatMappingExtra, NullFormatGivesNone) {
  EXPECT_EQ(CA2SWR_format(nullptr), KX_SAMPLE_FMT_NONE);
  EXPECT_EQ(GetSampleFormat(nullptr), KX_SAMPLE_FMT_NONE);
}

TEST(FormatMappingExtra, GuidDifferingInTheLastByteIsNotPcm) {
  GUID almost = KSDATAFORMAT_SUBTYPE_PCM;
  almost.Data4[7] ^= 1;
  auto f = Make(WAVE_FORMAT_EXTENSIBLE, 24, almost);
  EXPECT_EQ(CA2SWR_format(&f.Format), KX_SAMPLE_FMT_NONE);  // 24 bits, not PCM, not 32
}

class ChannelLayout : public ::testing::TestWithParam<std::pair<int32_t, int64_t>> {};
TEST_P(ChannelLayout, MasksFollowTheChannelCount) {
  EXPECT_EQ(CA2SWR_chlayout(GetParam().first), GetParam().second);
}
INSTANTIATE_TEST_SUITE_P(Tables, ChannelLayout,
                         ::testing::Values(std::pair<int32_t, int64_t>{1, 0x4}, std::pair<int32_t, int64_t>{2, 0x3},
                                           std::pair<int32_t, int64_t>{4, 0x33}, std::pair<int32_t, int64_t>{6, 0x137},
                                           std::pair<int32_t, int64_t>{8, 0x737}, std::pair<int32_t, int64_t>{0, -1},
                                           std::pair<int32_t, int64_t>{3, -1}, std::pair<int32_t, int64_t>{5, -1},
                                           std::pair<int32_t, int64_t>{7, -1}, std::pair<int32_t, int64_t>{-2, -1}));

class MeterCurve : public ::testing::TestWithParam<std::pair<float, float>> {};
TEST_P(MeterCurve, PiecewiseLinear) { EXPECT_NEAR(PPM2Percent(GetParam().first), GetParam().second, 1e-3); }
INSTANTIATE_TEST_SUITE_P(
    Tables, MeterCurve,
    ::testing::Values(std::pair{0.0f, 0.1f}, std::pair{-0.001f, 99.9975f}, std::pair{-20.0f, 50.0f},
                      std::pair{-10.0f, 75.0f}, std::pair{-25.0f, 40.0f}, std::pair{-30.0f, 30.0f},
                      std::pair{-35.0f, 22.5f}, std::pair{-40.0f, 15.0f}, std::pair{-45.0f, 11.0f},
                      std::pair{-50.0f, 7.0f}, std::pair{-61.9f, 2.835f}, std::pair{-62.0f, 0.1f},
                      std::pair{-100.0f, 0.1f}, std::pair{3.0f, 0.1f}));

TEST(MeterCurveExtra, NotANumberGivesTheFloor) { EXPECT_FLOAT_EQ(PPM2Percent(std::nanf("")), 0.1f); }

}  // namespace
