// A preview session run with recording parts: the host (what the window would
// show), the real analyser behind a recording feed, and an audio target with a
// real output resampler that records what would be played.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/app_log.h"
#include "media/audio_chunk.h"
#include "media/preview_session.h"
#include "monitor/analyser.h"

struct SwrContext;

namespace kx::test {

// Polls `done` every 10 ms; false when it still fails after `limit` (generous: nothing is measured with it).
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(30));

template <class T>
T Locked(std::mutex& m, const T& value) {
  std::lock_guard<std::mutex> lock(m);
  return value;
}

class CTestHost : public IPreviewHost {
 public:
  struct Box {
    MessageIcon icon;
    std::u16string text;
  };
  void CameraInfo(CameraInfoLine line, const std::u16string& text) override;
  void MessageBox(MessageIcon icon, const std::u16string& text) override;
  VideoSize WindowSize() override { return {800, 600}; }
  void ResizeTargets(int32_t, int32_t) override { std::lock_guard<std::mutex> l(m_mutex); ++m_resizes; }
  void DecodeThreadEnded() override { std::lock_guard<std::mutex> l(m_mutex); ++m_endings; }

  std::u16string VideoLine() { return Locked(m_mutex, m_video); }
  std::u16string AudioLine() { return Locked(m_mutex, m_audio); }
  std::vector<Box> Boxes() { return Locked(m_mutex, m_boxes); }
  int CountBoxes(const std::u16string& text);
  int Clears() { return Locked(m_mutex, m_clears); }
  int Resizes() { return Locked(m_mutex, m_resizes); }
  int Endings() { return Locked(m_mutex, m_endings); }  // DecodeThreadEnded calls
  CameraInfoLine LastInfo() { return Locked(m_mutex, m_last); }

 private:
  std::mutex m_mutex;
  std::u16string m_video, m_audio;
  std::vector<Box> m_boxes;
  int m_clears = 0, m_resizes = 0, m_endings = 0;
  CameraInfoLine m_last = CameraInfoLine::Clear;
};

class CRecordingFeed : public IAnalysisFeed {
 public:
  void PushAudioBlock(const float* values, size_t count) override;
  void ResetAnalysis() override { m_analyser.ResetAnalysis(); }
  void PushStereo(const float*, size_t frames, double) override { m_stereoFrames += static_cast<int64_t>(frames); }
  size_t Blocks() { return BlockSizes().size(); }
  int64_t StereoFrames() const { return m_stereoFrames.load(); }  // every frame handed to the measurements
  std::vector<size_t> BlockSizes() { return Locked(m_mutex, m_sizes); }
  std::vector<float> Values() { return Locked(m_mutex, m_values); }  // every pushed value in order (first 10 s)

 private:
  std::mutex m_mutex;
  CSpectrumAnalyser m_analyser;
  std::vector<size_t> m_sizes;
  std::vector<float> m_values;
  std::atomic<int64_t> m_stereoFrames{0};
};

// The device side: a real resampler from 48 kHz stereo float into 44.1 kHz stereo 16-bit.
class CRecordingTarget : public IAudioTarget {
 public:
  static constexpr int kRate = 44100;
  static constexpr int kChannels = 2;
  explicit CRecordingTarget(bool deviceOpen = true);
  ~CRecordingTarget() override;

  std::mutex& SetupLock() override { return m_setup; }
  bool DeviceOpen() override { return m_swr != nullptr; }
  // The audio output's conversion step, then the recording.
  int ConvertAndWrite(const float* stereo, int frames, const PictureRecord& picture) override;
  void WritePicture(const PictureRecord& picture) override;

  // What each written chunk carried, in order (first 3000 chunks).
  struct ChunkNote {
    int64_t pts = -1;            // the picture's serial; -1 for an empty picture
    uint64_t generation = 0;
    size_t bytes = 0;            // the picture's pixel bytes
    uint8_t red = 0, blue = 0;   // the picture's centre pixel
    float peak = 0;              // the chunk's loudest sample, 0..1
    int64_t newest = -1;         // the newest converted picture's serial when the chunk was written
  };
  int64_t Chunks() { return Locked(m_mutex, m_chunks); }
  int64_t Frames() { return Locked(m_mutex, m_frames); }
  int64_t EmptyPictureChunks() { return Locked(m_mutex, m_emptyPictures); }
  int64_t PictureWrites() { return Locked(m_mutex, m_pictureWrites); }
  PictureRecord Slot() { return Locked(m_mutex, m_slot); }  // the picture slot, as the render loop would read it
  std::vector<int16_t> Samples() { return Locked(m_mutex, m_samples); }  // interleaved, first 10 s
  std::vector<ChunkNote> ChunkNotes() { return Locked(m_mutex, m_chunkNotes); }
  // Pictures converted so far (the session's count, single run), for ChunkNote::newest.
  const std::atomic<int64_t>* m_pPicturesConverted = nullptr;

 private:
  std::mutex m_setup;
  SwrContext* m_swr = nullptr;
  CSampleBuffer m_buffer;
  std::mutex m_mutex;  // the FIFO's own lock
  int64_t m_chunks = 0, m_frames = 0, m_emptyPictures = 0, m_pictureWrites = 0;
  PictureRecord m_slot;
  std::vector<int16_t> m_samples;
  std::vector<ChunkNote> m_chunkNotes;
};

// Every log line while it lives.
class CLogCapture {
 public:
  CLogCapture();
  ~CLogCapture();
  std::vector<std::u16string> Lines() { return Locked(m_mutex, m_lines); }
  bool Contains(const std::u16string& part);
  int CountStarting(const std::u16string& head);  // lines that begin with `head`

 private:
  std::mutex m_mutex;
  std::vector<std::u16string> m_lines;
};

// A session with the recording parts, stopped and destroyed in order.
struct SessionRig {
  CSettingsBlock settings;
  CTestHost host;
  CRecordingFeed feed;
  CRecordingTarget target;
  CPreviewSession session{host, feed, target, settings};

  explicit SessionRig(int openTimeoutMs = 4000, bool deviceOpen = true) : target(deviceOpen) {
    settings.OpenTimeout = openTimeoutMs;
    target.m_pPicturesConverted = &Stats().picturesConverted;
  }
  void Start(const std::string& url, CPreviewSession::OpenOn on = CPreviewSession::OpenOn::Caller) {
    session.SetURL(std::u16string(url.begin(), url.end()));
    session.Start(on);
  }
  // The session's counters: the one place the tests reach them.
  const SessionStats& Stats() { return session.Stats(); }
};

// Positive-going zero crossings per second of a channel of interleaved samples.
double ZeroCrossingRate(const std::vector<float>& mono, double sampleRate);
std::vector<float> Channel(const std::vector<int16_t>& interleaved, int channels, int index);
float PeakOf(const std::vector<float>& values, size_t from = 0);

}  // namespace kx::test
