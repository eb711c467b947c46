// Test support: real PulseAudio daemons (the shared test peer or a private
// one started here), recordings of a sink's monitor with parec, and the
// analysis of a recorded tone.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kx::test {

// The shared daemon's address, or empty (the caller skips or fails).
std::string PeerServer();
bool PeersRequired();

// Polls `done` every 5 ms for at most `limit` (a bound against hangs only).
bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(30));

// Runs a command with PULSE_SERVER set; returns its standard output.
std::string RunWithServer(const std::string& server, const std::string& command, int* status = nullptr);

// The volume (pa_volume_t of the first channel) of a sink input as pactl
// reads it, or -1 when there is no such sink input.
int64_t SinkInputVolume(const std::string& server, int64_t index);

// A daemon of the test's own, in a fresh 0700 runtime folder.
class PrivatePulse {
 public:
  struct Sink {
    std::string name, description, format;
    int rate = 48000, channels = 2;
  };
  PrivatePulse() = default;
  ~PrivatePulse();
  PrivatePulse(const PrivatePulse&) = delete;
  PrivatePulse& operator=(const PrivatePulse&) = delete;
  // False when pulseaudio cannot run here.
  bool Start(const std::vector<Sink>& sinks, const std::string& defaultSink);
  void Stop();
  // Kills the daemon (SIGKILL) and starts it again with the same sinks at
  // the same address; false when it does not come back.
  void Kill();
  bool Restart();
  void Pause();   // SIGSTOP: alive but silent
  void Resume();  // SIGCONT
  const std::string& Server() const { return m_server; }
  std::string Pactl(const std::string& args, int* status = nullptr) const;
  // Makes this daemon the process's sound server (PULSE_SERVER) and drops
  // the process's connection to any other.
  void UseInThisProcess() const;

 private:
  bool Launch();
  std::string m_dir, m_server;
  pid_t m_pid = -1;
};

// parec on a source (raw s16le mono), started as a child.
class MonitorRecording {
 public:
  MonitorRecording(const std::string& server, const std::string& source, int rate);
  ~MonitorRecording();
  MonitorRecording(const MonitorRecording&) = delete;
  MonitorRecording& operator=(const MonitorRecording&) = delete;
  bool Started() const { return m_pid > 0; }
  // Stops parec and returns what it recorded.
  std::vector<int16_t> Stop();
  int Rate() const { return m_rate; }

 private:
  std::string m_file;
  pid_t m_pid = -1;
  int m_rate;
};

struct ToneStats {
  double frequency = 0;  // Hz, from the zero crossings of the loud part
  double peakDb = -200;  // dBFS of the loudest sample
  double seconds = 0;    // length of the part louder than -40 dBFS
};
ToneStats AnalyseTone(const std::vector<int16_t>& samples, int rate);
double PeakDb(const std::vector<int16_t>& samples);

// `seconds` of a sine at `amplitude`, 48 kHz stereo float interleaved.
std::vector<float> StereoTone(double frequency, double amplitude, double seconds);

// Threads of this process right now.
int ThreadCount();

}  // namespace kx::test

// A missing peer fails when peers are required, else skips the test.
#define KX_REQUIRE_PULSE_PEER()                                                   \
  do {                                                                            \
    if (::kx::test::PeerServer().empty()) {                                       \
      if (::kx::test::PeersRequired()) FAIL() << "PULSE_SERVER is not set";       \
      GTEST_SKIP() << "no PulseAudio peer (run under tests/peers/with-peers)";    \
    }                                                                             \
  } while (0)
