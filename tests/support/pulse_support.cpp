#include "pulse_support.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/audio/core_audio.h"

extern char** environ;

namespace kx::test {

namespace {

pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv, bool quiet = false) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  for (const auto& x : extraEnv) env.push_back(x);
  std::vector<char*> argv, envp;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  for (const auto& x : env) envp.push_back(const_cast<char*>(x.c_str()));
  envp.push_back(nullptr);
  pid_t pid = -1;
  // A daemon left behind by a crashed test must not hold the test's output open.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (quiet) {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  }
  const int rc = posix_spawnp(&pid, args[0].c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

void StopChild(pid_t& pid, int signal = SIGTERM) {
  if (pid <= 0) return;
  kill(pid, SIGCONT);
  kill(pid, signal);
  int status = 0;
  waitpid(pid, &status, 0);
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
  const std::string line = "PULSE_SERVER=" + Quote(server) + " " + command + " 2>/dev/null";
  std::string out;
  FILE* p = popen(line.c_str(), "r");
  if (!p) {
    if (status) *status = -1;
    return out;
  }
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  const int rc = pclose(p);
  if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return out;
}

int64_t SinkInputVolume(const std::string& server, int64_t index) {
  int status = -1;
  const std::string json = RunWithServer(server, "pactl -f json list sink-inputs", &status);
  if (status != 0) return -1;
  const std::string key = "\"index\":" + std::to_string(index) + ",";
  const size_t at = json.find(key);
  if (at == std::string::npos) return -1;
  const size_t volume = json.find("\"volume\":", at);
  const size_t value = volume == std::string::npos ? volume : json.find("\"value\":", volume);
  if (value == std::string::npos) return -1;
  return std::strtoll(json.c_str() + value + 8, nullptr, 10);
}

PrivatePulse::~PrivatePulse() { Stop(); }

bool PrivatePulse::Start(const std::vector<Sink>& sinks, const std::string& defaultSink) {
  char tmpl[] = "/tmp/kxpulse.XXXXXX";
  if (!mkdtemp(tmpl)) return false;
  m_dir = tmpl;
  const std::string runtime = m_dir + "/runtime";
  mkdir(runtime.c_str(), 0700);
  chmod(runtime.c_str(), 0700);
  {
    std::ofstream script(m_dir + "/default.pa");
    script << ".fail\nload-module module-native-protocol-unix auth-anonymous=1\n";
    for (const auto& s : sinks) {
      script << "load-module module-null-sink sink_name=" << s.name << " rate=" << s.rate
             << " channels=" << s.channels << " format=" << s.format
             << " sink_properties=device.description=" << s.description << "\n";
    }
    if (!defaultSink.empty()) script << "set-default-sink " << defaultSink << "\n";
  }
  m_server = "unix:" + runtime + "/pulse/native";
  return Launch();
}

bool PrivatePulse::Launch() {
  const std::string runtime = m_dir + "/runtime";
  m_pid = Spawn({"pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "-n", "-F", m_dir + "/default.pa",
                 "--log-target=file:" + m_dir + "/pulse.log"},
                {"XDG_RUNTIME_DIR=" + runtime, "HOME=" + m_dir}, true);
  if (m_pid <= 0) return false;
  return WaitFor(
      [&] {
        int status = -1;
        RunWithServer(m_server, "pactl info >/dev/null", &status);
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
  if (!m_dir.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
    m_dir.clear();
  }
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
                 "exec parec --latency-msec=20 --raw --format=s16le --channels=1 --rate=" + std::to_string(rate) +
                     " -d " + Quote(source) + " > " + Quote(m_file)},
                {"PULSE_SERVER=" + server});
  // Half a second of silence before the audio, and parec is surely recording.
  if (m_pid > 0) std::this_thread::sleep_for(std::chrono::milliseconds(500));
}

MonitorRecording::~MonitorRecording() {
  StopChild(m_pid);
  if (!m_file.empty()) std::remove(m_file.c_str());
}

std::vector<int16_t> MonitorRecording::Stop() {
  StopChild(m_pid);
  std::vector<int16_t> samples;
  std::ifstream in(m_file, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  samples.resize(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

double PeakDb(const std::vector<int16_t>& samples) {
  int peak = 0;
  for (int16_t s : samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
  return peak == 0 ? -200.0 : 20.0 * std::log10(peak / 32768.0);
}

ToneStats AnalyseTone(const std::vector<int16_t>& x, int rate) {
  ToneStats st;
  st.peakDb = PeakDb(x);
  const int threshold = static_cast<int>(32768 * 0.01);  // -40 dBFS
  size_t first = x.size(), last = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    if (std::abs(static_cast<int>(x[i])) > threshold) {
      first = std::min(first, i);
      last = i;
    }
  }
  if (first >= last) return st;
  st.seconds = static_cast<double>(last - first) / rate;
  // Rising zero crossings, placed between samples by linear interpolation.
  // The frequency comes from the median period, so a momentary dropout on a
  // loaded machine does not pass for a wrong pitch; the duration still shows it.
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
  const size_t frames = static_cast<size_t>(std::lround(seconds * 48000));
  std::vector<float> v(frames * 2);
  for (size_t i = 0; i < frames; ++i) {
    const float s = static_cast<float>(amplitude * std::sin(2 * M_PI * frequency * i / 48000.0));
    v[2 * i] = v[2 * i + 1] = s;
  }
  return v;
}

int ThreadCount() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("Threads:", 0) == 0) return std::stoi(line.substr(8));
  return -1;
}

}  // namespace kx::test
