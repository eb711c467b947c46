// The bookmark store against real files in a private temporary folder.
#include "dialogs/bookmark.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "kxSystem.h"

namespace fs = std::filesystem;
using kx::CBookmark;
using kx::CBookmarkItem;
using Items = std::vector<CBookmarkItem>;

namespace {

Items ItemsOf(const CBookmark& b) {
  Items v;
  for (int32_t i = 0; i < b.GetCount(); ++i) v.push_back(b.GetItem(i));
  return v;
}

class BookmarkStore : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kxbookmark.XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::u16string Folder() const { return ConvertUTF8ToUnicode(dir_.string()); }
  fs::path File() const { return dir_ / "Bookmark.xml"; }
  void Write(const std::string& bytes) const { std::ofstream(File(), std::ios::binary) << bytes; }
  static std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string Read() const { return Read(File()); }
  CBookmark Store(const Items& items = {}) const {
    CBookmark b;
    b.SetFolder(Folder());
    for (const CBookmarkItem& i : items) b.Add(i.name, i.url);
    return b;
  }
  CBookmark LoadFile() const {
    CBookmark b = Store();
    b.Load();
    return b;
  }
  std::vector<std::string> Listing() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  fs::path dir_;
};

TEST_F(BookmarkStore, WritesTheExactBytesAndReadsThemBack) {
  CBookmark b = Store({{u"Hall & <door> \"A\"", u"rtsp://user:p@ss@10.0.0.7:554/stream1"},
                       {u"Склад", u"rtsp://10.0.0.8/live"}, {u"", u""}, {u"Склад", u"rtsp://10.0.0.8/live"}});
  EXPECT_TRUE(Listing().empty());  // nothing is touched before a save
  ASSERT_TRUE(b.Save());
  EXPECT_EQ(Read(),
            "<?xml version=\"1.0\"?>\n"
            "<Bookmark>\n"
            "\t<Item Name=\"Hall &amp; &lt;door> &quot;A&quot;\" Url=\"rtsp://user:p@ss@10.0.0.7:554/stream1\" />\n"
            "\t<Item Name=\"\xD0\xA1\xD0\xBA\xD0\xBB\xD0\xB0\xD0\xB4\" Url=\"rtsp://10.0.0.8/live\" />\n"
            "\t<Item Name=\"\" Url=\"\" />\n"
            "\t<Item Name=\"\xD0\xA1\xD0\xBA\xD0\xBB\xD0\xB0\xD0\xB4\" Url=\"rtsp://10.0.0.8/live\" />\n"
            "</Bookmark>\n");
  EXPECT_EQ(ItemsOf(LoadFile()), ItemsOf(b));  // duplicates and empty texts kept, in order
  ASSERT_TRUE(Store().Save());
  EXPECT_EQ(Read(), "<?xml version=\"1.0\"?>\n<Bookmark />\n");
  EXPECT_EQ(LoadFile().GetCount(), 0);
}

TEST_F(BookmarkStore, ReadsAnyChildOfTheRootInAnyEncodingAndAppends) {
  Write("<?xml version=\"1.0\"?>\r\n<!-- by hand -->\r\n<Bookmark>\r\n  <Item Name=\"only name\"/>\r\n  text\r\n"
        "  <Camera Url=\"rtsp://only/url\"><Nested Name=\"not read\"/></Camera>\r\n  <Item Url=\"rtsp://b\" Name=\"b\"/>\r\n</Bookmark>");
  EXPECT_EQ(ItemsOf(LoadFile()), (Items{{u"only name", u""}, {u"", u"rtsp://only/url"}, {u"b", u"rtsp://b"}}));
  // UTF-16 with a byte-order mark, as another editor may save it; Load appends.
  std::u16string text = u"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?><Bookmark><Item Name=\"Вход\" Url=\"rtsp://x\"/></Bookmark>";
  std::string bytes;
  for (char16_t c : text) bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  Write(bytes);
  CBookmark b = Store({{u"first", u"rtsp://1"}});
  b.Load();
  EXPECT_EQ(ItemsOf(b), (Items{{u"first", u"rtsp://1"}, {u"Вход", u"rtsp://x"}}));
}

TEST_F(BookmarkStore, OtherRootsAndBrokenFilesLoadNothingAndAreKeptAside) {
  const char* files[] = {
      "<?xml version=\"1.0\"?>\n<Bookmarks><Item Name=\"a\" Url=\"b\"/></Bookmarks>\n",
      "<?xml version=\"1.0\"?>\n<Bookmark><Item Name=\"a\" Url=\"b\"/>\n",  // cut off
      "<Bookmark><Item Name=\"a\" Url=\"b\"/></Bookmark><Bookmark",       // junk after
      "",
      "\xEF\xBB\xBF",
  };
  int n = 1;
  for (const char* f : files) {
    Write(f);
    CBookmark b = Store({{u"kept", u"rtsp://kept"}});
    b.Load();
    EXPECT_EQ(ItemsOf(b), (Items{{u"kept", u"rtsp://kept"}})) << f;
    // Renamed aside, next to the ones before it, and a save does not touch it.
    const fs::path aside = dir_ / ("Bookmark.xml.unreadable" + (n++ == 1 ? "" : "." + std::to_string(n - 1)));
    EXPECT_EQ(b.KeptAside(), ConvertUTF8ToUnicode(aside.string())) << f;
    ASSERT_TRUE(b.Save());
    EXPECT_EQ(Read(aside), f);
  }
  // No file at all: nothing kept. A folder where the file should be is kept aside too.
  fs::remove(File());
  EXPECT_TRUE(LoadFile().KeptAside().empty());
  fs::create_directory(File());
  EXPECT_FALSE(LoadFile().KeptAside().empty());
  EXPECT_FALSE(fs::exists(File()));
}

