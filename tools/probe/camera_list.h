// The cameras of a site check: read from a list file (one address a line,
// optionally "name<TAB>address"; blank lines and lines starting with '#' are
// skipped) or from a bookmark file. Platform-free.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kx::probe {

struct CameraEntry {
  std::string name;  // the address with its password masked when the line gives no name
  std::string url;
};

struct ListProblem {
  int line = 0;  // 1-based
  std::string text;
};

// Lines that are no camera (no rtsp:// or rtsps:// address) are reported per
// line and skipped; a problem's text never holds a password.
std::vector<CameraEntry> ParseCameraList(std::string_view text, std::vector<ListProblem>& problems);

// Reads a list file or a bookmark file whole; false with the reason when it
// cannot be read (missing, not a regular file, too large, not a bookmark document).
bool LoadCameraList(const std::string& path, std::vector<CameraEntry>& cameras, std::vector<ListProblem>& problems,
                    std::string& error);
bool LoadBookmarkCameras(const std::string& path, std::vector<CameraEntry>& cameras, std::string& error);

}  // namespace kx::probe
