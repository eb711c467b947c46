// Files and folders made with the shared rights (rw for every user), against the umask.
#include <gtest/gtest.h>
#include <acl/libacl.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "kxSystem.h"

namespace {

namespace fs = std::filesystem;

// A fresh folder under /tmp (which every user may traverse) and a tight umask, both undone afterwards.
class SecurityAttributes : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    root_ = fs::temp_directory_path() / ("kx_sa_" + std::to_string(getpid()) + "_" + std::to_string(++serial));
    fs::remove_all(root_);
    ASSERT_EQ(holder_.Create(), 1);
    ASSERT_EQ(holder_.Create(), 1);  // again: the first list is freed (the leak checker sees it)
    oldMask_ = ::umask(077);
  }
  void TearDown() override {
    ::umask(oldMask_);
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  fs::path root_;
  CSecurityAttributesRW holder_;
  mode_t oldMask_ = 0;
};

std::u16string U16(const fs::path& p) { return ConvertUTF8ToUnicode(p.string()); }

mode_t Mode(const fs::path& p) {
  struct stat st {};
  EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
  return st.st_mode & 07777;
}

// Creates the file or folder with `sa`, writes `text` into a file, closes it;
// false when it could not be created or written.
bool Create(const fs::path& p, bool folder, SECURITY_ATTRIBUTES* sa, const std::string& text = {}) {
  const int fd = kxCreateWithAttributes(U16(p), folder, sa);
  if (fd < 0) return false;
  const bool written = text.empty() || ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::close(fd);
  return written;
}

// Runs a shell command as the unprivileged user nobody; its exit status.
int RunAsNobody(const std::string& command) {
  const std::string line = "setpriv --reuid=nobody --regid=nogroup --clear-groups sh -c '" + command + "' 2>/dev/null";
  const int status = std::system(line.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(SecurityAttributes, ObjectsGetTheRightsWhateverTheUmask) {
  SECURITY_ATTRIBUTES* sa = holder_.GetSecurityAttributes();
  ASSERT_TRUE(Create(root_, true, sa));
  EXPECT_EQ(Mode(root_), 0777u);
  const fs::path file = root_ / "shared.dat";
  ASSERT_TRUE(Create(file, false, sa, "x"));
  EXPECT_EQ(Mode(file), 0666u);

  // The stored list grants other users read and write.
  acl_t acl = acl_get_file(file.c_str(), ACL_TYPE_ACCESS);
  ASSERT_NE(acl, nullptr);
  char* text = acl_to_any_text(acl, nullptr, ',', 0);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "user::rw-,group::rw-,mask::rw-,other::rw-");
  acl_free(text);
  acl_free(acl);
  // Without attributes, or with unbuilt ones, the umask rules; an existing file keeps its rights.
  CSecurityAttributesRW empty;
  const fs::path plain = root_ / "plain.dat";
  ASSERT_TRUE(Create(plain, false, empty.GetSecurityAttributes()));
  EXPECT_EQ(Mode(plain), 0600u);
  ASSERT_TRUE(Create(plain, false, sa));
  EXPECT_EQ(Mode(plain), 0600u);
  // Empty paths and missing parents fail.
  EXPECT_EQ(kxCreateWithAttributes(u"", false, sa), -1);
  EXPECT_EQ(kxCreateWithAttributes(U16(root_ / "no" / "such"), false, sa), -1);
  EXPECT_EQ(kxCreateWithAttributes(U16(root_ / "no" / "such"), true, sa), -1);
}

TEST_F(SecurityAttributes, AnotherUserReadsAndWrites) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run a check as the user nobody";
  SECURITY_ATTRIBUTES* sa = holder_.GetSecurityAttributes();
  ASSERT_TRUE(Create(root_, true, sa));
  const fs::path shared = root_ / "shared.txt";
  ASSERT_TRUE(Create(shared, false, sa, "root\n"));
  const fs::path own = root_ / "own.txt";
  ASSERT_TRUE(Create(own, false, nullptr, "root\n"));

  // nobody can read the shared file and append to it, and create files in the folder ...
  EXPECT_EQ(RunAsNobody("grep -q root " + shared.string() + " && echo nobody >> " + shared.string()), 0);
  EXPECT_EQ(ReadAll(shared), "root\nnobody\n");
  EXPECT_EQ(RunAsNobody("echo new > " + (root_ / "by_nobody.txt").string()), 0);
  EXPECT_TRUE(fs::exists(root_ / "by_nobody.txt"));
  // ... but neither reads nor writes one made under the umask.
  EXPECT_NE(RunAsNobody("cat " + own.string()), 0);
  EXPECT_NE(RunAsNobody("echo nobody >> " + own.string()), 0);
  EXPECT_EQ(ReadAll(own), "root\n");
}

}  // namespace
