// What the audio tests share: the one place that reads the output's inside,
// the decode side that feeds it, and the log's lines.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "audio/audio_output.h"
#include "audio_output_test_access.h"
#include "common/app_log.h"
#include "pulse_support.h"

namespace kx::test {

// The output's members the tests read (the device format under the set-up
// lock, as the decode thread reads it).
struct OutputInside {
  explicit OutputInside(CAudioOutput& out) : o(out) {}
  int Rate() { return static_cast<int>(o.DeviceFormat().nSamplesPerSec); }
  WAVEFORMATEX Format() { return o.DeviceFormat(); }
  int Channels() { return CAudioOutputTestAccess::DeviceChannels(o); }
  SwrContext* Resampler() { return CAudioOutputTestAccess::Resampler(o); }
  int Queued() { return CAudioOutputTestAccess::Fifo(o).Size(); }
  int FrameBytes() { return CAudioOutputTestAccess::Fifo(o).FrameBytes(); }
  int Capacity() { return CAudioOutputTestAccess::Fifo(o).Capacity(); }
  CAudioOutput& o;
};

// The decode side: feeds 48 kHz stereo float in 10 ms chunks while a device
// is open, keeping 100 to 200 ms queued, as a live stream would.
class Feeder {
 public:
  explicit Feeder(CAudioOutput& out) : m_out(out), m_inside(out) {}
  ~Feeder() { StopLoop(); }
  // Writes `samples` once, then returns when the FIFO has drained.
  void PlayOnce(const std::vector<float>& samples) {
    for (size_t at = 0; at < samples.size() / 2;) {
      if (m_inside.Queued() > m_inside.Rate() / 5) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        continue;
      }
      const int n = static_cast<int>(std::min<size_t>(480, samples.size() / 2 - at));
      m_out.ConvertAndWrite(samples.data() + at * 2, n, m_picture);
      at += n;
    }
    WaitFor([&] { return m_inside.Queued() == 0; });
  }
  // Keeps writing `cycle` (48 kHz stereo, a whole number of 10 ms chunks)
  // over and over on a thread of its own until StopLoop.
  void StartLoop(std::vector<float> cycle) {
    m_run = true;
    m_thread = std::thread([this, cycle = std::move(cycle)] {
      for (size_t at = 0; m_run;) {
        if (m_inside.Queued() < m_inside.Rate() / 10 && m_out.ConvertAndWrite(cycle.data() + at, 480, m_picture) > 0) {
          at = (at + 960) % cycle.size();
          continue;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
    });
  }
  void StartLoop(double amplitude) { StartLoop(StereoTone(1000, amplitude, 0.01)); }
  void StopLoop() {
    m_run = false;
    if (m_thread.joinable()) m_thread.join();
  }
  PictureRecord m_picture;

 private:
  CAudioOutput& m_out;
  OutputInside m_inside;
  std::atomic<bool> m_run{false};
  std::thread m_thread;
};

// What the log receives while it lives, as UTF-8.
class LogLines {
 public:
  LogLines() {
    SetAppLogObserver([this](kxLogEventType type, const std::u16string& line) {
      std::lock_guard<std::mutex> g(m_mutex);
      m_lines.emplace_back(type, ConvertUnicodeToUTF8(line));
    });
  }
  ~LogLines() { SetAppLogObserver(nullptr); }
  std::vector<std::string> Lines() {
    std::lock_guard<std::mutex> g(m_mutex);
    std::vector<std::string> text;
    for (const auto& l : m_lines) text.push_back(l.second);
    return text;
  }
  int Count(kxLogEventType type, const std::string& text) {
    std::lock_guard<std::mutex> g(m_mutex);
    int n = 0;
    for (const auto& [t, l] : m_lines) n += t == type && l == text;
    return n;
  }

 private:
  std::mutex m_mutex;
  std::vector<std::pair<kxLogEventType, std::string>> m_lines;
};

}  // namespace kx::test
