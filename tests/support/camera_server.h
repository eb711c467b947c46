// The project's RTSP camera script as a child process, which a test may stop, resume or kill.
#pragma once

#include <sys/types.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace kx::test {

class CCameraServer {
 public:
  // Starts the script with `args` (e.g. {"--mount", "/v=LAUNCH"}); Port() is 0 when it did not come up.
  explicit CCameraServer(std::vector<std::string> args);
  ~CCameraServer();
  CCameraServer(const CCameraServer&) = delete;
  CCameraServer& operator=(const CCameraServer&) = delete;

  int Port() const { return m_port; }
  std::string Url(const std::string& mount) const;
  void Pause();   // SIGSTOP: the camera stalls with its connections open
  void Resume();  // SIGCONT
  void Kill();    // SIGKILL and reap: connections drop at once

 private:
  pid_t m_pid = -1;
  int m_port = 0;
};

// The address of one of the peer camera's mounts, or "" without the peers.
std::string PeerUrl(const std::string& mount);

// Skips a test whose peer address is empty (fails it when the peers are required).
#define REQUIRE_PEER(url)                                                              \
  if ((url).empty()) {                                                                 \
    if (const char* r = std::getenv("KX_REQUIRE_PEERS"); r && std::string(r) == "1") \
      FAIL() << "KX_RTSP_CAMERA is not set";                                           \
    GTEST_SKIP() << "no RTSP camera peer (run under tests/peers/with-peers)";          \
  }

// Launch lines shared by the tests.
std::string LaunchH264(int width, int height, const std::string& source = "videotestsrc is-live=true",
                       const std::string& capsName = "");
std::string LaunchAac(const std::string& payName = "pay1");

}  // namespace kx::test
