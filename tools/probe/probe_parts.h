// The window's sides for a session without a window: the analysis feed and
// the host. Shared by the one-camera run and the watch.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "kxSystem.h"
#include "media/preview_host.h"
#include "media/session_adapters.h"
#include "monitor/analyser.h"
#include "monitor/measure_worker.h"

namespace kx::probe {

inline std::string Utf8(const std::u16string& s) { return ConvertUnicodeToUTF8(s); }

// The analyser's feed, and with --measure the measurements' too. A
// reconnection resets the analysis but not the measurements: they cover the
// whole run.
class CProbeFeed : public IAnalysisFeed {
 public:
  CProbeFeed(CSpectrumAnalyser& analyser, measure::CMeasureWorker* measure) : m_analyser(analyser), m_measure(measure) {}
  void PushAudioBlock(const float* values, size_t count) override { m_analyser.PushAudioBlock(values, count); }
  void ResetAnalysis() override { m_analyser.ResetAnalysis(); }
  void PushStereo(const float* interleaved, size_t frames, double seconds) override {
    if (m_measure) m_measure->Push(interleaved, frames, seconds);
  }
  void PushPicture(const measure::LumaThumb& thumb) override {
    if (m_measure) m_measure->PushPicture(thumb);
  }

 private:
  CSpectrumAnalyser& m_analyser;
  measure::CMeasureWorker* m_measure;
};

// The window's side without a window: texts are kept, message boxes are
// written to standard error by the main thread at the end.
class CProbeHost : public IPreviewHost {
 public:
  void CameraInfo(CameraInfoLine line, const std::u16string& text) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (line == CameraInfoLine::Video) m_video = text;
    if (line == CameraInfoLine::Audio) m_audio = text;
    // A clear is not kept: the report shows what the camera last said.
  }
  void MessageBox(MessageIcon icon, const std::u16string& text) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_boxes.push_back((icon == MessageIcon::Error ? "error: " : "warning: ") + Utf8(text));
  }
  VideoSize WindowSize() override { return {1280, 720}; }
  void ResizeTargets(int32_t, int32_t) override {}

  std::string Video() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return Utf8(m_video);
  }
  std::string Audio() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return Utf8(m_audio);
  }
  std::vector<std::string> Boxes() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_boxes;
  }

 private:
  std::mutex m_mutex;
  std::u16string m_video, m_audio;
  std::vector<std::string> m_boxes;
};

}  // namespace kx::probe
