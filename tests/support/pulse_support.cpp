#include "pulse_support.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/audio/core_audio.h"

extern char** environ;

namespace kx::test {

namespace {

// Output goes to /dev/null: a daemon left behind by a crashed test must not hold the test's output open.
pid_t Spawn(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

void StopChild(pid_t& pid, int signal = SIGTERM) {
  if (pid <= 0) return;
  kill(pid, SIGCONT);
  kill(pid, signal);
  waitpid(pid, nullptr, 0);
  pid = -1;
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

}  // namespace

std::string PeerServer() {
  const char* s = std::getenv("PULSE_SERVER");
  return s ? s : "";
}

bool PeersRequired() {
  const char* r = std::getenv("KX_REQUIRE_PEERS");
  return r && std::string(r) == "1";
}

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

std::string RunWithServer(const std::string& server, const std::string& command, int* status) {
  std::string out;
  FILE* p = popen(("PULSE_SERVER=" + Quote(server) + " " + command + " 2>/dev/null").c_str(), "r");
  if (!p) {
    if (status) *status = -1;
    return out;
  }
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  const int rc = pclose(p);
  if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return out;
}

int64_t SinkInputNumber(const std::string& server, const std::string& key) {
  const std::string list = RunWithServer(server, "pactl list sink-inputs");
  const size_t at = list.find(key);
  if (at == std::string::npos || list.find(key, at + 1) != std::string::npos) return -1;
  return std::strtoll(list.c_str() + at + key.size(), nullptr, 10);
}

bool PrivatePulse::Start(const std::vector<Sink>& sinks, const std::string& defaultSink) {
  char tmpl[] = "/tmp/kxpulse.XXXXXX";
  if (!mkdtemp(tmpl)) return false;
  m_dir = tmpl;
  mkdir((m_dir + "/runtime").c_str(), 0700);
  std::ofstream script(m_dir + "/default.pa");
  script << ".fail\nload-module module-native-protocol-unix auth-anonymous=1\n";
  for (const auto& s : sinks) {
    script << "load-module module-null-sink sink_name=" << s.name << " rate=" << s.rate << " channels=" << s.channels
           << " format=" << s.format << " sink_properties=device.description=" << s.description << "\n";
  }
  script << "set-default-sink " << defaultSink << "\n";
  script.close();
  m_server = "unix:" + m_dir + "/runtime/pulse/native";
  return Launch();
}

bool PrivatePulse::Launch() {
  m_pid =
      Spawn({"env", "XDG_RUNTIME_DIR=" + m_dir + "/runtime", "HOME=" + m_dir, "pulseaudio", "--daemonize=no",
             "--exit-idle-time=-1", "-n", "-F", m_dir + "/default.pa", "--log-target=file:" + m_dir + "/pulse.log"});
  return m_pid > 0 && WaitFor(
                          [&] {
                            int status = -1;
                            Pactl("info", &status);
                            return status == 0;
                          },
                          std::chrono::seconds(20));
}

void PrivatePulse::Kill() { StopChild(m_pid, SIGKILL); }

bool PrivatePulse::Restart() {
  Kill();
  return !m_dir.empty() && Launch();
}

void PrivatePulse::Stop() {
  StopChild(m_pid);
  if (m_dir.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(m_dir, ec);
  m_dir.clear();
}

void PrivatePulse::Pause() {
  if (m_pid > 0) kill(m_pid, SIGSTOP);
}

void PrivatePulse::Resume() {
  if (m_pid > 0) kill(m_pid, SIGCONT);
}

std::string PrivatePulse::Pactl(const std::string& args, int* status) const {
  return RunWithServer(m_server, "pactl " + args, status);
}

void PrivatePulse::UseInThisProcess() const {
  setenv("PULSE_SERVER", m_server.c_str(), 1);
  platform::audio::ResetConnection();
}

MonitorRecording::MonitorRecording(const std::string& server, const std::string& source, int rate) : m_rate(rate) {
  char tmpl[] = "/tmp/kxrec.XXXXXX";
  const int fd = mkstemp(tmpl);
  if (fd < 0) return;
  close(fd);
  m_file = tmpl;
  m_pid = Spawn({"sh", "-c",
                 "exec env PULSE_SERVER=" + Quote(server) +
                     " parec --latency-msec=20 --raw --format=s16le --channels=1 --rate=" + std::to_string(rate) +
                     " -d " + Quote(source) + " > " + Quote(m_file)});
  // Half a second of silence before the audio, and parec is surely recording.
  if (m_pid > 0) std::this_thread::sleep_for(std::chrono::milliseconds(500));
}

MonitorRecording::~MonitorRecording() {
  StopChild(m_pid);
  if (!m_file.empty()) std::remove(m_file.c_str());
}

std::vector<int16_t> MonitorRecording::Stop() {
  StopChild(m_pid);
  std::ifstream in(m_file, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

ToneStats AnalyseTone(const std::vector<int16_t>& x, int rate) {
  ToneStats st;
  int peak = 0;
  size_t first = x.size(), last = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    const int level = std::abs(static_cast<int>(x[i]));
    peak = std::max(peak, level);
    if (level > 327) {  // -40 dBFS
      first = std::min(first, i);
      last = i;
    }
  }
  if (peak > 0) st.peakDb = 20.0 * std::log10(peak / 32768.0);
  if (first >= last) return st;
  st.seconds = static_cast<double>(last - first) / rate;
  // Rising zero crossings, placed between samples by linear interpolation. The median period keeps a
  // momentary dropout on a loaded machine from passing for a wrong pitch; the duration still shows it.
  std::vector<double> periods;
  double previous = -1;
  for (size_t i = first + 1; i <= last; ++i) {
    if (x[i - 1] < 0 && x[i] >= 0) {
      const double t = (i - 1) + static_cast<double>(-x[i - 1]) / (x[i] - x[i - 1]);
      if (previous >= 0) periods.push_back(t - previous);
      previous = t;
    }
  }
  if (!periods.empty()) {
    std::nth_element(periods.begin(), periods.begin() + periods.size() / 2, periods.end());
    st.frequency = rate / periods[periods.size() / 2];
  }
  return st;
}

std::vector<float> StereoTone(double frequency, double amplitude, double seconds) {
  std::vector<float> v(static_cast<size_t>(std::lround(seconds * 48000)) * 2);
  for (size_t i = 0; i < v.size(); i += 2)
    v[i] = v[i + 1] = static_cast<float>(amplitude * std::sin(M_PI * frequency * static_cast<double>(i) / 48000.0));
  return v;
}

int ThreadCount() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("Threads:", 0) == 0) return std::stoi(line.substr(8));
  return -1;
}

}  // namespace kx::test
