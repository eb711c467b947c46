#include "camera_list.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "dialogs/bookmark.h"
#include "kxSystem.h"

namespace kx::probe {

namespace {

std::string_view Trim(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

bool IsCameraAddress(std::string_view url) {
  const auto startsWith = [&](std::string_view scheme) {
    if (url.size() <= scheme.size()) return false;
    for (size_t i = 0; i < scheme.size(); ++i)
      if (std::tolower(static_cast<unsigned char>(url[i])) != scheme[i]) return false;
    return true;
  };
  if (!startsWith("rtsp://") && !startsWith("rtsps://")) return false;
  for (char c : url)
    if (static_cast<unsigned char>(c) <= ' ') return false;  // no blanks or controls inside an address
  return true;
}

// What a garbage line said, short and without a password.
std::string Quote(std::string_view line) {
  std::string shown = kxMaskUrlPassword(line.substr(0, 80));
  for (char& c : shown)
    if (static_cast<unsigned char>(c) < ' ') c = ' ';
  return "\"" + shown + (line.size() > 80 ? "...\"" : "\"");
}

// Files larger than this are no camera list.
constexpr std::uintmax_t kMaxListBytes = 16u << 20;

bool ReadWhole(const std::string& path, std::uintmax_t limit, std::string& text, std::string& error) {
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (ec || !std::filesystem::exists(status)) {
    error = path + ": no such file";
    return false;
  }
  if (!std::filesystem::is_regular_file(status)) {
    error = path + ": not a regular file";
    return false;
  }
  const auto size = std::filesystem::file_size(path, ec);
  if (ec || size > limit) {
    error = path + ": too large";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  std::ostringstream all;
  all << in.rdbuf();
  text = all.str();
  return true;
}

}  // namespace

std::vector<CameraEntry> ParseCameraList(std::string_view text, std::vector<ListProblem>& problems) {
  std::vector<CameraEntry> cameras;
  int number = 0;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view raw = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    ++number;
    const std::string_view line = Trim(raw);
    if (line.empty() || line.front() == '#') continue;
    std::string_view name, url = line;
    if (const size_t tab = line.find('\t'); tab != std::string_view::npos) {
      name = Trim(line.substr(0, tab));
      url = Trim(line.substr(tab + 1));
    }
    if (!IsCameraAddress(url)) {
      problems.push_back({number, "not a camera address: " + Quote(line)});
      continue;
    }
    cameras.push_back({kxMaskUrlPassword(name.empty() ? url : name), std::string(url)});
  }
  return cameras;
}

bool LoadCameraList(const std::string& path, std::vector<CameraEntry>& cameras, std::vector<ListProblem>& problems,
                    std::string& error) {
  std::string text;
  if (!ReadWhole(path, kMaxListBytes, text, error)) return false;
  cameras = ParseCameraList(text, problems);
  return true;
}

bool LoadBookmarkCameras(const std::string& path, std::vector<CameraEntry>& cameras, std::string& error) {
  std::string text;
  if (!ReadWhole(path, CBookmark::kMaxFileBytes, text, error)) return false;
  std::vector<CBookmarkItem> items;
  if (!ParseBookmarkXml(text.data(), text.size(), items, CBookmark::kMaxItems)) {
    error = path + ": not a bookmark file";
    return false;
  }
  for (const auto& item : items) {
    const std::string url(Trim(ConvertUnicodeToUTF8(item.url)));
    std::string name(Trim(ConvertUnicodeToUTF8(item.name)));
    // A bookmark named by its own address shows it masked.
    if (name.empty() || name == url) name = kxMaskUrlPassword(url);
    cameras.push_back({kxMaskUrlPassword(name), url});
  }
  return true;
}

}  // namespace kx::probe
