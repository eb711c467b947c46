// The decode side's two audio conversions, with buffers kept across chunks:
// the decoder's audio into 48 kHz packed float stereo (for the analyser and
// as the device conversion's input), and that stereo into the output device's
// format through the audio output's resampler.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {
#include <libavutil/samplefmt.h>
}

struct AVCodecContext;
struct AVFrame;
struct SwrContext;

namespace kx {

// Packed samples laid out as av_samples_alloc lays them (same alignment, so
// the resampler takes the same code paths), grown when a chunk needs more
// room and otherwise reused.
class CSampleBuffer {
 public:
  CSampleBuffer() = default;
  ~CSampleBuffer();
  CSampleBuffer(const CSampleBuffer&) = delete;
  CSampleBuffer& operator=(const CSampleBuffer&) = delete;

  // Room for `frames` frames of `channels` packed `format` samples; null when
  // the size is not positive or the memory cannot be had.
  uint8_t* Reserve(int channels, int frames, AVSampleFormat format);
  uint8_t* Data() const { return m_p; }
  int Bytes() const { return m_nBytes; }

 private:
  uint8_t* m_p = nullptr;
  int m_nBytes = 0;
};

// The decoder's channel layout, rate and format in; 2 channels, 48000 Hz,
// packed float out. A mono source goes to both sides at unity gain.
class CStereoConverter {
 public:
  static constexpr int kRate = 48000;

  CStereoConverter() = default;
  ~CStereoConverter();
  CStereoConverter(const CStereoConverter&) = delete;
  CStereoConverter& operator=(const CStereoConverter&) = delete;

  // Sets the resampler up for the codec context's audio; false when it could
  // not be initialised. `layoutMask` gets the input's channel mask (0 when the
  // layout has no native order), for the log.
  bool Init(const AVCodecContext& ctx, uint64_t* layoutMask);
  void Free();
  bool Ready() const;

  // Converts one decoded frame whose rate is `inRate`; returns the stereo
  // frames made (at Data(), interleaved left/right), or a negative number
  // when nothing could be converted.
  int Convert(const AVFrame& frame, int inRate);
  const float* Data() const { return reinterpret_cast<const float*>(m_buffer.Data()); }
  // How far the next output lags its input: the resampler's filter and the
  // input it still holds (0 without resampling).
  double DelaySeconds() const;

 private:
  SwrContext* m_swr = nullptr;
  CSampleBuffer m_buffer;
};

// The second conversion: `frames` stereo frames (48 kHz packed float) through
// the device resampler `output` into `buffer`, sized for `deviceRate` and
// `deviceChannels` and the resampler's own output format. Returns the device
// frames made (at buffer.Data()), or a negative number on failure.
int ConvertForDevice(SwrContext* output, int deviceRate, int deviceChannels, const float* stereo, int frames,
                     CSampleBuffer& buffer);

// A device of packed 24-bit samples takes the resampler's 32-bit output with
// the low byte of each sample dropped: `count` little-endian 32-bit samples
// at `samples` become `count` three-byte samples there, in place.
void PackS32ToS24(uint8_t* samples, size_t count);

}  // namespace kx
