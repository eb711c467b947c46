// What the preview session talks to: the window that shows it (host), the
// analyser that gets the audio blocks, and the audio output that plays the
// chunks. Each is an interface so the session runs with or without a window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "media/picture_record.h"
#include "monitor/av_sync.h"

namespace kx {

enum class MessageIcon { Warning, Error };

// WM_CAMERA_INFO's wParam values.
enum class CameraInfoLine : int { Clear = 0, Video = 1, Audio = 2 };

struct VideoSize {
  int32_t cx = 0;
  int32_t cy = 0;
  bool operator==(const VideoSize&) const = default;
};

// The main frame and view as the session sees them. The session calls these
// from the user-interface thread and from decode threads (an open there, a
// reconnection), so every call must return without waiting for the
// user-interface thread: the UI thread may be waiting for the decode thread
// at that moment.
// Implementations queue the work and copy the texts.
class IPreviewHost {
 public:
  virtual ~IPreviewHost() = default;
  // WM_CAMERA_INFO: Clear with an empty text, or the video or audio line.
  virtual void CameraInfo(CameraInfoLine line, const std::u16string& text) = 0;
  // A message box with an OK button; shown later by the UI thread.
  virtual void MessageBox(MessageIcon icon, const std::u16string& text) = 0;
  // The view's client size, for ResizeTargets.
  virtual VideoSize WindowSize() = 0;
  // The video picture size changed: the drawing targets follow it.
  virtual void ResizeTargets(int32_t width, int32_t height) = 0;
  // The whole-pixel size the host shows pictures at, read by the decode
  // thread for every picture, which it converts straight to that size;
  // {0, 0}: the camera's own size (a host that shows none, or scales itself).
  virtual VideoSize ShownPictureSize() { return {}; }
  // The decode thread ended by itself (its open failed, or a run ended and
  // could not reconnect), from that thread just before it returns: the
  // commands that depend on a running preview may change.
  virtual void DecodeThreadEnded() {}
};

// The analyser's input side.
class IAnalysisFeed {
 public:
  virtual ~IAnalysisFeed() = default;
  // At most 480 values of the left channel, 48 kHz.
  virtual void PushAudioBlock(const float* values, size_t count) = 0;
  virtual void ResetAnalysis() = 0;
  // Every frame of each 48 kHz stereo chunk, interleaved, in order, for the
  // sound measurements, with the stream time of its first frame (seconds).
  // On the decode thread: copy and return.
  virtual void PushStereo(const float* /*interleaved*/, size_t /*frames*/, double /*seconds*/) {}
  // Each decoded picture's brightness grid with its stream time, for the
  // lip-sync measurement (streams with sound and picture). Copy and return.
  virtual void PushPicture(const measure::LumaThumb& /*thumb*/) {}
};

// The audio output as the decode thread uses it. DeviceOpen and
// ConvertAndWrite are called with SetupLock() held; WritePicture with or
// without it (where the set-up lock stands in the lock order: docs/threads.md).
class IAudioTarget {
 public:
  virtual ~IAudioTarget() = default;
  virtual std::mutex& SetupLock() = 0;
  // True while a device plays: its resampler from 48 kHz stereo float into
  // the device format exists.
  virtual bool DeviceOpen() = 0;
  // Converts `frames` frames of 48 kHz packed float stereo into the device
  // format, appends them and stores the picture. Returns the device frames
  // made, negative when nothing could be converted (no device, no memory).
  virtual int ConvertAndWrite(const float* stereo, int frames, const PictureRecord& picture) = 0;
  // Stores the picture alone: video without audio, or audio that no device
  // plays (then the picture of each chunk).
  virtual void WritePicture(const PictureRecord& picture) = 0;
};

}  // namespace kx
