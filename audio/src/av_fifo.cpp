#include "audio/av_fifo.h"

#include <algorithm>

extern "C" {
#include <libavutil/audio_fifo.h>
}

#include "common/app_log.h"

namespace kx {

CAVFifo::~CAVFifo() { Free(); }

int CAVFifo::Init(int channels, int bitsPerSample, int sampleRate) {
  Free();
  AVSampleFormat format;
  // Only the sample size matters: 32-bit float is kept as S32, and packed
  // 24-bit samples as three bytes of U8 each.
  int bytesPerSample = 1;
  switch (bitsPerSample) {
    case 8: format = AV_SAMPLE_FMT_U8; break;
    case 16: format = AV_SAMPLE_FMT_S16; break;
    case 24: format = AV_SAMPLE_FMT_U8; bytesPerSample = 3; break;
    case 32: format = AV_SAMPLE_FMT_S32; break;
    default: return 0;
  }
  platform::LockGuard g(m_cs);
  m_nChannels = channels;
  if (channels >= 1 && channels <= 16 && sampleRate > 0) {
    m_pAudioFifo = av_audio_fifo_alloc(format, channels * bytesPerSample, sampleRate);
    if (m_pAudioFifo) {
      m_nMaxFrames = sampleRate;  // one second
      m_nSampleBytes = bitsPerSample / 8;
      m_bPictureSlot = true;
    }
  }
  return m_pAudioFifo ? 1 : 0;
}

void CAVFifo::Free() {
  platform::LockGuard g(m_cs);
  if (m_pAudioFifo) av_audio_fifo_free(m_pAudioFifo);
  m_pAudioFifo = nullptr;
  m_bPictureSlot = false;
  m_picture.reset();
  m_nChannels = 0;
  m_nMaxFrames = 0;
  m_nSampleBytes = 0;
  m_bOverflow = false;
  m_nLargestWrite = 0;
}

int CAVFifo::Write(const uint8_t* samples, int frames, const PictureRecord& picture) {
  int written = 0;
  int dropped = 0;
  bool logOverflow = false;
  {
    platform::LockGuard g(m_cs);
    if (m_pAudioFifo && samples && frames > 0) {
      // Keep at most one second: the newest frames win.
      int skip = 0;
      if (frames > m_nMaxFrames) {
        skip = frames - m_nMaxFrames;
        dropped += skip;
      }
      const int keep = frames - skip;
      const int excess = av_audio_fifo_size(m_pAudioFifo) + keep - m_nMaxFrames;
      if (excess > 0) {
        av_audio_fifo_drain(m_pAudioFifo, excess);
        dropped += excess;
      }
      const uint8_t* start = samples + static_cast<size_t>(skip) * m_nChannels * m_nSampleBytes;
      void* planes[1] = {const_cast<uint8_t*>(start)};
      const int n = av_audio_fifo_write(m_pAudioFifo, planes, keep);
      written = n > 0 ? n : 0;
      m_nLargestWrite = std::max(m_nLargestWrite, frames);
      if (dropped > 0 && !m_bOverflow) {
        m_bOverflow = true;
        logOverflow = true;
      }
    }
    if (m_bPictureSlot) m_picture = picture;
  }
  m_written.Set();
  if (logOverflow) LogWarning(u"Audio FIFO overflow: the device does not take the audio, oldest samples dropped");
  return written;
}

void CAVFifo::WritePicture(const PictureRecord& picture) {
  {
    platform::LockGuard g(m_cs);
    if (m_bPictureSlot) m_picture = picture;
  }
  m_written.Set();
}

int CAVFifo::Size() {
  platform::LockGuard g(m_cs);
  return m_pAudioFifo ? av_audio_fifo_size(m_pAudioFifo) : 0;
}

int CAVFifo::Read(uint8_t* dst, int frames, std::optional<PictureRecord>& picture) {
  platform::LockGuard g(m_cs);
  int n = 0;
  if (m_pAudioFifo && dst && frames > 0) {
    void* planes[1] = {dst};
    n = av_audio_fifo_read(m_pAudioFifo, planes, frames);
    if (n < 0) n = 0;
    // The episode ends once the reader has made room again.
    if (m_bOverflow && av_audio_fifo_size(m_pAudioFifo) < m_nMaxFrames / 2) m_bOverflow = false;
  }
  if (m_picture) picture = m_picture;
  return n;
}

std::optional<PictureRecord> CAVFifo::PeekPicture() {
  platform::LockGuard g(m_cs);
  return m_picture;
}

int CAVFifo::Channels() {
  platform::LockGuard g(m_cs);
  return m_nChannels;
}

int CAVFifo::FrameBytes() {
  platform::LockGuard g(m_cs);
  return m_pAudioFifo ? m_nChannels * m_nSampleBytes : 0;
}

int CAVFifo::LargestWrite() {
  platform::LockGuard g(m_cs);
  return m_nLargestWrite;
}

int CAVFifo::Capacity() {
  platform::LockGuard g(m_cs);
  return m_pAudioFifo ? m_nMaxFrames : 0;
}

}  // namespace kx