TEST_F(BookmarkStore, FileIsOwnerOnlyOnEverySave) {
  const mode_t oldMask = ::umask(0);  // the most open umask must not widen the file
  CBookmark b = Store({{u"cam", u"rtsp://user:secret@h/"}});
  const bool saved = b.Save();
  ::umask(oldMask);
  ASSERT_TRUE(saved);
  const fs::perms ownerOnly = fs::perms::owner_read | fs::perms::owner_write;
  EXPECT_EQ(fs::status(File()).permissions(), ownerOnly);
  // A file left readable by an older version is made private again.
  fs::permissions(File(), ownerOnly | fs::perms::group_read | fs::perms::others_read);
  ASSERT_TRUE(b.Save());
  EXPECT_EQ(fs::status(File()).permissions(), ownerOnly);
  EXPECT_EQ(Listing(), std::vector<std::string>{"Bookmark.xml"});
}

// Saves in a child whose file-size limit cuts the write short: with SIGXFSZ ignored the
// write fails and Save gives up; by default the child is killed mid-write, like a crash.
int SaveInChildWithSizeLimit(const CBookmark& b, rlim_t limit, bool ignoreSignal) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (ignoreSignal) ::signal(SIGXFSZ, SIG_IGN);
    const rlimit rl{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &rl);
    ::_exit(b.Save() ? 0 : 3);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return status;
}

TEST_F(BookmarkStore, InterruptedSaveLeavesTheOldFile) {
  CBookmark b = Store({{u"old", u"rtsp://old"}});
  ASSERT_TRUE(b.Save());
  const std::string before = Read();
  for (int i = 0; i < 500; ++i) b.Add(u"camera " + std::u16string(1, u'0' + i % 10), u"rtsp://10.1.1.1/ch" + std::u16string(1, u'A' + i % 26));
  int status = SaveInChildWithSizeLimit(b, 4096, true);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3);
  EXPECT_EQ(Read(), before);
  EXPECT_EQ(Listing(), std::vector<std::string>{"Bookmark.xml"});
  // After a crash the old file is intact; the next save replaces it.
  status = SaveInChildWithSizeLimit(b, 4096, false);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGXFSZ);
  EXPECT_EQ(Read(), before);
  ASSERT_TRUE(b.Save());
  EXPECT_EQ(LoadFile().GetCount(), 501);
}

TEST_F(BookmarkStore, HugeDeepAndSpecialFilesAreBounded) {
  // Tens of megabytes of entries: only the first kMaxItems are taken.
  std::string big = "<?xml version=\"1.0\"?>\n<Bookmark>\n";
  const std::string pad(100, 'x');
  for (int i = 0; i < 180000; ++i) big += "\t<Item Name=\"n" + std::to_string(i) + "\" Url=\"rtsp://" + pad + "\" />\n";
  big += "</Bookmark>\n";
  ASSERT_GT(big.size(), 20u << 20);
  Write(big);
  CBookmark b = LoadFile();
  ASSERT_EQ(b.GetCount(), CBookmark::kMaxItems);
  EXPECT_EQ(b.GetItem(CBookmark::kMaxItems - 1).name, u"n9999");
  // The cut list is never written over the longer file: that one is kept.
  ASSERT_TRUE(b.Save());
  EXPECT_EQ(fs::file_size(dir_ / "Bookmark.xml.unreadable"), big.size());
  b.Load();  // a second load cannot go past the bound either
  EXPECT_EQ(b.GetCount(), CBookmark::kMaxItems);
  // Exactly kMaxItems entries fit whole: nothing kept.
  fs::remove_all(dir_);
  fs::create_directory(dir_);
  ASSERT_TRUE(b.Save());
  EXPECT_TRUE(LoadFile().KeptAside().empty());

  // Nesting a million levels deep neither overflows the stack nor loads the inner elements.
  const int depth = 1000000;
  std::string deep = "<Bookmark><Item Name=\"top\" Url=\"rtsp://t\">";
  deep.reserve(depth * 8 + 64);
  for (int i = 0; i < depth; ++i) deep += "<a>";
  for (int i = 0; i < depth; ++i) deep += "</a>";
  Write(deep + "</Item></Bookmark>");
  EXPECT_EQ(ItemsOf(LoadFile()), (Items{{u"top", u"rtsp://t"}}));

  // Larger than the file bound: not read at all.
  std::string huge(CBookmark::kMaxFileBytes + 1, ' ');
  huge.replace(0, 10, "<Bookmark>");
  Write(huge);
  EXPECT_EQ(LoadFile().GetCount(), 0);
  EXPECT_FALSE(fs::exists(File()));

  // A FIFO in place of the file would block a plain open for ever. Neither
  // it nor /dev/zero is read, and each is kept aside as it was.
  fs::remove_all(dir_);
  fs::create_directory(dir_);
  ASSERT_EQ(::mkfifo(File().c_str(), 0600), 0);
  EXPECT_EQ(LoadFile().GetCount(), 0);
  EXPECT_TRUE(fs::is_fifo(dir_ / "Bookmark.xml.unreadable"));
  fs::create_symlink("/dev/zero", File());
  EXPECT_EQ(LoadFile().GetCount(), 0);
  EXPECT_EQ(fs::read_symlink(dir_ / "Bookmark.xml.unreadable.2"), "/dev/zero");
}

}  // namespace
