// The audio output's FIFO of device-format sample frames plus a one-record
// slot for the latest picture, under one lock. Every write sets the write
// signal, which a reader with nothing to do waits for.
#pragma once

#include <cstdint>
#include <optional>

#include "media/picture_record.h"
#include "platform/sync.h"
#include "platform/thread.h"

struct AVAudioFifo;

namespace kx {

class CAVFifo {
 public:
  CAVFifo() = default;
  ~CAVFifo();
  CAVFifo(const CAVFifo&) = delete;
  CAVFifo& operator=(const CAVFifo&) = delete;

  // 1 when a sample FIFO exists afterwards. 8, 16, 24 (packed) or 32 bits per sample and
  // 1 to 16 channels; it never holds more than one second (sampleRate frames).
  int Init(int channels, int bitsPerSample, int sampleRate);
  void Free();
  // Appends frames of device-format audio and puts the picture in the slot.
  // When the second is full the oldest frames make room (logged once per
  // overflow). Returns the frames written, 0 without a sample FIFO.
  int Write(const uint8_t* samples, int frames, const PictureRecord& picture);
  // The picture slot only (video-only playback).
  void WritePicture(const PictureRecord& picture);

  // Frames queued (0 without a sample FIFO).
  int Size();
  // The render side: moves up to `frames` frames into `dst` and copies the
  // slot's record, if any, into `picture`. Returns the frames moved.
  int Read(uint8_t* dst, int frames, std::optional<PictureRecord>& picture);
  // The slot's record, if it holds one (not consumed).
  std::optional<PictureRecord> PeekPicture();

  // Set after each Write and WritePicture (auto-reset). The reader resets it
  // before it looks at the FIFO, so no write after that look is missed.
  platform::Event& WriteSignal() { return m_written; }

  int Channels();
  int FrameBytes();  // bytes of one frame, 0 without a sample FIFO
  int Capacity();  // frames the FIFO holds at most, 0 without one
  // The largest write since Init: the source's chunk size in device frames.
  int LargestWrite();

 private:
  platform::Lock m_cs;
  int m_nChannels = 0;
  AVAudioFifo* m_pAudioFifo = nullptr;
  bool m_bPictureSlot = false;
  std::optional<PictureRecord> m_picture;
  int m_nMaxFrames = 0;
  int m_nSampleBytes = 0;
  bool m_bOverflow = false;  // inside an overflow episode (already logged)
  int m_nLargestWrite = 0;
  platform::Event m_written{platform::Event::Mode::Auto};
};

}  // namespace kx
