// Fuzz target: CBookmark::Load over arbitrary file contents.
// Checks, besides crashes, leaks and hangs: the store never holds more than
// its bound, loading from the file agrees with parsing the same bytes, and
// whatever was loaded survives Save and Load with the same number of entries
// and, after one round, the same texts.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "dialogs/bookmark.h"
#include "kxSystem.h"

namespace {

using kx::CBookmark;
using kx::CBookmarkItem;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "bookmark_load: %s\n", what);
  std::abort();
}

// Created once; removed when the process ends. Held by a pointer that is
// never freed so the exit handler cannot outlive it.
const std::string& Folder() {
  static const std::string* folder = [] {
    const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    auto* path = new std::string(std::string(base) + "/kxfuzz.XXXXXX");
    if (::mkdtemp(path->data()) == nullptr) Fail("no temporary folder");
    std::atexit([] {
      ::unlink((Folder() + "/Bookmark.xml").c_str());
      ::rmdir(Folder().c_str());
    });
    return path;
  }();
  return *folder;
}

std::vector<CBookmarkItem> Items(const CBookmark& b) {
  std::vector<CBookmarkItem> v;
  for (int32_t i = 0; i < b.GetCount(); ++i) v.push_back(b.GetItem(i));
  return v;
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) Fail("cannot write the input file");
  for (size_t done = 0; done < size;) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n <= 0) Fail("cannot write the input file");
    done += static_cast<size_t>(n);
  }
  ::close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static uint64_t round = 0;
  const std::string file = Folder() + "/Bookmark.xml";
  WriteFile(file, data, size);

  CBookmark store;
  store.SetFolder(ConvertUTF8ToUnicode(Folder()));
  store.Load();
  const std::vector<CBookmarkItem> loaded = Items(store);
  if (loaded.size() > static_cast<size_t>(CBookmark::kMaxItems)) Fail("more entries than the bound");

  std::vector<CBookmarkItem> parsed;
  kx::ParseBookmarkXml(data, size, parsed);
  if (parsed != loaded) Fail("Load and ParseBookmarkXml disagree");

  // What Save writes must read back: same count, and stable after one round
  // (a first round may normalise texts the writer cannot express).
  const std::string xml = kx::BookmarkXml(loaded);
  std::vector<CBookmarkItem> again;
  if (!kx::ParseBookmarkXml(xml.data(), xml.size(), again)) Fail("written document does not parse");
  if (again.size() != loaded.size()) Fail("entries lost in a save and load");
  const std::string xml2 = kx::BookmarkXml(again);
  if (xml2 != kx::BookmarkXml([&] {
        std::vector<CBookmarkItem> third;
        kx::ParseBookmarkXml(xml2.data(), xml2.size(), third);
        return third;
      }()))
    Fail("written document not stable");

  // Now and then through the real file as well.
  if (++round % 64 == 0) {
    store = CBookmark();
    store.SetFolder(ConvertUTF8ToUnicode(Folder()));
    for (const CBookmarkItem& item : loaded) store.Add(item.name, item.url);
    if (!store.Save()) Fail("save failed");
    CBookmark reread;
    reread.SetFolder(ConvertUTF8ToUnicode(Folder()));
    reread.Load();
    if (Items(reread) != again) Fail("saved file reads back differently");
  }
  return 0;
}
