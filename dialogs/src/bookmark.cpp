#include "dialogs/bookmark.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <pugixml.hpp>
#include <sstream>

#include "kxSystem.h"

namespace kx {

namespace {

constexpr char kFileName[] = "Bookmark.xml";

enum class ReadResult { Missing, Read, Unreadable };

// Reads a regular file of at most `limit` bytes. Refuses FIFOs, devices and
// folders: opening one of those must not block or read for ever.
ReadResult ReadSmallFile(const std::string& path, size_t limit, std::string& out) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return errno == ENOENT ? ReadResult::Missing : ReadResult::Unreadable;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) <= limit;
  if (ok) {
    out.resize(static_cast<size_t>(st.st_size));
    size_t got = 0;
    while (got < out.size()) {
      const ssize_t n = ::read(fd, out.data() + got, out.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;  // the file shrank under us: parse what is there
      got += static_cast<size_t>(n);
    }
    out.resize(got);
  }
  ::close(fd);
  return ok ? ReadResult::Read : ReadResult::Unreadable;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Renames `path` to "<path>.<suffix>", or ".<suffix>.2", ... when that is
// taken. The new path, or empty with errno set.
std::string RenameAside(const std::string& path, const char* suffix) {
  const std::string base = path + "." + suffix;
  std::string aside = base;
  for (int n = 2; Exists(aside) && n < 1000; ++n) aside = base + "." + std::to_string(n);
  if (::rename(path.c_str(), aside.c_str()) != 0) return {};
  return aside;
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

std::string BookmarkXml(const std::vector<CBookmarkItem>& items) {
  pugi::xml_document doc;
  pugi::xml_node root = doc.append_child("Bookmark");
  if (!root) return {};
  for (const CBookmarkItem& item : items) {
    pugi::xml_node node = root.append_child("Item");
    node.append_attribute("Name").set_value(ConvertUnicodeToUTF8(item.name).c_str());
    node.append_attribute("Url").set_value(ConvertUnicodeToUTF8(item.url).c_str());
  }
  std::ostringstream out;
  doc.save(out, "\t", pugi::format_default, pugi::encoding_utf8);
  return out.str();
}

bool ParseBookmarkXml(const void* data, size_t size, std::vector<CBookmarkItem>& items, size_t maxItems) {
  pugi::xml_document doc;
  if (!doc.load_buffer(data, size, pugi::parse_default, pugi::encoding_auto)) return false;
  if (!doc.child("Bookmark")) return false;  // another document
  // Every element inside the root is an entry, whatever its name; missing
  // attributes read as empty texts.
  for (pugi::xml_node node = doc.child("Bookmark").first_child(); node && items.size() < maxItems;
       node = node.next_sibling()) {
    if (node.type() != pugi::node_element) continue;
    items.push_back({ConvertUTF8ToUnicode(node.attribute("Name").value()),
                     ConvertUTF8ToUnicode(node.attribute("Url").value())});
  }
  return true;
}

void CBookmark::SetFolder(std::u16string folder) {
  m_strFile = kxNormalizePath(std::move(folder)) + u"Bookmark.xml";
}

void CBookmark::Load() {
  if (m_items.size() >= static_cast<size_t>(kMaxItems)) return;
  const std::string path = ConvertUnicodeToUTF8(m_strFile);
  std::string bytes;
  const ReadResult read = ReadSmallFile(path, kMaxFileBytes, bytes);
  if (read == ReadResult::Missing) return;
  // Parse into a scratch list so a broken file leaves the list as it was;
  // one entry past the room tells a list that would be cut.
  const size_t room = kMaxItems - m_items.size();
  std::vector<CBookmarkItem> loaded;
  const bool whole = read == ReadResult::Read && ParseBookmarkXml(bytes.data(), bytes.size(), loaded, room + 1) &&
                     loaded.size() <= room;
  if (loaded.size() > room) loaded.resize(room);
  m_items.insert(m_items.end(), std::make_move_iterator(loaded.begin()), std::make_move_iterator(loaded.end()));
  // A file read only in part must survive the next save.
  if (!whole) KeepAside(path, "unreadable");
}

void CBookmark::KeepAside(const std::string& path, const char* suffix) {
  const std::string aside = RenameAside(path, suffix);
  if (!aside.empty()) {
    m_strKeptAside = ConvertUTF8ToUnicode(aside);
    return;
  }
  // It stays where it is, and no save may replace it.
  m_strBlockedFile = m_strFile;
  m_strBlockedReason = std::strerror(errno);
}

bool CBookmark::KeepExistingFile() {
  m_strKeptAside.clear();
  const std::string path = ConvertUnicodeToUTF8(m_strFile);
  // A folder in the file's place holds no bookmarks; the save then fails.
  if (!Exists(path) || IsFolder(path)) return true;
  KeepAside(path, "previous");
  return m_strBlockedFile != m_strFile;
}

bool CBookmark::Save(std::string* reason) const {
  auto fail = [reason](std::string why) {
    if (reason) *reason = std::move(why);
    return false;
  };
  if (m_strFile == m_strBlockedFile) return fail(m_strBlockedReason);
  const std::string xml = BookmarkXml(m_items);
  if (xml.empty()) return fail(std::strerror(ENOMEM));
  const std::string path = ConvertUnicodeToUTF8(m_strFile);
  const std::string folder = FolderOf(path);
  // Write a temporary file beside the old one and rename it over it: a crash,
  // a full disk or a power cut leaves either the old file or the new one.
  std::string temp = folder + "/." + kFileName + ".XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return fail(std::strerror(errno));
  // Camera addresses may carry passwords: owner only, whatever the umask.
  bool ok = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0 && WriteAll(fd, xml) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    const int error = errno;
    ::unlink(temp.c_str());
    return fail(std::strerror(error));
  }
  // Make the rename itself durable.
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

void CBookmark::Add(std::u16string name, std::u16string url) {
  m_items.push_back({std::move(name), std::move(url)});
}

void CBookmark::Update(int32_t index, std::u16string name, std::u16string url) {
  if (!IsIndex(index)) return;
  m_items[static_cast<size_t>(index)] = {std::move(name), std::move(url)};
}

void CBookmark::Remove(int32_t index) {
  if (!IsIndex(index)) return;
  m_items.erase(m_items.begin() + index);
}

CBookmarkItem CBookmark::GetItem(int32_t index) const {
  if (!IsIndex(index)) return {};
  return m_items[static_cast<size_t>(index)];
}

}  // namespace kx
