// CBookmark::Load over any bytes: no crash, leak or hang; the bound holds, Load agrees with the parser,
// and what was loaded survives Save and Load (after one round, with the same texts).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "dialogs/bookmark.h"
#include "kxSystem.h"

namespace {

using kx::CBookmark;
using Items = std::vector<kx::CBookmarkItem>;
namespace fs = std::filesystem;

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "bookmark_load: %s\n", what);
  std::abort();
}

// Made once, removed when the process ends; never freed, so the exit handler cannot outlive it.
const std::string& Folder() {
  static const std::string* folder = [] {
    auto* path = new std::string(::access("/dev/shm", W_OK) == 0 ? "/dev/shm/kxfuzz.XXXXXX" : "/tmp/kxfuzz.XXXXXX");
    Check(::mkdtemp(path->data()) != nullptr, "no temporary folder");
    std::atexit([] { fs::remove_all(Folder()); });
    return path;
  }();
  return *folder;
}

CBookmark Loaded() {
  CBookmark b;
  b.SetFolder(ConvertUTF8ToUnicode(Folder()));
  b.Load();
  return b;
}

Items ItemsOf(const CBookmark& b) {
  Items v;
  for (int32_t i = 0; i < b.GetCount(); ++i) v.push_back(b.GetItem(i));
  return v;
}

Items Parse(const std::string& xml, bool* ok = nullptr) {
  Items v;
  const bool parsed = kx::ParseBookmarkXml(xml.data(), xml.size(), v);
  if (ok) *ok = parsed;
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static uint64_t round = 0;
  // Files kept aside by the last input go, so each input meets an empty folder.
  for (const auto& entry : fs::directory_iterator(Folder())) fs::remove(entry.path());
  Check(std::ofstream(Folder() + "/Bookmark.xml", std::ios::binary)
            .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size))
            .flush()
            .good(),
        "cannot write the input file");
  CBookmark store = Loaded();
  const Items loaded = ItemsOf(store);
  Check(loaded.size() <= static_cast<size_t>(CBookmark::kMaxItems), "more entries than the bound");
  Check(Parse(std::string(reinterpret_cast<const char*>(data), size)) == loaded, "Load and ParseBookmarkXml disagree");
  // What Save writes must read back: same count, and stable after one round
  // (a first round may normalise texts the writer cannot express).
  bool ok = false;
  const Items again = Parse(kx::BookmarkXml(loaded), &ok);
  Check(ok && again.size() == loaded.size(), "entries lost in a save and load");
  Check(Parse(kx::BookmarkXml(again)) == again, "written document not stable");
  // Now and then through the real file as well.
  if (++round % 64 == 0) {
    Check(store.Save(), "save failed");
    Check(ItemsOf(Loaded()) == again, "saved file reads back differently");
  }
  return 0;
}
