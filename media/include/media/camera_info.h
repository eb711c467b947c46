// The two camera information lines and the address shown in the log.
// Plain code: the values come from the decoders, the texts from the string table.
#pragma once

#include <cstdint>
#include <string>

namespace kx {

// Two blanks, a black square (U+25A0), two blanks.
std::u16string CameraInfoSeparator();

struct VideoStreamInfo {
  std::string codecLongName;
  int32_t width = 0;
  int32_t height = 0;
  float fps = 0;  // 0 when the stream gives no frame rate
};

struct AudioStreamInfo {
  std::string codecLongName;
  int32_t firstSampleFormat = -1;  // the decoder's first listed format, -1 none
  int32_t channels = 0;
  int32_t sampleRate = 0;
  int64_t bitRate = 0;  // bit/s, 0 unknown
};

// The language of a line: the interface's for the info bar, English for the
// log (the log is never translated).
enum class InfoLanguage { Interface, Log };

// "Codec: [..]  ■  Video size WxH: [WxH]", the part that is logged.
std::u16string VideoInfoHead(const VideoStreamInfo& info, InfoLanguage language = InfoLanguage::Interface);
// The head followed by the frame rate: the line the info bar shows.
std::u16string VideoInfoText(const VideoStreamInfo& info);
std::u16string AudioInfoText(const AudioStreamInfo& info, InfoLanguage language = InfoLanguage::Interface);

// Frame-rate choice: the average rate when both its terms are non-zero, else
// the real base rate when both of its terms are, else 0.
float ChooseFrameRate(int avgNum, int avgDen, int baseNum, int baseDen);

}  // namespace kx
