#include "media/camera_info.h"

#include "kxSystem.h"
#include "resources/res_str.h"

namespace kx {

namespace {

// The string-table lookups for one language.
struct Texts {
  std::u16string (*text)(uint32_t);
  std::u16string (*format)(uint32_t, ...);
};

Texts TextsFor(InfoLanguage language) {
  if (language == InfoLanguage::Log) return {&ResStrEnglish, &FormatResStrEnglish};
  return {&ResStr, &FormatResStr};
}

}  // namespace

std::u16string CameraInfoSeparator() { return u"  \u25A0  "; }

std::u16string VideoInfoHead(const VideoStreamInfo& info, InfoLanguage language) {
  const Texts t = TextsFor(language);
  return t.format(3400, info.codecLongName.c_str()) + CameraInfoSeparator() + t.format(3402, info.width, info.height);
}

std::u16string VideoInfoText(const VideoStreamInfo& info) {
  return VideoInfoHead(info) + CameraInfoSeparator() + FormatResStr(3401, static_cast<double>(info.fps));
}

std::u16string AudioInfoText(const AudioStreamInfo& info, InfoLanguage language) {
  const Texts t = TextsFor(language);
  const std::u16string sep = CameraInfoSeparator();
  std::u16string text = t.format(3400, info.codecLongName.c_str());
  if (info.firstSampleFormat >= 0 && info.firstSampleFormat <= 11) {
    std::string name = ConvertUnicodeToUTF8(t.text(3409 + static_cast<uint32_t>(info.firstSampleFormat)));
    text += sep + t.format(3403, name.c_str());
  }
  std::u16string channels = info.channels == 1   ? t.text(3405)
                            : info.channels == 2 ? t.text(3406)
                                                 : t.format(3407, info.channels);
  text += sep + t.format(3404, ConvertUnicodeToUTF8(channels).c_str());
  text += sep + t.format(3421, info.sampleRate);
  const int64_t kbps = info.bitRate / 1000;
  if (kbps > 0) text += sep + t.format(3408, static_cast<int>(kbps));
  return text;
}

float ChooseFrameRate(int avgNum, int avgDen, int baseNum, int baseDen) {
  if (avgNum != 0 && avgDen != 0) return static_cast<float>(avgNum) / static_cast<float>(avgDen);
  if (baseNum != 0 && baseDen != 0) return static_cast<float>(baseNum) / static_cast<float>(baseDen);
  return 0.0f;
}

}  // namespace kx
