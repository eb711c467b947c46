// Real PulseAudio daemons for tests (the shared peer or one of the test's
// own), parec recordings of a sink's monitor and what a recorded tone shows.
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

// The number after `key` ("Buffer Latency:", "front-left:") in pactl's list of
// sink inputs, or -1 unless there is exactly one sink input with it.
int64_t SinkInputNumber(const std::string& server, const std::string& key);

// A daemon of the test's own with null sinks, in a fresh 0700 runtime folder.
class PrivatePulse {
 public:
  struct Sink {
    std::string name, description, format;
    int rate = 48000, channels = 2;
  };
  PrivatePulse() = default;
  ~PrivatePulse() { Stop(); }
  PrivatePulse(const PrivatePulse&) = delete;
  PrivatePulse& operator=(const PrivatePulse&) = delete;
  // False when pulseaudio cannot run here.
  bool Start(const std::vector<Sink>& sinks, const std::string& defaultSink);
  void Stop();
  // SIGKILL; Restart starts it again with the same sinks at the same address.
  void Kill();
  bool Restart();
  void Pause();   // SIGSTOP: alive but silent
  void Resume();  // SIGCONT
  const std::string& Server() const { return m_server; }
  std::string Pactl(const std::string& args, int* status = nullptr) const;
  // Makes this daemon the process's sound server and drops the connection to any other.
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
  double frequency = 0;  // Hz, from the median period between rising zero crossings of the loud part
  double peakDb = -200;  // dBFS of the loudest sample
  double seconds = 0;    // length of the part louder than -40 dBFS
};
ToneStats AnalyseTone(const std::vector<int16_t>& samples, int rate);

// `seconds` of a sine at `amplitude`, 48 kHz stereo float interleaved.
std::vector<float> StereoTone(double frequency, double amplitude, double seconds);

// Threads of this process right now.
int ThreadCount();

}  // namespace kx::test
