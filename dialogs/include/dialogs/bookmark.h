// The bookmark store: the user's saved cameras, an ordered list of
// (name, URL) pairs kept in the file "Bookmark.xml" of the user-data folder.
// Plain C++ (pugixml and the standard library); used on the UI thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kx {

struct CBookmarkItem {
  std::u16string name;
  std::u16string url;
  bool operator==(const CBookmarkItem&) const = default;
};

class CBookmark {
 public:
  // Loading stops after this many entries: a runaway file must not stall the
  // program's start or fill its memory.
  static constexpr int32_t kMaxItems = 10000;
  // A file larger than this is not read at all.
  static constexpr size_t kMaxFileBytes = 64u << 20;

  CBookmark() = default;
  virtual ~CBookmark() = default;
  CBookmark(const CBookmark&) = default;
  CBookmark& operator=(const CBookmark&) = default;

  // The file becomes "<folder>/Bookmark.xml"; nothing is read or written.
  void SetFolder(std::u16string folder);
  // Appends the bookmarks of the file to the list. A missing file, one that
  // cannot be read or is broken leaves the list as it was. A file that could
  // not be read whole (broken, another document, too large, not a regular
  // file, more than kMaxItems entries) is renamed aside to
  // "Bookmark.xml.unreadable" (".2", ".3", ... when taken) so that no save
  // replaces it; KeptAside() names it. When it cannot be renamed, saves to
  // it are refused instead.
  void Load();
  // Before the list moves into a folder that already holds a Bookmark.xml
  // (not a folder of that name): renames that file aside to "Bookmark.xml.previous" (KeptAside() names
  // it). False when it could not be renamed (saves to it are then refused).
  bool KeepExistingFile();
  // The file the last Load or KeepExistingFile put aside, empty when none.
  const std::u16string& KeptAside() const { return m_strKeptAside; }
  // Writes the whole list, replacing the file atomically (mode 0600). False
  // when the file could not be written, with the system's reason in
  // `reason`; the old file is then left as it was and the list in memory
  // stays, so a later save may still succeed.
  bool Save(std::string* reason = nullptr) const;

  void Add(std::u16string name, std::u16string url);
  // Update and Remove ignore an index outside 0..count-1.
  void Update(int32_t index, std::u16string name, std::u16string url);
  void Remove(int32_t index);

  int32_t GetCount() const { return static_cast<int32_t>(m_items.size()); }
  // A copy of the entry; an empty one for an index outside the list.
  CBookmarkItem GetItem(int32_t index) const;
  const std::u16string& GetFile() const { return m_strFile; }

 private:
  bool IsIndex(int32_t index) const { return index >= 0 && index < GetCount(); }
  void KeepAside(const std::string& path, const char* suffix);

  std::u16string m_strFile;
  std::u16string m_strKeptAside;
  std::u16string m_strBlockedFile;  // a file kept in place: never written over
  std::string m_strBlockedReason;
  std::vector<CBookmarkItem> m_items;
};

// The XML text Save writes for a list (exposed for the tests and the fuzzer).
std::string BookmarkXml(const std::vector<CBookmarkItem>& items);
// Appends the entries of a bookmark document held in memory to `items`, up
// to `maxItems` entries in all. False when the text is not well-formed XML or
// its root is not "Bookmark".
bool ParseBookmarkXml(const void* data, size_t size, std::vector<CBookmarkItem>& items,
                      size_t maxItems = CBookmark::kMaxItems);

}  // namespace kx
