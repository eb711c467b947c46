#include "camera_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

namespace kx::test {

CCameraServer::CCameraServer(std::vector<std::string> args) {
  int out[2];
  if (pipe(out) != 0) return;
  m_pid = fork();
  if (m_pid == 0) {
    // A test that crashes must not leave its camera behind (holding the port and the output pipe).
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    std::vector<char*> argv;
    std::string python = "/usr/bin/python3", script = KX_RTSP_CAMERA_SCRIPT;
    argv.push_back(python.data());
    argv.push_back(script.data());
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  // The first line is "PORT n"; the first run after install may take a while.
  std::string text;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (text.find('\n') == std::string::npos && std::chrono::steady_clock::now() < end) {
    pollfd p{out[0], POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buf[256];
    const ssize_t n = read(out[0], buf, sizeof buf);
    if (n <= 0) break;
    text.append(buf, static_cast<size_t>(n));
  }
  close(out[0]);  // later lines are not needed; the script ignores a closed pipe
  if (text.rfind("PORT ", 0) == 0) m_port = std::atoi(text.c_str() + 5);
}

CCameraServer::~CCameraServer() {
  if (m_pid <= 0) return;
  kill(m_pid, SIGCONT);
  kill(m_pid, SIGTERM);
  int status = 0;
  waitpid(m_pid, &status, 0);
}

std::string CCameraServer::Url(const std::string& mount) const {
  return "rtsp://127.0.0.1:" + std::to_string(m_port) + mount;
}

void CCameraServer::Pause() { kill(m_pid, SIGSTOP); }
void CCameraServer::Resume() { kill(m_pid, SIGCONT); }

void CCameraServer::Kill() {
  if (m_pid <= 0) return;
  kill(m_pid, SIGKILL);
  int status = 0;
  waitpid(m_pid, &status, 0);
  m_pid = -1;
}

std::string PeerUrl(const std::string& mount) {
  const char* base = std::getenv("KX_RTSP_CAMERA");
  return base ? base + mount : "";
}

std::string LaunchH264(int width, int height, const std::string& source, const std::string& capsName) {
  std::string caps = "video/x-raw,width=" + std::to_string(width) + ",height=" + std::to_string(height) +
                     ",framerate=25/1";
  std::string filter = capsName.empty() ? caps : "capsfilter name=" + capsName + " caps=\"" + caps + "\"";
  return source + " ! " + filter +
         " ! videoconvert ! x264enc tune=zerolatency speed-preset=ultrafast key-int-max=25 ! "
         "video/x-h264,profile=baseline ! rtph264pay name=pay0 pt=96 config-interval=1";
}

std::string LaunchAac(const std::string& payName) {
  return "audiotestsrc is-live=true wave=sine freq=1000 volume=0.5 ! audio/x-raw,rate=48000,channels=2 ! "
         "audioconvert ! avenc_aac ! rtpmp4gpay name=" + payName + " pt=97";
}

}  // namespace kx::test
