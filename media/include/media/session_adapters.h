// The session's interfaces over the program's real parts: the spectrum
// analyser and the audio output. Templates, so the media library does not
// depend on either; any class with the members used fits.
#pragma once

#include "media/preview_host.h"

namespace kx {

template <class Analyser>
class CAnalyserFeed : public IAnalysisFeed {
 public:
  explicit CAnalyserFeed(Analyser& analyser) : m_analyser(analyser) {}
  void PushAudioBlock(const float* values, size_t count) override { m_analyser.PushAudioBlock(values, count); }
  void ResetAnalysis() override { m_analyser.ResetAnalysis(); }

 private:
  Analyser& m_analyser;
};

// The audio output's set-up lock and its conversion into the device's FIFO
// (or, with no device playing, the presenter).
template <class Output>
class CAudioOutputTarget : public IAudioTarget {
 public:
  explicit CAudioOutputTarget(Output& output) : m_output(output) {}
  std::mutex& SetupLock() override { return m_output.SetupLock(); }
  bool DeviceOpen() override { return m_output.DeviceOpenLocked(); }
  int ConvertAndWrite(const float* stereo, int frames, const PictureRecord& picture) override {
    return m_output.ConvertAndWriteLocked(stereo, frames, picture);
  }
  void WritePicture(const PictureRecord& picture) override { m_output.WritePicture(picture); }

 private:
  Output& m_output;
};

}  // namespace kx
