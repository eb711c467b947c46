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
  // Appends the bookmarks of the file to the list. A missing, unreadable or
  // broken file leaves the list as it was.
  void Load();
  // Writes the whole list, replacing the file atomically (mode 0600). False
  // when the file could not be written; the old file is then left as it was.
  // Callers may ignore the result: the list in memory never changes.
  bool Save() const;

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

  std::u16string m_strFile;
  std::vector<CBookmarkItem> m_items;
};

// The XML text Save writes for a list (exposed for the tests and the fuzzer).
std::string BookmarkXml(const std::vector<CBookmarkItem>& items);
// Appends the entries of a bookmark document held in memory to `items`, up
// to `maxItems` entries in all. False when the text is not well-formed XML.
bool ParseBookmarkXml(const void* data, size_t size, std::vector<CBookmarkItem>& items,
                      size_t maxItems = CBookmark::kMaxItems);

}  // namespace kx
